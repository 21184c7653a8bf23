// libFuzzer target: the input is a package file. Opens it through the C API
// and reads every table, field and stream, as the tools would.
#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "package_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // The engine opens packages by path: hand it a memory-backed file.
  int fd = memfd_create("fuzz-package", 0);
  if (fd < 0) return 0;
  size_t written = 0;
  while (written < size) {
    ssize_t n = write(fd, data + written, size - written);
    if (n <= 0) break;
    written += static_cast<size_t>(n);
  }
  if (written == size) {
    std::string path = "/proc/self/fd/" + std::to_string(fd);
    const ReadOutcome outcome = ReadWholePackage(path);
    if (!IsExpectedResult(outcome.first_error)) __builtin_trap();
  }
  close(fd);
  return 0;
}
