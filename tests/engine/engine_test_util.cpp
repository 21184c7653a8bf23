#include "engine_test_util.h"

namespace enginetest {
namespace {

MSIHANDLE ParamRecord(const std::vector<std::string>& params) {
  if (params.empty()) return 0;
  MSIHANDLE rec = MsiCreateRecord(static_cast<UINT>(params.size()));
  for (size_t i = 0; i < params.size(); ++i) {
    MsiRecordSetStringA(rec, static_cast<UINT>(i + 1), params[i].c_str());
  }
  return rec;
}

}  // namespace

std::string FieldText(MSIHANDLE rec, UINT field) {
  if (MsiRecordIsNull(rec, field)) return "~";
  DWORD len = 0;
  char probe[1];
  UINT r = MsiRecordGetStringA(rec, field, probe, &len);
  if (r == ERROR_INVALID_DATATYPE) return "<" + std::to_string(MsiRecordDataSize(rec, field)) + ">";
  if (r == ERROR_SUCCESS) return "";
  std::string out(len + 1, '\0');
  DWORD size = len + 1;
  MsiRecordGetStringA(rec, field, out.data(), &size);
  out.resize(size);
  return out;
}

UINT Exec(MSIHANDLE db, const std::string& sql, const std::vector<std::string>& params) {
  Handle view, rec(ParamRecord(params));
  UINT r = MsiDatabaseOpenViewA(db, sql.c_str(), view.out());
  if (r != ERROR_SUCCESS) return r;
  return MsiViewExecute(view.get(), rec.get());
}

std::vector<std::string> Rows(MSIHANDLE db, const std::string& sql,
                              const std::vector<std::string>& params) {
  Handle view, prec(ParamRecord(params));
  UINT r = MsiDatabaseOpenViewA(db, sql.c_str(), view.out());
  if (r == ERROR_SUCCESS) r = MsiViewExecute(view.get(), prec.get());
  if (r != ERROR_SUCCESS) return {"error " + std::to_string(r)};
  std::vector<std::string> rows;
  for (;;) {
    Handle rec;
    r = MsiViewFetch(view.get(), rec.out());
    if (r == ERROR_NO_MORE_ITEMS) break;
    if (r != ERROR_SUCCESS) return {"error " + std::to_string(r)};
    std::string line;
    const UINT n = MsiRecordGetFieldCount(rec.get());
    for (UINT i = 1; i <= n; ++i) {
      if (i > 1) line += "|";
      line += FieldText(rec.get(), i);
    }
    rows.push_back(line);
  }
  return rows;
}

UINT MakePackage(const std::string& path, const std::vector<std::string>& statements) {
  Handle db;
  UINT r = MsiOpenDatabaseA(path.c_str(), MSIDBOPEN_CREATE_A, db.out());
  if (r != ERROR_SUCCESS) return r;
  for (const std::string& s : statements) {
    r = Exec(db.get(), s);
    if (r != ERROR_SUCCESS) return r;
  }
  return MsiDatabaseCommit(db.get());
}

}  // namespace enginetest
