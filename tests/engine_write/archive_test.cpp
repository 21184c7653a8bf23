// .idt archives: export and import back, with the escapes for control
// characters, binary columns as files and codepages; the archive round
// trip engineers rely on (msisql --export, then msisql --import into a new
// package) of every corpus package and the sample.
#include "package_bytes.h"
#include "statement_support.h"

#include <algorithm>
#include <sstream>

namespace ts {

// Rows as sorted lines, the header first: a new pool numbers strings
// afresh, and rows sort by string id.
std::vector<std::string> SortedRows(const std::string& text) {
  std::istringstream in(text);
  std::vector<std::string> lines;
  for (std::string l; std::getline(in, l);) lines.push_back(l);
  if (!lines.empty()) std::sort(lines.begin() + 1, lines.end());
  return lines;
}

std::string ExportedCodepage(MSIHANDLE db, const fs::path& dir) {
  if (MsiDatabaseExportA(db, "_ForceCodepage", dir.c_str(), "cp.idt") != ERROR_SUCCESS) return "no codepage";
  return ReadText(dir / "cp.idt");
}

// The same tables, column types, rows, table streams and codepage.
void ExpectArchiveRoundTrip(const fs::path& package) {
  SCOPED_TRACE(package.string());
  TempDir dir;
  const fs::path out = dir / "tables";
  fs::create_directory(out);
  RunResult e = Run({Msisql(), "--export", package.string(), out.string()});
  ASSERT_EQ(e.exit_code, 0) << e.err;
  std::vector<std::string> args{Msisql(), "--import", (dir / "again.msi").string()};
  for (const auto& name : FolderEntries(out)) {
    if (name.size() > 4 && name.substr(name.size() - 4) == ".idt") args.push_back((out / name).string());
  }
  RunResult i = Run(args);
  ASSERT_EQ(i.exit_code, 0) << i.err;
  Handle a, b;
  ASSERT_EQ(Open(package, MSIDBOPEN_READONLY_A, a), ERROR_SUCCESS);
  ASSERT_EQ(Open(dir / "again.msi", MSIDBOPEN_READONLY_A, b), ERROR_SUCCESS);
  EXPECT_EQ(ExportedCodepage(b, dir.path()), ExportedCodepage(a, dir.path()));
  const auto tables = TableNames(a);
  ASSERT_EQ(TableNames(b), tables);
  for (const auto& t : tables) {
    const std::string sql = "SELECT * FROM `" + t + "`";
    EXPECT_EQ(Types(b, sql), Types(a, sql)) << "table " << t;
    EXPECT_EQ(SortedRows(Select(b, sql)), SortedRows(Select(a, sql))) << "table " << t;
  }
  // Binary cells travel as files; streams outside tables (cabinets,
  // summary information) are not in .idt archives.
  auto sa = EngineStreams(a), sb = EngineStreams(b);
  for (const auto& [name, data] : sa) {
    const std::string owner = name.substr(0, name.find('.'));
    if (owner == name || std::find(tables.begin(), tables.end(), owner) == tables.end()) continue;
    EXPECT_TRUE(sb[name] == data) << "stream " << name;
  }
}

namespace {

TEST(ArchiveRoundTrip, EveryCorpusPackageAndTheSample) {
  if (!SamplePackage().empty() && fs::exists(SamplePackage())) ExpectArchiveRoundTrip(SamplePackage());
  REQUIRE_CORPUS();
  for (const auto& package : CorpusPackages()) ExpectArchiveRoundTrip(package);
}

// Control characters in values and a binary cell through the archive
// round trip, and the escapes that keep a record on one line.
TEST(Archive, ExportImportRoundTripKeepsControlCharactersAndStreams) {
  TempDir dir;
  const fs::path p = SmallPackage(dir);
  Bytes blob(5000);
  for (size_t i = 0; i < blob.size(); ++i) blob[i] = static_cast<uint8_t>(i ^ 0x5A);
  {
    Handle db;
    ASSERT_EQ(Open(p, MSIDBOPEN_TRANSACT_A, db), ERROR_SUCCESS);
    Handle rec = MakeRecord({"Tricky", "tab\there\r\nline two\nend\\slash"});
    ASSERT_EQ(Exec(db, "INSERT INTO `Property` (`Property`, `Value`) VALUES (?, ?)", rec), ERROR_SUCCESS);
    Handle item = MakeRecord({"#5", "g", ""});
    ASSERT_EQ(MsiExtRecordSetStreamData(item, 3, blob.data(), static_cast<DWORD>(blob.size())), ERROR_SUCCESS);
    ASSERT_EQ(Exec(db, "INSERT INTO `Item` (`Id`, `Group`, `Data`) VALUES (?, ?, ?)", item), ERROR_SUCCESS);
    ASSERT_EQ(MsiDatabaseCommit(db), ERROR_SUCCESS);
  }
  ExpectArchiveRoundTrip(p);
  Handle db;
  ASSERT_EQ(Open(p, MSIDBOPEN_READONLY_A, db), ERROR_SUCCESS);
  ASSERT_EQ(MsiDatabaseExportA(db, "Property", dir.path().c_str(), "Property.idt"), ERROR_SUCCESS);
  EXPECT_NE(MsiDatabaseExportA(db, "NoSuchTable", dir.path().c_str(), "x.idt"), ERROR_SUCCESS);
  std::string text = ReadText(dir / "Property.idt");
  // Three header lines, CR LF line ends; in values a tab is \x10, CR \x11,
  // LF \x19, so every record stays on one line.
  EXPECT_EQ(text.rfind("Property\tValue\r\ns72\tl0\r\nProperty\tProperty\r\n", 0), 0u) << text;
  EXPECT_NE(text.find("Tricky\ttab\x10here\x11\x19line two\x19" "end\\slash\r\n"), std::string::npos) << text;
  REQUIRE_ORACLE();
  EXPECT_EQ(OracleSelect(p, {"SELECT * FROM `Property` WHERE `Property` = 'Tricky'"}),
            "Property\tValue\nTricky\ttab\\there\\r\\nline two\\nend\\\\slash\n");
}

// A table archive may name its codepage on its third line: into a neutral
// package its text goes in that codepage, and it is exported again with the
// line. An archive the package's codepage cannot hold is refused, saying
// why; so is a codepage no converter knows.
TEST(Archive, CodepageLinesOfTableArchives) {
  TempDir dir;
  // Windows-1252 bytes: e-acute 0xE9, euro 0x80.
  WriteText(dir / "Property.idt",
            "Property\tValue\r\ns72\tl0\r\n1252\tProperty\tProperty\r\nCafe\tcaf\xE9 \x80 5\r\n");
  WriteText(dir / "Words.idt", "Key\r\ns72\r\n1251\tWords\tKey\r\n\xCF\xF0\xE8\r\n");
  WriteText(dir / "bad.idt", "\r\n\r\n9999\t_ForceCodepage\r\n");
  fs::path p = dir / "p.msi";
  {
    Handle db;
    ASSERT_EQ(Open(p, MSIDBOPEN_CREATE_A, db), ERROR_SUCCESS);
    ASSERT_EQ(MsiDatabaseImportA(db, dir.path().c_str(), "Property.idt"), ERROR_SUCCESS);
    ASSERT_EQ(MsiDatabaseImportA(db, dir.path().c_str(), "Words.idt"), ERROR_FUNCTION_FAILED);
    const std::string why = MsiExtLastErrorDescriptionA(ERROR_FUNCTION_FAILED);
    EXPECT_NE(why.find("codepage 1251"), std::string::npos) << why;
    EXPECT_NE(why.find("codepage 1252"), std::string::npos) << why;
    EXPECT_EQ(Select(db, "SELECT * FROM `Words`"), "error 1615");
    EXPECT_EQ(MsiDatabaseImportA(db, dir.path().c_str(), "bad.idt"), ERROR_FUNCTION_FAILED);
    ASSERT_EQ(MsiDatabaseCommit(db), ERROR_SUCCESS);
  }
  EXPECT_EQ(Rows(p, "SELECT `Value` FROM `Property`"), "Value\ncaf\xC3\xA9 \xE2\x82\xAC 5\n");
  StoredPackage stored = ExpectSound(p);
  EXPECT_EQ(stored.codepage, 1252u);
  EXPECT_NE(std::find(stored.strings.begin(), stored.strings.end(), "caf\xE9 \x80 5"), stored.strings.end())
      << "the text is not stored in the package codepage";
  Handle db;
  ASSERT_EQ(Open(p, MSIDBOPEN_READONLY_A, db), ERROR_SUCCESS);
  ASSERT_EQ(MsiDatabaseExportA(db, "Property", dir.path().c_str(), "again.idt"), ERROR_SUCCESS);
  EXPECT_EQ(ReadText(dir / "again.idt"), ReadText(dir / "Property.idt"));
}

// msisql --write runs all statements in one transaction: one failure and
// nothing changes.
TEST(Archive, MsisqlWriteIsAllOrNothing) {
  TempDir dir;
  const fs::path p = SmallPackage(dir);
  Bytes before = ReadBytes(p);
  const std::string remove = "DELETE FROM `Property` WHERE `Property` = 'Alpha'";
  RunResult r = ts::Run({Msisql(), "--write", p.string(), remove,
                     "INSERT INTO `Property` (`Property`, `Value`) VALUES ('Beta', 'duplicate')"});
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_TRUE(ReadBytes(p) == before);
  EXPECT_EQ(FolderEntries(dir.path()), std::vector<std::string>{"p.msi"});
  r = ts::Run({Msisql(), "--write", p.string(), remove,
           "INSERT INTO `Property` (`Property`, `Value`) VALUES ('Delta', 'four')"});
  EXPECT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(Rows(p, "SELECT * FROM `Property`"), "Property\tValue\nBeta\ttwo\nGamma\tthree\nDelta\tfour\n");
}

}  // namespace
}  // namespace ts
