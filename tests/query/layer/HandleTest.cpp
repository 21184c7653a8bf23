// The owning wrappers over the engine: open, views, fetches and fields. What
// the window's tests reach through the dialogs (statements, parameters,
// failures) is not repeated here.
#include <gtest/gtest.h>

#include "Packages.h"
#include "msi/MsiDatabase.h"
#include "msi/MsiView.h"

namespace {

TEST(MsiDatabase, OpensAPackageAndClosesOnce) {
  CMsiDatabase database;
  EXPECT_FALSE(database.Open(u"", MSIDBOPEN_READONLY));
  EXPECT_EQ(database.m_nError, ERROR_OPEN_FAILED) << "an empty path never reaches the engine";
  EXPECT_FALSE(database.Open(u"/nonexistent/nothing.msi", MSIDBOPEN_READONLY));
  EXPECT_NE(database.m_nError, ERROR_SUCCESS);
  EXPECT_EQ(database.Handle(), 0u);
  ASSERT_TRUE(database.Open(FixturePackage("dialogs").toStdU16String(), MSIDBOPEN_READONLY))
      << database.m_nError;
  EXPECT_NE(database.Handle(), 0u);
  EXPECT_TRUE(database.Close());
  EXPECT_EQ(database.Handle(), 0u);
  EXPECT_TRUE(database.Close()) << "closing twice is harmless";
}

TEST(MsiView, ColumnNamesFieldTextsAndTheEndOfTheRows) {
  CMsiDatabase database;
  ASSERT_TRUE(database.Open(FixturePackage("dialogs").toStdU16String(), MSIDBOPEN_READONLY));
  CMsiView view(database.Handle(),
                u"SELECT `Dialog`,`Width`,`Control_Cancel`,`Title` FROM `Dialog` WHERE `Dialog`='ExitDlg'");
  ASSERT_TRUE(view.Execute());
  CMsiRecord names;
  ASSERT_TRUE(view.GetColumnInfo(MSICOLINFO_NAMES, names));
  ASSERT_EQ(names.GetFieldCount(), 4u);
  EXPECT_EQ(names.GetString(1), u"Dialog");
  EXPECT_EQ(names.GetString(4), u"Title");
  CMsiRecord row;
  ASSERT_TRUE(view.Fetch(row));
  EXPECT_EQ(row.GetString(1), u"ExitDlg");
  EXPECT_EQ(row.m_nError, ERROR_SUCCESS);
  EXPECT_EQ(row.GetString(2), u"370") << "integers come as decimal text";
  EXPECT_EQ(row.GetString(3), u"Cancel");
  EXPECT_EQ(row.GetString(4), u"[ProductName] ExitDlg");
  // Past the last row: no handle is left, and asking again says the same.
  for (int again = 0; again < 2; ++again) {
    EXPECT_FALSE(view.Fetch(row));
    EXPECT_EQ(view.m_nError, ERROR_NO_MORE_ITEMS);
    EXPECT_EQ(row.Handle(), 0u);
  }
}

TEST(MsiRecord, NullEmptyLongStreamAndMissingFields) {
  CMsiRecord record;
  EXPECT_EQ(record.GetFieldCount(), 0u);
  EXPECT_EQ(record.GetString(1), u"");
  EXPECT_EQ(record.m_nError, ERROR_INVALID_HANDLE) << "a record without handle has no fields";
  ASSERT_TRUE(CMsiRecord::Create(record, 4));
  EXPECT_EQ(record.GetFieldCount(), 4u);
  EXPECT_EQ(record.GetString(1), u"");
  EXPECT_EQ(record.m_nError, ERROR_SUCCESS) << "a null field is the empty text, not a failure";
  // Longer than any first guess: read through the length query.
  const std::u16string longText(3000, u'\u00e9');
  ASSERT_TRUE(record.SetString(2, longText));
  EXPECT_EQ(record.GetString(2), longText);
  EXPECT_EQ(record.m_nError, ERROR_SUCCESS);
  ASSERT_TRUE(record.SetInteger(3, -17));
  EXPECT_EQ(record.GetString(3), u"-17");
  ASSERT_EQ(MsiExtRecordSetStreamData(record.Handle(), 4, "stream", 6), ERROR_SUCCESS);
  EXPECT_EQ(record.GetString(4), u"");
  EXPECT_EQ(record.m_nError, ERROR_INVALID_DATATYPE) << "the engine's refusal stays visible";
  ASSERT_TRUE(record.ClearData());
  EXPECT_EQ(record.GetString(2), u"");
}

TEST(MsiRecord, DetachHandsTheHandleBack) {
  CMsiRecord record;
  ASSERT_TRUE(CMsiRecord::Create(record, 1));
  const MSIHANDLE handle = record.Detach();
  EXPECT_EQ(record.Handle(), 0u);
  EXPECT_EQ(MsiRecordGetFieldCount(handle), 1u) << "detaching must not close";
  CMsiRecord other;
  other.Attach(handle);
  EXPECT_TRUE(other.Close());
  EXPECT_EQ(MsiRecordGetFieldCount(handle), static_cast<UINT>(-1)) << "closing must close";
}

}  // namespace
