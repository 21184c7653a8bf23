// Errors as values: every layer below the C API returns a Status (or a
// Result<T>) carrying the installer result code the API will hand out.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <variant>

namespace msi {

class Status {
 public:
  Status() = default;
  static Status Error(uint32_t code, std::string message) {
    return Status(code, std::move(message));
  }

  bool ok() const { return code_ == 0; }
  uint32_t code() const { return code_; }
  const std::string& message() const { return message_; }

 private:
  Status(uint32_t code, std::string message)
      : code_(code), message_(std::move(message)) {}
  uint32_t code_ = 0;
  std::string message_;
};

template <typename T>
class Result {
 public:
  Result(T value) : value_(std::move(value)) {}  // NOLINT: implicit by design
  Result(Status error) : error_(std::move(error)) {}  // NOLINT

  bool ok() const { return value_.has_value(); }
  const Status& status() const { return error_; }
  T& value() { return *value_; }
  const T& value() const { return *value_; }
  T& operator*() { return *value_; }
  T* operator->() { return &*value_; }
  const T* operator->() const { return &*value_; }

 private:
  std::optional<T> value_;
  Status error_;
};

}  // namespace msi

// Early return of a failed Status from inside a function returning Status
// or Result<T>.
#define MSI_RETURN_IF_ERROR(expr)            \
  do {                                       \
    ::msi::Status msi_status_ = (expr);      \
    if (!msi_status_.ok()) return msi_status_; \
  } while (0)
