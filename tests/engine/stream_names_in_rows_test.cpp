// Streams are named after rows; a name the file format cannot hold must
// be refused when the row is written, not discovered at commit.
#include <gtest/gtest.h>

#include <algorithm>

#include "engine_test_util.h"

namespace enginetest {
namespace {

UINT InsertStream(MSIHANDLE db, const std::string& sql, const std::string& key) {
  Handle view, rec(MsiCreateRecord(2));
  MsiRecordSetStringA(rec.get(), 1, key.c_str());
  const char data[] = "payload";
  MsiExtRecordSetStreamData(rec.get(), 2, data, sizeof data);
  UINT r = MsiDatabaseOpenViewA(db, sql.c_str(), view.out());
  return r != ERROR_SUCCESS ? r : MsiViewExecute(view.get(), rec.get());
}

TEST(StreamNamesInRows, UnstorableNamesAreRefusedAtInsert) {
  ScratchDir dir;
  const std::string path = dir.File("s.msi");
  ASSERT_EQ(MakePackage(path, {"CREATE TABLE Binary (Name CHAR(72) NOT NULL, Data OBJECT "
                               "PRIMARY KEY Name)"}),
            ERROR_SUCCESS);
  Handle db;
  ASSERT_EQ(MsiOpenDatabaseA(path.c_str(), MSIDBOPEN_TRANSACT_A, db.out()), ERROR_SUCCESS);
  const std::string insert_binary = "INSERT INTO Binary (Name, Data) VALUES (?, ?)";
  const std::string insert_stream = "INSERT INTO _Streams (Name, Data) VALUES (?, ?)";
  EXPECT_EQ(InsertStream(db.get(), insert_stream, "a/b"), ERROR_FUNCTION_FAILED);
  EXPECT_EQ(InsertStream(db.get(), insert_binary, "x:y"), ERROR_FUNCTION_FAILED);
  // "Binary." plus 60 compressible characters is too long for 31 units.
  EXPECT_EQ(InsertStream(db.get(), insert_binary, std::string(60, 'k')), ERROR_FUNCTION_FAILED);
  EXPECT_EQ(InsertStream(db.get(), insert_binary, "fine"), ERROR_SUCCESS);
  EXPECT_EQ(InsertStream(db.get(), insert_stream, "also.fine"), ERROR_SUCCESS);
  // Nothing refused left a row or a stream behind, so the commit succeeds.
  EXPECT_EQ(Rows(db.get(), "SELECT Name FROM Binary"), std::vector<std::string>{"fine"});
  ASSERT_EQ(MsiDatabaseCommit(db.get()), ERROR_SUCCESS);
  Handle again;
  ASSERT_EQ(MsiOpenDatabaseA(path.c_str(), MSIDBOPEN_READONLY_A, again.out()), ERROR_SUCCESS);
  std::vector<std::string> streams = Rows(again.get(), "SELECT Name, Data FROM _Streams");
  std::sort(streams.begin(), streams.end());
  EXPECT_EQ(streams, (std::vector<std::string>{"\005SummaryInformation|<284>", "Binary.fine|<8>",
                                               "also.fine|<8>"}));
}

}  // namespace
}  // namespace enginetest
