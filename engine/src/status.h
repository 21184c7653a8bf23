// Errors as values: every layer below the C API returns a Status (or a
// Result<T>) carrying the installer result code the API will hand out.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <variant>
#include <vector>

namespace msi {

// The installer's own number for a failure (its "Database: [2]. Unknown
// table '[3]' ..." messages) and the message's parameters from [3] on, as
// far as the layer that found the fault knows them; the API adds the rest
// (the query) for the last error record.
struct InstallerError {
  uint32_t number = 0;
  std::vector<std::string> params;
};

// The numbers of those messages the engine gives.
namespace installer_error {
constexpr uint32_t kCannotOpenDatabase = 2203;  // [2] file, [3] system error
constexpr uint32_t kNoSuchTable = 2205;         // [3] table
constexpr uint32_t kExportWrite = 2214;         // [3] file
constexpr uint32_t kImportOpen = 2215;          // [3] file
constexpr uint32_t kImportFormat = 2216;        // [3] file, [4] line
constexpr uint32_t kInvalidIdentifier = 2227;   // [3] name, [4] query
constexpr uint32_t kUnknownTable = 2228;        // [3] table, [4] query
constexpr uint32_t kUnexpectedToken = 2232;     // [3] token, [4] query
constexpr uint32_t kUnknownColumn = 2235;       // [3] column, [4] query
constexpr uint32_t kUpdateFailed = 2259;        // commit
}  // namespace installer_error

class Status {
 public:
  Status() = default;
  static Status Error(uint32_t code, std::string message) {
    return Status(code, std::move(message));
  }

  bool ok() const { return code_ == 0; }
  uint32_t code() const { return code_; }
  const std::string& message() const { return message_; }
  Status WithInstallerError(uint32_t number, std::vector<std::string> params) && {
    installer_ = std::make_shared<const InstallerError>(InstallerError{number, std::move(params)});
    return std::move(*this);
  }
  const InstallerError* installer_error() const { return installer_.get(); }

 private:
  Status(uint32_t code, std::string message)
      : code_(code), message_(std::move(message)) {}
  uint32_t code_ = 0;
  std::string message_;
  std::shared_ptr<const InstallerError> installer_;  // shared: statuses are copied often
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
