#include "package_reader.h"

#include <msiquery.h>

#include <vector>

namespace {

// The fuzz target shares this file without the tests' support library.
struct Handle {
  MSIHANDLE h = 0;
  Handle() = default;
  Handle(const Handle&) = delete;
  ~Handle() { MsiCloseHandle(h); }
  MSIHANDLE* out() {
    MsiCloseHandle(h);
    h = 0;
    return &h;
  }
  operator MSIHANDLE() const { return h; }
};

struct Reader : ReadOutcome {

  // Records the first failure; true when `code` is a success.
  bool Check(unsigned code, const std::string& where) {
    if (code != ERROR_SUCCESS && first_error == 0) first_error = code, step = where;
    return code == ERROR_SUCCESS;
  }

  // A text read with too short a buffer first, then with the size asked for.
  template <typename Get>
  unsigned Text(const Get& get, std::string* text) {
    std::vector<char> buffer(2);
    DWORD size = 2;
    unsigned code = get(buffer.data(), &size);
    if (code == ERROR_MORE_DATA) {
      buffer.resize(size + 1);
      size = static_cast<DWORD>(buffer.size());
      code = get(buffer.data(), &size);
    }
    if (code == ERROR_SUCCESS && text != nullptr) text->assign(buffer.data(), size);
    return code;
  }

  // Every row of a SELECT; each field read as every type.
  void Rows(MSIHANDLE database, const std::string& sql, std::vector<std::string>* first_fields = nullptr) {
    Handle view, names, types;
    if (!Check(MsiDatabaseOpenViewA(database, sql.c_str(), view.out()), "view " + sql)) return;
    if (!Check(MsiViewExecute(view, 0), "execute " + sql)) return;
    Check(MsiViewGetColumnInfo(view, MSICOLINFO_NAMES, names.out()), "names " + sql);
    Check(MsiViewGetColumnInfo(view, MSICOLINFO_TYPES, types.out()), "types " + sql);
    for (Handle row;;) {
      const unsigned fetched = MsiViewFetch(view, row.out());
      if (fetched == ERROR_NO_MORE_ITEMS || !Check(fetched, "fetch " + sql)) break;
      for (unsigned field = 1; field <= MsiRecordGetFieldCount(row); ++field) {
        MsiRecordIsNull(row, field);
        MsiRecordGetInteger(row, field);
        MsiRecordDataSize(row, field);
        std::string text;
        const auto get = [&](char* b, DWORD* n) { return MsiRecordGetStringA(row, field, b, n); };
        const unsigned code = Text(get, &text);
        if (code != ERROR_INVALID_DATATYPE) Check(code, "text of " + sql);  // a stream field has no text
        if (first_fields != nullptr && field == 1) first_fields->push_back(text);
        char buffer[4096];
        for (DWORD size = sizeof buffer; !MsiRecordIsNull(row, field); size = sizeof buffer) {
          const unsigned read = MsiRecordReadStream(row, field, buffer, &size);
          // text and integer fields are no streams; that is not damage
          if (read != ERROR_INVALID_DATATYPE && read != ERROR_INVALID_PARAMETER) {
            Check(read, "stream of " + sql);
          }
          if (read != ERROR_SUCCESS || size == 0) break;
        }
      }
      // Validation follows the package's own _Validation table, damaged or
      // not: any answer will do, a crash or a read out of bounds will not.
      if (MsiViewModify(view, MSIMODIFY_VALIDATE, row) == ERROR_INVALID_DATA) {
        char column[64];
        DWORD size = sizeof column;
        for (int i = 0; i < 256 && MsiViewGetErrorA(view, column, &size) > MSIDBERROR_NOERROR; ++i) {
          size = sizeof column;
        }
      }
    }
    Check(MsiViewClose(view), "close " + sql);
  }

  void Everything(const std::string& path) {
    Handle database, si;
    if (!Check(MsiOpenDatabaseA(path.c_str(), MSIDBOPEN_READONLY_A, database.out()), "open")) return;
    std::vector<std::string> tables;
    Rows(database, "SELECT `Name` FROM `_Tables`", &tables);
    for (const auto& table : tables) Rows(database, "SELECT * FROM `" + table + "`");
    Rows(database, "SELECT * FROM `_Streams`");
    if (!Check(MsiGetSummaryInformationA(database, nullptr, 0, si.out()), "summary")) return;
    for (unsigned pid = 0; pid <= PID_SECURITY; ++pid) {
      UINT type = 0;
      INT number = 0;
      FILETIME time{};
      const auto get = [&](char* b, DWORD* n) {
        return MsiSummaryInfoGetPropertyA(si, pid, &type, &number, &time, b, n);
      };
      if (!Check(Text(get, nullptr), "summary property " + std::to_string(pid))) return;
    }
  }
};

}  // namespace

ReadOutcome ReadWholePackage(const std::string& path) {
  Reader reader;
  reader.Everything(path);
  return reader;
}

bool IsExpectedResult(unsigned code) {
  for (unsigned ok : {ERROR_SUCCESS, ERROR_INVALID_DATA, ERROR_OPEN_FAILED, ERROR_BAD_QUERY_SYNTAX,
                      ERROR_INSTALL_PACKAGE_INVALID, ERROR_FUNCTION_FAILED, ERROR_INVALID_TABLE,
                      ERROR_DATATYPE_MISMATCH, ERROR_UNSUPPORTED_TYPE})
    if (code == ok) return true;
  return false;
}

