// A database opened read-only must refuse every change (the header's
// contract), not accept it in memory.
#include "package_bytes.h"
#include "modify_fixture.h"

namespace ew {
namespace {

TEST(PersistModes, ReadOnlyDatabaseRefusesEveryChange) {
  TempDir dir;
  fs::path p = dir / "p.msi";
  MakeSmallPackage(p);
  Bytes before = ReadBytes(p);
  Handle db;
  ASSERT_EQ(Open(p, MSIDBOPEN_READONLY_A, db), ERROR_SUCCESS);
  for (const char* s : {"DELETE FROM `Property`", "UPDATE `Property` SET `Value` = 'x'",
                        "INSERT INTO `Property` (`Property`, `Value`) VALUES ('New', 'v')", "DROP TABLE `Item`",
                        "CREATE TABLE `T` (`K` SHORT NOT NULL PRIMARY KEY `K`)"}) {
    EXPECT_NE(Exec(db, s), ERROR_SUCCESS) << s;
  }
  EXPECT_EQ(MsiDatabaseCommit(db), ERROR_SUCCESS);
  db.reset();
  EXPECT_TRUE(ReadBytes(p) == before);
}

TEST_F(ModifyTest, ModifyThroughAReadOnlyDatabaseFails) {
  db_.reset();
  ASSERT_EQ(Open(path_, MSIDBOPEN_READONLY_A, db_), ERROR_SUCCESS);
  Handle view = View("SELECT * FROM `Property`");
  Handle fresh = MakeRecord({"Delta", "four"});
  EXPECT_NE(MsiViewModify(view, MSIMODIFY_INSERT, fresh), ERROR_SUCCESS);
}

}  // namespace
}  // namespace ew
