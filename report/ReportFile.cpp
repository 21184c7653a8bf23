#include "ReportFile.h"

#include <cerrno>

#include "Failure.h"
#include "HtmlText.h"

namespace pellacor {

ReportFile::ReportFile(const std::string& path) {
  errno = 0;
  file_ = std::fopen(path.c_str(), "wb");
  if (file_ == nullptr) {
    Failure failure = CreateFileFailure(errno);
    throw Failure(failure.number(), failure.description() + ": " + path);
  }
  std::setvbuf(file_, nullptr, _IOFBF, 1 << 20);
}

ReportFile::~ReportFile() {
  if (file_ != nullptr) std::fclose(file_);
}

void ReportFile::WriteLine(std::string_view utf8_line) {
  if (file_ == nullptr) return;
  std::string bytes = EncodeWindows1252(utf8_line);
  bytes += "\r\n";
  if (std::fwrite(bytes.data(), 1, bytes.size(), file_) != bytes.size()) {
    write_failed_ = true;
  }
}

void ReportFile::Close() {
  if (file_ == nullptr) return;
  errno = 0;
  bool flushed = std::fflush(file_) == 0;
  int flush_errno = errno;
  bool closed = std::fclose(file_) == 0;
  file_ = nullptr;
  if (write_failed_ || !flushed || !closed) {
    throw FileFailure(flush_errno != 0 ? flush_errno : EIO);
  }
}

}  // namespace pellacor
