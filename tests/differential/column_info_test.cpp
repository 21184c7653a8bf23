// The C API's descriptions of tables against libmsi's: column names and
// type strings (MSICOLINFO_NAMES, MSICOLINFO_TYPES) of every table and of the
// joins the tools run, and the primary keys of every table, on every corpus
// package and the project's own packages. Both engines are linked in-process.
#include <gtest/gtest.h>
#include <libmsi.h>
#include <msiquery.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

std::vector<std::string> packages() {
  std::vector<std::string> found;
  const char* corpus = std::getenv("MSI_CORPUS_DIR");
  std::string dir = corpus != nullptr ? corpus : COLUMN_INFO_CORPUS_DIR;
  if (fs::is_directory(dir))
    for (const auto& entry : fs::directory_iterator(dir)) {
      std::ifstream in(entry.path(), std::ios::binary);
      char magic[4] = {};
      in.read(magic, 4);
      if (entry.is_regular_file() && in && std::string(magic, 4) == "\xD0\xCF\x11\xE0")
        found.push_back(entry.path().string());
    }
  std::sort(found.begin(), found.end());
  std::string fixtures = COLUMN_INFO_FIXTURES;
  for (size_t at = 0; at < fixtures.size();) {
    size_t end = fixtures.find(':', at);
    if (end == std::string::npos) end = fixtures.size();
    if (end > at) found.push_back(fixtures.substr(at, end - at));
    at = end + 1;
  }
  return found;
}

// Fields 1..n of a record as texts, "(failed N)" when the call fails.
std::vector<std::string> our_fields(MSIHANDLE record) {
  std::vector<std::string> fields;
  UINT count = MsiRecordGetFieldCount(record);
  for (UINT i = 1; i <= count; ++i) {
    char buffer[256];
    DWORD size = sizeof buffer;
    UINT r = MsiRecordGetStringA(record, i, buffer, &size);
    fields.push_back(r == ERROR_SUCCESS ? std::string(buffer, size) : "(failed " + std::to_string(r) + ")");
  }
  return fields;
}

std::vector<std::string> their_fields(LibmsiRecord* record) {
  std::vector<std::string> fields;
  guint count = libmsi_record_get_field_count(record);
  for (guint i = 1; i <= count; ++i) {
    gchar* text = libmsi_record_get_string(record, i);
    fields.push_back(text != nullptr ? text : "");
    g_free(text);
  }
  return fields;
}

struct ColumnInfo {
  bool ok = false;
  std::vector<std::string> names, types;
};

ColumnInfo ours(MSIHANDLE db, const std::string& statement) {
  ColumnInfo info;
  MSIHANDLE view = 0, names = 0, types = 0;
  if (MsiDatabaseOpenViewA(db, statement.c_str(), &view) == ERROR_SUCCESS &&
      MsiViewGetColumnInfo(view, MSICOLINFO_NAMES, &names) == ERROR_SUCCESS &&
      MsiViewGetColumnInfo(view, MSICOLINFO_TYPES, &types) == ERROR_SUCCESS) {
    info = {true, our_fields(names), our_fields(types)};
  }
  MsiCloseHandle(names);
  MsiCloseHandle(types);
  MsiCloseHandle(view);
  return info;
}

ColumnInfo theirs(LibmsiDatabase* db, const std::string& statement) {
  ColumnInfo info;
  LibmsiQuery* query = libmsi_query_new(db, statement.c_str(), nullptr);
  if (query == nullptr) return info;
  LibmsiRecord* names = libmsi_query_get_column_info(query, LIBMSI_COL_INFO_NAMES, nullptr);
  LibmsiRecord* types = libmsi_query_get_column_info(query, LIBMSI_COL_INFO_TYPES, nullptr);
  if (names != nullptr && types != nullptr) info = {true, their_fields(names), their_fields(types)};
  if (names != nullptr) g_object_unref(names);
  if (types != nullptr) g_object_unref(types);
  g_object_unref(query);
  return info;
}

std::string joined(const std::vector<std::string>& fields) {
  std::string text;
  for (const auto& f : fields) text += (text.empty() ? "" : " ") + f;
  return text;
}

class ColumnInfoTest : public testing::TestWithParam<std::string> {};

TEST_P(ColumnInfoTest, NamesTypesAndKeysAsLibmsi) {
  const std::string package = GetParam();
  ASSERT_TRUE(fs::exists(package)) << package << " is missing";
  MSIHANDLE db = 0;
  ASSERT_EQ(MsiOpenDatabaseA(package.c_str(), MSIDBOPEN_READONLY_A, &db), ERROR_SUCCESS);
  LibmsiDatabase* lib = libmsi_database_new(package.c_str(), LIBMSI_DB_FLAGS_READONLY, nullptr, nullptr);
  ASSERT_NE(lib, nullptr) << "libmsi cannot open " << package;

  std::vector<std::string> tables;
  {
    MSIHANDLE view = 0;
    ASSERT_EQ(MsiDatabaseOpenViewA(db, "SELECT `Name` FROM `_Tables`", &view), ERROR_SUCCESS);
    ASSERT_EQ(MsiViewExecute(view, 0), ERROR_SUCCESS);
    for (MSIHANDLE row = 0; MsiViewFetch(view, &row) == ERROR_SUCCESS; MsiCloseHandle(row))
      tables.push_back(our_fields(row).at(0));
    MsiCloseHandle(view);
  }
  std::vector<std::string> statements;
  for (const auto& t : tables) statements.push_back("SELECT * FROM `" + t + "`");
  statements.push_back("SELECT * FROM `_Streams`");
  statements.push_back("SELECT * FROM `_Tables`");
  statements.push_back("SELECT * FROM `_Columns`");
  statements.push_back(
      "SELECT File.FileName,File.FileSize,File.Version,File.Language,File.Attributes,Component.Directory_ "
      "FROM File, Component WHERE File.Component_=Component.Component ORDER BY File.FileName");
  statements.push_back("SELECT DISTINCT Component.Directory_ FROM File, Component WHERE "
                       "File.Component_=Component.Component ORDER BY Component.Directory_");
  statements.push_back("SELECT Name,Data FROM Binary ORDER BY Name");

  for (const auto& statement : statements) {
    ColumnInfo a = ours(db, statement), b = theirs(lib, statement);
    if (!b.ok) continue;  // a table the package lacks: the statement lists cover that
    ASSERT_TRUE(a.ok) << statement << ": libmsi gives the column info, the engine fails";
    EXPECT_EQ(joined(a.names), joined(b.names)) << package << ": names of " << statement;
    EXPECT_EQ(joined(a.types), joined(b.types)) << package << ": types of " << statement;
  }

  for (const auto& table : tables) {
    MSIHANDLE keys = 0;
    UINT r = MsiDatabaseGetPrimaryKeysA(db, table.c_str(), &keys);
    LibmsiRecord* their_keys = libmsi_database_get_primary_keys(lib, table.c_str(), nullptr);
    ASSERT_EQ(r == ERROR_SUCCESS, their_keys != nullptr) << package << ": primary keys of " << table;
    if (their_keys != nullptr) {
      auto a = our_fields(keys), b = their_fields(their_keys);
      EXPECT_EQ(joined(a), joined(b)) << package << ": primary keys of " << table;
      g_object_unref(their_keys);
    }
    MsiCloseHandle(keys);
    EXPECT_EQ(MsiDatabaseIsTablePersistentA(db, table.c_str()), MSICONDITION_TRUE) << table;
  }
  EXPECT_EQ(MsiDatabaseIsTablePersistentA(db, "NoSuchTable"), MSICONDITION_NONE);
  g_object_unref(lib);
  MsiCloseHandle(db);
}

std::string test_name(const testing::TestParamInfo<std::string>& info) {
  std::string name = std::to_string(info.index) + "_" + fs::path(info.param).stem().string();
  for (char& c : name)
    if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
  return name;
}

}  // namespace

GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(ColumnInfoTest);
INSTANTIATE_TEST_SUITE_P(Packages, ColumnInfoTest, testing::ValuesIn(packages()), test_name);
