// What the engine's C API tests add to the shared support: SELECT results
// as one string per row (fields joined by '|', null "~", a stream "<N>").
#pragma once

#include "support.h"

namespace enginetest {

using ts::Exec;
using ts::Handle;
using Strings = std::vector<std::string>;

inline Strings Rows(MSIHANDLE db, const std::string& sql, MSIHANDLE params = 0) {
  Handle view;
  UINT r = MsiDatabaseOpenViewA(db, sql.c_str(), view.out());
  if (r == ERROR_SUCCESS) r = MsiViewExecute(view, params);
  Strings rows;
  for (Handle rec; r == ERROR_SUCCESS;) {
    if ((r = MsiViewFetch(view, rec.out())) != ERROR_SUCCESS) break;
    std::string line;
    for (UINT i = 1; i <= MsiRecordGetFieldCount(rec); ++i) {
      DWORD n = 0;
      char probe[1];
      line += i > 1 ? "|" : "";
      if (MsiRecordIsNull(rec, i)) line += "~";
      else if (MsiRecordGetStringA(rec, i, probe, &n) == ERROR_INVALID_DATATYPE)
        line += "<" + std::to_string(MsiRecordDataSize(rec, i)) + ">";
      else line += ts::FieldText(rec, i);
    }
    rows.push_back(line);
  }
  return r == ERROR_NO_MORE_ITEMS ? rows : Strings{"error " + std::to_string(r)};
}

// A new package made by the statements, committed; the first failing code.
inline UINT MakePackage(const ts::fs::path& path, const Strings& statements) {
  Handle db;
  UINT r = ts::Open(path, MSIDBOPEN_CREATE_A, db);
  for (size_t i = 0; r == ERROR_SUCCESS && i < statements.size(); ++i) r = Exec(db, statements[i]);
  return r == ERROR_SUCCESS ? MsiDatabaseCommit(db) : r;
}

}  // namespace enginetest
