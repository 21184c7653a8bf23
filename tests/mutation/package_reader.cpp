#include "package_reader.h"

#include <msiquery.h>

#include <string>
#include <vector>

namespace {

// Closes the handle when the scope ends, as the tools' wrappers do.
class Handle {
 public:
  Handle() = default;
  explicit Handle(MSIHANDLE h) : h_(h) {}
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  ~Handle() { MsiCloseHandle(h_); }
  MSIHANDLE* out() { return &h_; }
  MSIHANDLE get() const { return h_; }

 private:
  MSIHANDLE h_ = 0;
};

class Reader {
 public:
  explicit Reader(ReadOutcome& outcome) : outcome_(outcome) {}

  // Records the first failure; true when `code` is a success.
  bool check(unsigned code, const std::string& step) {
    if (code == ERROR_SUCCESS) return true;
    if (outcome_.first_error == 0) {
      outcome_.first_error = code;
      outcome_.step = step;
    }
    return false;
  }

  std::string text(MSIHANDLE record, unsigned field, const std::string& step) {
    std::vector<char> buffer(16);
    for (int attempt = 0; attempt < 2; ++attempt) {
      DWORD size = static_cast<DWORD>(buffer.size());
      unsigned code = MsiRecordGetStringA(record, field, buffer.data(), &size);
      if (code == ERROR_MORE_DATA) {
        buffer.resize(size + 1);
        continue;
      }
      // a stream field has no text: that answer is part of reading it
      if (code != ERROR_INVALID_DATATYPE) check(code, step);
      return code == ERROR_SUCCESS ? std::string(buffer.data(), size) : std::string();
    }
    check(ERROR_MORE_DATA, step + " (length changed between calls)");
    return {};
  }

  void stream(MSIHANDLE record, unsigned field, const std::string& step) {
    if (MsiRecordIsNull(record, field)) return;  // no stream to read
    char buffer[4096];
    for (;;) {
      DWORD size = sizeof buffer;
      unsigned code = MsiRecordReadStream(record, field, buffer, &size);
      if (code != ERROR_SUCCESS) {
        // text and integer fields are no streams; that is not damage
        if (code != ERROR_INVALID_DATATYPE && code != ERROR_INVALID_PARAMETER) check(code, step);
        return;
      }
      if (size == 0) return;
      outcome_.stream_bytes += size;
    }
  }

  void rows(MSIHANDLE database, const std::string& table) {
    std::string statement = "SELECT * FROM `" + table + "`";
    Handle view;
    if (!check(MsiDatabaseOpenViewA(database, statement.c_str(), view.out()), "view " + table)) return;
    if (!check(MsiViewExecute(view.get(), 0), "execute " + table)) return;
    Handle names, types;
    check(MsiViewGetColumnInfo(view.get(), MSICOLINFO_NAMES, names.out()), "names " + table);
    check(MsiViewGetColumnInfo(view.get(), MSICOLINFO_TYPES, types.out()), "types " + table);
    for (;;) {
      Handle row;
      unsigned code = MsiViewFetch(view.get(), row.out());
      if (code == ERROR_NO_MORE_ITEMS) break;
      if (!check(code, "fetch " + table)) break;
      unsigned count = MsiRecordGetFieldCount(row.get());
      for (unsigned field = 1; field <= count; ++field) {
        ++outcome_.fields;
        MsiRecordIsNull(row.get(), field);
        MsiRecordGetInteger(row.get(), field);
        MsiRecordDataSize(row.get(), field);
        text(row.get(), field, "text of " + table);
        stream(row.get(), field, "stream of " + table);
      }
    }
    check(MsiViewClose(view.get()), "close " + table);
  }

  void everything(const std::string& path) {
    Handle database;
    if (!check(MsiOpenDatabaseA(path.c_str(), MSIDBOPEN_READONLY_A, database.out()), "open")) return;
    std::vector<std::string> tables;
    {
      Handle view;
      if (check(MsiDatabaseOpenViewA(database.get(), "SELECT `Name` FROM `_Tables`", view.out()),
                "view _Tables") &&
          check(MsiViewExecute(view.get(), 0), "execute _Tables")) {
        for (;;) {
          Handle row;
          unsigned code = MsiViewFetch(view.get(), row.out());
          if (code == ERROR_NO_MORE_ITEMS || !check(code, "fetch _Tables")) break;
          tables.push_back(text(row.get(), 1, "name in _Tables"));
        }
      }
    }
    for (const auto& table : tables) rows(database.get(), table);
    rows(database.get(), "_Streams");
    summary(database.get());
  }

  // Every summary property, its text read with a short buffer first.
  void summary(MSIHANDLE database) {
    Handle si;
    if (!check(MsiGetSummaryInformationA(database, nullptr, 0, si.out()), "summary")) return;
    for (unsigned pid = 0; pid <= PID_SECURITY; ++pid) {
      UINT type = 0;
      INT number = 0;
      FILETIME time{};
      char small[2];
      DWORD size = sizeof small;
      unsigned code = MsiSummaryInfoGetPropertyA(si.get(), pid, &type, &number, &time, small, &size);
      if (code == ERROR_MORE_DATA) {
        std::vector<char> buffer(size + 1);
        size = static_cast<DWORD>(buffer.size());
        code = MsiSummaryInfoGetPropertyA(si.get(), pid, &type, &number, &time, buffer.data(), &size);
      }
      if (!check(code, "summary property " + std::to_string(pid))) return;
      ++outcome_.fields;
    }
  }

 private:
  ReadOutcome& outcome_;
};

}  // namespace

ReadOutcome read_whole_package(const std::string& path) {
  ReadOutcome outcome;
  Reader(outcome).everything(path);
  return outcome;
}

bool is_expected_result(unsigned code) {
  switch (code) {
    case ERROR_SUCCESS:
    case ERROR_INVALID_DATA:
    case ERROR_OPEN_FAILED:
    case ERROR_BAD_QUERY_SYNTAX:
    case ERROR_INSTALL_PACKAGE_INVALID:
    case ERROR_FUNCTION_FAILED:
    case ERROR_INVALID_TABLE:
    case ERROR_DATATYPE_MISMATCH:
    case ERROR_UNSUPPORTED_TYPE:
      return true;
    default:
      return false;
  }
}
