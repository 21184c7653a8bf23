// What the report builder's tests share: fixture packages, running a report
// and comparing it with a kept expected page. Folders and outside programs
// come from ts::.
#pragma once

#include <set>

#include "support.h"

namespace pellacor::testing {

namespace fs = std::filesystem;
using ts::TempDir;

fs::path FixturePackage(const std::string& name);
// A writable copy of the fixture at `as` inside `dir` (folders created).
fs::path CopyFixture(const std::string& name, const TempDir& dir, const std::string& as);

// Runs the report of `package`; the report file's bytes, empty when none.
std::string RunReport(const fs::path& package);

// The report's lines, each ended by CR LF.
std::vector<std::string> SplitLines(const std::string& report);
// Everything under `dir` (folders too), as relative paths.
std::set<std::string> Listing(const fs::path& dir);

// Compares with expected/NAME.html, the package path written as @PACKAGE@
// and the blocks pages share (expected/frame.html) as "@@ BLOCK" lines.
// PELLACOR_UPDATE_EXPECTED=1 rewrites the file instead (then read it through).
void ExpectKeptReport(const std::string& report, const fs::path& package, const std::string& name);

}  // namespace pellacor::testing
