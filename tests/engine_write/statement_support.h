// Helpers the statement tests share.
#pragma once

#include "support.h"

namespace ts {

// A small package made from nothing: Property (string key) and Item (key
// Id, Group; a binary column Data) with a few rows.
void MakeSmallPackage(const fs::path& path);
// The same as dir / "p.msi".
fs::path SmallPackage(const TempDir& dir);
// Opens `package`, runs `statements` and commits; the test fails at the
// first step that does.
void Change(const fs::path& package, const std::vector<std::string>& statements,
            LPCSTR mode = MSIDBOPEN_TRANSACT_A);
std::string Rows(const fs::path& package, const std::string& sql);

// A result's lines, its header first and its rows sorted.
std::vector<std::string> SortedRows(const std::string& text);
// A view's MSICOLINFO_TYPES joined with TABs.
inline std::string Types(MSIHANDLE db, const std::string& sql) {
  return ColumnInfo(db, sql, MSICOLINFO_TYPES);
}

// The archive of _ForceCodepage, exported into `dir`.
std::string ExportedCodepage(MSIHANDLE db, const fs::path& dir);
// msisql --export, then --import into a new package, gives the same tables,
// column types, rows, table streams and codepage.
void ExpectArchiveRoundTrip(const fs::path& package);

}  // namespace ts
