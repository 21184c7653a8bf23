// _Streams rows: a fetched row whose Data is set anew and written back
// with MSIMODIFY_UPDATE replaces the stream.
#include "modify_fixture.h"
#include "package_bytes.h"

namespace ts {
namespace {

TEST_F(ModifyTest, StreamsTableRowsCanBeInsertedReplacedAndDeleted) {
  {
    Handle view;
    ASSERT_EQ(MsiDatabaseOpenViewA(db_, "INSERT INTO `_Streams` (`Name`, `Data`) VALUES (?, ?)", view.out()),
              ERROR_SUCCESS);
    Handle a = MakeRecord({"extra.cab", ""});
    ASSERT_EQ(MsiExtRecordSetStreamData(a, 2, "cabinet bytes", 13), ERROR_SUCCESS);
    EXPECT_EQ(MsiViewExecute(view, a), ERROR_SUCCESS);
    Handle b = MakeRecord({"gone.bin", ""});
    ASSERT_EQ(MsiExtRecordSetStreamData(b, 2, "x", 1), ERROR_SUCCESS);
    EXPECT_EQ(MsiViewExecute(view, b), ERROR_SUCCESS);
    Handle dup = MakeRecord({"gone.bin", ""});
    ASSERT_EQ(MsiExtRecordSetStreamData(dup, 2, "y", 1), ERROR_SUCCESS);
    EXPECT_EQ(MsiViewExecute(view, dup), ERROR_FUNCTION_FAILED);
  }
  ASSERT_EQ(MsiDatabaseCommit(db_), ERROR_SUCCESS);
  {
    Handle view = View("SELECT `Name`, `Data` FROM `_Streams` WHERE `Name` = 'extra.cab'");
    Handle row;
    ASSERT_EQ(MsiViewFetch(view, row.out()), ERROR_SUCCESS);
    ASSERT_EQ(MsiExtRecordSetStreamData(row, 2, "replaced", 8), ERROR_SUCCESS);
    EXPECT_EQ(MsiViewModify(view, MSIMODIFY_UPDATE, row), ERROR_SUCCESS);
  }
  ASSERT_EQ(Exec(db_, "DELETE FROM `_Streams` WHERE `Name` = 'gone.bin'"), ERROR_SUCCESS);
  ASSERT_EQ(MsiDatabaseCommit(db_), ERROR_SUCCESS);
  db_.reset();
  StoredPackage stored;
  ASSERT_EQ(DecodePackage(ReadBytes(path_), stored), "");
  EXPECT_TRUE(stored.streams["extra.cab"] == Bytes({'r', 'e', 'p', 'l', 'a', 'c', 'e', 'd'}));
  EXPECT_EQ(stored.streams.count("gone.bin"), 0u);
  auto faults = WriterRuleFaults(stored);
  EXPECT_TRUE(faults.empty()) << faults.front();
  if (!MsiInfo().empty()) {
    RunResult data = ts::Run({MsiInfo(), "extract", path_.string(), "extra.cab"});
    EXPECT_EQ(data.out, "replaced");
  }
}

}  // namespace
}  // namespace ts
