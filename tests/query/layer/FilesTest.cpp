// Files the tool writes: a stream field saved into a file (exact bytes and
// no partial files; a link planted in the temporary folder, and a folder that
// takes no file, are the extractor's tests), and where such files go: always
// one file inside the temporary folder.
#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>

#include "Packages.h"
#include "TempFilePath.h"
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

TEST(AddBackslash, AddsOneSeparatorOnlyWhenMissing) {
  EXPECT_EQ(AddBackslash(""), "");
  EXPECT_EQ(AddBackslash("/tmp"), QStringLiteral("/tmp") + QDir::separator());
  EXPECT_EQ(AddBackslash("/tmp/"), "/tmp/");
  EXPECT_EQ(AddBackslash("C:\\Temp\\"), "C:\\Temp\\");
}

TEST(SafeFileName, SeparatorsAndControlCharactersBecomeUnderscores) {
  EXPECT_EQ(SafeFileName(QStringLiteral("\005SummaryInformation")), "_SummaryInformation");
  EXPECT_EQ(SafeFileName("../../etc/passwd"), ".._.._etc_passwd");
  EXPECT_EQ(SafeFileName("a\\b\nc\x7f"), "a_b_c_");
  EXPECT_EQ(SafeFileName("Binary.Icon it's"), "Binary.Icon it's");
}

class TempFolder : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(m_dir.isValid()); }
  QString Folder() const { return QFileInfo(m_dir.path()).canonicalFilePath(); }
  QTemporaryDir m_dir;
};

TEST_F(TempFolder, NamedPathsStayInsideTheFolder) {
  EXPECT_EQ(GetTempFilePathIn(Folder(), false, "Binary.Logo", ""), Folder() + "/Binary.Logo.TMP");
  for (const QString& name : {QStringLiteral("../../escape"), QStringLiteral("/abs/path"), QStringLiteral(".."),
                              QStringLiteral("a/../../b"), QStringLiteral("\005SummaryInformation")}) {
    const QString path = GetTempFilePathIn(Folder(), false, name, "");
    EXPECT_EQ(QFileInfo(path).absolutePath(), Folder()) << path.toStdString();
    EXPECT_TRUE(path.endsWith(".TMP"));
  }
  EXPECT_TRUE(QDir(Folder()).isEmpty()) << "a named path is only a name";
}

TEST_F(TempFolder, UniquePathsAreNewFiles) {
  const QString first = GetTempFilePathIn(Folder(), true, "", "");
  const QString second = GetTempFilePathIn(Folder(), false, "", "");
  const QString third = GetTempFilePathIn(Folder(), true, "VTR", "");
  for (const QString& path : {first, second, third}) {
    ASSERT_FALSE(path.isEmpty());
    EXPECT_TRUE(QFileInfo(path).isFile());
    EXPECT_EQ(QFileInfo(path).absolutePath(), Folder());
  }
  EXPECT_TRUE(QFileInfo(first).fileName().startsWith("BR_"));
  EXPECT_TRUE(QFileInfo(second).fileName().startsWith("BR_"));
  EXPECT_TRUE(QFileInfo(third).fileName().startsWith("VTR"));
  EXPECT_NE(first, second);
}

TEST_F(TempFolder, AnExtensionReplacesTheEnding) {
  const QString named = GetTempFilePathIn(Folder(), false, "Page", ".html");
  EXPECT_EQ(named, Folder() + "/Page.html");
  const QString unique = GetTempFilePathIn(Folder(), true, "", ".bin");
  EXPECT_TRUE(unique.endsWith(".bin"));
  EXPECT_FALSE(QFileInfo::exists(unique)) << "the placeholder file is removed";
  EXPECT_TRUE(QDir(Folder()).isEmpty());
}

TEST_F(TempFolder, NoFolderGivesNoPath) {
  EXPECT_EQ(GetTempFilePathIn("", false, "x", ""), "");
  EXPECT_EQ(GetTempFilePathIn(Folder() + "/missing", true, "", ""), "");
}

}  // namespace
