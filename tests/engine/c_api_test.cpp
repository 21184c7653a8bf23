// The C API's contracts: handles, buffers, records, streams, column
// information, as callers written for the installer expect them.
#include <gtest/gtest.h>

#include <cstring>

#include "engine_test_util.h"

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
  // A record is no database.
  Handle other(MsiCreateRecord(1));
  EXPECT_EQ(MsiDatabaseOpenViewA(other.get(), "SELECT * FROM _Tables", &view), ERROR_INVALID_HANDLE);
  EXPECT_EQ(MsiDatabaseOpenViewA(other.get(), "SELECT * FROM _Tables", nullptr),
            ERROR_INVALID_PARAMETER);
  EXPECT_EQ(MsiCreateRecord(65536), 0u);
}

TEST(Records, StringBufferConvention) {
  Handle rec(MsiCreateRecord(3));
  ASSERT_EQ(MsiRecordSetStringW(rec.get(), 1, u"h\u00e9llo"), ERROR_SUCCESS);
  WCHAR small[3];
  DWORD len = 3;
  EXPECT_EQ(MsiRecordGetStringW(rec.get(), 1, small, &len), ERROR_MORE_DATA);
  EXPECT_EQ(len, 5u);  // needed length, without the terminator
  EXPECT_EQ(small[2], u'\0');
  WCHAR exact[6];
  len = 6;
  EXPECT_EQ(MsiRecordGetStringW(rec.get(), 1, exact, &len), ERROR_SUCCESS);
  EXPECT_EQ(len, 5u);
  EXPECT_EQ(std::u16string(exact), u"h\u00e9llo");
  len = 5;  // no room for the terminator
  EXPECT_EQ(MsiRecordGetStringW(rec.get(), 1, exact, &len), ERROR_MORE_DATA);
  // The UTF-8 form counts bytes.
  char bytes[16];
  len = sizeof bytes;
  EXPECT_EQ(MsiRecordGetStringA(rec.get(), 1, bytes, &len), ERROR_SUCCESS);
  EXPECT_EQ(len, 6u);
  // Null and empty text: the empty text, and a zero-length buffer asks.
  WCHAR one[1];
  len = 0;
  EXPECT_EQ(MsiRecordGetStringW(rec.get(), 2, one, &len), ERROR_MORE_DATA);
  EXPECT_EQ(len, 0u);
  len = 1;
  EXPECT_EQ(MsiRecordGetStringW(rec.get(), 2, one, &len), ERROR_SUCCESS);
  EXPECT_EQ(len, 0u);
  MsiRecordSetStringW(rec.get(), 3, u"");
  EXPECT_TRUE(MsiRecordIsNull(rec.get(), 3));
}

TEST(Records, IntegersAndTheirTextForms) {
  Handle rec(MsiCreateRecord(4));
  MsiRecordSetInteger(rec.get(), 1, -42);
  char buf[16];
  DWORD len = sizeof buf;
  ASSERT_EQ(MsiRecordGetStringA(rec.get(), 1, buf, &len), ERROR_SUCCESS);
  EXPECT_STREQ(buf, "-42");
  EXPECT_EQ(MsiRecordGetInteger(rec.get(), 1), -42);
  MsiRecordSetStringA(rec.get(), 2, "123");
  EXPECT_EQ(MsiRecordGetInteger(rec.get(), 2), 123);
  MsiRecordSetStringA(rec.get(), 3, "12x");
  EXPECT_EQ(MsiRecordGetInteger(rec.get(), 3), MSI_NULL_INTEGER);
  EXPECT_EQ(MsiRecordGetInteger(rec.get(), 4), MSI_NULL_INTEGER);
  EXPECT_EQ(MsiRecordGetInteger(rec.get(), 99), MSI_NULL_INTEGER);
  MsiRecordSetInteger(rec.get(), 1, MSI_NULL_INTEGER);
  EXPECT_TRUE(MsiRecordIsNull(rec.get(), 1));
  EXPECT_EQ(MsiRecordSetInteger(rec.get(), 5, 1), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(MsiRecordGetFieldCount(rec.get()), 4u);
  MsiRecordSetInteger(rec.get(), 2, 7);
  EXPECT_EQ(MsiRecordClearData(rec.get()), ERROR_SUCCESS);
  EXPECT_TRUE(MsiRecordIsNull(rec.get(), 2));
  EXPECT_EQ(MsiRecordGetFieldCount(rec.get()), 4u);
}

TEST(Records, StreamsReadInChunksToTheEnd) {
  Handle rec(MsiCreateRecord(1));
  std::vector<char> data(2500);
  for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<char>(i * 13);
  ASSERT_EQ(MsiExtRecordSetStreamData(rec.get(), 1, data.data(), static_cast<DWORD>(data.size())),
            ERROR_SUCCESS);
  EXPECT_EQ(MsiRecordDataSize(rec.get(), 1), 2500u);
  char probe[1];
  DWORD len = 0;
  EXPECT_EQ(MsiRecordGetStringA(rec.get(), 1, probe, &len), ERROR_INVALID_DATATYPE);
  std::vector<char> back;
  char chunk[1024];
  for (;;) {
    DWORD n = sizeof chunk;
    ASSERT_EQ(MsiRecordReadStream(rec.get(), 1, chunk, &n), ERROR_SUCCESS);
    if (n == 0) break;
    back.insert(back.end(), chunk, chunk + n);
  }
  EXPECT_EQ(back, data);
  EXPECT_EQ(MsiRecordSetStreamA(rec.get(), 1, "/nonexistent/file"), ERROR_FILE_NOT_FOUND);

  // A null field has no stream: size 0, ERROR_INVALID_DATA, buffer untouched.
  Handle empty(MsiCreateRecord(1));
  char kept[] = "apple";
  DWORD size = sizeof kept;
  EXPECT_EQ(MsiRecordReadStream(empty.get(), 1, kept, &size), ERROR_INVALID_DATA);
  EXPECT_EQ(size, 0u);
  EXPECT_STREQ(kept, "apple");
}

TEST(Views, ColumnInformationAndFetchProtocol) {
  ScratchDir dir;
  ASSERT_EQ(MakePackage(dir.File("p.msi"),
                        {"CREATE TABLE T (A CHAR(72) NOT NULL, B LONGCHAR LOCALIZABLE, C SHORT, "
                         "D LONG NOT NULL, E OBJECT PRIMARY KEY A)",
                         "INSERT INTO T (A, D) VALUES ('one', 1)"}),
            ERROR_SUCCESS);
  Handle db, view, names, types, row;
  ASSERT_EQ(MsiOpenDatabaseA(dir.File("p.msi").c_str(), MSIDBOPEN_READONLY_A, db.out()), ERROR_SUCCESS);
  ASSERT_EQ(MsiDatabaseOpenViewA(db.get(), "SELECT * FROM T", view.out()), ERROR_SUCCESS);
  EXPECT_EQ(MsiViewFetch(view.get(), row.out()), ERROR_FUNCTION_FAILED);  // not executed
  ASSERT_EQ(MsiViewGetColumnInfo(view.get(), MSICOLINFO_NAMES, names.out()), ERROR_SUCCESS);
  ASSERT_EQ(MsiViewGetColumnInfo(view.get(), MSICOLINFO_TYPES, types.out()), ERROR_SUCCESS);
  const char* expect_names[] = {"A", "B", "C", "D", "E"};
  const char* expect_types[] = {"s72", "L0", "I2", "i4", "V0"};
  for (UINT i = 1; i <= 5; ++i) {
    char buf[16];
    DWORD len = sizeof buf;
    MsiRecordGetStringA(names.get(), i, buf, &len);
    EXPECT_STREQ(buf, expect_names[i - 1]);
    len = sizeof buf;
    MsiRecordGetStringA(types.get(), i, buf, &len);
    EXPECT_STREQ(buf, expect_types[i - 1]);
  }
  ASSERT_EQ(MsiViewExecute(view.get(), 0), ERROR_SUCCESS);
  ASSERT_EQ(MsiViewFetch(view.get(), row.out()), ERROR_SUCCESS);
  Handle end;
  EXPECT_EQ(MsiViewFetch(view.get(), end.out()), ERROR_NO_MORE_ITEMS);
  EXPECT_EQ(end.get(), 0u);
  // A closed view can run again.
  EXPECT_EQ(MsiViewClose(view.get()), ERROR_SUCCESS);
  ASSERT_EQ(MsiViewExecute(view.get(), 0), ERROR_SUCCESS);
  Handle again;
  EXPECT_EQ(MsiViewFetch(view.get(), again.out()), ERROR_SUCCESS);

  Handle keys;
  ASSERT_EQ(MsiDatabaseGetPrimaryKeysA(db.get(), "T", keys.out()), ERROR_SUCCESS);
  EXPECT_EQ(MsiRecordGetFieldCount(keys.get()), 1u);
  EXPECT_EQ(MsiDatabaseGetPrimaryKeysA(db.get(), "Nope", keys.out()), ERROR_INVALID_TABLE);
}

TEST(Views, ClosingTheDatabaseKeepsOpenViewsWorking) {
  ScratchDir dir;
  ASSERT_EQ(MakePackage(dir.File("p.msi"), {"CREATE TABLE T (A SHORT PRIMARY KEY A)",
                                            "INSERT INTO T (A) VALUES (5)"}),
            ERROR_SUCCESS);
  MSIHANDLE db = 0;
  ASSERT_EQ(MsiOpenDatabaseA(dir.File("p.msi").c_str(), MSIDBOPEN_READONLY_A, &db), ERROR_SUCCESS);
  Handle view;
  ASSERT_EQ(MsiDatabaseOpenViewA(db, "SELECT A FROM T", view.out()), ERROR_SUCCESS);
  ASSERT_EQ(MsiCloseHandle(db), ERROR_SUCCESS);
  ASSERT_EQ(MsiViewExecute(view.get(), 0), ERROR_SUCCESS);
  Handle row;
  ASSERT_EQ(MsiViewFetch(view.get(), row.out()), ERROR_SUCCESS);
  EXPECT_EQ(MsiRecordGetInteger(row.get(), 1), 5);
}

TEST(Databases, OpenFailuresHaveTheirCodes) {
  ScratchDir dir;
  MSIHANDLE db = 0;
  EXPECT_EQ(MsiOpenDatabaseA(dir.File("missing.msi").c_str(), MSIDBOPEN_READONLY_A, &db),
            ERROR_OPEN_FAILED);
  EXPECT_EQ(MsiOpenDatabaseA("", MSIDBOPEN_READONLY_A, &db), ERROR_INVALID_PARAMETER);
  FILE* f = std::fopen(dir.File("text.msi").c_str(), "w");
  std::fputs("this is not a package at all, just some text in a file that is long enough", f);
  std::fclose(f);
  EXPECT_EQ(MsiOpenDatabaseA(dir.File("text.msi").c_str(), MSIDBOPEN_READONLY_A, &db),
            ERROR_INSTALL_PACKAGE_INVALID);
  EXPECT_EQ(MsiOpenDatabaseA(dir.path().c_str(), MSIDBOPEN_READONLY_A, &db), ERROR_OPEN_FAILED);
  EXPECT_EQ(db, 0u);
}

TEST(Descriptions, EveryCodeTheEngineGivesHasOne) {
  for (UINT code : {0u, 6u, 13u, 87u, 110u, 120u, 234u, 259u, 1615u, 1620u, 1627u, 1628u, 1629u}) {
    ASSERT_NE(MsiExtResultDescriptionA(code), nullptr) << code;
    EXPECT_GT(std::strlen(MsiExtResultDescriptionA(code)), 5u);
    EXPECT_NE(MsiExtResultDescriptionW(code), nullptr);
  }
  EXPECT_EQ(MsiExtResultDescriptionA(4242), nullptr);
}

}  // namespace
}  // namespace enginetest
