// MsiViewModify's validation modes and MsiViewGetError through the C API:
// the answers Windows gives (as the installer's conformance tests record
// them), each _Validation rule broken once in a corpus package, hostile
// _Validation tables, and every corpus row checked against its package.
#include <map>
#include <sstream>

#include "support.h"

namespace {

namespace fs = std::filesystem;
using ts::Handle;

struct Error {
  int code;
  std::string column;
  bool operator==(const Error&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Error& e) { return out << e.column << ":" << e.code; }

// Every error MsiViewGetErrorA hands out, until NOERROR.
std::vector<Error> Errors(MSIHANDLE view) {
  std::vector<Error> out;
  for (int i = 0; i < 100; ++i) {
    char name[80] = "x";
    DWORD size = sizeof name;
    const MSIDBERROR e = MsiViewGetErrorA(view, name, &size);
    if (e == MSIDBERROR_NOERROR) {
      EXPECT_EQ(std::string(name), "");
      return out;
    }
    out.push_back({e, name});
  }
  ADD_FAILURE() << "MsiViewGetError never says NOERROR";
  return out;
}

// What one call of a validation mode gave.
struct Outcome {
  UINT result;
  std::vector<Error> errors;
  bool operator==(const Outcome&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Outcome& o) {
  out << "[" << o.result << "]";
  for (const Error& e : o.errors) out << " " << e;
  return out;
}

// Runs `alter`, then validates the first row of `query` with field
// `field` set to `value` ("" null, "#n" a number, else text; field 0:
// unchanged).
Outcome ValidateFirstRow(MSIHANDLE db, const std::vector<std::string>& alter, const std::string& query,
                         UINT field, const std::string& value, MSIMODIFY mode) {
  for (const std::string& sql : alter) EXPECT_EQ(ts::Exec(db, sql), ERROR_SUCCESS) << sql;
  Handle view, rec;
  EXPECT_EQ(MsiDatabaseOpenViewA(db, query.c_str(), view.out()), ERROR_SUCCESS) << query;
  EXPECT_EQ(MsiViewExecute(view, 0), ERROR_SUCCESS);
  if (MsiViewFetch(view, rec.out()) != ERROR_SUCCESS) return {~0u, {}};
  if (field != 0 && value.empty()) MsiRecordSetStringA(rec, field, nullptr);
  else if (field != 0 && value[0] == '#') MsiRecordSetInteger(rec, field, std::stoi(value.substr(1)));
  else if (field != 0) MsiRecordSetStringA(rec, field, value.c_str());
  const UINT r = MsiViewModify(view, mode, rec);
  return {r, Errors(view)};
}

// Validates every row of every table with MSIMODIFY_VALIDATE; one line per
// failing row: table, key fields, result and the errors.
std::vector<std::string> ValidateAll(MSIHANDLE db) {
  std::vector<std::string> out;
  for (const std::string& table : ts::TableNames(db)) {
    Handle view, keys, rec;
    if (MsiDatabaseGetPrimaryKeysA(db, table.c_str(), keys.out()) != ERROR_SUCCESS ||
        MsiDatabaseOpenViewA(db, ("SELECT * FROM `" + table + "`").c_str(), view.out()) != ERROR_SUCCESS ||
        MsiViewExecute(view, 0) != ERROR_SUCCESS) {
      out.push_back(table + ": cannot read");
      continue;
    }
    while (MsiViewFetch(view, rec.out()) == ERROR_SUCCESS) {
      const UINT r = MsiViewModify(view, MSIMODIFY_VALIDATE, rec);
      if (r == ERROR_SUCCESS) continue;
      std::ostringstream line;
      line << table << " " << ts::FieldText(rec, 1);
      if (MsiRecordGetFieldCount(keys) > 1) line << "/" << ts::FieldText(rec, 2);
      line << " " << Outcome{r, Errors(view)};
      out.push_back(line.str());
    }
  }
  return out;
}

constexpr UINT kInvalid = ERROR_INVALID_DATA;

// A new package in `dir` holding `statements`.
void NewPackage(const ts::TempDir& dir, const std::vector<std::string>& statements, Handle& db) {
  ASSERT_EQ(ts::Open(dir / "new.msi", MSIDBOPEN_CREATE_A, db), ERROR_SUCCESS);
  for (const std::string& sql : statements) ASSERT_EQ(ts::Exec(db, sql), ERROR_SUCCESS) << sql;
}

const char* const kValidationTable =
    "CREATE TABLE `_Validation` (`Table` CHAR(32) NOT NULL, `Column` CHAR(32) NOT NULL, "
    "`Nullable` CHAR(4) NOT NULL, `MinValue` INT, `MaxValue` INT, `KeyTable` CHAR(255), "
    "`KeyColumn` SHORT, `Category` CHAR(32), `Set` CHAR(255), `Description` CHAR(255) "
    "PRIMARY KEY `Table`, `Column`)";

// The table and the answers of the installer's conformance tests, then the
// rest of the sequence: one column a call, then NOERROR; a short buffer
// keeps the error for the next call.
TEST(GetError, AnswersAsWindowsGivesThem) {
  ts::TempDir dir;
  Handle db, view, rec;
  NewPackage(dir, {"CREATE TABLE `phone` (`id` INT, `name` CHAR(32), `number` CHAR(32) PRIMARY KEY `id`)",
                   kValidationTable,
                   "INSERT INTO `_Validation` (`Table`, `Column`, `Nullable`) VALUES ('phone', 'id', 'N')",
                   "INSERT INTO `phone` (`id`, `name`, `number`) VALUES (1, 'bob', '7654321')"},
             db);
  char buf[16] = "x";
  DWORD size = 0;
  EXPECT_EQ(MsiViewGetErrorA(0, nullptr, &size), MSIDBERROR_INVALIDARG);
  ASSERT_EQ(MsiDatabaseOpenViewA(db, "SELECT * FROM `phone`", view.out()), ERROR_SUCCESS);
  EXPECT_EQ(MsiViewGetErrorA(view, buf, nullptr), MSIDBERROR_INVALIDARG);
  size = 0;
  EXPECT_EQ(MsiViewGetErrorA(view, buf, &size), MSIDBERROR_MOREDATA);
  EXPECT_EQ(buf[0], 'x');
  EXPECT_EQ(size, 0u);
  EXPECT_EQ(MsiViewGetErrorA(view, nullptr, &size), MSIDBERROR_NOERROR);
  EXPECT_EQ(size, 0u);
  size = sizeof buf;
  EXPECT_EQ(MsiViewGetErrorA(view, buf, &size), MSIDBERROR_NOERROR);
  EXPECT_EQ(buf[0], '\0');
  EXPECT_EQ(size, 0u);

  ASSERT_EQ(MsiViewExecute(view, 0), ERROR_SUCCESS);
  rec = ts::MakeRecord({"#1", "bob", "7654321"});
  ASSERT_EQ(MsiViewModify(view, MSIMODIFY_VALIDATE_NEW, rec), ERROR_INVALID_DATA);
  size = 2;
  EXPECT_EQ(MsiViewGetErrorA(view, buf, &size), MSIDBERROR_MOREDATA);
  EXPECT_EQ(size, 2u);
  EXPECT_EQ(MsiViewGetErrorA(view, nullptr, &size), MSIDBERROR_DUPLICATEKEY);
  size = sizeof buf;
  EXPECT_EQ(MsiViewGetErrorA(view, buf, &size), MSIDBERROR_DUPLICATEKEY);
  EXPECT_EQ(std::string(buf), "id");
  EXPECT_EQ(size, 2u);
  WCHAR wbuf[16];
  size = 16;
  EXPECT_EQ(MsiViewGetErrorW(view, wbuf, &size), MSIDBERROR_MISSINGDATA);
  EXPECT_EQ(std::u16string(wbuf), u"name");
  EXPECT_EQ(Errors(view), (std::vector<Error>{{MSIDBERROR_MISSINGDATA, "number"}}));
  // Records validation cannot take: not fetched, a field of another kind.
  EXPECT_EQ(MsiViewModify(view, MSIMODIFY_VALIDATE, rec), ERROR_FUNCTION_FAILED);
  Handle text_key = ts::MakeRecord({"one", "bob", ""});
  EXPECT_EQ(MsiViewModify(view, MSIMODIFY_VALIDATE_NEW, text_key), ERROR_DATATYPE_MISMATCH);
  // Any later MsiViewModify forgets them.
  ASSERT_EQ(MsiViewModify(view, MSIMODIFY_VALIDATE_NEW, rec), ERROR_INVALID_DATA);
  EXPECT_EQ(MsiViewModify(view, MSIMODIFY_SEEK, rec), ERROR_SUCCESS);
  EXPECT_EQ(Errors(view), std::vector<Error>{});
}

struct RuleCase {
  const char* what;
  std::vector<std::string> alter;  // run on the package first
  std::string query;               // the first row it gives is validated
  UINT field;
  std::string value;
  MSIMODIFY mode;
  Outcome expected;
};

std::string RuleOf(const std::string& column) {
  return " WHERE `Table`='Component' AND `Column`='" + column + "'";
}

std::string FirstValue(MSIHANDLE db, const std::string& query) {
  const std::string rows = ts::Select(db, query);
  const size_t start = rows.find('\n') + 1;
  return rows.substr(start, rows.find('\n', start) - start);
}

// Each rule of _Validation broken once in a real package: the exact error
// and column, and nothing else.
TEST(Rules, EachBrokenOnceInARealPackage) {
  REQUIRE_CORPUS();
  fs::path source;
  for (const fs::path& p : ts::CorpusPackages()) {
    Handle db;
    if (ts::Open(p, MSIDBOPEN_READONLY_A, db) != ERROR_SUCCESS) continue;
    bool fits = true;
    for (const char* t : {"_Validation", "Component", "Directory"}) {
      fits = fits && MsiDatabaseIsTablePersistentA(db, t) == MSICONDITION_TRUE;
    }
    if (fits && ValidateAll(db).size() <= 3) {
      source = p;
      break;
    }
  }
  if (source.empty()) GTEST_SKIP() << "no corpus package has Component, Directory and _Validation";
  ts::TempDir dir;
  ts::CopyPackage(source, dir / "copy.msi");
  Handle db;
  ASSERT_EQ(ts::Open(dir / "copy.msi", MSIDBOPEN_READONLY_A, db), ERROR_SUCCESS);
  const std::string comp = "SELECT * FROM `Component`";
  const std::string dir_of_comp = FirstValue(db, "SELECT `Directory_` FROM `Component`");
  const std::string root_default = FirstValue(db, "SELECT `DefaultDir` FROM `Directory` WHERE `Directory`='TARGETDIR'");
  const std::string upd = "UPDATE `_Validation` SET ";
  const auto E = [](int code, const char* column) { return Outcome{kInvalid, {{code, column}}}; };
  const Outcome ok{ERROR_SUCCESS, {}};
  const RuleCase cases[] = {
      {"null where Nullable is N", {}, comp, 3, "", MSIMODIFY_VALIDATE, E(MSIDBERROR_REQUIRED, "Directory_")},
      {"no row of the key table", {}, comp, 3, "NoSuchDir", MSIMODIFY_VALIDATE, E(MSIDBERROR_BADLINK, "Directory_")},
      {"KeyColumn 1: a DefaultDir is no Directory key", {}, comp, 3, root_default, MSIMODIFY_VALIDATE,
       E(MSIDBERROR_BADLINK, "Directory_")},
      {"KeyColumn 3 links to DefaultDir", {upd + "`KeyColumn`=3" + RuleOf("Directory_")}, comp, 3,
       root_default, MSIMODIFY_VALIDATE, ok},
      {"one table of a list holds it", {upd + "`KeyTable`='NoSuchTable;Directory'" + RuleOf("Directory_")},
       comp, 3, dir_of_comp, MSIMODIFY_VALIDATE, ok},
      {"no table of the list holds it", {upd + "`KeyTable`='Feature;Directory'" + RuleOf("Directory_")},
       comp, 3, "NoSuchDir", MSIMODIFY_VALIDATE, E(MSIDBERROR_BADLINK, "Directory_")},
      {"key tables that do not exist", {upd + "`KeyTable`='NoSuchTable;Another'" + RuleOf("Directory_")},
       comp, 0, "", MSIMODIFY_VALIDATE, E(MSIDBERROR_BADKEYTABLE, "Directory_")},
      {"KeyColumn beyond the key table", {upd + "`KeyColumn`=30" + RuleOf("Directory_")}, comp, 0, "",
       MSIMODIFY_VALIDATE, E(MSIDBERROR_BADKEYTABLE, "Directory_")},
      {"below MinValue", {upd + "`MinValue`=5, `MaxValue`=10" + RuleOf("Attributes")}, comp, 4, "#4",
       MSIMODIFY_VALIDATE, E(MSIDBERROR_UNDERFLOW, "Attributes")},
      {"above MaxValue", {upd + "`MinValue`=5, `MaxValue`=10" + RuleOf("Attributes")}, comp, 4, "#11",
       MSIMODIFY_VALIDATE, E(MSIDBERROR_OVERFLOW, "Attributes")},
      {"MinValue above MaxValue", {upd + "`MinValue`=10, `MaxValue`=5" + RuleOf("Attributes")}, comp, 4,
       "#7", MSIMODIFY_VALIDATE, E(MSIDBERROR_BADMAXMINVALUES, "Attributes")},
      {"a GUID in lower case", {}, comp, 2, "{12345678-abcd-ef01-2345-6789abcdef01}", MSIMODIFY_VALIDATE,
       E(MSIDBERROR_BADGUID, "ComponentId")},
      {"an unknown category", {upd + "`Category`='NoSuchCategory'" + RuleOf("ComponentId")}, comp, 0, "",
       MSIMODIFY_VALIDATE, E(MSIDBERROR_BADCATEGORY, "ComponentId")},
      {"not in the Set", {upd + "`Set`='A;B'" + RuleOf("Condition")}, comp, 5, "C", MSIMODIFY_VALIDATE,
       E(MSIDBERROR_NOTINSET, "Condition")},
      {"in the Set", {upd + "`Set`='A;B'" + RuleOf("Condition")}, comp, 5, "B", MSIMODIFY_VALIDATE, ok},
      {"no _Validation row", {"DELETE FROM `_Validation`" + RuleOf("KeyPath")}, comp, 0, "",
       MSIMODIFY_VALIDATE, E(MSIDBERROR_MISSINGDATA, "KeyPath")},
      {"longer than the column", {}, comp, 5, std::string(256, 'A'), MSIMODIFY_VALIDATE,
       E(MSIDBERROR_STRINGOVERFLOW, "Condition")},
      {"a new row with a key that exists", {}, comp, 0, "", MSIMODIFY_VALIDATE_NEW,
       E(MSIDBERROR_DUPLICATEKEY, "Component")},
      {"fields: no foreign keys", {}, comp, 3, "NoSuchDir", MSIMODIFY_VALIDATE_FIELD, ok},
      {"fields: formats", {}, "SELECT `ComponentId` FROM `Component`", 1, "no guid",
       MSIMODIFY_VALIDATE_FIELD, E(MSIDBERROR_BADGUID, "ComponentId")},
      {"deleting a directory a component is in", {},
       "SELECT * FROM `Directory` WHERE `Directory`='" + dir_of_comp + "'", 0, "", MSIMODIFY_VALIDATE_DELETE,
       E(MSIDBERROR_REQUIRED, "Directory")},
      {"deleting a directory nothing refers to",
       {"INSERT INTO `Directory` (`Directory`, `Directory_Parent`, `DefaultDir`) VALUES ('Lonely', 'TARGETDIR', 'lonely')"},
       "SELECT * FROM `Directory` WHERE `Directory`='Lonely'", 0, "", MSIMODIFY_VALIDATE_DELETE, ok},
  };
  for (const RuleCase& c : cases) {
    Handle copy;
    ASSERT_EQ(ts::Open(dir / "copy.msi", MSIDBOPEN_READONLY_A, copy), ERROR_SUCCESS);
    EXPECT_EQ(ValidateFirstRow(copy, c.alter, c.query, c.field, c.value, c.mode), c.expected)
        << c.what << " in " << source.filename();
  }
  // None of it changes the package.
  Handle writable;
  ASSERT_EQ(ts::Open(dir / "copy.msi", MSIDBOPEN_TRANSACT_A, writable), ERROR_SUCCESS);
  const std::string before = ts::DumpTables(writable);
  for (MSIMODIFY mode : {MSIMODIFY_VALIDATE, MSIMODIFY_VALIDATE_NEW, MSIMODIFY_VALIDATE_FIELD,
                         MSIMODIFY_VALIDATE_DELETE}) {
    ValidateFirstRow(writable, {}, "SELECT * FROM `Directory`", 3, "x y", mode);
  }
  EXPECT_EQ(ts::DumpTables(writable), before);
}

struct HostileCase {
  const char* what;
  std::vector<std::string> statements;  // the _Validation table, as it is
  MSIMODIFY mode;
  Outcome expected;
};

std::string Repeated(const std::string& prefix, int count, const std::string& last) {
  std::string s;
  for (int i = 0; i < count; ++i) s += prefix + std::to_string(i) + ";";
  return s + last;
}

// Damaged or hostile _Validation tables give result codes, never a crash.
TEST(Rules, HostileValidationTables) {
  const std::string full = kValidationTable;
  const std::string row = "INSERT INTO `_Validation` (`Table`, `Column`, `Nullable`, `Category`, `KeyTable`, "
                          "`KeyColumn`, `Set`) VALUES ";
  const std::string k = row + "('T', 'K', 'N', 'Identifier', '', 0, '')";
  const std::string n = row + "('T', 'N', 'Y', '', '', 0, '')";
  const auto E = [](int code, const char* column) { return Outcome{kInvalid, {{code, column}}}; };
  const Outcome ok{ERROR_SUCCESS, {}};
  const HostileCase cases[] = {
      {"no _Validation table", {}, MSIMODIFY_VALIDATE, {ERROR_INVALID_TABLE, {}}},
      {"no Column column",
       {"CREATE TABLE `_Validation` (`Table` CHAR(32) NOT NULL, `Nullable` CHAR(4) PRIMARY KEY `Table`)"},
       MSIMODIFY_VALIDATE_NEW, {ERROR_INVALID_TABLE, {}}},
      {"only Table and Column",
       {"CREATE TABLE `_Validation` (`Table` CHAR(32) NOT NULL, `Column` CHAR(32) NOT NULL PRIMARY KEY `Table`, `Column`)",
        "INSERT INTO `_Validation` (`Table`, `Column`) VALUES ('T', 'K')",
        "INSERT INTO `_Validation` (`Table`, `Column`) VALUES ('T', 'V')",
        "INSERT INTO `_Validation` (`Table`, `Column`) VALUES ('T', 'N')"},
       MSIMODIFY_VALIDATE, ok},
      {"an unknown category", {full, k, n, row + "('T', 'V', 'Y', 'Bogus', '', 0, '')"}, MSIMODIFY_VALIDATE,
       E(MSIDBERROR_BADCATEGORY, "V")},
      {"a key table that does not exist", {full, k, n, row + "('T', 'V', 'Y', 'Text', 'Nowhere', 1, '')"},
       MSIMODIFY_VALIDATE, E(MSIDBERROR_BADKEYTABLE, "V")},
      {"KeyColumn 0", {full, k, n, row + "('T', 'V', 'Y', 'Text', 'T', 0, '')"}, MSIMODIFY_VALIDATE,
       E(MSIDBERROR_BADKEYTABLE, "V")},
      {"a table whose keys refer to itself",
       {full, row + "('T', 'K', 'N', 'Identifier', 'T', 1, '')", n, row + "('T', 'V', 'Y', 'Text', 'T', 2, '')"},
       MSIMODIFY_VALIDATE, ok},
      {"deleting from a table whose keys refer to itself",
       {full, row + "('T', 'K', 'N', 'Identifier', 'T', 1, '')", n, row + "('T', 'V', 'Y', 'Text', 'T', 2, '')"},
       MSIMODIFY_VALIDATE_DELETE, ok},
      {"two tables referring to each other",
       {full, row + "('T', 'K', 'N', 'Identifier', 'U', 1, '')", n, row + "('T', 'V', 'Y', 'Text', '', 0, '')",
        row + "('U', 'R', 'N', 'Identifier', 'T', 1, '')", "CREATE TABLE `U` (`R` CHAR(20) PRIMARY KEY `R`)",
        "INSERT INTO `U` (`R`) VALUES ('a')"},
       MSIMODIFY_VALIDATE_DELETE, E(MSIDBERROR_REQUIRED, "K")},
      {"a huge Set holding it", {full, k, n, row + "('T', 'V', 'Y', 'Text', '', 0, '" + Repeated("i", 100000, "x") + "')"},
       MSIMODIFY_VALIDATE, ok},
      {"a huge Set without it", {full, k, n, row + "('T', 'V', 'Y', 'Text', '', 0, '" + Repeated("i", 100000, "y") + "')"},
       MSIMODIFY_VALIDATE, E(MSIDBERROR_NOTINSET, "V")},
      {"a huge list of missing key tables",
       {full, k, n, row + "('T', 'V', 'Y', 'Text', '" + Repeated("N", 20000, "M") + "', 1, '')"},
       MSIMODIFY_VALIDATE, E(MSIDBERROR_BADKEYTABLE, "V")},
      {"columns of other types",
       {"CREATE TABLE `_Validation` (`Table` CHAR(32) NOT NULL, `Column` CHAR(32) NOT NULL, `Nullable` CHAR(4), "
        "`MinValue` CHAR(8), `Category` INT PRIMARY KEY `Table`, `Column`)",
        "INSERT INTO `_Validation` (`Table`, `Column`, `Nullable`, `MinValue`) VALUES ('T', 'K', 'N', 'abc')",
        "INSERT INTO `_Validation` (`Table`, `Column`, `Nullable`, `MinValue`) VALUES ('T', 'N', 'N', 'abc')",
        "INSERT INTO `_Validation` (`Table`, `Column`, `Nullable`, `Category`) VALUES ('T', 'V', 'Y', 5)"},
       MSIMODIFY_VALIDATE, E(MSIDBERROR_BADCATEGORY, "V")},
  };
  for (const HostileCase& c : cases) {
    ts::TempDir dir;
    Handle db;
    std::vector<std::string> statements = {"CREATE TABLE `T` (`K` CHAR(20) NOT NULL, `V` CHAR(20), `N` SHORT PRIMARY KEY `K`)",
                                           "INSERT INTO `T` (`K`, `V`, `N`) VALUES ('a', 'x', 1)"};
    statements.insert(statements.end(), c.statements.begin(), c.statements.end());
    NewPackage(dir, statements, db);
    EXPECT_EQ(ValidateFirstRow(db, {}, "SELECT * FROM `T`", 0, "", c.mode), c.expected) << c.what;
  }
}

// What validating every row of each corpus package reports, checked once by
// hand (see the report in docs/validation.md for which are faults of the
// package). Packages not listed must answer with result codes only.
TEST(CorpusValidation, EveryRowOfEveryPackage) {
  REQUIRE_CORPUS();
  const std::string kList = "_Validation Component/KeyPath [13] KeyTable:11";
  const std::string aList = "_Validation AppSearch/Signature_ [13] KeyTable:11";
  const std::map<std::string, std::vector<std::string>> expected = {
      {"MergeModule1.msm",
       {"Binary Binary1.F844F0E3_8CB4_4A0F_973E_31C4F9338382 [13] Name:22 Data:22", kList}},
      {"Module401.msm", {kList}},
      {"NestedDirSearchUnderRegSearch.msi", {aList, kList}},
      {"SequenceTables.msi", {kList}},
      {"mergemod.cub", {"Property ProductCode [13] Property:22 Value:22"}},
      {"msi_with_external_cab.msi", {"Media 1 [13] Cabinet:26", kList}},
      {"nunit-2.5.2.msi", {aList, kList, "_Validation Directory/DefaultDir [13] Category:6"}},
      {"putty-0.68-installer.msi", {aList, kList}},
  };
  for (const fs::path& p : ts::CorpusPackages()) {
    Handle db;
    if (ts::Open(p, MSIDBOPEN_READONLY_A, db) != ERROR_SUCCESS) continue;
    if (MsiDatabaseIsTablePersistentA(db, "_Validation") != MSICONDITION_TRUE) continue;
    const std::vector<std::string> got = ValidateAll(db);
    const auto it = expected.find(p.filename().string());
    if (it != expected.end()) {
      EXPECT_EQ(got, it->second) << p.filename();
      continue;
    }
    for (const std::string& line : got) {
      EXPECT_NE(line.find(" [13] "), std::string::npos) << p.filename() << ": " << line;
    }
  }
}

}  // namespace
