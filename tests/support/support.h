// What the engine's tests share: files and folders, the corpus, the oracle
// (libmsi and msitools, run as outside programs under a time limit) and
// thin wrappers over the C API.
#pragma once

#include <msiquery.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "program.h"

namespace ts {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

Bytes ReadBytes(const fs::path& path);
void WriteBytes(const fs::path& path, const Bytes& bytes);
std::string ReadText(const fs::path& path);
void WriteText(const fs::path& path, const std::string& text);

// A writable copy (the corpus files are read-only).
void CopyPackage(const fs::path& from, const fs::path& to);

// A fresh folder of the test's own under the system's temporary folder,
// removed at the end (permissions a test took away are restored first).
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const fs::path& path() const { return path_; }
  fs::path operator/(const std::string& name) const { return path_ / name; }

 private:
  fs::path path_;
};

// Names in a folder (no sub-folders), sorted.
std::vector<std::string> FolderEntries(const fs::path& folder);


// The oracle programs; empty when not available.
std::string LibmsiOracle();  // tests/oracle/libmsi_oracle.c
std::string MsiInfo();
std::string MsiBuild();  // libmsi's package builder (msitools)
std::string Msisql();
// Runs libmsi_oracle COMMAND ARGS... under the time limit.
RunResult Oracle(const std::vector<std::string>& args);

// Corpus packages (sorted) and whether the corpus folder exists.
bool CorpusPresent();
std::vector<fs::path> CorpusPackages();
fs::path CorpusDir();
// The project's sample package ("" when the build has none).
fs::path SamplePackage();

// Skips the test (or fails it when CI is "true") when the corpus is absent.
#define REQUIRE_CORPUS()                                                  \
  do {                                                                       \
    if (!::ts::CorpusPresent()) {                                            \
      if (::ts::RunningInCi()) {                                             \
        FAIL() << "corpus folder " << ::ts::CorpusDir()                      \
               << " is missing and CI is true";                             \
      }                                                                      \
      GTEST_SKIP() << "corpus folder " << ::ts::CorpusDir()                  \
                   << " is absent (a fresh clone has no ../shared)";         \
    }                                                                        \
  } while (0)

#define REQUIRE_ORACLE()                                                     \
  do {                                                                       \
    if (::ts::LibmsiOracle().empty() || ::ts::MsiInfo().empty()) {           \
      if (::ts::RunningInCi()) FAIL() << "libmsi tools missing and CI is true"; \
      GTEST_SKIP() << "libmsi_oracle or msiinfo is not available";           \
    }                                                                        \
  } while (0)

bool RunningInCi();

// ---- C API ----------------------------------------------------------------
class Handle {
 public:
  Handle() = default;
  explicit Handle(MSIHANDLE h) : h_(h) {}
  ~Handle() { reset(); }
  Handle(Handle&& other) noexcept : h_(other.h_) { other.h_ = 0; }
  Handle& operator=(Handle&& other) noexcept {
    if (this != &other) {
      reset();
      h_ = other.h_;
      other.h_ = 0;
    }
    return *this;
  }
  MSIHANDLE get() const { return h_; }
  MSIHANDLE* out() {
    reset();
    return &h_;
  }
  void reset() {
    if (h_ != 0) MsiCloseHandle(h_);
    h_ = 0;
  }
  operator MSIHANDLE() const { return h_; }

 private:
  MSIHANDLE h_ = 0;
};

UINT Open(const fs::path& path, LPCSTR persist, Handle& db);
UINT OpenTo(const fs::path& path, const fs::path& output, Handle& db);
// Opens, executes (with `params` for the markers) and closes a view.
UINT Exec(MSIHANDLE db, const std::string& sql, MSIHANDLE params = 0);
// A record from a list of values: "" is null, "#n" an integer n, any other
// text is a string.
Handle MakeRecord(const std::vector<std::string>& fields);

// The rows of a SELECT in msisql's output format (header line, then rows;
// TAB between fields, null empty, \ TAB LF CR escaped, streams as
// "<N bytes>"), or "error N" when it fails.
std::string Select(MSIHANDLE db, const std::string& sql);
// Every persistent table, sorted by name, each as "== NAME\n" + Select.
std::string DumpTables(MSIHANDLE db);
std::vector<std::string> TableNames(MSIHANDLE db);
// Every row of _Streams: name -> bytes.
std::map<std::string, Bytes> EngineStreams(MSIHANDLE db);
std::string FieldText(MSIHANDLE record, UINT field);
// A statement's column names or types (MSICOLINFO_*), joined with TABs.
std::string ColumnInfo(MSIHANDLE db, const std::string& sql, MSICOLINFO kind);
Bytes FieldStream(MSIHANDLE record, UINT field);

// The same reading through libmsi.
std::string OracleSelect(const fs::path& package, const std::vector<std::string>& statements,
                         int* exit_code = nullptr);
std::string OracleDumpTables(const fs::path& package, const std::vector<std::string>& tables);
std::map<std::string, Bytes> OracleStreams(const fs::path& package);
std::string OracleSummary(const fs::path& package);

// The parts of a text between `separator`s (its lines by default).
std::vector<std::string> SplitText(const std::string& text, char separator = '\n');
// The text with its lines after the first sorted: a SELECT's rows come in
// no promised order.
std::string SortedAfterHeader(const std::string& text);

// First difference of two texts, for failure messages.
std::string FirstDifference(const std::string& a, const std::string& b);

}  // namespace ts
