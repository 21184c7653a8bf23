#include "progress.h"

#include <cstdio>

#include "report_text.h"

namespace msivalidate {

Progress::Progress(bool enabled, size_t total) : enabled_(enabled), total_(total ? total : 1) {}

void Progress::Step(const std::string& what) {
  ++done_;
  if (!enabled_) return;
  const auto now = std::chrono::steady_clock::now();
  if (now - start_ < std::chrono::seconds(1)) return;
  if (shown_ && now - last_ < std::chrono::milliseconds(100) && done_ < total_) return;
  last_ = now;
  constexpr size_t kWidth = 30;
  const size_t filled = kWidth * done_ / total_;
  std::string bar(filled, '#');
  bar.resize(kWidth, '.');
  std::string label = Escape(what);
  if (label.size() > 40) label = "..." + label.substr(label.size() - 37);
  std::fprintf(stderr, "\r\033[K[%s] %3zu%%  %s", bar.c_str(), 100 * done_ / total_, label.c_str());
  std::fflush(stderr);
  shown_ = true;
}

void Progress::Clear() {
  if (!shown_) return;
  std::fputs("\r\033[K", stderr);
  std::fflush(stderr);
  shown_ = false;
}

}  // namespace msivalidate
