// The one way failures travel through the report builder: an exception
// carrying a number and a description, turned into an error line by the
// report's step policy (or into the run-time error message before the
// report file is open).
#pragma once

#include <cstdint>
#include <exception>
#include <string>

namespace pellacor {

class Failure : public std::exception {
 public:
  Failure(int64_t number, std::string description)
      : number_(number), description_(std::move(description)) {}

  int64_t number() const { return number_; }
  const std::string& description() const { return description_; }
  const char* what() const noexcept override { return description_.c_str(); }

 private:
  int64_t number_;
  std::string description_;
};

// Numbers of the classic BASIC run-time errors, used where one fits so that
// the report's error lines read as users of the original tools know them.
namespace runtime_error {
inline constexpr int kOverflow = 6;
inline constexpr int kOutOfMemory = 7;
inline constexpr int kOutOfStackSpace = 28;
inline constexpr int kBadFileNameOrNumber = 52;
inline constexpr int kFileNotFound = 53;
inline constexpr int kDeviceIoError = 57;
inline constexpr int kDiskFull = 61;
inline constexpr int kPermissionDenied = 70;
inline constexpr int kPathFileAccessError = 75;
inline constexpr int kPathNotFound = 76;
inline constexpr int kObjectNotSet = 91;
}  // namespace runtime_error

Failure OverflowFailure();
Failure ObjectNotSetFailure();
// A failure of a file operation, numbered after errno.
Failure FileFailure(int errno_value);

// A failure to create a file: a missing folder is "Path not found".
Failure CreateFileFailure(int errno_value);

// Adds two 32-bit sums the way the report's counters must: a result
// outside the 32-bit signed range is an Overflow failure, never a wrap.
int32_t CheckedAdd(int32_t a, int32_t b);

}  // namespace pellacor
