#include "package_reader.h"

#include <vector>

#include "support.h"

namespace {

using ts::Handle;

class Reader {
 public:
  explicit Reader(ReadOutcome& outcome) : outcome_(outcome) {}

  // Records the first failure; true when `code` is a success.
  bool Check(unsigned code, const std::string& step) {
    if (code != ERROR_SUCCESS && outcome_.first_error == 0) outcome_ = {code, step, outcome_.fields, outcome_.stream_bytes};
    return code == ERROR_SUCCESS;
  }

  std::string Text(MSIHANDLE record, unsigned field, const std::string& step) {
    std::vector<char> buffer(16);
    DWORD size = static_cast<DWORD>(buffer.size());
    unsigned code = MsiRecordGetStringA(record, field, buffer.data(), &size);
    if (code == ERROR_MORE_DATA) {
      buffer.resize(size + 1);
      size = static_cast<DWORD>(buffer.size());
      code = MsiRecordGetStringA(record, field, buffer.data(), &size);
    }
    if (code != ERROR_INVALID_DATATYPE) Check(code, step);  // a stream field has no text
    return code == ERROR_SUCCESS ? std::string(buffer.data(), size) : std::string();
  }

  void Stream(MSIHANDLE record, unsigned field, const std::string& step) {
    char buffer[4096];
    for (DWORD size = sizeof buffer; !MsiRecordIsNull(record, field); size = sizeof buffer) {
      const unsigned code = MsiRecordReadStream(record, field, buffer, &size);
      // text and integer fields are no streams; that is not damage
      if (code != ERROR_INVALID_DATATYPE && code != ERROR_INVALID_PARAMETER) Check(code, step);
      if (code != ERROR_SUCCESS || size == 0) return;
      outcome_.stream_bytes += size;
    }
  }

  // Every row of a SELECT; each field read as every type.
  void Rows(MSIHANDLE database, const std::string& sql, std::vector<std::string>* first_fields = nullptr) {
    Handle view, names, types;
    if (!Check(MsiDatabaseOpenViewA(database, sql.c_str(), view.out()), "view " + sql)) return;
    if (!Check(MsiViewExecute(view, 0), "execute " + sql)) return;
    Check(MsiViewGetColumnInfo(view, MSICOLINFO_NAMES, names.out()), "names " + sql);
    Check(MsiViewGetColumnInfo(view, MSICOLINFO_TYPES, types.out()), "types " + sql);
    for (;;) {
      Handle row;
      const unsigned code = MsiViewFetch(view, row.out());
      if (code == ERROR_NO_MORE_ITEMS || !Check(code, "fetch " + sql)) break;
      for (unsigned field = 1; field <= MsiRecordGetFieldCount(row); ++field) {
        ++outcome_.fields;
        MsiRecordIsNull(row, field);
        MsiRecordGetInteger(row, field);
        MsiRecordDataSize(row, field);
        const std::string text = Text(row, field, "text of " + sql);
        if (first_fields != nullptr && field == 1) first_fields->push_back(text);
        Stream(row, field, "stream of " + sql);
      }
    }
    Check(MsiViewClose(view), "close " + sql);
  }

  // Every summary property, its text read with a short buffer first.
  void Summary(MSIHANDLE database) {
    Handle si;
    if (!Check(MsiGetSummaryInformationA(database, nullptr, 0, si.out()), "summary")) return;
    for (unsigned pid = 0; pid <= PID_SECURITY; ++pid) {
      UINT type = 0;
      INT number = 0;
      FILETIME time{};
      std::vector<char> buffer(2);
      DWORD size = 2;
      unsigned code = MsiSummaryInfoGetPropertyA(si, pid, &type, &number, &time, buffer.data(), &size);
      if (code == ERROR_MORE_DATA) {
        buffer.resize(size + 1);
        size = static_cast<DWORD>(buffer.size());
        code = MsiSummaryInfoGetPropertyA(si, pid, &type, &number, &time, buffer.data(), &size);
      }
      if (!Check(code, "summary property " + std::to_string(pid))) return;
      ++outcome_.fields;
    }
  }

  void Everything(const std::string& path) {
    Handle database;
    if (!Check(MsiOpenDatabaseA(path.c_str(), MSIDBOPEN_READONLY_A, database.out()), "open")) return;
    std::vector<std::string> tables;
    Rows(database, "SELECT `Name` FROM `_Tables`", &tables);
    for (const auto& table : tables) Rows(database, "SELECT * FROM `" + table + "`");
    Rows(database, "SELECT * FROM `_Streams`");
    Summary(database);
  }

 private:
  ReadOutcome& outcome_;
};

}  // namespace

ReadOutcome read_whole_package(const std::string& path) {
  ReadOutcome outcome;
  Reader(outcome).Everything(path);
  return outcome;
}

bool is_expected_result(unsigned code) {
  for (unsigned ok : {ERROR_SUCCESS, ERROR_INVALID_DATA, ERROR_OPEN_FAILED, ERROR_BAD_QUERY_SYNTAX,
                      ERROR_INSTALL_PACKAGE_INVALID, ERROR_FUNCTION_FAILED, ERROR_INVALID_TABLE,
                      ERROR_DATATYPE_MISMATCH, ERROR_UNSUPPORTED_TYPE})
    if (code == ok) return true;
  return false;
}
