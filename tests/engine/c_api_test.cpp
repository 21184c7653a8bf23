// The C API's contracts as callers written for the installer expect them:
// handles, buffers, records, streams, views, open failures, and changes
// that fail leaving nothing behind.
#include <algorithm>

#include "engine_util.h"

namespace enginetest {
namespace {

TEST(Handles, BadAndClosedHandlesAreRefused) {
  EXPECT_EQ(MsiCloseHandle(0), ERROR_SUCCESS);
  EXPECT_EQ(MsiCloseHandle(987654), ERROR_INVALID_HANDLE);
  MSIHANDLE rec = MsiCreateRecord(2);
  ASSERT_NE(rec, 0u);
  EXPECT_EQ(MsiCloseHandle(rec), ERROR_SUCCESS);
  EXPECT_EQ(MsiCloseHandle(rec), ERROR_INVALID_HANDLE);
  EXPECT_EQ(MsiRecordSetInteger(rec, 1, 5), ERROR_INVALID_HANDLE);
  MSIHANDLE view = 0;
  Handle other(MsiCreateRecord(1));  // a record is no database
  EXPECT_EQ(MsiDatabaseOpenViewA(other, "SELECT * FROM _Tables", &view), ERROR_INVALID_HANDLE);
  EXPECT_EQ(MsiDatabaseOpenViewA(other, "SELECT * FROM _Tables", nullptr), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(MsiCreateRecord(65536), 0u);
}

TEST(Records, StringBufferConvention) {
  Handle rec(MsiCreateRecord(3));
  ASSERT_EQ(MsiRecordSetStringW(rec, 1, u"h\u00e9llo"), ERROR_SUCCESS);
  // Sizes in characters without the terminator; too small a buffer gets a
  // terminated prefix and the size needed. The UTF-8 form counts bytes.
  const struct {
    UINT field;
    DWORD given;
    UINT code;
    DWORD size;
  } cases[] = {{1, 3, ERROR_MORE_DATA, 5}, {1, 5, ERROR_MORE_DATA, 5}, {1, 6, ERROR_SUCCESS, 5},
               {2, 0, ERROR_MORE_DATA, 0}, {2, 1, ERROR_SUCCESS, 0}};
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "field " << c.field << ", room " << c.given);
    WCHAR buf[8] = {u'#', u'#', u'#', u'#', u'#', u'#', u'#', u'#'};
    DWORD len = c.given;
    EXPECT_EQ(MsiRecordGetStringW(rec, c.field, buf, &len), c.code);
    EXPECT_EQ(len, c.size);
    if (c.given > 0) {
      EXPECT_EQ(buf[std::min<DWORD>(c.given - 1, c.size)], u'\0');
    }
  }
  EXPECT_EQ(ts::FieldText(rec, 1), "h\xC3\xA9llo");
}

TEST(Records, IntegersAndTheirTextForms) {
  Handle rec = ts::MakeRecord({"#-42", "123", "12x", ""});
  EXPECT_EQ(ts::FieldText(rec, 1), "-42");
  const int expected[] = {-42, 123, MSI_NULL_INTEGER, MSI_NULL_INTEGER, MSI_NULL_INTEGER};
  for (UINT i = 1; i <= 5; ++i) EXPECT_EQ(MsiRecordGetInteger(rec, i), expected[i - 1]) << i;
  EXPECT_EQ(MsiRecordSetInteger(rec, 5, 1), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(MsiRecordClearData(rec), ERROR_SUCCESS);
  EXPECT_TRUE(MsiRecordIsNull(rec, 2));
  EXPECT_EQ(MsiRecordGetFieldCount(rec), 4u);
}

TEST(Views, ColumnInformationFetchProtocolAndClosedDatabases) {
  ts::TempDir dir;
  ASSERT_EQ(MakePackage(dir / "p.msi", {"CREATE TABLE T (A CHAR(72) NOT NULL, B LONGCHAR LOCALIZABLE, "
                                        "C SHORT, D LONG NOT NULL, E OBJECT PRIMARY KEY A)",
                                        "INSERT INTO T (A, D) VALUES ('one', 1)"}),
            ERROR_SUCCESS);
  MSIHANDLE db = 0;
  Handle view, names, types, row, keys;
  ASSERT_EQ(MsiOpenDatabaseA((dir / "p.msi").c_str(), MSIDBOPEN_READONLY_A, &db), ERROR_SUCCESS);
  ASSERT_EQ(MsiDatabaseGetPrimaryKeysA(db, "T", keys.out()), ERROR_SUCCESS);
  EXPECT_EQ(MsiRecordGetFieldCount(keys), 1u);
  EXPECT_EQ(MsiDatabaseGetPrimaryKeysA(db, "Nope", keys.out()), ERROR_INVALID_TABLE);
  ASSERT_EQ(MsiDatabaseOpenViewA(db, "SELECT * FROM T", view.out()), ERROR_SUCCESS);
  // An open view keeps working after its database handle is closed.
  ASSERT_EQ(MsiCloseHandle(db), ERROR_SUCCESS);
  EXPECT_EQ(MsiViewFetch(view, row.out()), ERROR_FUNCTION_FAILED);  // not executed
  ASSERT_EQ(MsiViewGetColumnInfo(view, MSICOLINFO_NAMES, names.out()), ERROR_SUCCESS);
  ASSERT_EQ(MsiViewGetColumnInfo(view, MSICOLINFO_TYPES, types.out()), ERROR_SUCCESS);
  const char* expect[][2] = {{"A", "s72"}, {"B", "L0"}, {"C", "I2"}, {"D", "i4"}, {"E", "V0"}};
  for (UINT i = 1; i <= 5; ++i) {
    EXPECT_EQ(ts::FieldText(names, i), expect[i - 1][0]);
    EXPECT_EQ(ts::FieldText(types, i), expect[i - 1][1]);
  }
  for (int run = 0; run < 2; ++run) {  // a closed view can run again
    ASSERT_EQ(MsiViewExecute(view, 0), ERROR_SUCCESS);
    ASSERT_EQ(MsiViewFetch(view, row.out()), ERROR_SUCCESS);
    EXPECT_EQ(ts::FieldText(row, 1), "one");
    EXPECT_EQ(MsiRecordGetInteger(row, 4), 1);
    EXPECT_EQ(MsiViewFetch(view, row.out()), ERROR_NO_MORE_ITEMS);
    EXPECT_EQ(row.get(), 0u);
    EXPECT_EQ(MsiViewClose(view), ERROR_SUCCESS);
  }
}

TEST(Databases, OpenFailuresHaveTheirCodes) {
  ts::TempDir dir;
  ts::WriteText(dir / "text.msi", "not a package at all, just some text in a file that is long enough");
  const struct {
    std::string path;
    UINT code;
  } cases[] = {{(dir / "missing.msi").string(), ERROR_OPEN_FAILED},
               {"", ERROR_INVALID_PARAMETER},
               {(dir / "text.msi").string(), ERROR_INSTALL_PACKAGE_INVALID},
               {dir.path().string(), ERROR_OPEN_FAILED}};
  for (const auto& c : cases) {
    MSIHANDLE db = 0;
    EXPECT_EQ(MsiOpenDatabaseA(c.path.c_str(), MSIDBOPEN_READONLY_A, &db), c.code) << c.path;
    EXPECT_EQ(db, 0u) << c.path;
  }
}

// Streams are named after rows: a name the file cannot hold is refused when
// the row is written, not found at commit, and leaves nothing behind.
TEST(Changes, UnstorableStreamNamesAreRefusedAtInsert) {
  ts::TempDir dir;
  const auto path = dir / "s.msi";
  ASSERT_EQ(MakePackage(path, {"CREATE TABLE Binary (Name CHAR(72) NOT NULL, Data OBJECT PRIMARY KEY Name)"}),
            ERROR_SUCCESS);
  Handle db;
  ASSERT_EQ(ts::Open(path, MSIDBOPEN_TRANSACT_A, db), ERROR_SUCCESS);
  const struct {
    const char* table;
    std::string key;
    UINT code;
  } cases[] = {{"_Streams", "a/b", ERROR_FUNCTION_FAILED},
               {"Binary", "x:y", ERROR_FUNCTION_FAILED},
               // 62 characters of the compact alphabet fill the 31 units a name may have.
               {"Binary", std::string(56, 'k'), ERROR_FUNCTION_FAILED},
               {"Binary", std::string(55, 'k'), ERROR_SUCCESS},
               {"Binary", "fine", ERROR_SUCCESS},
               {"_Streams", "also.fine", ERROR_SUCCESS}};
  for (const auto& c : cases) {
    Handle rec = ts::MakeRecord({c.key, ""});
    MsiExtRecordSetStreamData(rec, 2, "payload", 8);
    EXPECT_EQ(Exec(db, std::string("INSERT INTO `") + c.table + "` (Name, Data) VALUES (?, ?)", rec), c.code)
        << c.table << " " << c.key;
  }
  EXPECT_EQ(Rows(db, "SELECT Name FROM Binary"), (Strings{std::string(55, 'k'), "fine"}));
  ASSERT_EQ(MsiDatabaseCommit(db), ERROR_SUCCESS);
  ASSERT_EQ(ts::Open(path, MSIDBOPEN_READONLY_A, db), ERROR_SUCCESS);
  Strings streams = Rows(db, "SELECT Name, Data FROM _Streams");
  std::sort(streams.begin(), streams.end());
  EXPECT_EQ(streams, (Strings{"\005SummaryInformation|<284>", "Binary.fine|<8>",
                              "Binary." + std::string(55, 'k') + "|<8>", "also.fine|<8>"}));
}

TEST(Changes, AFailedImportLeavesNoTableBehind) {
  ts::TempDir dir;
  ts::WriteText(dir / "Dup.idt", "K\tN\r\ns20\tI4\r\nDup\tK\r\na\t1\r\na\t2\r\n");
  ts::WriteText(dir / "Ok.idt", "K\tN\r\ns20\tI4\r\nOk\tK\r\na\t1\r\nb\t\r\n");
  Handle db;
  ASSERT_EQ(ts::Open(dir / "n.msi", MSIDBOPEN_CREATE_A, db), ERROR_SUCCESS);
  EXPECT_EQ(MsiDatabaseImportA(db, dir.path().c_str(), "Dup.idt"), ERROR_FUNCTION_FAILED);
  EXPECT_EQ(MsiDatabaseImportA(db, dir.path().c_str(), "Missing.idt"), ERROR_BAD_PATHNAME);
  ASSERT_EQ(MsiDatabaseImportA(db, dir.path().c_str(), "Ok.idt"), ERROR_SUCCESS);
  EXPECT_EQ(Rows(db, "SELECT Name FROM _Tables"), Strings{"Ok"});
  EXPECT_EQ(Rows(db, "SELECT K, N FROM Ok"), (Strings{"a|1", "b|~"}));
  // Exporting into a folder that is not there says so.
  EXPECT_EQ(MsiDatabaseExportA(db, "Ok", (dir / "nowhere").c_str(), "Ok.idt"), ERROR_BAD_PATHNAME);
}

}  // namespace
}  // namespace enginetest
