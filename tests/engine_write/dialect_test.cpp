// The SQL dialect as the installer answers it, one table of statements per
// group, each run in one open session so that holds and temporary objects
// carry from one statement to the next. See docs/sql-dialect.md.
#include "package_bytes.h"
#include "statement_support.h"

#include <algorithm>

namespace ts {
namespace {

struct Case {
  const char* sql;
  UINT code;                     // of opening and executing the statement
  const char* rows = nullptr;    // msisql's output of a SELECT, when it matters
  const char* types = nullptr;   // MSICOLINFO_TYPES joined with TABs
};

void RunCases(MSIHANDLE db, const std::vector<Case>& cases) {
  for (const Case& c : cases) {
    SCOPED_TRACE(c.sql);
    if (c.rows != nullptr) {
      EXPECT_EQ(Select(db, c.sql), c.rows);
    } else {
      EXPECT_EQ(Exec(db, c.sql), c.code);
    }
    if (c.types != nullptr) {
      EXPECT_EQ(Types(db, c.sql), c.types);
    }
  }
}

// A new, empty package open for writing.
void NewPackage(const TempDir& dir, Handle& db) {
  ASSERT_EQ(Open(dir / "p.msi", MSIDBOPEN_CREATE_A, db), ERROR_SUCCESS);
}

TEST(Dialect, TemporaryTablesAndColumns) {
  TempDir dir;
  Handle db;
  NewPackage(dir, db);
  RunCases(db, {
      {"CREATE TABLE `P` (`B` SHORT NOT NULL, `C` CHAR(255) PRIMARY KEY `C`)", 0},
      {"CREATE TABLE `T` (`B` SHORT NOT NULL TEMPORARY, `C` CHAR(255) TEMPORARY PRIMARY KEY `C`) HOLD", 0},
      {"SELECT * FROM `T`", 0, "C\tB\n", "G255\tj2"},
      {"INSERT INTO `T` (`B`, `C`) VALUES (1, 'x')", 0},
      {"SELECT * FROM `T`", 0, "C\tB\nx\t1\n"},
      // Not held: gone at once.
      {"CREATE TABLE `T2` (`B` SHORT NOT NULL TEMPORARY, `C` CHAR(255) TEMPORARY PRIMARY KEY `C`)", 0},
      {"SELECT * FROM `T2`", 1615, "error 1615"},
      {"CREATE TABLE `T3` (`B` SHORT NOT NULL TEMPORARY, `C` CHAR(255) PRIMARY KEY `C`)", 0},
      {"SELECT * FROM `T3`", 0, "C\tB\n", "S255\tj2"},
      {"CREATE TABLE `T4` (`B` SHORT NOT NULL, `C` CHAR(255) TEMPORARY PRIMARY KEY `C`)", 1627},
      {"SELECT * FROM `T4`", 1615, "error 1615"},
      {"CREATE TABLE `T5` (`B` SHORT NOT NULL TEMP, `C` CHAR(255) TEMP PRIMARY KEY `C`) HOLD", 1615},
      // A temporary table is in _Tables; temporary columns are in no _Columns.
      {"SELECT `Name` FROM `_Tables` WHERE `Name` = 'T'", 0, "Name\nT\n"},
      {"SELECT `Name` FROM `_Columns` WHERE `Table` = 'T'", 0, "Name\n"},
      {"SELECT `Number`, `Name` FROM `_Columns` WHERE `Table` = 'T3'", 0, "Number\tName\n1\tC\n"},
      // A temporary row is seen until the database closes, never written.
      {"INSERT INTO `P` (`B`, `C`) VALUES (1, 'TempOnly') TEMPORARY", 0},
      {"SELECT * FROM `P`", 0, "C\tB\nTempOnly\t1\n"},
  });
  const std::vector<std::pair<const char*, MSICONDITION>> persistence = {
      {"_Tables", MSICONDITION_NONE}, {"_Columns", MSICONDITION_NONE}, {"_Streams", MSICONDITION_NONE},
      {"_Storages", MSICONDITION_NONE}, {"P", MSICONDITION_TRUE},     {"T", MSICONDITION_FALSE},
      {"T2", MSICONDITION_NONE},        {"T3", MSICONDITION_TRUE},     {"T4", MSICONDITION_NONE},
      {"Nope", MSICONDITION_NONE}};
  for (const auto& [table, expected] : persistence) {
    EXPECT_EQ(MsiDatabaseIsTablePersistentA(db, table), expected) << table;
  }
  ASSERT_EQ(MsiDatabaseCommit(db), ERROR_SUCCESS);
  db.reset();
  ASSERT_EQ(Open(dir / "p.msi", MSIDBOPEN_READONLY_A, db), ERROR_SUCCESS);
  RunCases(db, {{"SELECT * FROM `T`", 1615, "error 1615"},
                {"SELECT * FROM `T3`", 0, "C\n", "S255"},
                {"SELECT * FROM `P`", 0, "C\tB\n"}});
  StoredPackage stored = ExpectSound(dir / "p.msi");
  for (const char* s : {"TempOnly", "T", "x"}) {
    EXPECT_EQ(std::count(stored.strings.begin(), stored.strings.end(), s), 0) << s << " reached the pool";
  }
}

TEST(Dialect, HoldAndFree) {
  TempDir dir;
  Handle db;
  NewPackage(dir, db);
  RunCases(db, {
      {"CREATE TABLE `T` (`B` SHORT NOT NULL TEMPORARY, `C` CHAR(255) TEMPORARY PRIMARY KEY `C`) HOLD", 0},
      {"ALTER TABLE `T` HOLD", 0},
      {"ALTER TABLE `T` FREE", 0},
      {"ALTER TABLE `T` FREE", 0},  // the last hold: the table goes
      {"ALTER TABLE `T` FREE", 1615},
      {"ALTER TABLE `T` HOLD", 1615},
      {"SELECT * FROM `T`", 1615, "error 1615"},
      {"CREATE TABLE `U` (`A` INTEGER, `B` INTEGER PRIMARY KEY `B`)", 0},
      {"ALTER TABLE `U` HOLD", 0},
      {"ALTER TABLE `U` ADD `C`", 1615},
      {"ALTER TABLE `U` ADD `C` INTEGER", 0},
      {"ALTER TABLE `U` ADD `C` INTEGER", 1615},
      {"ALTER TABLE `U` ADD `D` INTEGER TEMPORARY", 0},
      {"INSERT INTO `U` (`A`, `B`, `C`, `D`) VALUES (1, 2, 3, 4)", 0},
      {"ALTER TABLE `U` ADD `D` INTEGER TEMPORARY HOLD", 1615},
      {"INSERT INTO `U` (`A`, `B`, `C`, `D`) VALUES (5, 6, 7, 8)", 0},
      {"SELECT * FROM `U` WHERE `D` = 8", 0, "B\tA\tC\tD\n6\t5\t7\t8\n", "I2\tI2\tI2\tJ2"},
      {"ALTER TABLE `U` ADD `D` INTEGER TEMPORARY FREE", 1615},
      {"ALTER COLUMN `D` FREE", 1615},
      {"ALTER TABLE `U` FREE", 0},  // the last hold: column D goes, the rows stay
      {"SELECT * FROM `U`", 0, "B\tA\tC\n2\t1\t3\n6\t5\t7\n"},
      {"SELECT * FROM `U` WHERE `D` = 8", 1615, "error 1615"},
      {"INSERT INTO `U` (`A`, `B`, `C`, `D`) VALUES (9, 10, 11, 12)", 1615},
      {"ALTER TABLE `U` ADD `E` INTEGER TEMPORARY HOLD", 0},
      {"ALTER TABLE `U` HOLD", 0},
      {"INSERT INTO `U` (`A`, `B`, `C`, `E`) VALUES (13, 14, 15, 16)", 0},
      {"SELECT `B`, `E` FROM `U` WHERE `E` = 16", 0, "B\tE\n14\t16\n"},
      {"ALTER TABLE `U` FREE", 0},
      {"INSERT INTO `U` (`A`, `B`, `C`, `E`) VALUES (17, 18, 19, 20)", 0},
  });
  // A view bound while E exists, run after E went, binds again.
  Handle view, row;
  ASSERT_EQ(MsiDatabaseOpenViewA(db, "SELECT * FROM `U`", view.out()), ERROR_SUCCESS);
  RunCases(db, {
      {"ALTER TABLE `U` FREE", 0},
      {"SELECT * FROM `U` WHERE `E` = 20", 1615, "error 1615"},
      {"INSERT INTO `U` (`A`, `B`, `C`, `E`) VALUES (20, 21, 22, 23)", 1615},
      {"ALTER TABLE `U` FREE", 0},  // a persistent table outlives any FREE
      {"SELECT * FROM `U`", 0, "B\tA\tC\n2\t1\t3\n6\t5\t7\n14\t13\t15\n18\t17\t19\n"},
  });
  ASSERT_EQ(MsiViewExecute(view, 0), ERROR_SUCCESS);
  ASSERT_EQ(MsiViewFetch(view, row.out()), ERROR_SUCCESS);
  EXPECT_EQ(MsiRecordGetFieldCount(row), 3u);
  ASSERT_EQ(MsiDatabaseCommit(db), ERROR_SUCCESS);
}

TEST(Dialect, CreateTableColumnOrder) {
  TempDir dir;
  Handle db;
  NewPackage(dir, db);
  // The n-th key changes places with the n-th column: B C A E D with keys
  // D, E gives D E A C B; with keys C, A, D it gives C A D E B.
  RunCases(db, {
      {"CREATE TABLE `T` (`B` SHORT NOT NULL, `C` SHORT NOT NULL, `A` CHAR(255), `E` INT, "
       "`D` CHAR(255) NOT NULL PRIMARY KEY `D`, `E`)", 0},
      {"SELECT * FROM `T`", 0, "D\tE\tA\tC\tB\n", "s255\tI2\tS255\ti2\ti2"},
      {"INSERT INTO `T` (`B`, `C`, `A`, `E`, `D`) VALUES (1, 2, 'a', 3, 'bc')", 0},
      {"SELECT * FROM `T`", 0, "D\tE\tA\tC\tB\nbc\t3\ta\t2\t1\n"},
      {"SELECT `Number`, `Name` FROM `_Columns` WHERE `Table` = 'T'", 0,
       "Number\tName\n1\tD\n2\tE\n3\tA\n4\tC\n5\tB\n"},
      {"CREATE TABLE `Z` (`B` SHORT NOT NULL, `C` SHORT NOT NULL, `A` CHAR(255), `E` INT, "
       "`D` CHAR(255) NOT NULL PRIMARY KEY `C`, `A`, `D`)", 0},
      {"SELECT * FROM `Z`", 0, "C\tA\tD\tE\tB\n", "i2\tS255\ts255\tI2\ti2"},
      {"INSERT INTO `Z` (`B`, `C`, `A`, `E`, `D`) VALUES (1, 2, 'a', 3, 'bc')", 0},
      {"SELECT * FROM `Z`", 0, "C\tA\tD\tE\tB\n2\ta\tbc\t3\t1\n"},
  });
  // An archive keeps the order it names, keys first or not.
  WriteText(dir / "X.idt", "A\tK\r\nS72\ti2\r\nX\tK\r\nx\t1\r\n");
  ASSERT_EQ(MsiDatabaseImportA(db, dir.path().c_str(), "X.idt"), ERROR_SUCCESS);
  ASSERT_EQ(MsiDatabaseCommit(db), ERROR_SUCCESS);
  db.reset();
  ASSERT_EQ(Open(dir / "p.msi", MSIDBOPEN_READONLY_A, db), ERROR_SUCCESS);
  RunCases(db, {{"SELECT * FROM `T`", 0, "D\tE\tA\tC\tB\nbc\t3\ta\t2\t1\n"},
                {"SELECT * FROM `X`", 0, "A\tK\nx\t1\n", "S72\ti2"}});
}

TEST(Dialect, ConstantStringColumns) {
  TempDir dir;
  Handle db;
  NewPackage(dir, db);
  RunCases(db, {
      {"CREATE TABLE `t` (`a` CHAR NOT NULL, `b` CHAR PRIMARY KEY `a`)", 0},
      {"INSERT INTO `t` (`a`, `b`) VALUES ('1', '2')", 0},
      {"INSERT INTO `t` (`a`, `b`) VALUES ('3', '4')", 0},
      // '' is a nameless column of nulls, type f0.
      {"SELECT '' FROM `t`", 0, "\n\n\n", "f0"},
      {"SELECT `a`, '', `b` FROM `t`", 0, "a\t\tb\n1\t\t2\n3\t\t4\n", "s0\tf0\tS0"},
      {"SELECT '', `t`.`b` FROM `t` WHERE `t`.`b` = '4'", 0, "\tb\n\t4\n"},
      {"SELECT `t`.`b`, '' FROM `t` WHERE `t`.`b` = 'x' ORDER BY `b`", 0, "b\t\n"},
      // Any other quoted text names a column. Cases libmsi answers as the
      // installer does are in the differential test's windows_dialect.sql.
      {"SELECT 'b', `t`.`b` FROM `t` WHERE `t`.`b` = 'x'", 0, "b\tb\n"},
      {"SELECT 'nope' FROM `t`", 1615, "error 1615"},
      {"SELECT `t`.`b`, '' FROM `t` WHERE `t`.`b` = 'x' ORDER BY 'b'", 1615},
      {"SELECT 't'.'b' FROM `t` WHERE `t`.`b` = 'x'", 1615},
      {"SELECT `b` FROM `t` WHERE 'b' = 'x'", 1615},
      {"SELECT `t`.`b` FROM `t` WHERE `t`.`b` = `x`", 1615},
      {"SELECT `` FROM `t`", 1615},
  });
}

TEST(Dialect, LexerEdgeCases) {
  TempDir dir;
  Handle db;
  NewPackage(dir, db);
  RunCases(db, {
      {"CREATE TABLE `c` (`b` CHAR NOT NULL PRIMARY KEY `b`)", 0},
      // A name missing one of its backquotes (the others are in the
      // differential test's windows_dialect.sql).
      {"select `c.`b` from `c`", 1615},
      {"select `c`.`b` from `c", 1615},
      // Control characters and hyphens are name characters.
      {"CREATE TABLE `\x05" "a` (`b` CHAR NOT NULL PRIMARY KEY `b`)", 0},
      {"SELECT * FROM \x05" "a", 0},
      {"CREATE TABLE `a\x05` (`b` CHAR NOT NULL PRIMARY KEY `b`)", 0},
      {"SELECT * FROM a\x05", 0},
      {"CREATE TABLE `-a` (`b` CHAR NOT NULL PRIMARY KEY `b`)", 0},
      {"SELECT * FROM -a", 0},
      {"CREATE TABLE `a-` (`b` CHAR NOT NULL PRIMARY KEY `b`)", 0},
      {"SELECT * FROM a-", 0},
      // Before a digit a hyphen is still a minus sign.
      {"CREATE TABLE `n` (`k` SHORT NOT NULL PRIMARY KEY `k`)", 0},
      {"INSERT INTO `n` (`k`) VALUES (-5)", 0},
      {"SELECT * FROM `n` WHERE `k` = -5", 0, "k\n-5\n"},
      // A carriage return between tokens or in a type is malformed; in a
      // quoted table name it is part of the name.
      {"CREATE TABLE `Table`\r ( `A` CHAR(72) NOT NULL PRIMARY KEY `A` )", 1615},
      {"CREATE\r TABLE `Table` ( `A` CHAR(72) NOT NULL PRIMARY KEY `A` )", 1615},
      {"CREATE TABLE `Table` ( `A` CHAR(72) NOT NULL PRIMARY KEY `A` )\r", 1615},
      {"CREATE TABLE `Four` ( `A` CHAR(72\r) NOT NULL PRIMARY KEY `A` )", 1615},
      {"CREATE TABLE `Four` ( `A\r` CHAR(72) NOT NULL PRIMARY KEY `A` )", 1615},
      {"CREATE TABLE `Tw\ro` ( `A` CHAR(72) NOT NULL PRIMARY KEY `A` )", 0},
      {"SELECT `Name` FROM `_Tables` WHERE `Name` = 'Tw\ro'", 0, "Name\nTw\\ro\n"},
      // Only 'single quotes' make strings, and they nest no quotes.
      {"INSERT INTO `c` (`b`) VALUES ('This is a 'string' ok')", 1615},
      {"INSERT INTO `c` (`b`) VALUES (\"test\")", 1615},
      {"INSERT INTO `c` (`b`) VALUES ('This is a ''string'' ok')", 1615},
      {"INSERT INTO `c` (`b`) VALUES ('This is a \"string\" ok')", 0},
      {"SELECT * FROM `c`", 0, "b\nThis is a \"string\" ok\n"},
  });
}

// Text the codepage cannot hold lives in memory; a commit that would have
// to write it refuses and leaves the file as it was.
TEST(Dialect, TextTheCodepageCannotHold) {
  TempDir dir;
  fs::path p = dir / "p.msi";
  WriteText(dir / "cp.idt", "\r\n\r\n1252\t_ForceCodepage\r\n");
  {
    Handle db;
    NewPackage(dir, db);
    ASSERT_EQ(MsiDatabaseImportA(db, dir.path().c_str(), "cp.idt"), ERROR_SUCCESS);
    ASSERT_EQ(Exec(db, "CREATE TABLE `bar` (`foo` LONGCHAR NOT NULL, `baz` LONGCHAR NOT NULL PRIMARY KEY `foo`)"),
              ERROR_SUCCESS);
    ASSERT_EQ(MsiDatabaseCommit(db), ERROR_SUCCESS);
  }
  const Bytes before = ReadBytes(p);
  fs::copy_file(p, dir / "cp1252.msi");
  const std::string ring = "a\xCC\x8A", a_ring = "\xC3\xA5";  // a + U+030A, U+00E5
  const std::string insert_ring = "INSERT INTO `bar` (`foo`, `baz`) VALUES ('" + ring + "', 'C')";
  Handle db;
  ASSERT_EQ(Open(p, MSIDBOPEN_TRANSACT_A, db), ERROR_SUCCESS);
  const std::string select_ring = "SELECT * FROM `bar` WHERE `foo` = '" + ring + "'";
  const std::string select_a_ring = "SELECT * FROM `bar` WHERE `foo` = '" + a_ring + "'";
  RunCases(db, {
      {insert_ring.c_str(), 0},
      {("INSERT INTO `bar` (`foo`, `baz`) VALUES ('" + a_ring + "', 'D')").c_str(), 0},
      {select_ring.c_str(), 0, ("foo\tbaz\n" + ring + "\tC\n").c_str()},
      {select_a_ring.c_str(), 0, ("foo\tbaz\n" + a_ring + "\tD\n").c_str()},
  });
  EXPECT_EQ(MsiDatabaseCommit(db), ERROR_FUNCTION_FAILED);
  EXPECT_NE(std::string(MsiExtLastErrorDescriptionA(ERROR_FUNCTION_FAILED)).find("codepage 1252"),
            std::string::npos);
  EXPECT_TRUE(ReadBytes(p) == before);
  // A codepage that holds it makes the commit go through.
  WriteText(dir / "utf8.idt", "\r\n\r\n65001\t_ForceCodepage\r\n");
  ASSERT_EQ(MsiDatabaseImportA(db, dir.path().c_str(), "utf8.idt"), ERROR_SUCCESS);
  ASSERT_EQ(MsiDatabaseCommit(db), ERROR_SUCCESS);
  db.reset();
  EXPECT_EQ(Rows(p, select_ring), "foo\tbaz\n" + ring + "\tC\n");

  // msisql --write says why and leaves the package alone.
  RunResult r = ts::Run({Msisql(), "--write", (dir / "cp1252.msi").string(), insert_ring});
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_NE(r.err.find("codepage 1252"), std::string::npos) << r.err;
  EXPECT_TRUE(ReadBytes(dir / "cp1252.msi") == before);
}

}  // namespace
}  // namespace ts
