// libFuzzer target: the input is the text of one statement. Opens a view
// on it in a small package, then executes it and fetches its rows.
#include <msiquery.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

// Enough rows to reach every part of fetching, few enough that a cross
// join of big tables does not turn the run into a benchmark.
constexpr int kMaxRows = 2000;

MSIHANDLE fixture_database() {
  static MSIHANDLE database = [] {
    const char* path = std::getenv("MSI_FUZZ_PACKAGE");
    if (path == nullptr) path = FUZZ_FIXTURE_PACKAGE;
    MSIHANDLE h = 0;
    if (MsiOpenDatabaseA(path, MSIDBOPEN_READONLY_A, &h) != ERROR_SUCCESS) {
      std::fprintf(stderr, "fuzz_sql_parser: cannot open the package %s (set MSI_FUZZ_PACKAGE)\n", path);
      std::abort();
    }
    return h;
  }();
  return database;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 4096) return 0;
  std::string statement(reinterpret_cast<const char*>(data), size);
  MSIHANDLE view = 0;
  if (MsiDatabaseOpenViewA(fixture_database(), statement.c_str(), &view) != ERROR_SUCCESS) return 0;
  // '?' markers get values from a record of mixed fields
  MSIHANDLE params = MsiCreateRecord(4);
  MsiRecordSetStringA(params, 1, "Complete");
  MsiRecordSetInteger(params, 2, 1);
  MsiRecordSetStringA(params, 3, "");
  MsiRecordSetInteger(params, 4, -1);
  if (MsiViewExecute(view, params) == ERROR_SUCCESS) {
    char buffer[64];
    for (int row_count = 0; row_count < kMaxRows; ++row_count) {
      MSIHANDLE row = 0;
      if (MsiViewFetch(view, &row) != ERROR_SUCCESS) break;
      UINT fields = MsiRecordGetFieldCount(row);
      for (UINT f = 1; f <= fields; ++f) {
        DWORD length = sizeof buffer;
        MsiRecordGetStringA(row, f, buffer, &length);
        MsiRecordGetInteger(row, f);
        MsiRecordDataSize(row, f);
      }
      MsiCloseHandle(row);
    }
    MSIHANDLE info = 0;
    if (MsiViewGetColumnInfo(view, MSICOLINFO_TYPES, &info) == ERROR_SUCCESS) MsiCloseHandle(info);
    MsiViewClose(view);
  }
  MsiCloseHandle(params);
  MsiCloseHandle(view);
  return 0;
}
