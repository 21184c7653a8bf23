// The progress bar drawn on a terminal while files are unpacked (files and
// bytes), and the error lines that must not be torn by it.
#pragma once

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string>

namespace msiunpack {

class Progress {
 public:
  // Draws only when `draw` is set; error lines are printed either way.
  Progress(bool draw, size_t total_files, uint64_t total_bytes);

  void StartFile(const std::string& path);
  void FileBytes(uint64_t written);  // bytes written so far to the current file
  void EndFile();
  void Error(const std::string& line);
  void Finish();

 private:
  void Draw(bool force);
  void Clear();

  bool draw_;
  size_t total_files_;
  uint64_t total_bytes_;
  size_t done_files_ = 0;
  uint64_t done_bytes_ = 0;  // of finished files
  uint64_t current_bytes_ = 0;
  std::string current_;
  bool shown_ = false;
  std::chrono::steady_clock::time_point last_draw_{};
};

}  // namespace msiunpack
