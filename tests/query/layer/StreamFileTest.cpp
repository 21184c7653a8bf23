// Saving a stream field into a file: exact bytes and no partial files. (A
// link planted in the temporary folder, and a folder that takes no file, are
// the extractor's tests.)
#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>

#include "Packages.h"
#include "msi/MsiRecord.h"

namespace {

QByteArray Pattern(int size) {
  QByteArray bytes(size, '\0');
  for (int i = 0; i < size; ++i) bytes[i] = static_cast<char>((i * 31 + 7) & 0xFF);
  return bytes;
}

class StreamFile : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(m_dir.isValid());
    ASSERT_TRUE(CMsiRecord::Create(m_record, 2));
  }
  void SetStream(const QByteArray& bytes) {
    const DWORD size = static_cast<DWORD>(bytes.size());
    ASSERT_EQ(MsiExtRecordSetStreamData(m_record.Handle(), 1, bytes.constData(), size), ERROR_SUCCESS);
  }
  std::u16string PathOf(const QString& name) const { return m_dir.filePath(name).toStdU16String(); }
  QStringList Entries() const {
    return QDir(m_dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System | QDir::Hidden);
  }

  QTemporaryDir m_dir;
  CMsiRecord m_record;
};

TEST_F(StreamFile, CopiesStreamsOfEverySizeExactly) {
  for (int size : {0, 1, 1023, 1024, 1025, 2048, 3072, 5000}) {
    SCOPED_TRACE(size);
    const QByteArray bytes = Pattern(size);
    SetStream(bytes);
    ASSERT_TRUE(m_record.ReadStreamToFile(1, PathOf("out.TMP"))) << m_record.m_nError;
    EXPECT_EQ(m_record.m_nError, ERROR_SUCCESS);
    EXPECT_EQ(FileBytes(m_dir.filePath("out.TMP")), bytes);
    EXPECT_EQ(Entries(), QStringList{"out.TMP"}) << "no helper file is left behind";
  }
}

TEST_F(StreamFile, AReadFailureLeavesNoFileOrKeepsTheEarlierOne) {
  // Field 2 holds an integer, not a stream: the first read fails.
  ASSERT_TRUE(m_record.SetInteger(2, 5));
  EXPECT_FALSE(m_record.ReadStreamToFile(2, PathOf("keep.TMP")));
  EXPECT_NE(m_record.m_nError, ERROR_SUCCESS);
  EXPECT_TRUE(Entries().isEmpty()) << Entries().join(", ").toStdString();
  SetStream(QByteArray("earlier"));
  ASSERT_TRUE(m_record.ReadStreamToFile(1, PathOf("keep.TMP")));
  EXPECT_FALSE(m_record.ReadStreamToFile(2, PathOf("keep.TMP")));
  EXPECT_EQ(FileBytes(m_dir.filePath("keep.TMP")), QByteArray("earlier"));
  EXPECT_EQ(Entries(), QStringList{"keep.TMP"});
}

}  // namespace
