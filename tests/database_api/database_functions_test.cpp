// MsiGetDatabaseState, MsiVerifyPackage and MsiGetLastErrorRecord.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "support.h"

namespace api_test {
namespace {

namespace fs = std::filesystem;

// A new package with one table, committed.
fs::path MakePackage(const ts::TempDir& dir) {
  ts::Handle db;
  EXPECT_EQ(ts::Open(dir / "p.msi", MSIDBOPEN_CREATE_A, db), ERROR_SUCCESS);
  EXPECT_EQ(ts::Exec(db, "CREATE TABLE `T` (`K` CHAR(8) NOT NULL PRIMARY KEY `K`)"), ERROR_SUCCESS);
  EXPECT_EQ(MsiDatabaseCommit(db), ERROR_SUCCESS);
  return dir / "p.msi";
}

TEST(DatabaseFunctions, StateFollowsTheOpenMode) {
  ts::TempDir dir;
  const fs::path package = MakePackage(dir);
  ts::Handle db[5], rec(MsiCreateRecord(1));
  ASSERT_EQ(ts::Open(package, MSIDBOPEN_READONLY_A, db[0]), ERROR_SUCCESS);
  ASSERT_EQ(ts::Open(package, MSIDBOPEN_TRANSACT_A, db[1]), ERROR_SUCCESS);
  ASSERT_EQ(ts::OpenTo(package, dir / "out.msi", db[2]), ERROR_SUCCESS);
  ASSERT_EQ(ts::Open(dir / "new.msi", MSIDBOPEN_CREATE_A, db[3]), ERROR_SUCCESS);
  ASSERT_EQ(ts::Open(dir / "direct.msi", MSIDBOPEN_CREATEDIRECT_A, db[4]), ERROR_SUCCESS);
  const std::pair<MSIHANDLE, MSIDBSTATE> cases[] = {
      {db[0], MSIDBSTATE_READ},  {db[1], MSIDBSTATE_WRITE}, {db[2], MSIDBSTATE_WRITE}, {db[3], MSIDBSTATE_WRITE},
      {db[4], MSIDBSTATE_WRITE}, {rec, MSIDBSTATE_ERROR},   {0, MSIDBSTATE_ERROR}};
  for (const auto& [handle, state] : cases) EXPECT_EQ(MsiGetDatabaseState(handle), state) << handle;
}

TEST(DatabaseFunctions, VerifyPackageKnowsInstallerDatabases) {
  ts::TempDir dir;
  const fs::path package = MakePackage(dir);
  ts::WriteText(dir / "text.msi", "not a package");
  std::string cut = ts::ReadText(package);
  ts::WriteText(dir / "cut.msi", cut.substr(0, cut.size() / 2));
  const struct {
    fs::path path;
    UINT result;
  } cases[] = {{package, ERROR_SUCCESS},
               {dir / "text.msi", ERROR_INSTALL_PACKAGE_INVALID},
               {dir / "cut.msi", ERROR_INSTALL_PACKAGE_INVALID},
               {dir / "missing.msi", ERROR_INSTALL_PACKAGE_INVALID},
               {dir.path(), ERROR_INSTALL_PACKAGE_INVALID},
               {"", ERROR_INSTALL_PACKAGE_INVALID}};
  for (const auto& c : cases) {
    EXPECT_EQ(MsiVerifyPackageA(c.path.c_str()), c.result) << c.path;
    EXPECT_EQ(MsiVerifyPackageW(c.path.u16string().c_str()), c.result) << c.path;
  }
  EXPECT_EQ(MsiVerifyPackageA(nullptr), ERROR_INVALID_PARAMETER);
  if (ts::CorpusPresent()) {
    for (const fs::path& p : ts::CorpusPackages()) EXPECT_EQ(MsiVerifyPackageA(p.c_str()), ERROR_SUCCESS) << p;
  }
}

// Field 1 is the installer's error number where it has one for the fault,
// fields 2.. its message's parameters ("Database: [2]. Unknown table '[3]'
// in SQL query: [4]."; [2] stays null for a database opened by handle);
// the engine's description follows them. Other failures keep the result
// code and the description.
TEST(DatabaseFunctions, LastErrorRecordCarriesTheInstallersErrorNumbers) {
  ts::TempDir dir;
  const fs::path package = MakePackage(dir);
  ts::Handle db;
  ASSERT_EQ(ts::Open(package, MSIDBOPEN_TRANSACT_A, db), ERROR_SUCCESS);
  const std::string folder = dir.path().string(), missing = (dir / "no.msi").string();
  ts::WriteText(dir / "bad.idt", "K\ns8\nU\tK\na\na\n");  // a repeated key
  auto query = [&](const char* sql) { return [&db, sql] { return ts::Exec(db, sql); }; };
  const struct {
    const char* what;
    std::function<UINT()> call;
    UINT result;
    int number;                       // field 1; 0: no record at all
    std::vector<std::string> fields;  // fields 2.., "" for null
  } cases[] = {
      {"unknown table", query("SELECT * FROM `Nowhere`"), ERROR_BAD_QUERY_SYNTAX, 2228,
       {"", "Nowhere", "SELECT * FROM `Nowhere`"}},
      {"success clears", query("SELECT * FROM `T`"), ERROR_SUCCESS, 0, {}},
      {"unknown column", query("SELECT `Z` FROM `T`"), ERROR_BAD_QUERY_SYNTAX, 2235, {"", "Z", "SELECT `Z` FROM `T`"}},
      {"unterminated name", query("SELECT * FROM `T"), ERROR_BAD_QUERY_SYNTAX, 2227, {"", "T", "SELECT * FROM `T"}},
      {"unexpected token", query("SELECT * FROM `T` WHERE ="), ERROR_BAD_QUERY_SYNTAX, 2232,
       {"", "=", "SELECT * FROM `T` WHERE ="}},
      {"missing package", [&] { MSIHANDLE h = 0; return MsiOpenDatabaseA(missing.c_str(), MSIDBOPEN_READONLY_A, &h); },
       ERROR_OPEN_FAILED, 2203, {missing, "-2147287038"}},
      {"export of no table", [&] { return MsiDatabaseExportA(db, "Nowhere", folder.c_str(), "n.idt"); },
       ERROR_INVALID_TABLE, 2205, {"", "Nowhere"}},
      {"import of no file", [&] { return MsiDatabaseImportA(db, folder.c_str(), "none.idt"); },
       ERROR_BAD_PATHNAME, 2215, {"", "none.idt"}},
      {"import of a bad line", [&] { return MsiDatabaseImportA(db, folder.c_str(), "bad.idt"); },
       ERROR_FUNCTION_FAILED, 2216, {"", "bad.idt", "5"}},
      {"bad handle, no record", [&] { return MsiDatabaseCommit(0); }, ERROR_INVALID_HANDLE, 0, {}},
      {"bad parameter, no record", [&] { return MsiDatabaseImportA(db, nullptr, "x.idt"); }, ERROR_INVALID_PARAMETER, 0, {}},
      {"duplicate key: the result code", [&] { ts::Exec(db, "INSERT INTO `T` (`K`) VALUES ('a')");
                                                 return ts::Exec(db, "INSERT INTO `T` (`K`) VALUES ('a')"); },
       ERROR_FUNCTION_FAILED, ERROR_FUNCTION_FAILED, {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const UINT result = c.call();
    EXPECT_EQ(result, c.result);
    ts::Handle rec(MsiGetLastErrorRecord());
    ASSERT_EQ(rec.get() != 0, c.number != 0);
    if (c.number == 0) continue;
    EXPECT_EQ(MsiRecordGetInteger(rec, 1), c.number);
    for (size_t i = 0; i < c.fields.size(); ++i) EXPECT_EQ(ts::FieldText(rec, UINT(i + 2)), c.fields[i]) << i + 2;
    // The engine's description closes the record, as MsiExtLastErrorDescriptionA ends with it.
    const UINT last = MsiRecordGetFieldCount(rec);
    EXPECT_EQ(last, c.fields.size() + 2);
    EXPECT_NE(std::string(MsiExtLastErrorDescriptionA(result)).find(ts::FieldText(rec, last)), std::string::npos);
    EXPECT_EQ(MsiGetLastErrorRecord(), 0u) << "handed out once";
  }
}

}  // namespace
}  // namespace api_test
