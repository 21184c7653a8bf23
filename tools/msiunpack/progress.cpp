#include "progress.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>

namespace msiunpack {
namespace {

constexpr auto kRedrawInterval = std::chrono::milliseconds(80);
constexpr int kBarWidth = 24;

std::string Size(uint64_t bytes) {
  char text[32];
  if (bytes < 1024 * 1024) {
    std::snprintf(text, sizeof text, "%.1f KiB", static_cast<double>(bytes) / 1024.0);
  } else {
    std::snprintf(text, sizeof text, "%.1f MiB", static_cast<double>(bytes) / (1024.0 * 1024.0));
  }
  return text;
}

size_t TerminalWidth() {
  winsize size{};
  if (::ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 20) return size.ws_col;
  return 80;
}

}  // namespace

Progress::Progress(bool draw, size_t total_files, uint64_t total_bytes)
    : draw_(draw), total_files_(total_files), total_bytes_(total_bytes) {}

void Progress::StartFile(const std::string& path) {
  current_ = path;
  current_bytes_ = 0;
  Draw(false);
}

void Progress::FileBytes(uint64_t written) {
  current_bytes_ = written;
  Draw(false);
}

void Progress::EndFile() {
  ++done_files_;
  done_bytes_ += current_bytes_;
  current_bytes_ = 0;
  Draw(done_files_ == total_files_);
}

void Progress::Error(const std::string& line) {
  Clear();
  std::fprintf(stderr, "msiunpack: %s\n", line.c_str());
  Draw(true);
}

void Progress::Finish() {
  if (!draw_) return;
  Draw(true);
  if (shown_) std::fputc('\n', stderr);
  shown_ = false;
}

void Progress::Clear() {
  if (draw_ && shown_) std::fputs("\r\033[K", stderr);
  shown_ = false;
}

void Progress::Draw(bool force) {
  if (!draw_) return;
  const auto now = std::chrono::steady_clock::now();
  if (!force && shown_ && now - last_draw_ < kRedrawInterval) return;
  last_draw_ = now;
  const uint64_t bytes = done_bytes_ + current_bytes_;
  const double fraction = total_bytes_ ? static_cast<double>(bytes) / static_cast<double>(total_bytes_)
                          : total_files_ ? static_cast<double>(done_files_) / static_cast<double>(total_files_)
                                         : 1.0;
  const int filled = static_cast<int>(std::min(1.0, fraction) * kBarWidth);
  std::string line = "[" + std::string(static_cast<size_t>(filled), '#') +
                     std::string(static_cast<size_t>(kBarWidth - filled), '.') + "] ";
  char counts[96];
  std::snprintf(counts, sizeof counts, "%3d%%  %zu/%zu files  %s/%s  ",
                static_cast<int>(std::min(1.0, fraction) * 100), done_files_, total_files_,
                Size(bytes).c_str(), Size(total_bytes_).c_str());
  line += counts;
  const size_t width = TerminalWidth() - 1;
  if (line.size() + 4 < width) {
    const size_t room = width - line.size();
    line += current_.size() <= room ? current_ : "..." + current_.substr(current_.size() - room + 3);
  }
  if (line.size() > width) line.resize(width);
  std::fprintf(stderr, "\r%s\033[K", line.c_str());
  std::fflush(stderr);
  shown_ = true;
}

}  // namespace msiunpack
