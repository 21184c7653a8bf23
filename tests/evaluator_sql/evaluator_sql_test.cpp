// The statements the platform's validation evaluators send, in their own
// forms: UPDATE of several tables joined in the WHERE clause (marking rows
// in temporary columns held for the run), integer constants in the select
// list and `= NULL` / `<> NULL`. Each table of steps runs in one session.
#include "support.h"

namespace ts {
namespace {

// A statement and its result code; or, with `rows`, the output of `check`
// run after it (of `sql` itself when `check` is null).
struct Step {
  std::string sql;
  UINT code = 0;
  const char* check = nullptr;
  const char* rows = nullptr;
};

void RunSteps(MSIHANDLE db, const std::vector<Step>& steps) {
  for (const Step& s : steps) {
    SCOPED_TRACE(s.sql);
    if (s.check == nullptr && s.rows != nullptr) {
      EXPECT_EQ(Select(db, s.sql), s.rows);
      continue;
    }
    EXPECT_EQ(Exec(db, s.sql), s.code);
    if (s.check != nullptr) {
      EXPECT_EQ(Select(db, s.check), s.rows) << s.check;
    }
  }
}

// A copy of the corpus package, p.msi in `dir`, open for changes.
UINT OpenCopyOfNunit(const TempDir& dir, Handle& db) {
  CopyPackage(CorpusDir() / "nunit-2.5.2.msi", dir / "p.msi");
  return Open(dir / "p.msi", MSIDBOPEN_TRANSACT_A, db);
}

// The corpus package's Registry rows under Root -1 belong to three
// components, two rows each.
const std::string kJoin = " WHERE `Registry`.`Component_` = `Component`.`Component`";
const char* const kThree = "Component\nInstallationRegistryEntry\nAssemblyReferenceFolder_1.1\n"
                           "AssemblyReferenceFolder_2.0\n";

TEST(EvaluatorSql, StatementsOfAValidationRun) {
  REQUIRE_CORPUS();
  TempDir dir;
  Handle db;
  ASSERT_EQ(OpenCopyOfNunit(dir, db), ERROR_SUCCESS);
  const std::string before = DumpTables(db);
  RunSteps(db, {
      {"ALTER TABLE `Component` ADD `_AllUsers` SHORT TEMPORARY HOLD"},
      {"ALTER TABLE `Registry` ADD `_Seen` SHORT TEMPORARY HOLD"},
      {"UPDATE `Component`, `Registry` SET `Component`.`_AllUsers`=1 WHERE "
       "(`Registry`.`Component_`=`Component`.`Component`) AND (`Registry`.`Root`=-1)",
       0, "SELECT `Component` FROM `Component` WHERE `_AllUsers` = 1", kThree},
      // Both tables at once; the WHERE clause reads the values from before.
      {"UPDATE `Registry`, `Component` SET `Registry`.`_Seen` = 2, `Component`.`_AllUsers` = 3" + kJoin +
           " AND `Component`.`_AllUsers` = 1",
       0, "SELECT `Registry` FROM `Registry` WHERE `_Seen` = 2",
       "Registry\nR__INSTALLDIR\nR__ProductVersion\nAssemblies_1.1_Default\nAssemblies_1.1\n"
       "R__Assemblies_2.0_Default\nR__Assemblies_2.0\n"},
      {"SELECT `Value`, 1 FROM `Property` WHERE `Property`='ProductCode'", 0, nullptr,
       "Value\t\n{3AD32EC5-806E-43A8-8757-76D05AD4677A}\t1\n"},
      {"SELECT `Registry` FROM `Registry` WHERE `Name` = NULL AND `Root` = -1", 0, nullptr,
       "Registry\nAssemblies_1.1_Default\nR__Assemblies_2.0_Default\n"},
      {"CREATE TABLE `MsiAssembly` (`Component_` CHAR(72) NOT NULL, `Feature_` CHAR(38) NOT NULL, "
       "`File_Application` CHAR(72) PRIMARY KEY `Component_`)"},
      {"INSERT INTO `MsiAssembly` (`Component_`, `Feature_`, `File_Application`) VALUES ('console.exe_1.1', 'F', 'x')"},
      {"INSERT INTO `MsiAssembly` (`Component_`, `Feature_`) VALUES ('agent.exe_1.1', 'F')"},
      {"SELECT `MsiAssembly`.`Component_` FROM `MsiAssembly` WHERE (`MsiAssembly`.`File_Application` = NULL)",
       0, nullptr, "Component_\nagent.exe_1.1\n"},
      {"ALTER TABLE `Component` ADD `_Asm` SHORT TEMPORARY HOLD"},
      {"UPDATE `Component`, `MsiAssembly` SET `Component`.`_Asm` = 1 WHERE `MsiAssembly`.`Component_` = "
       "`Component`.`Component` AND `MsiAssembly`.`File_Application` = NULL",
       0, "SELECT `Component` FROM `Component` WHERE `_Asm` = 1", "Component\nagent.exe_1.1\n"},
      {"DROP TABLE `MsiAssembly`"},
      // Two holds on Component: its columns go at the second FREE.
      {"ALTER TABLE `Component` FREE", 0, "SELECT `Component` FROM `Component` WHERE `_AllUsers` = 3", kThree},
      {"ALTER TABLE `Component` FREE", 0, "SELECT `_Asm` FROM `Component`", "error 1615"},
      {"ALTER TABLE `Registry` FREE", 0, "SELECT `_Seen` FROM `Registry`", "error 1615"},
  });
  // Nothing of the run is written.
  ASSERT_EQ(MsiDatabaseCommit(db), ERROR_SUCCESS);
  ASSERT_EQ(Open(dir / "p.msi", MSIDBOPEN_READONLY_A, db), ERROR_SUCCESS);
  const std::string after = DumpTables(db);
  EXPECT_TRUE(after == before) << FirstDifference(after, before);
}

TEST(EvaluatorSql, AFailedUpdateOfSeveralTablesChangesNoTable) {
  REQUIRE_CORPUS();
  TempDir dir;
  Handle db;
  ASSERT_EQ(OpenCopyOfNunit(dir, db), ERROR_SUCCESS);
  ASSERT_EQ(Exec(db, "ALTER TABLE `Component` ADD `_Mark` SHORT TEMPORARY HOLD"), ERROR_SUCCESS);
  ASSERT_EQ(Exec(db, "ALTER TABLE `Registry` ADD `_Mark` CHAR(8) TEMPORARY HOLD"), ERROR_SUCCESS);
  const std::string before = DumpTables(db);  // the temporary columns too
  const std::string both = "UPDATE `Component`, `Registry` SET ";
  // In each, the first table's changes are valid and the second's are not.
  for (const auto& [sql, code] : std::vector<std::pair<std::string, UINT>>{
           {both + "`Component`.`_Mark` = 1, `Registry`.`Root` = 'HKLM'" + kJoin, 1629},
           {both + "`Component`.`_Mark` = 1, `Registry`.`Root` = 70000" + kJoin, 1629},
           {both + "`Registry`.`_Mark` = 'x', `Component`.`Directory_` = NULL" + kJoin, 1627},
           {both + "`Registry`.`_Mark` = 'x', `Component`.`Attributes` = 'many'" + kJoin, 1629},
           {both + "`Component`.`_Mark` = 1, `Registry`.`Registry` = 'x'" + kJoin, 1627},  // a key
           {both + "`_Mark` = 1 WHERE `Registry`.`Nothing` = 1", 1615}}) {
    SCOPED_TRACE(sql);
    EXPECT_EQ(Exec(db, sql), code);
    const std::string after = DumpTables(db);
    EXPECT_TRUE(after == before) << FirstDifference(after, before);
  }
}

// On a package made here: U rows 1-3 point at T row 1, U row 4 at T row 2.
TEST(EvaluatorSql, Corners) {
  TempDir dir;
  Handle db;
  ASSERT_EQ(Open(dir / "c.msi", MSIDBOPEN_CREATE_A, db), ERROR_SUCCESS);
  RunSteps(db, {
      {"CREATE TABLE `T` (`K` SHORT NOT NULL, `V` SHORT, `S` CHAR(8) PRIMARY KEY `K`)"},
      {"CREATE TABLE `U` (`K` SHORT NOT NULL, `T_` SHORT, `W` SHORT PRIMARY KEY `K`)"},
      {"CREATE TABLE `E` (`K` SHORT NOT NULL PRIMARY KEY `K`)"},
      {"INSERT INTO `T` (`K`, `V`) VALUES (1, 10)"}, {"INSERT INTO `T` (`K`, `S`) VALUES (2, 'b')"},
      {"INSERT INTO `T` (`K`, `V`, `S`) VALUES (3, 30, 'c')"}, {"INSERT INTO `U` (`K`, `T_`) VALUES (1, 1)"},
      {"INSERT INTO `U` (`K`, `T_`) VALUES (2, 1)"}, {"INSERT INTO `U` (`K`, `T_`) VALUES (3, 1)"},
      {"INSERT INTO `U` (`K`, `T_`) VALUES (4, 2)"},
      {"SELECT `K` FROM `T` WHERE `V` = NULL OR `S` = NULL", 0, nullptr, "K\n1\n2\n"},
      {"SELECT `K` FROM `T` WHERE `S` <> NULL AND `V` <> NULL", 0, nullptr, "K\n3\n"},
      {"SELECT `K` FROM `T` WHERE `V` < NULL", 1615},
      {"SELECT 2147483647, -2147483647 FROM `T` WHERE `K` = 1", 0, nullptr, "\t\n2147483647\t-2147483647\n"},
      // T row 1 joins three rows of U.
      {"UPDATE `T`, `U` SET `T`.`S` = 'x' WHERE `U`.`T_` = `T`.`K`", 0, "SELECT * FROM `T`",
       "K\tV\tS\n1\t10\tx\n2\t\tx\n3\t30\tc\n"},
      // An unqualified column is the first listed table's that has it.
      {"UPDATE `U`, `T` SET `S` = 'y', `W` = 7 WHERE `U`.`T_` = `T`.`K` AND `U`.`K` = 4", 0,
       "SELECT `T`.`S`, `U`.`W` FROM `T`, `U` WHERE `U`.`T_` = `T`.`K` AND `U`.`W` = 7", "S\tW\ny\t7\n"},
      // Without a WHERE clause the join is every pair: none with an empty table.
      {"UPDATE `T`, `E` SET `T`.`V` = 0", 0, "SELECT `K` FROM `T` WHERE `V` = 0", "K\n"},
      {"UPDATE `T`, `U` SET `T`.`V` = NULL WHERE `T`.`K` = 3", 0, "SELECT `K` FROM `T` WHERE `V` = NULL",
       "K\n2\n3\n"},
      {"UPDATE `T`, `U` SET `U`.`K` = 9", 1627},
  });
  // Constants have no names and the installer's constant type.
  EXPECT_EQ(ts::ColumnInfo(db, "SELECT `V`, 1, '', `S` FROM `T`", MSICOLINFO_NAMES), "V\t\t\tS");
  EXPECT_EQ(ts::ColumnInfo(db, "SELECT `V`, -3, '', `S` FROM `T`", MSICOLINFO_TYPES), "I2\tf0\tf0\tS8");
}

}  // namespace
}  // namespace ts
