// A database opened read-only takes changes in memory ("no persistent
// changes") but never lets one reach the file, commit or not.
#include "package_bytes.h"
#include "modify_fixture.h"

namespace ts {
namespace {

TEST(PersistModes, ReadOnlyDatabaseNeverWritesAChange) {
  TempDir dir;
  fs::path p = dir / "p.msi";
  MakeSmallPackage(p);
  Bytes before = ReadBytes(p);
  Handle db;
  ASSERT_EQ(Open(p, MSIDBOPEN_READONLY_A, db), ERROR_SUCCESS);
  for (const char* s : {"DELETE FROM `Property`", "UPDATE `Property` SET `Value` = 'x'",
                        "INSERT INTO `Property` (`Property`, `Value`) VALUES ('New', 'v')", "DROP TABLE `Item`",
                        "CREATE TABLE `T` (`K` SHORT NOT NULL PRIMARY KEY `K`)"}) {
    EXPECT_EQ(Exec(db, s), ERROR_SUCCESS) << s;
  }
  // The changes are there for this handle...
  EXPECT_EQ(Select(db, "SELECT `Property`, `Value` FROM `Property`"), "Property\tValue\nNew\tv\n");
  EXPECT_EQ(MsiDatabaseCommit(db), ERROR_SUCCESS);
  db.reset();
  // ...and never in the file.
  EXPECT_TRUE(ReadBytes(p) == before);
  ASSERT_EQ(Open(p, MSIDBOPEN_READONLY_A, db), ERROR_SUCCESS);
  EXPECT_NE(Select(db, "SELECT `Name` FROM `_Tables` WHERE `Name` = 'Item'"), "Name\n");
  db.reset();
  EXPECT_TRUE(ReadBytes(p) == before);
}

TEST_F(ModifyTest, ModifyThroughAReadOnlyDatabaseStaysInMemory) {
  db_.reset();
  const Bytes before = ReadBytes(path_);
  ASSERT_EQ(Open(path_, MSIDBOPEN_READONLY_A, db_), ERROR_SUCCESS);
  Handle view = View("SELECT * FROM `Property`");
  Handle fresh = MakeRecord({"Delta", "four"});
  EXPECT_EQ(MsiViewModify(view, MSIMODIFY_INSERT, fresh), ERROR_SUCCESS);
  EXPECT_EQ(MsiDatabaseCommit(db_), ERROR_SUCCESS);
  db_.reset();
  EXPECT_TRUE(ReadBytes(path_) == before);
}

}  // namespace
}  // namespace ts
