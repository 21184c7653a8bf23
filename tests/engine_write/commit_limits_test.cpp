// Commits at the format's limits: more than 65535 strings (3-byte string
// references) and strings longer than 65535 bytes.
#include "package_bytes.h"
#include "statement_support.h"

namespace ts {
namespace {

// A table `Many` (K, V, N) of 33,000 rows with two new strings each:
// 66,000 strings in all, past the 65,535 that 2-byte references reach.
void AddManyStrings(MSIHANDLE db) {
  ASSERT_EQ(Exec(db, "CREATE TABLE `Many` (`K` CHAR(20) NOT NULL, `V` CHAR(20), `N` LONG PRIMARY KEY `K`)"),
            ERROR_SUCCESS);
  Handle view;
  ASSERT_EQ(MsiDatabaseOpenViewA(db, "INSERT INTO `Many` (`K`, `V`, `N`) VALUES (?, ?, ?)", view.out()),
            ERROR_SUCCESS);
  Handle rec(MsiCreateRecord(3));
  for (int i = 0; i < 33000; ++i) {
    MsiRecordSetStringA(rec, 1, ("k" + std::to_string(i)).c_str());
    MsiRecordSetStringA(rec, 2, ("v" + std::to_string(i)).c_str());
    MsiRecordSetInteger(rec, 3, i);
    ASSERT_EQ(MsiViewExecute(view, rec), ERROR_SUCCESS) << i;
  }
  MsiViewClose(view);
}

// Property is never read in the first session: its stream is carried over
// at the new width, and its first read after the widening commit must
// still come from the file as it was opened.
TEST(CommitLimits, MoreThan65535StringsSwitchToWideReferences) {
  TempDir dir;
  const fs::path p = SmallPackage(dir);
  const std::string property = "Property\tValue\nAlpha\tone\nBeta\ttwo\nGamma\tthree\n";
  {
    Handle db;
    ASSERT_EQ(Open(p, MSIDBOPEN_TRANSACT_A, db), ERROR_SUCCESS);
    ASSERT_NO_FATAL_FAILURE(AddManyStrings(db));
    ASSERT_EQ(MsiDatabaseCommit(db), ERROR_SUCCESS);
    EXPECT_EQ(Rows(p, "SELECT * FROM `Property`"), property) << "carried over";
    EXPECT_EQ(Select(db, "SELECT * FROM `Property`"), property) << "first read after the commit";
    ASSERT_EQ(Exec(db, "UPDATE `Property` SET `Value` = 'uno' WHERE `Property` = 'Alpha'"), ERROR_SUCCESS);
    ASSERT_EQ(Exec(db, "DELETE FROM `Many` WHERE `V` = 'v7'"), ERROR_SUCCESS);
    ASSERT_EQ(MsiDatabaseCommit(db), ERROR_SUCCESS);
  }
  EXPECT_TRUE(ExpectSound(p).wide_refs) << "ids above 65535 need 3-byte references";
  EXPECT_EQ(Rows(p, "SELECT `V`, `N` FROM `Many` WHERE `K` = 'k32999' OR `K` = 'k7'"), "V\tN\nv32999\t32999\n");
  const std::string changed = "Property\tValue\nAlpha\tuno\nBeta\ttwo\nGamma\tthree\n";
  EXPECT_EQ(Rows(p, "SELECT * FROM `Property`"), changed);
  REQUIRE_ORACLE();
  EXPECT_EQ(OracleSelect(p, {"SELECT `V`, `N` FROM `Many` WHERE `K` = 'k32999'", "SELECT * FROM `Property`"}),
            "V\tN\nv32999\t32999\n" + changed);
  // Back under the limit: references may narrow again, data stays.
  Change(p, {"DROP TABLE `Many`"});
  ExpectSound(p);
  EXPECT_EQ(OracleSelect(p, {"SELECT * FROM `Property`"}), changed);
}

TEST(CommitLimits, StringLongerThan65535BytesKeepsTheStringsAfterIt) {
  TempDir dir;
  const fs::path p = SmallPackage(dir);
  std::string long_text(70001, 'x');
  for (size_t i = 0; i < long_text.size(); i += 97) long_text[i] = static_cast<char>('a' + i % 26);
  {
    Handle db;
    ASSERT_EQ(Open(p, MSIDBOPEN_TRANSACT_A, db), ERROR_SUCCESS);
    Handle rec = MakeRecord({"Long", long_text});
    ASSERT_EQ(Exec(db, "INSERT INTO `Property` (`Property`, `Value`) VALUES (?, ?)", rec), ERROR_SUCCESS);
    ASSERT_EQ(Exec(db, "INSERT INTO `Property` (`Property`, `Value`) VALUES ('After', 'later string')"),
              ERROR_SUCCESS);
    ASSERT_EQ(MsiDatabaseCommit(db), ERROR_SUCCESS);
  }
  ExpectSound(p);
  EXPECT_EQ(Rows(p, "SELECT `Value` FROM `Property` WHERE `Property` = 'Long'"), "Value\n" + long_text + "\n");
  EXPECT_EQ(Rows(p, "SELECT `Value` FROM `Property` WHERE `Property` = 'After'"), "Value\nlater string\n");
  REQUIRE_ORACLE();
  EXPECT_EQ(OracleSelect(p, {"SELECT `Value` FROM `Property` WHERE `Property` = 'After'"}), "Value\nlater string\n");
}

}  // namespace
}  // namespace ts
