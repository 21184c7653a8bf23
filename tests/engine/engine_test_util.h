// Small helpers for engine tests: scratch folders, packages made through
// the C API, and query results as text.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "msiquery.h"

namespace enginetest {

// A folder removed with everything in it when the object goes.
class ScratchDir {
 public:
  ScratchDir() {
    std::string tmpl = (std::filesystem::temp_directory_path() / "msieng.XXXXXX").string();
    path_ = ::mkdtemp(tmpl.data());
  }
  ~ScratchDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  std::string File(const std::string& name) const { return path_ + "/" + name; }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

// Owns one handle.
class Handle {
 public:
  Handle() = default;
  explicit Handle(MSIHANDLE h) : h_(h) {}
  ~Handle() { MsiCloseHandle(h_); }
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  MSIHANDLE* out() { return &h_; }
  MSIHANDLE get() const { return h_; }

 private:
  MSIHANDLE h_ = 0;
};

// Runs one statement (with optional text parameters); returns the code of
// the first failing step.
UINT Exec(MSIHANDLE db, const std::string& sql, const std::vector<std::string>& params = {});

// A field as text: null as "~", a stream as "<N>".
std::string FieldText(MSIHANDLE rec, UINT field);

// SELECT results: one string per row, fields joined with '|', null as
// "~", streams as "<N>". On failure, one element "error N".
std::vector<std::string> Rows(MSIHANDLE db, const std::string& sql,
                              const std::vector<std::string>& params = {});

// A new package at `path` made by the statements, committed.
UINT MakePackage(const std::string& path, const std::vector<std::string>& statements);

}  // namespace enginetest
