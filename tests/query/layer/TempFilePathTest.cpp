// Where extracted streams go: always one file inside the temporary folder.
#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>

#include "TempFilePath.h"

namespace {

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
