// The C API's descriptions of tables (MSICOLINFO_NAMES and _TYPES of every
// table and of the joins the tools run, MsiDatabaseGetPrimaryKeys) against
// the column definitions libmsi reads from _Columns, on every corpus package
// and the project's own packages. libmsi runs as the oracle program, so a
// crash of it cannot take this test down with it.
#include <sstream>

#include "support.h"

namespace {

namespace fs = std::filesystem;

struct Column {
  std::string name, type;
  bool key = false;
};

// The type text of a _Columns type word: letter s/l (text, localizable),
// v (binary), i (integer), upper case when nullable, then the width.
std::string TypeText(int type) {
  const bool text = (type & 0x0800) != 0, binary = text && (type & 0x0400) == 0;
  char letter = binary ? 'v' : !text ? 'i' : (type & 0x0200) != 0 ? 'l' : 's';
  if ((type & 0x1000) != 0) letter = static_cast<char>(letter - 'a' + 'A');
  return letter + std::to_string(binary ? 0 : type & 0xFF);
}

std::vector<std::string> Fields(MSIHANDLE record) {
  std::vector<std::string> fields;
  for (UINT i = 1; i <= MsiRecordGetFieldCount(record); ++i) fields.push_back(ts::FieldText(record, i));
  return fields;
}

std::vector<fs::path> Packages() {
  std::vector<fs::path> packages = ts::CorpusPackages();
  std::istringstream fixtures(COLUMN_INFO_FIXTURES);
  for (std::string p; std::getline(fixtures, p, ':');)
    if (!p.empty()) packages.push_back(p);
  return packages;
}

class ColumnInfo : public testing::TestWithParam<fs::path> {};

TEST_P(ColumnInfo, NamesTypesAndKeysAsLibmsiReadsThem) {
  REQUIRE_ORACLE();
  const fs::path package = GetParam();
  ts::RunResult r;
  for (int attempt = 0; attempt < 3 && r.exit_code < 0; ++attempt)  // it may die (known difference 16)
    r = ts::Oracle({"select", package.string(), "SELECT `Table`,`Name`,`Type` FROM `_Columns` ORDER BY `Table`,`Number`"});
  ASSERT_EQ(r.exit_code, 0) << r.Describe() << " " << r.err;
  std::map<std::string, std::vector<Column>> tables;
  std::map<std::string, Column> by_name;  // "Table.Column"
  std::istringstream lines(r.out);
  std::string line;
  std::getline(lines, line);  // the header
  while (std::getline(lines, line)) {
    std::istringstream fields(line);
    std::string table, name, type;
    std::getline(fields, table, '\t') && std::getline(fields, name, '\t') && std::getline(fields, type);
    const int word = std::stoi(type);
    tables[table].push_back({name, TypeText(word), (word & 0x2000) != 0});
    by_name[table + "." + name] = tables[table].back();
  }
  ASSERT_FALSE(tables.empty()) << package << ": libmsi finds no columns";

  ts::Handle db;
  ASSERT_EQ(MsiOpenDatabaseA(package.c_str(), MSIDBOPEN_READONLY_A, db.out()), ERROR_SUCCESS);
  std::vector<std::pair<std::string, std::vector<Column>>> cases;
  for (const auto& [table, columns] : tables) cases.push_back({"SELECT * FROM `" + table + "`", columns});
  const std::vector<std::string> joined = {"File.FileName", "File.FileSize", "Component.Directory_"};
  if (by_name.count(joined[0]) && by_name.count(joined[2])) {
    std::vector<Column> columns;
    for (const auto& c : joined) columns.push_back(by_name[c]);
    cases.push_back({"SELECT File.FileName,File.FileSize,Component.Directory_ FROM File, Component "
                     "WHERE File.Component_=Component.Component ORDER BY File.FileName", columns});
  }
  for (const auto& [statement, columns] : cases) {
    SCOPED_TRACE(package.filename().string() + ": " + statement);
    std::vector<std::string> names, types, keys;
    for (const Column& c : columns) {
      names.push_back(c.name);
      types.push_back(c.type);
      if (c.key) keys.push_back(c.name);
    }
    ts::Handle view, got_names, got_types, got_keys;
    ASSERT_EQ(MsiDatabaseOpenViewA(db, statement.c_str(), view.out()), ERROR_SUCCESS);
    ASSERT_EQ(MsiViewGetColumnInfo(view, MSICOLINFO_NAMES, got_names.out()), ERROR_SUCCESS);
    ASSERT_EQ(MsiViewGetColumnInfo(view, MSICOLINFO_TYPES, got_types.out()), ERROR_SUCCESS);
    EXPECT_EQ(Fields(got_names), names);
    EXPECT_EQ(Fields(got_types), types);
    if (statement.find(" WHERE ") != std::string::npos) continue;
    const std::string table = statement.substr(15, statement.size() - 16);
    ASSERT_EQ(MsiDatabaseGetPrimaryKeysA(db, table.c_str(), got_keys.out()), ERROR_SUCCESS);
    EXPECT_EQ(ts::FieldText(got_keys, 0), table);
    EXPECT_EQ(Fields(got_keys), keys);
    EXPECT_EQ(MsiDatabaseIsTablePersistentA(db, table.c_str()), MSICONDITION_TRUE);
  }
  EXPECT_EQ(MsiDatabaseIsTablePersistentA(db, "NoSuchTable"), MSICONDITION_NONE);
}

std::string TestName(const testing::TestParamInfo<fs::path>& info) {
  std::string name = std::to_string(info.index) + "_" + info.param.stem().string();
  for (char& c : name)
    if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
  return name;
}

}  // namespace

GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(ColumnInfo);
INSTANTIATE_TEST_SUITE_P(Packages, ColumnInfo, testing::ValuesIn(Packages()), TestName);
