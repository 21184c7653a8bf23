// The statements the platform's validation evaluators send, in their own
// forms: UPDATE of several tables joined in the WHERE clause (marking rows
// in temporary columns held for the run), integer constants in the select
// list and `= NULL` / `<> NULL`. Each table of steps runs in one session.
#include "support.h"

namespace ts {
namespace {

struct Step {
  const char* sql;
  UINT code = 0;                // of opening and executing `sql`
  const char* check = nullptr;  // a SELECT run afterwards (`sql` itself when null)
  const char* rows = nullptr;   // msisql's output of that SELECT
};

std::string ColumnInfo(MSIHANDLE db, const std::string& sql, MSICOLINFO kind) {
  Handle view, rec;
  if (MsiDatabaseOpenViewA(db, sql.c_str(), view.out()) != ERROR_SUCCESS) return "no view";
  if (MsiViewGetColumnInfo(view, kind, rec.out()) != ERROR_SUCCESS) return "no info";
  std::string out;
  for (UINT f = 1; f <= MsiRecordGetFieldCount(rec); ++f) out += (f > 1 ? "\t" : "") + FieldText(rec, f);
  return out;
}

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

// A writable copy of the corpus package whose Registry rows under Root -1
// belong to three components, two rows each.
void OpenNunit(const TempDir& dir, Handle& db) {
  CopyPackage(CorpusDir() / "nunit-2.5.2.msi", dir / "p.msi");
  ASSERT_EQ(Open(dir / "p.msi", MSIDBOPEN_TRANSACT_A, db), ERROR_SUCCESS);
}

constexpr const char* kJoin = "`Registry`.`Component_` = `Component`.`Component`";

TEST(EvaluatorSql, StatementsOfAValidationRun) {
  REQUIRE_CORPUS();
  TempDir dir;
  Handle db;
  OpenNunit(dir, db);
  const std::string before = DumpTables(db);
  const std::string join = kJoin;
  const std::string three = "Component\nInstallationRegistryEntry\nAssemblyReferenceFolder_1.1\n"
                            "AssemblyReferenceFolder_2.0\n";
  RunSteps(db, {
      {"ALTER TABLE `Component` ADD `_AllUsers` SHORT TEMPORARY HOLD"},
      {"ALTER TABLE `Registry` ADD `_Seen` SHORT TEMPORARY HOLD"},
      {"UPDATE `Component`, `Registry` SET `Component`.`_AllUsers`=1 WHERE "
       "(`Registry`.`Component_`=`Component`.`Component`) AND (`Registry`.`Root`=-1)",
       0, "SELECT `Component` FROM `Component` WHERE `_AllUsers` = 1", three.c_str()},
      // Both tables set at once; the WHERE clause reads the values as they
      // were before the statement, so all six rows change.
      {("UPDATE `Registry`, `Component` SET `Registry`.`_Seen` = 2, `Component`.`_AllUsers` = 3 "
        "WHERE " + join + " AND `Component`.`_AllUsers` = 1").c_str(),
       0, "SELECT `Registry`, `_Seen` FROM `Registry` WHERE `_Seen` <> NULL",
       "Registry\t_Seen\nR__INSTALLDIR\t2\nR__ProductVersion\t2\nAssemblies_1.1_Default\t2\n"
       "Assemblies_1.1\t2\nR__Assemblies_2.0_Default\t2\nR__Assemblies_2.0\t2\n"},
      {"SELECT `Component` FROM `Component` WHERE `_AllUsers` = 3", 0, nullptr, three.c_str()},
      {"SELECT `Value`, 1 FROM `Property` WHERE `Property`='ProductCode'", 0, nullptr,
       "Value\t\n{3AD32EC5-806E-43A8-8757-76D05AD4677A}\t1\n"},
      {"SELECT 0, `Property`, -7 FROM `Property` WHERE `Property` = 'ProductCode'", 0, nullptr,
       "\tProperty\t\n0\tProductCode\t-7\n"},
      {"SELECT `Registry` FROM `Registry` WHERE `Name` = NULL AND `Root` = -1", 0, nullptr,
       "Registry\nAssemblies_1.1_Default\nR__Assemblies_2.0_Default\n"},
      {"SELECT `Registry` FROM `Registry` WHERE (`Registry`.`Name` <> NULL)", 0, nullptr,
       "Registry\nR__INSTALLDIR\nR__ProductVersion\nAssemblies_1.1\nR__Assemblies_2.0\n"},
      // The assembly evaluators' form, on a table made for it.
      {"CREATE TABLE `MsiAssembly` (`Component_` CHAR(72) NOT NULL, `Feature_` CHAR(38) NOT NULL, "
       "`File_Manifest` CHAR(72), `File_Application` CHAR(72), `Attributes` SHORT PRIMARY KEY `Component_`)"},
      {"INSERT INTO `MsiAssembly` (`Component_`, `Feature_`, `File_Application`) "
       "VALUES ('console.exe_1.1', 'F', 'console.exe')"},
      {"INSERT INTO `MsiAssembly` (`Component_`, `Feature_`) VALUES ('agent.exe_1.1', 'F')"},
      {"INSERT INTO `MsiAssembly` (`Component_`, `Feature_`) VALUES ('nunit.core_1.1', 'F')"},
      {"SELECT `MsiAssembly`.`Component_` FROM `MsiAssembly` WHERE (`MsiAssembly`.`File_Application` = NULL)",
       0, nullptr, "Component_\nagent.exe_1.1\nnunit.core_1.1\n"},
      {"ALTER TABLE `Component` ADD `_Asm` SHORT TEMPORARY HOLD"},
      {"UPDATE `Component`, `MsiAssembly` SET `Component`.`_Asm` = 1 WHERE "
       "`MsiAssembly`.`Component_` = `Component`.`Component` AND `MsiAssembly`.`File_Application` = NULL",
       0, "SELECT `Component` FROM `Component` WHERE `_Asm` = 1",
       "Component\nagent.exe_1.1\nnunit.core_1.1\n"},
      {"DROP TABLE `MsiAssembly`"},
      // Two holds on Component: the columns stay until the second FREE.
      {"ALTER TABLE `Component` FREE", 0, "SELECT `Component` FROM `Component` WHERE `_Asm` = 1",
       "Component\nagent.exe_1.1\nnunit.core_1.1\n"},
      {"ALTER TABLE `Component` FREE", 0, "SELECT `_AllUsers` FROM `Component`", "error 1615"},
      {"ALTER TABLE `Registry` FREE", 0, "SELECT `Registry` FROM `Registry` WHERE `_Seen` = 2",
       "error 1615"},
  });
  // Nothing of the run is written.
  ASSERT_EQ(MsiDatabaseCommit(db), ERROR_SUCCESS);
  db.reset();
  ASSERT_EQ(Open(dir / "p.msi", MSIDBOPEN_READONLY_A, db), ERROR_SUCCESS);
  const std::string after = DumpTables(db);
  EXPECT_TRUE(after == before) << FirstDifference(after, before);
}

TEST(EvaluatorSql, AFailedUpdateOfSeveralTablesChangesNoTable) {
  REQUIRE_CORPUS();
  TempDir dir;
  Handle db;
  OpenNunit(dir, db);
  ASSERT_EQ(Exec(db, "ALTER TABLE `Component` ADD `_Mark` SHORT TEMPORARY HOLD"), ERROR_SUCCESS);
  ASSERT_EQ(Exec(db, "ALTER TABLE `Registry` ADD `_Mark` CHAR(8) TEMPORARY HOLD"), ERROR_SUCCESS);
  const std::string before = DumpTables(db);
  const std::string join = std::string(" WHERE ") + kJoin;
  struct Case {
    std::string sql;
    UINT code;
  };
  const std::vector<Case> cases = {
      // The first table's changes are valid; the second's value is not.
      {"UPDATE `Component`, `Registry` SET `Component`.`_Mark` = 1, `Registry`.`Root` = 'HKLM'" + join, 1629},
      {"UPDATE `Component`, `Registry` SET `Component`.`_Mark` = 1, `Registry`.`Root` = 70000" + join, 1629},
      {"UPDATE `Registry`, `Component` SET `Registry`.`_Mark` = 'x', `Component`.`Directory_` = NULL" + join,
       1627},
      {"UPDATE `Component`, `Registry` SET `Registry`.`_Mark` = 'x', `Component`.`Attributes` = 'many'" + join,
       1629},
      // Refused when the view opens.
      {"UPDATE `Component`, `Registry` SET `Component`.`_Mark` = 1, `Registry`.`Registry` = 'x'" + join, 1627},
      {"UPDATE `Component`, `Nowhere` SET `Component`.`_Mark` = 1", 1615},
      {"UPDATE `Component`, `Registry` SET `File`.`Version` = '1'" + join, 1615},
      {"UPDATE `Component`, `Registry` SET `_Mark` = 1 WHERE `Registry`.`Nothing` = 1", 1615},
      {"UPDATE `Component` `Registry` SET `Component`.`_Mark` = 1", 1615},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.sql);
    EXPECT_EQ(Exec(db, c.sql), c.code);
    const std::string after = DumpTables(db);
    EXPECT_TRUE(after == before) << FirstDifference(after, before);
    EXPECT_EQ(Select(db, "SELECT `Component` FROM `Component` WHERE `_Mark` <> NULL"), "Component\n");
    EXPECT_EQ(Select(db, "SELECT `Registry` FROM `Registry` WHERE `_Mark` <> NULL"), "Registry\n");
  }
}

// The corners, on a package made here: T rows 1-3; U rows point at T 1
// (three of them) and T 2 (one).
TEST(EvaluatorSql, Corners) {
  TempDir dir;
  Handle db;
  ASSERT_EQ(Open(dir / "c.msi", MSIDBOPEN_CREATE_A, db), ERROR_SUCCESS);
  for (const char* sql : {
           "CREATE TABLE `T` (`K` SHORT NOT NULL, `V` SHORT, `S` CHAR(8) PRIMARY KEY `K`)",
           "CREATE TABLE `U` (`K` SHORT NOT NULL, `T_` SHORT, `W` SHORT PRIMARY KEY `K`)",
           "CREATE TABLE `E` (`K` SHORT NOT NULL PRIMARY KEY `K`)",
           "INSERT INTO `T` (`K`, `V`) VALUES (1, 10)", "INSERT INTO `T` (`K`, `S`) VALUES (2, 'b')",
           "INSERT INTO `T` (`K`, `V`, `S`) VALUES (3, 30, 'c')",
           "INSERT INTO `U` (`K`, `T_`) VALUES (1, 1)", "INSERT INTO `U` (`K`, `T_`) VALUES (2, 1)",
           "INSERT INTO `U` (`K`, `T_`) VALUES (3, 1)", "INSERT INTO `U` (`K`, `T_`) VALUES (4, 2)"}) {
    ASSERT_EQ(Exec(db, sql), ERROR_SUCCESS) << sql;
  }
  RunSteps(db, {
      {"SELECT `K` FROM `T` WHERE `V` = NULL", 0, nullptr, "K\n2\n"},
      {"SELECT `K` FROM `T` WHERE `S` <> NULL AND `V` <> NULL", 0, nullptr, "K\n3\n"},
      {"SELECT `K` FROM `T` WHERE `V` = NULL OR `S` = NULL", 0, nullptr, "K\n1\n2\n"},
      {"SELECT `K` FROM `T` WHERE `V` < NULL", 1615},
      {"SELECT `K` FROM `T` WHERE NULL = `V`", 1615},
      {"SELECT 2147483647, -2147483647 FROM `T` WHERE `K` = 1", 0, nullptr, "\t\n2147483647\t-2147483647\n"},
      {"SELECT 2147483648 FROM `T`", 1615},
      {"SELECT DISTINCT 5 FROM `U`", 0, nullptr, "\n5\n"},
      {"SELECT 1 FROM `E`", 0, nullptr, "\n"},
      // A target row joined by three rows of U changes once; U does not.
      {"UPDATE `T`, `U` SET `T`.`S` = 'x' WHERE `U`.`T_` = `T`.`K`", 0, "SELECT * FROM `T`",
       "K\tV\tS\n1\t10\tx\n2\t\tx\n3\t30\tc\n"},
      {"SELECT `K`, `W` FROM `U`", 0, nullptr, "K\tW\n1\t\n2\t\n3\t\n4\t\n"},
      // An unqualified column is the first listed table's that has it.
      {"UPDATE `U`, `T` SET `S` = 'y', `W` = 7 WHERE `U`.`T_` = `T`.`K` AND `U`.`K` = 4", 0,
       "SELECT `T`.`S`, `U`.`W` FROM `T`, `U` WHERE `U`.`T_` = `T`.`K` AND `U`.`K` = 4", "S\tW\ny\t7\n"},
      // Without a WHERE clause the join is every pair: nothing when a table is empty.
      {"UPDATE `T`, `E` SET `T`.`V` = 0", 0, "SELECT `K` FROM `T` WHERE `V` = 0", "K\n"},
      {"UPDATE `T`, `U` SET `T`.`V` = NULL WHERE `T`.`K` = 3", 0, "SELECT `K` FROM `T` WHERE `V` = NULL",
       "K\n2\n3\n"},
      {"UPDATE `T`, `U` SET `U`.`K` = 9", 1627},
      {"UPDATE `T`, `U` SET `T`.`V` = NULL WHERE `T`.`K` = NULL", 0},
  });
  // Markers: the SET list's first, then the WHERE clause's.
  Handle params = MakeRecord({"#7", "#2"});
  EXPECT_EQ(Exec(db, "UPDATE `T`, `U` SET `T`.`V` = ? WHERE `U`.`T_` = `T`.`K` AND `U`.`K` = ?", params),
            ERROR_SUCCESS);
  EXPECT_EQ(Select(db, "SELECT `K`, `V` FROM `T`"), "K\tV\n1\t7\n2\t\n3\t\n");
  // A constant has no name and the installer's constant type.
  EXPECT_EQ(ColumnInfo(db, "SELECT `V`, 1, '', `S` FROM `T`", MSICOLINFO_NAMES), "V\t\t\tS");
  EXPECT_EQ(ColumnInfo(db, "SELECT `V`, 1, '', `S` FROM `T`", MSICOLINFO_TYPES), "I2\tf0\tf0\tS8");
  EXPECT_EQ(ColumnInfo(db, "SELECT -3 FROM `T`", MSICOLINFO_TYPES), "f0");
}

}  // namespace
}  // namespace ts
