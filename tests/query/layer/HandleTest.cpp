// The owning wrapper of records. What the window's tests reach through the
// dialogs (opening, statements, parameters, column names, fetches, failures)
// is not repeated here.
#include <gtest/gtest.h>

#include "msi/MsiRecord.h"

namespace {

// Null is the empty text, not a failure; the engine's refusals stay
// visible; a detached handle stays open until its new owner closes it.
TEST(MsiRecord, FieldsAndTheHandle) {
  CMsiRecord record;
  EXPECT_EQ(record.GetString(1), u"");
  EXPECT_EQ(record.m_nError, ERROR_INVALID_HANDLE) << "a record without handle has no fields";
  ASSERT_TRUE(CMsiRecord::Create(record, 4));
  EXPECT_EQ(record.GetFieldCount(), 4u);
  EXPECT_EQ(record.GetString(1), u"");
  EXPECT_EQ(record.m_nError, ERROR_SUCCESS);
  const std::u16string longText(3000, u'\u00e9');  // longer than any first guess
  ASSERT_TRUE(record.SetString(2, longText));
  EXPECT_EQ(record.GetString(2), longText);
  ASSERT_TRUE(record.SetInteger(3, -17));
  EXPECT_EQ(record.GetString(3), u"-17");
  ASSERT_EQ(MsiExtRecordSetStreamData(record.Handle(), 4, "stream", 6), ERROR_SUCCESS);
  EXPECT_EQ(record.GetString(4), u"");
  EXPECT_EQ(record.m_nError, ERROR_INVALID_DATATYPE);
  ASSERT_TRUE(record.ClearData());
  EXPECT_EQ(record.GetString(2), u"");
  const MSIHANDLE handle = record.Detach();
  EXPECT_EQ(record.Handle(), 0u);
  EXPECT_EQ(MsiRecordGetFieldCount(handle), 4u);
  CMsiRecord other;
  other.Attach(handle);
  EXPECT_TRUE(other.Close());
  EXPECT_EQ(MsiRecordGetFieldCount(handle), static_cast<UINT>(-1));
}

}  // namespace
