// Changing statements: result codes and effects, through the engine and,
// where libmsi can do the same, compared with libmsi's result.
#include "package_bytes.h"
#include "statement_support.h"

namespace ts {

// A small package made from nothing: a table with a string key, a table
// with an integer key and a binary column.
void MakeSmallPackage(const fs::path& path) {
  Change(path,
         {"CREATE TABLE `Property` (`Property` CHAR(72) NOT NULL, `Value` LONGCHAR NOT NULL "
          "LOCALIZABLE PRIMARY KEY `Property`)",
          "CREATE TABLE `Item` (`Id` SHORT NOT NULL, `Group` CHAR(20) NOT NULL, `Size` LONG, "
          "`Note` CHAR(0), `Data` OBJECT PRIMARY KEY `Id`, `Group`)",
          "INSERT INTO `Property` (`Property`, `Value`) VALUES ('Alpha', 'one')",
          "INSERT INTO `Property` (`Property`, `Value`) VALUES ('Beta', 'two')",
          "INSERT INTO `Property` (`Property`, `Value`) VALUES ('Gamma', 'three')",
          "INSERT INTO `Item` (`Id`, `Group`, `Size`, `Note`) VALUES (3, 'b', 30, 'third')",
          "INSERT INTO `Item` (`Id`, `Group`, `Size`, `Note`) VALUES (1, 'a', 10, 'first')",
          "INSERT INTO `Item` (`Id`, `Group`, `Size`) VALUES (-2, 'a', -20)",
          "INSERT INTO `Item` (`Id`, `Group`, `Size`, `Note`) VALUES (1, 'b', 11, 'first b')"},
         MSIDBOPEN_CREATE_A);
}

fs::path SmallPackage(const TempDir& dir) {
  const fs::path p = dir / "p.msi";
  MakeSmallPackage(p);
  return p;
}

void Change(const fs::path& package, const std::vector<std::string>& statements, LPCSTR mode) {
  Handle db;
  ASSERT_EQ(Open(package, mode, db), ERROR_SUCCESS) << package;
  for (const auto& s : statements) ASSERT_EQ(Exec(db, s), ERROR_SUCCESS) << s;
  ASSERT_EQ(MsiDatabaseCommit(db), ERROR_SUCCESS);
}

std::string Rows(const fs::path& package, const std::string& sql) {
  Handle db;
  if (Open(package, MSIDBOPEN_READONLY_A, db) != ERROR_SUCCESS) return "open failed";
  return Select(db, sql);
}

namespace {

// The stored frame and the summary; the system tables' streams are checked
// by the decoder, the tables' streams by reading the rows back.
TEST(CreatePackage, NewPackageHasSystemTablesSummaryAndDefaults) {
  TempDir dir;
  const fs::path p = SmallPackage(dir);
  StoredPackage stored = ExpectSound(p);
  EXPECT_EQ(stored.codepage, 0u);  // neutral, as the installer makes new packages
  const std::array<uint8_t, 16> kPackageClsid = {0x84, 0x10, 0x0C, 0x00, 0x00, 0x00, 0x00, 0x00,
                                                 0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46};
  EXPECT_TRUE(stored.root_clsid == kPackageClsid);
  // Rows sort by key, strings by pool id: 'b' came first, so (1, 'b')
  // precedes (1, 'a').
  EXPECT_EQ(Rows(p, "SELECT * FROM `Item`"),
            "Id\tGroup\tSize\tNote\tData\n-2\ta\t-20\t\t\n1\tb\t11\tfirst b\t\n1\ta\t10\tfirst\t\n3\tb\t30\tthird\t\n");
  // libmsi's reading of the tables is checked in StatementsAgainstLibmsi.
  REQUIRE_ORACLE();
  std::string summary = OracleSummary(p);
  // The properties every package must have (template, package code, page
  // and word counts) and the codepage.
  for (const char* line : {"Template:", "Revision number", "Version:", "Source:"}) {
    EXPECT_NE(summary.find(line), std::string::npos) << "summary lacks " << line << ":\n" << summary;
  }
}

// Closing without a commit leaves the file as it was, a file CREATE would
// replace included; CREATEDIRECT's commit replaces it.
TEST(PersistModes, ClosingWithoutCommitLeavesTheFile) {
  TempDir dir;
  const fs::path p = SmallPackage(dir), old = dir / "old.msi";
  WriteText(old, "not a package");
  Bytes before = ReadBytes(p);
  for (LPCSTR mode : {MSIDBOPEN_TRANSACT_A, MSIDBOPEN_DIRECT_A}) {
    Handle db;
    ASSERT_EQ(Open(p, mode, db), ERROR_SUCCESS);
    ASSERT_EQ(Exec(db, "DELETE FROM `Property`"), ERROR_SUCCESS);
    ASSERT_EQ(Exec(db, "DROP TABLE `Item`"), ERROR_SUCCESS);
    EXPECT_EQ(Select(db, "SELECT * FROM `Property`"), "Property\tValue\n");
  }
  EXPECT_TRUE(ReadBytes(p) == before);
  for (LPCSTR mode : {MSIDBOPEN_CREATE_A, MSIDBOPEN_CREATEDIRECT_A}) {
    Handle db;
    ASSERT_EQ(Open(old, mode, db), ERROR_SUCCESS);
    ASSERT_EQ(Exec(db, "CREATE TABLE `T` (`K` SHORT NOT NULL PRIMARY KEY `K`)"), ERROR_SUCCESS);
    EXPECT_EQ(ReadText(old), "not a package") << "changed before the commit";
    if (mode == MSIDBOPEN_CREATEDIRECT_A) {
      ASSERT_EQ(MsiDatabaseCommit(db), ERROR_SUCCESS);
    }
  }
  EXPECT_EQ(Rows(old, "SELECT * FROM `T`"), "K\n");
  EXPECT_EQ(FolderEntries(dir.path()), (std::vector<std::string>{"old.msi", "p.msi"}));
}

// Statements with values for their markers ("" null, "#n" an integer) and
// the answer each gets, run one after the other in one transaction; a
// failed statement leaves nothing behind.
TEST(Statements, FailuresLeaveNothingAndMarkersFillEveryStatement) {
  constexpr UINT kFails = 0xFFFFFFFF;  // any failure
  const struct {
    const char* sql;
    std::vector<std::string> values;
    UINT code;
  } cases[] = {
      {"INSERT INTO `Property` (`Property`, `Value`) VALUES ('Alpha', 'again')", {}, ERROR_FUNCTION_FAILED},
      {"INSERT INTO `Item` (`Id`, `Group`) VALUES (1, 'a')", {}, ERROR_FUNCTION_FAILED},
      // An UPDATE that would make two rows share a key fails as a whole.
      {"UPDATE `Item` SET `Group` = 'a' WHERE `Id` = 1", {}, kFails},
      {"INSERT INTO `Property` (`Property`) VALUES ('NoValue')", {}, kFails},
      {"UPDATE `Property` SET `Value` = '' WHERE `Property` = 'Alpha'", {}, kFails},
      {"INSERT INTO `Item` (`Id`, `Group`, `Size`) VALUES (7, 'a', 'many')", {}, ERROR_DATATYPE_MISMATCH},
      {"INSERT INTO `Item` (`Id`, `Group`) VALUES (?, ?)", {"text", "a"}, kFails},
      {"INSERT INTO `Property` (`Property`, `Value`) VALUES (?, ?)", {"Delta", "four"}, 0},
      {"INSERT INTO `Item` (`Id`, `Group`, `Size`, `Note`) VALUES (?, ?, ?, 'nine')", {"#9", "c", "#-90"}, 0},
      {"UPDATE `Property` SET `Value` = ? WHERE `Property` = ?", {"FOUR", "Delta"}, 0},
      {"UPDATE `Item` SET `Size` = ?, `Note` = 'big' WHERE `Size` > ?", {"#25", "#0"}, 0},
      {"DELETE FROM `Item` WHERE `Group` = ? AND `Id` = 1", {"b"}, 0},
      {"DELETE FROM `Property` WHERE `Property` = ?", {"Gamma"}, 0},
      // Too few values for the markers is an error, not a null.
      {"INSERT INTO `Property` (`Property`, `Value`) VALUES (?, ?)", {"Epsilon"}, kFails},
  };
  TempDir dir;
  const fs::path p = SmallPackage(dir);
  {
    Handle db;
    ASSERT_EQ(Open(p, MSIDBOPEN_TRANSACT_A, db), ERROR_SUCCESS);
    for (const auto& c : cases) {
      Handle params = c.values.empty() ? Handle() : MakeRecord(c.values);
      const UINT r = Exec(db, c.sql, params);
      EXPECT_TRUE(c.code == kFails ? r != ERROR_SUCCESS : r == c.code) << c.sql << ": " << r;
    }
    ASSERT_EQ(MsiDatabaseCommit(db), ERROR_SUCCESS);
  }
  EXPECT_EQ(Rows(p, "SELECT * FROM `Property`"), "Property\tValue\nAlpha\tone\nBeta\ttwo\nDelta\tFOUR\n");
  EXPECT_EQ(Rows(p, "SELECT `Id`, `Group`, `Size`, `Note` FROM `Item`"),
            "Id\tGroup\tSize\tNote\n-2\ta\t-20\t\n1\ta\t25\tbig\n3\tb\t25\tbig\n9\tc\t-90\tnine\n");
}

// A binary cell's stream is named after its row's key and goes with its
// table; a table stream left behind is a writer rule fault.
TEST(Statements, DropTableRemovesItsStreamsAndColumns) {
  TempDir dir;
  const fs::path p = SmallPackage(dir);
  {
    Handle db;
    ASSERT_EQ(Open(p, MSIDBOPEN_TRANSACT_A, db), ERROR_SUCCESS);
    Handle rec = MakeRecord({"#-7", "g", ""});
    ASSERT_EQ(MsiExtRecordSetStreamData(rec, 3, "blob", 4), ERROR_SUCCESS);
    ASSERT_EQ(Exec(db, "INSERT INTO `Item` (`Id`, `Group`, `Data`) VALUES (?, ?, ?)", rec), ERROR_SUCCESS);
    ASSERT_EQ(MsiDatabaseCommit(db), ERROR_SUCCESS);
  }
  EXPECT_EQ(ExpectSound(p).streams.count("Item.-7.g"), 1u) << "the stream is not named after its row's key";
  Change(p, {"DROP TABLE `Item`"});
  StoredPackage stored = ExpectSound(p);
  EXPECT_EQ(stored.tables.count("Item"), 0u);
  for (const auto& [name, data] : stored.streams) EXPECT_NE(name.rfind("Item.", 0), 0u) << "stream " << name << " left";
  for (const auto& row : stored.tables["_Columns"].rows) {
    EXPECT_NE(stored.strings[row[0]], "Item") << "a column of the dropped table is left";
  }
  EXPECT_EQ(Rows(p, "SELECT * FROM `Item`"), "error 1615");
}

// A table name too long for a compound file stream name (64 characters
// pack into 32 units, one more than a name may have) must be refused when
// the table is created, or stored; accepting it and then failing every
// later commit loses the transaction's other changes.
TEST(Statements, TableWhoseNameCannotBeStoredIsRefusedAtCreate) {
  TempDir dir;
  const fs::path p = SmallPackage(dir);
  std::string name(64, 'L');
  Handle db;
  ASSERT_EQ(Open(p, MSIDBOPEN_TRANSACT_A, db), ERROR_SUCCESS);
  ASSERT_EQ(Exec(db, "INSERT INTO `Property` (`Property`, `Value`) VALUES ('Other', 'change')"), ERROR_SUCCESS);
  UINT created = Exec(db, "CREATE TABLE `" + name + "` (`K` SHORT NOT NULL PRIMARY KEY `K`)");
  if (created == ERROR_SUCCESS) {
    EXPECT_EQ(Exec(db, "INSERT INTO `" + name + "` (`K`) VALUES (1)"), ERROR_SUCCESS);
  }
  EXPECT_EQ(MsiDatabaseCommit(db), ERROR_SUCCESS) << "created: " << created;
  db.reset();
  EXPECT_EQ(Rows(p, "SELECT `Value` FROM `Property` WHERE `Property` = 'Other'"), "Value\nchange\n");
  if (created == ERROR_SUCCESS) {
    EXPECT_EQ(Rows(p, "SELECT * FROM `" + name + "`"), "K\n1\n");
  }
}

// The string pool across commits: ids of strings that stay keep their
// number (ORDER BY depends on it), freed ids go to later new strings.
TEST(Statements, StringIdsOfRemainingStringsStayAndFreedOnesAreReused) {
  TempDir dir;
  const fs::path p = SmallPackage(dir);
  StoredPackage before = ExpectSound(p);
  std::string order_before = Rows(p, "SELECT `Property` FROM `Property` ORDER BY `Value`");
  Change(p, {"DELETE FROM `Item` WHERE `Id` = 3"});  // frees 'third'
  Change(p, {"INSERT INTO `Property` (`Property`, `Value`) VALUES ('Zeta', 'brand new text')"});
  StoredPackage after = ExpectSound(p);
  for (size_t id = 1; id < before.strings.size(); ++id) {
    if (!before.live[id] || before.strings[id] == "third") continue;
    ASSERT_LT(id, after.strings.size());
    EXPECT_EQ(after.strings[id], before.strings[id]) << "string id " << id << " changed its text";
  }
  EXPECT_LE(after.strings.size(), before.strings.size() + 1) << "freed ids were not reused";
  EXPECT_EQ(Rows(p, "SELECT `Property` FROM `Property` WHERE `Property` <> 'Zeta' ORDER BY `Value`"), order_before);
}

// ---- against libmsi ------------------------------------------------------

struct Script {
  const char* name;
  std::vector<std::string> statements;
};

// Each script runs through the engine statement by statement (codes kept)
// and through libmsi; codes and the resulting tables must agree.
const Script kScripts[] = {
    {"insert update delete",
     {"INSERT INTO `Property` (`Property`, `Value`) VALUES ('Delta', 'four')",
      "UPDATE `Property` SET `Value` = 'TWO' WHERE `Property` = 'Beta'",
      "DELETE FROM `Property` WHERE `Property` = 'Alpha'",
      "UPDATE `Item` SET `Size` = 99 WHERE `Id` = 3"}},
    {"duplicate key", {"INSERT INTO `Property` (`Property`, `Value`) VALUES ('Alpha', 'again')"}},
    {"null in a column that is not nullable", {"INSERT INTO `Property` (`Property`) VALUES ('Empty')"}},
    // Text into an integer column: libmsi stores a null, the installer
    // answers 1629; checked in Statements.FailuresLeaveNothing...
    {"unknown table and column",
     {"INSERT INTO `Nothing` (`A`) VALUES (1)", "UPDATE `Property` SET `Nope` = 1",
      "DELETE FROM `Property` WHERE `Nope` = 1"}},
    {"create, fill and alter a table",
     {"CREATE TABLE `New` (`K` CHAR(10) NOT NULL, `N` LONG PRIMARY KEY `K`)",
      "INSERT INTO `New` (`K`, `N`) VALUES ('b', 2)", "INSERT INTO `New` (`K`, `N`) VALUES ('a', 1)",
      "ALTER TABLE `New` ADD `Extra` CHAR(5)", "ALTER TABLE `New` ADD `Label` CHAR(30) LOCALIZABLE",
      "UPDATE `New` SET `Extra` = 'e', `Label` = 'x' WHERE `K` = 'a'"}},
    {"drop a table", {"DROP TABLE `Item`", "DROP TABLE `Item`"}},
    {"integer limits",
     {"INSERT INTO `Item` (`Id`, `Group`, `Size`) VALUES (32767, 'max', 2147483647)",
      "INSERT INTO `Item` (`Id`, `Group`, `Size`) VALUES (-32767, 'min', -2147483647)"}},
    // The SDK's SQL page: UPDATE works on columns that are not primary key
    // columns; changing a key is refused.
    {"update a key column", {"UPDATE `Property` SET `Property` = 'Omega' WHERE `Property` = 'Gamma'"}},
    {"create an existing table", {"CREATE TABLE `Property` (`K` CHAR(10) NOT NULL PRIMARY KEY `K`)"}},
};

TEST(StatementsAgainstLibmsi, CodesAndTablesAgree) {
  REQUIRE_ORACLE();
  for (const Script& script : kScripts) {
    SCOPED_TRACE(script.name);
    TempDir dir;
    fs::path original = dir / "original.msi", ours = dir / "ours.msi", theirs = dir / "theirs.msi";
    MakeSmallPackage(original);
    std::string codes;
    {
      Handle db;
      ASSERT_EQ(OpenTo(original, ours, db), ERROR_SUCCESS);
      for (const auto& s : script.statements) codes += std::to_string(Exec(db, s)) + "\n";
      codes += "commit " + std::to_string(MsiDatabaseCommit(db)) + "\n";
    }
    std::vector<std::string> args{"write", original.string(), theirs.string()};
    args.insert(args.end(), script.statements.begin(), script.statements.end());
    RunResult oracle = Oracle(args);
    ASSERT_EQ(oracle.exit_code, 0) << oracle.Describe();
    EXPECT_EQ(codes, oracle.out);
    ExpectSound(ours);
    std::string tables = OracleSelect(ours, {"SELECT `Name` FROM `_Tables`"});
    EXPECT_EQ(SortedRows(tables), SortedRows(OracleSelect(theirs, {"SELECT `Name` FROM `_Tables`"})));
    for (const auto& t : SortedRows(tables)) {
      if (t == "Name") continue;  // the header
      std::string sql = "SELECT * FROM `" + t + "`";
      EXPECT_EQ(OracleSelect(ours, {sql}), OracleSelect(theirs, {sql})) << "table " << t;
    }
  }
}

}  // namespace
}  // namespace ts
