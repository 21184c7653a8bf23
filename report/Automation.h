// The installer's automation objects (Installer, Database, View, Record) as a
// small C++ adapter over the engine's C API. Each object owns one handle and
// may be "nothing" (an empty object), as an object variable may be: calling
// an operation on nothing is a failure, and so is every failing installer
// call. Texts are UTF-8.
#pragma once

#include <initializer_list>
#include <string>
#include <string_view>

#include "Failure.h"
#include "msiquery.h"

namespace pellacor {

// One installer handle, closed when the owner goes.
class Handle {
 public:
  Handle() = default;
  explicit Handle(MSIHANDLE handle) : handle_(handle) {}
  Handle(Handle&& other) noexcept : handle_(other.Release()) {}
  Handle& operator=(Handle&& other) noexcept;
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  ~Handle();

  MSIHANDLE get() const { return handle_; }
  bool IsNothing() const { return handle_ == 0; }
  MSIHANDLE Release();

 private:
  MSIHANDLE handle_ = 0;
};

// The failure for a failing installer call: its result code and the engine's
// description, naming the operation ("OpenView: ...").
Failure InstallerFailure(std::string_view operation, UINT result);

class Record {
 public:
  Record() = default;
  explicit Record(MSIHANDLE handle) : handle_(handle) {}

  bool IsNothing() const { return handle_.IsNothing(); }
  MSIHANDLE handle() const { return handle_.get(); }

  // The field as text; a null field is the empty text.
  std::string StringData(unsigned field) const;
  // The field as a 32-bit integer (MSI_NULL_INTEGER for null).
  int IntegerData(unsigned field) const;
  // The byte length of a stream field.
  int DataSize(unsigned field) const;
  // Up to `count` bytes of a stream field, one char per byte.
  std::string ReadStream(unsigned field, int count) const;
  void SetStringData(unsigned field, const std::string& value);

 private:
  MSIHANDLE Checked() const;
  Handle handle_;
};

class View {
 public:
  View() = default;
  explicit View(MSIHANDLE handle) : handle_(handle) {}

  bool IsNothing() const { return handle_.IsNothing(); }
  void Execute();
  // Runs the statement with `parameters` filling its ? markers in order.
  void Execute(const Record& parameters);
  // The next row, or nothing once the rows are exhausted.
  Record Fetch();
  void Close();

 private:
  MSIHANDLE Checked() const;
  Handle handle_;
};

class Database {
 public:
  Database() = default;
  explicit Database(MSIHANDLE handle) : handle_(handle) {}

  bool IsNothing() const { return handle_.IsNothing(); }
  View OpenView(const std::string& sql);

 private:
  Handle handle_;
};

class Installer {
 public:
  // Open mode 0 is read-only, the only mode the report builder uses.
  static constexpr int kReadOnly = 0;
  Database OpenDatabase(const std::string& path, int open_mode);
  // A record of `count` null fields, for statement parameters.
  Record CreateRecord(unsigned count);
};

// A record holding the given texts, one field each, for a statement's ?
// markers.
Record ParameterRecord(std::initializer_list<std::string> values);

}  // namespace pellacor
