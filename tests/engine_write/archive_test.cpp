// .idt archives: export and import back, with the escapes for control
// characters, binary columns as files and non-ASCII text (codepages and
// whole-package round trips: archive_round_trip_test.cpp).
#include "package_bytes.h"
#include "statement_support.h"

#include <sstream>

namespace ts {
namespace {

std::vector<std::string> SortedRows(const fs::path& p, const std::string& sql) {
  std::istringstream in(Rows(p, sql));
  std::vector<std::string> lines;
  for (std::string l; std::getline(in, l);) lines.push_back(l);
  std::sort(lines.begin(), lines.end());
  return lines;
}

TEST(Archive, ExportImportRoundTripKeepsControlCharactersAndStreams) {
  TempDir dir;
  fs::path p = dir / "p.msi";
  MakeSmallPackage(p);
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
  fs::path out = dir / "export";
  fs::create_directory(out);
  {
    Handle db;
    ASSERT_EQ(Open(p, MSIDBOPEN_READONLY_A, db), ERROR_SUCCESS);
    ASSERT_EQ(MsiDatabaseExportA(db, "Property", out.c_str(), "Property.idt"), ERROR_SUCCESS);
    ASSERT_EQ(MsiDatabaseExportA(db, "Item", out.c_str(), "Item.idt"), ERROR_SUCCESS);
    EXPECT_NE(MsiDatabaseExportA(db, "NoSuchTable", out.c_str(), "x.idt"), ERROR_SUCCESS);
  }
  std::string text = ReadText(out / "Property.idt");
  // Three header lines, CR LF line ends; in values a tab is \x10, CR \x11,
  // LF \x19, so every record stays on one line.
  EXPECT_EQ(text.rfind("Property\tValue\r\ns72\tl0\r\nProperty\tProperty\r\n", 0), 0u) << text;
  EXPECT_NE(text.find("Tricky\ttab\x10here\x11\x19line two\x19" "end\\slash\r\n"), std::string::npos) << text;
  ASSERT_TRUE(fs::exists(out / "Item"));
  bool found = false;
  for (const auto& e : fs::directory_iterator(out / "Item")) {
    if (ReadBytes(e.path()) == blob) found = true;
  }
  EXPECT_TRUE(found) << "the binary field was not exported as a file";

  fs::path q = dir / "q.msi";
  {
    Handle db;
    ASSERT_EQ(Open(q, MSIDBOPEN_CREATE_A, db), ERROR_SUCCESS);
    ASSERT_EQ(MsiDatabaseImportA(db, out.c_str(), "Property.idt"), ERROR_SUCCESS);
    ASSERT_EQ(MsiDatabaseImportA(db, out.c_str(), "Item.idt"), ERROR_SUCCESS);
    EXPECT_EQ(MsiDatabaseImportA(db, out.c_str(), "Missing.idt"), ERROR_BAD_PATHNAME);
    ASSERT_EQ(MsiDatabaseCommit(db), ERROR_SUCCESS);
  }
  // Rows sort by string id, which the new pool numbers in import order.
  EXPECT_EQ(SortedRows(q, "SELECT * FROM `Property`"), SortedRows(p, "SELECT * FROM `Property`"));
  EXPECT_EQ(SortedRows(q, "SELECT `Id`, `Group`, `Size`, `Note` FROM `Item`"),
            SortedRows(p, "SELECT `Id`, `Group`, `Size`, `Note` FROM `Item`"));
  StoredPackage stored;
  ASSERT_EQ(DecodePackage(ReadBytes(q), stored), "");
  EXPECT_TRUE(stored.streams["Item.5.g"] == blob);
  auto faults = WriterRuleFaults(stored);
  EXPECT_TRUE(faults.empty()) << faults.front();
  REQUIRE_ORACLE();
  EXPECT_EQ(OracleSelect(q, {"SELECT * FROM `Property` WHERE `Property` = 'Tricky'"}),
            "Property\tValue\nTricky\ttab\\there\\r\\nline two\\nend\\\\slash\n");
}

TEST(Archive, CodepageLineAndNonAsciiText) {
  TempDir dir;
  // Windows-1252 bytes: e-acute 0xE9, euro 0x80.
  std::string idt = "Property\tValue\r\ns72\tl0\r\n1252\tProperty\tProperty\r\nCafe\tcaf\xE9 \x80 5\r\n";
  WriteText(dir / "Property.idt", idt);
  fs::path p = dir / "p.msi";
  {
    Handle db;
    ASSERT_EQ(Open(p, MSIDBOPEN_CREATE_A, db), ERROR_SUCCESS);
    ASSERT_EQ(MsiDatabaseImportA(db, dir.path().c_str(), "Property.idt"), ERROR_SUCCESS);
    ASSERT_EQ(MsiDatabaseCommit(db), ERROR_SUCCESS);
  }
  EXPECT_EQ(Rows(p, "SELECT `Value` FROM `Property`"), "Value\ncaf\xC3\xA9 \xE2\x82\xAC 5\n");
  StoredPackage stored;
  ASSERT_EQ(DecodePackage(ReadBytes(p), stored), "");
  EXPECT_EQ(stored.codepage, 1252u);
  bool raw = false;
  for (const auto& s : stored.strings) raw = raw || s == "caf\xE9 \x80 5";
  EXPECT_TRUE(raw) << "the text is not stored in the package codepage";
  // Exported again, the codepage line comes back and the bytes too.
  fs::path out = dir / "out";
  fs::create_directory(out);
  {
    Handle db;
    ASSERT_EQ(Open(p, MSIDBOPEN_READONLY_A, db), ERROR_SUCCESS);
    ASSERT_EQ(MsiDatabaseExportA(db, "Property", out.c_str(), "Property.idt"), ERROR_SUCCESS);
  }
  std::string back = ReadText(out / "Property.idt");
  EXPECT_NE(back.find("Cafe\tcaf\xE9 \x80 5\r\n"), std::string::npos) << back;
}

// msisql --write runs all statements in one transaction: one failure and
// nothing changes.
TEST(Archive, MsisqlWriteIsAllOrNothing) {
  TempDir dir;
  fs::path p = dir / "p.msi";
  MakeSmallPackage(p);
  Bytes before = ReadBytes(p);
  RunResult r = ts::Run({Msisql(), "--write", p.string(), "DELETE FROM `Property` WHERE `Property` = 'Alpha'",
                     "INSERT INTO `Property` (`Property`, `Value`) VALUES ('Beta', 'duplicate')"});
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_TRUE(ReadBytes(p) == before);
  EXPECT_EQ(FolderEntries(dir.path()), std::vector<std::string>{"p.msi"});
  r = ts::Run({Msisql(), "--write", p.string(), "DELETE FROM `Property` WHERE `Property` = 'Alpha'",
           "INSERT INTO `Property` (`Property`, `Value`) VALUES ('Delta', 'four')"});
  EXPECT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(Rows(p, "SELECT * FROM `Property`"), "Property\tValue\nBeta\ttwo\nGamma\tthree\nDelta\tfour\n");
}

}  // namespace
}  // namespace ts
