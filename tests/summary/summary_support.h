// Helpers of the summary information and merge tests: the engine's and
// libmsi's answers in one plain format, and small packages to work on.
#pragma once

#include <string>
#include <vector>

#include "support.h"

namespace summary_test {

namespace fs = std::filesystem;
using ts::Handle;

// Properties 1..19 that are set, one a line: "PID<TAB>KIND<TAB>VALUE" with
// KIND I (integer), S (text, escaped as msisql does) or F (file time
// ticks); the oracle program prints the same.
std::string EngineProperties(MSIHANDLE summary);
// Through the path form (handle 0) or an open database.
std::string EngineProperties(const fs::path& package);
// libmsi's answer, or "exit N: ..." when it fails.
std::string OracleProperties(const fs::path& package);

// A new package made by the engine, committed, with one table.
void MakePackage(const fs::path& path);
// Replaces the summary stream of a package file, bytes as given.
void PutSummaryStream(const fs::path& package, const std::vector<uint8_t>& bytes);
// Every stream and storage of a package file except the summary stream:
// path -> bytes (storages as "<storage>").
std::map<std::string, std::vector<uint8_t>> OtherEntries(const fs::path& package);

// The summary stream's bytes (empty when there is none).
std::vector<uint8_t> SummaryStream(const fs::path& package);

FILETIME MakeFileTime(uint64_t ticks);

}  // namespace summary_test

