// MsiGetDatabaseState, MsiVerifyPackage and MsiGetLastErrorRecord.
#include <gtest/gtest.h>

#include <functional>

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

TEST(DatabaseFunctions, LastErrorRecordDescribesTheLastFailure) {
  ts::TempDir dir;
  const fs::path package = MakePackage(dir);
  ts::Handle db;
  ASSERT_EQ(ts::Open(package, MSIDBOPEN_TRANSACT_A, db), ERROR_SUCCESS);
  const std::string folder = dir.path().string();
  const struct {
    const char* what;
    std::function<UINT()> call;
    UINT result;
    bool record;            // a record follows
    const char* details;    // text field 2 contains, "" for none
  } cases[] = {
      {"unknown table", [&] { return ts::Exec(db, "SELECT * FROM `Nowhere`"); }, ERROR_BAD_QUERY_SYNTAX, true, "Nowhere"},
      {"success clears", [&] { return ts::Exec(db, "SELECT * FROM `T`"); }, ERROR_SUCCESS, false, ""},
      {"duplicate key", [&] { ts::Exec(db, "INSERT INTO `T` (`K`) VALUES ('a')");
                                return ts::Exec(db, "INSERT INTO `T` (`K`) VALUES ('a')"); },
       ERROR_FUNCTION_FAILED, true, ""},
      {"missing package", [&] { MSIHANDLE h = 0; return MsiOpenDatabaseA((dir / "no.msi").c_str(), MSIDBOPEN_READONLY_A, &h); },
       ERROR_OPEN_FAILED, true, ""},
      {"export of no table", [&] { return MsiDatabaseExportA(db, "Nowhere", folder.c_str(), "n.idt"); },
       ERROR_INVALID_TABLE, true, "Nowhere"},
      {"bad handle, no record", [&] { return MsiDatabaseCommit(0); }, ERROR_INVALID_HANDLE, false, ""},
      {"import of no file", [&] { return MsiDatabaseImportA(db, folder.c_str(), "none.idt"); },
       ERROR_BAD_PATHNAME, true, "none.idt"},
      {"bad parameter, no record", [&] { return MsiDatabaseImportA(db, nullptr, "x.idt"); },
       ERROR_INVALID_PARAMETER, false, ""},
      {"summary of a text file", [&] {
         ts::WriteText(dir / "t.txt", "text");
         MSIHANDLE h = 0;
         return MsiGetSummaryInformationA(0, (dir / "t.txt").c_str(), 0, &h); },
       ERROR_INSTALL_PACKAGE_INVALID, true, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(c.call(), c.result);
    ts::Handle rec(MsiGetLastErrorRecord());
    ASSERT_EQ(rec.get() != 0, c.record);
    if (!c.record) continue;
    EXPECT_EQ(MsiRecordGetInteger(rec, 1), static_cast<int>(c.result));
    EXPECT_NE(ts::FieldText(rec, 2).find(c.details), std::string::npos) << ts::FieldText(rec, 2);
    EXPECT_EQ(MsiGetLastErrorRecord(), 0u) << "handed out once";
  }
}

}  // namespace
}  // namespace api_test
