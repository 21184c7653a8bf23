// The report file: created or emptied on open, one whole line per write,
// each ending in CR LF, stored as windows-1252.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

namespace pellacor {

class ReportFile {
 public:
  // Creates or empties the file; a Failure when it cannot.
  explicit ReportFile(const std::string& path);
  ReportFile(const ReportFile&) = delete;
  ReportFile& operator=(const ReportFile&) = delete;
  ~ReportFile();

  // Writes one line given in UTF-8.
  void WriteLine(std::string_view utf8_line);
  // Flushes and closes; a Failure when the written text did not reach the
  // disk whole.
  void Close();

 private:
  std::FILE* file_ = nullptr;
  bool write_failed_ = false;
};

}  // namespace pellacor
