// The archive round trip engineers rely on: msisql --export, then
// msisql --import into a new package, gives the same tables, column types,
// rows (compared as sets: a new pool numbers strings afresh, and rows sort
// by string id), table streams and codepage. Run on every corpus package,
// the sample package, and a package in each codepage real packages use.
#include "statement_support.h"

#include <algorithm>
#include <sstream>

namespace ts {
namespace {

std::vector<std::string> SortedLines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string l; std::getline(in, l);) lines.push_back(l);
  if (!lines.empty()) std::sort(lines.begin() + 1, lines.end());  // the header stays first
  return lines;
}

std::string ColumnTypes(MSIHANDLE db, const std::string& table) {
  Handle view, rec;
  const std::string sql = "SELECT * FROM `" + table + "`";
  if (MsiDatabaseOpenViewA(db, sql.c_str(), view.out()) != ERROR_SUCCESS) return "no view";
  if (MsiViewGetColumnInfo(view, MSICOLINFO_TYPES, rec.out()) != ERROR_SUCCESS) return "no types";
  std::string out;
  for (UINT f = 1; f <= MsiRecordGetFieldCount(rec); ++f) out += FieldText(rec, f) + " ";
  return out;
}

std::string Codepage(MSIHANDLE db, const fs::path& dir) {
  if (MsiDatabaseExportA(db, "_ForceCodepage", dir.c_str(), "cp.idt") != ERROR_SUCCESS) return "no codepage";
  return ReadText(dir / "cp.idt");
}

void ExpectRoundTrip(const fs::path& package) {
  SCOPED_TRACE(package.string());
  TempDir dir;
  const fs::path out = dir / "tables";
  fs::create_directory(out);
  RunResult e = ts::Run({Msisql(), "--export", package.string(), out.string()});
  ASSERT_EQ(e.exit_code, 0) << e.err;
  std::vector<std::string> args{Msisql(), "--import", (dir / "again.msi").string()};
  for (const auto& name : FolderEntries(out)) {
    if (name.size() > 4 && name.substr(name.size() - 4) == ".idt") args.push_back((out / name).string());
  }
  RunResult i = ts::Run(args);
  ASSERT_EQ(i.exit_code, 0) << i.err;
  Handle a, b;
  ASSERT_EQ(Open(package, MSIDBOPEN_READONLY_A, a), ERROR_SUCCESS);
  ASSERT_EQ(Open(dir / "again.msi", MSIDBOPEN_READONLY_A, b), ERROR_SUCCESS);
  EXPECT_EQ(Codepage(b, dir.path()), Codepage(a, dir.path()));
  ASSERT_EQ(TableNames(b), TableNames(a));
  for (const auto& t : TableNames(a)) {
    EXPECT_EQ(ColumnTypes(b, t), ColumnTypes(a, t)) << "table " << t;
    const std::string sql = "SELECT * FROM `" + t + "`";
    EXPECT_EQ(SortedLines(Select(b, sql)), SortedLines(Select(a, sql))) << "table " << t;
  }
  // Binary cells travel as files; streams outside tables (cabinets,
  // summary information) are not in .idt archives.
  const auto tables = TableNames(a);
  auto sa = EngineStreams(a), sb = EngineStreams(b);
  for (const auto& [name, data] : sa) {
    const std::string owner = name.substr(0, name.find('.'));
    if (owner == name || std::find(tables.begin(), tables.end(), owner) == tables.end()) continue;
    EXPECT_TRUE(sb[name] == data) << "stream " << name;
  }
}

TEST(ArchiveRoundTrip, EveryCorpusPackage) {
  REQUIRE_CORPUS();
  for (const auto& package : CorpusPackages()) ExpectRoundTrip(package);
}

TEST(ArchiveRoundTrip, SamplePackage) {
  if (SamplePackage().empty() || !fs::exists(SamplePackage())) GTEST_SKIP() << "no sample package in this build";
  ExpectRoundTrip(SamplePackage());
}

// A package in each codepage real packages use, with text only that
// codepage holds, and integer columns of width 1 as real merge modules
// have them.
TEST(ArchiveRoundTrip, EveryCodepage) {
  const std::vector<std::pair<int, std::string>> texts = {
      {1250, "Za\xC5\xBC\xC3\xB3\xC5\x82\xC4\x87 g\xC4\x99\xC5\x9Bl\xC4\x85"},
      {1251, "\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82"},
      {1252, "Caf\xC3\xA9 \xC3\x86r\xC3\xB8 \xE2\x82\xAC"},
      {1253, "\xCE\x9A\xCE\xB1\xCE\xBB\xCE\xB7\xCE\xBC\xCE\xAD\xCF\x81\xCE\xB1"},
      {1254, "G\xC3\xBCzel \xC4\xB0stanbul \xC5\x9F"},
      {1255, "\xD7\xA9\xD7\x9C\xD7\x95\xD7\x9D"},
      {1256, "\xD9\x85\xD8\xB1\xD8\xAD\xD8\xA8\xD8\xA7"},
      {1257, "R\xC4\xAB" "ga \xC4\x85\xC4\x8D\xC4\x99"},
      {1258, "\xC4\x90\xC6\xA1n \xC6\xA0n \xC6\xB0"},
      {874, "\xE0\xB8\xAA\xE0\xB8\xA7\xE0\xB8\xB1\xE0\xB8\xAA\xE0\xB8\x94\xE0\xB8\xB5"},
      {932, "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E\xE3\x83\x86\xE3\x82\xAD\xE3\x82\xB9\xE3\x83\x88"},
      {936, "\xE7\xAE\x80\xE4\xBD\x93\xE4\xB8\xAD\xE6\x96\x87"},
      {949, "\xED\x95\x9C\xEA\xB5\xAD\xEC\x96\xB4"},
      {950, "\xE7\xB9\x81\xE9\xAB\x94\xE4\xB8\xAD\xE6\x96\x87"},
      {65001, "UTF-8 \xE2\x9C\x93 \xE6\x97\xA5\xE6\x9C\xAC \xE2\x82\xAC"},
  };
  for (const auto& [codepage, text] : texts) {
    SCOPED_TRACE(codepage);
    TempDir dir;
    const fs::path p = dir / "cp.msi";
    WriteText(dir / "cp.idt", "\r\n\r\n" + std::to_string(codepage) + "\t_ForceCodepage\r\n");
    WriteText(dir / "Flags.idt", "Flag\tSmall\tTiny\r\ns72\ti1\tI1\r\nFlags\tFlag\r\nTcp\t6\t-3\r\nNone\t0\t\r\n");
    {
      Handle db;
      ASSERT_EQ(Open(p, MSIDBOPEN_CREATE_A, db), ERROR_SUCCESS);
      ASSERT_EQ(MsiDatabaseImportA(db, dir.path().c_str(), "cp.idt"), ERROR_SUCCESS);
      ASSERT_EQ(MsiDatabaseImportA(db, dir.path().c_str(), "Flags.idt"), ERROR_SUCCESS);
      ASSERT_EQ(Exec(db, "CREATE TABLE `Words` (`Key` CHAR(72) NOT NULL, `Text` CHAR(0) LOCALIZABLE, "
                         "`N` SHORT PRIMARY KEY `Key`)"),
                ERROR_SUCCESS);
      Handle rec = MakeRecord({text, text + " " + text, "#7"});
      ASSERT_EQ(Exec(db, "INSERT INTO `Words` (`Key`, `Text`, `N`) VALUES (?, ?, ?)", rec), ERROR_SUCCESS);
      Handle plain = MakeRecord({"plain", "ascii only", ""});
      ASSERT_EQ(Exec(db, "INSERT INTO `Words` (`Key`, `Text`, `N`) VALUES (?, ?, ?)", plain), ERROR_SUCCESS);
      ASSERT_EQ(MsiDatabaseCommit(db), ERROR_SUCCESS) << MsiExtLastErrorDescriptionA(ERROR_FUNCTION_FAILED);
    }
    Handle db;
    ASSERT_EQ(Open(p, MSIDBOPEN_READONLY_A, db), ERROR_SUCCESS);
    EXPECT_EQ(Select(db, "SELECT `Key` FROM `Words` WHERE `N` = 7"), "Key\n" + text + "\n");
    EXPECT_EQ(Select(db, "SELECT * FROM `Flags`"), "Flag\tSmall\tTiny\nTcp\t6\t-3\nNone\t0\t\n");
    ExpectRoundTrip(p);
  }
}

// An archive in one codepage does not go silently into a package of
// another codepage that cannot hold its text.
TEST(ArchiveRoundTrip, ImportIntoAnotherCodepageSaysWhy) {
  TempDir dir;
  WriteText(dir / "cp.idt", "\r\n\r\n1252\t_ForceCodepage\r\n");
  WriteText(dir / "Words.idt", "Key\r\ns72\r\n1251\tWords\tKey\r\n\xCF\xF0\xE8\r\n");
  WriteText(dir / "Other.idt", "Key\r\ns72\r\n1252\tOther\tKey\r\ncaf\xE9\r\n");
  Handle db;
  ASSERT_EQ(Open(dir / "p.msi", MSIDBOPEN_CREATE_A, db), ERROR_SUCCESS);
  ASSERT_EQ(MsiDatabaseImportA(db, dir.path().c_str(), "cp.idt"), ERROR_SUCCESS);
  ASSERT_EQ(MsiDatabaseImportA(db, dir.path().c_str(), "Words.idt"), ERROR_FUNCTION_FAILED);
  const std::string why = MsiExtLastErrorDescriptionA(ERROR_FUNCTION_FAILED);
  EXPECT_NE(why.find("codepage 1251"), std::string::npos) << why;
  EXPECT_NE(why.find("codepage 1252"), std::string::npos) << why;
  EXPECT_EQ(Select(db, "SELECT * FROM `Words`"), "error 1615");
  ASSERT_EQ(MsiDatabaseImportA(db, dir.path().c_str(), "Other.idt"), ERROR_SUCCESS);
  WriteText(dir / "bad.idt", "\r\n\r\n9999\t_ForceCodepage\r\n");
  EXPECT_EQ(MsiDatabaseImportA(db, dir.path().c_str(), "bad.idt"), ERROR_FUNCTION_FAILED);
}

}  // namespace
}  // namespace ts
