// The record wrapper (what the window's tests reach through the dialogs is
// not repeated here), and the files the tool writes: a stream field saved
// into a file (exact bytes and no partial files; a link planted in the
// temporary folder, and a folder that takes no file, are the window's tests),
// and where such files go: always one file inside the temporary folder.
#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>

#include "Packages.h"
#include "TempFilePath.h"
#include "msi/MsiRecord.h"

namespace {

QStringList Entries(const QString& folder) {
  return QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System | QDir::Hidden);
}

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

// Sizes around the pieces the stream is read in; between them a field that
// holds no stream, whose failed read keeps the earlier file.
TEST(StreamFile, CopiesStreamsExactlyAndAFailedReadWritesNothing) {
  QTemporaryDir dir;
  CMsiRecord record;
  ASSERT_TRUE(CMsiRecord::Create(record, 2));
  ASSERT_TRUE(record.SetInteger(2, 5));
  const QString file = dir.filePath("out.TMP");
  EXPECT_FALSE(record.ReadStreamToFile(2, file.toStdU16String()));
  EXPECT_NE(record.m_nError, ERROR_SUCCESS);
  EXPECT_EQ(Entries(dir.path()), QStringList());
  for (int size : {0, 1, 1023, 1024, 1025, 2048, 3072, 5000}) {
    SCOPED_TRACE(size);
    QByteArray bytes(size, '\0');
    for (int i = 0; i < size; ++i) bytes[i] = static_cast<char>((i * 31 + 7) & 0xFF);
    ASSERT_EQ(MsiExtRecordSetStreamData(record.Handle(), 1, bytes.constData(), DWORD(size)), ERROR_SUCCESS);
    ASSERT_TRUE(record.ReadStreamToFile(1, file.toStdU16String())) << record.m_nError;
    EXPECT_EQ(FileBytes(file), bytes);
    EXPECT_FALSE(record.ReadStreamToFile(2, file.toStdU16String()));
    EXPECT_EQ(FileBytes(file), bytes);
    EXPECT_EQ(Entries(dir.path()), QStringList{"out.TMP"}) << "no helper file is left behind";
  }
}

// A named path is one safe file name inside the folder, and only a name.
TEST(TempFilePath, NamedPathsStayInsideTheFolder) {
  QTemporaryDir dir;
  const QString folder = QFileInfo(dir.path()).canonicalFilePath();
  const std::pair<QString, QString> cases[] = {
      {"Binary.Logo", "Binary.Logo.TMP"},
      {"Binary.Icon it's", "Binary.Icon it's.TMP"},
      {"../../escape", ".._.._escape.TMP"},
      {"/abs/path", "_abs_path.TMP"},
      {"..", "...TMP"},
      {"a\\b\nc\x7f", "a_b_c_.TMP"},
      {"\005SummaryInformation", "_SummaryInformation.TMP"},
  };
  for (const auto& [name, file] : cases) {
    EXPECT_EQ(GetTempFilePathIn(folder, false, name, ""), folder + "/" + file);
    EXPECT_EQ(GetTempFilePathIn(folder + "/", false, name, ""), folder + "/" + file) << "one separator";
  }
  EXPECT_EQ(GetTempFilePathIn(folder, false, "Page", ".html"), folder + "/Page.html");
  EXPECT_EQ(GetTempFilePathIn("", false, "x", ""), "");
  EXPECT_EQ(Entries(folder), QStringList());
}

// A unique path (also asked for without a name) is a new empty file; with
// an extension in place of .TMP its placeholder is gone again.
TEST(TempFilePath, UniquePathsAreNewFiles) {
  QTemporaryDir dir;
  const QString folder = QFileInfo(dir.path()).canonicalFilePath();
  const std::tuple<bool, QString, QString> cases[] = {
      {true, "", "BR_"}, {false, "", "BR_"}, {true, "VTR", "VTR"}};
  QStringList paths;
  for (const auto& [unique, name, prefix] : cases) {
    paths << GetTempFilePathIn(folder, unique, name, "");
    EXPECT_TRUE(QFileInfo(paths.last()).isFile()) << paths.last().toStdString();
    EXPECT_EQ(QFileInfo(paths.last()).absolutePath(), folder);
    EXPECT_TRUE(QFileInfo(paths.last()).fileName().startsWith(prefix));
  }
  EXPECT_NE(paths[0], paths[1]);
  const QString bin = GetTempFilePathIn(folder, true, "", ".bin");
  EXPECT_TRUE(bin.endsWith(".bin") && !QFileInfo::exists(bin)) << bin.toStdString();
  EXPECT_EQ(Entries(folder).size(), 3);
  EXPECT_EQ(GetTempFilePathIn(folder + "/missing", true, "", ""), "");
}

}  // namespace
