// A progress bar on standard error, drawn only on a terminal and only once a
// run has taken more than a second (many packages, or a huge one).
#pragma once

#include <chrono>
#include <string>

namespace msivalidate {

class Progress {
 public:
  Progress(bool enabled, size_t total);
  ~Progress() { Clear(); }

  void Step(const std::string& what);  // one evaluator on one package done
  void Clear();                        // before other output to the terminal

 private:
  bool enabled_;
  size_t total_;
  size_t done_ = 0;
  bool shown_ = false;
  std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
  std::chrono::steady_clock::time_point last_{};
};

}  // namespace msivalidate
