// Runs the same statements through msisql and through libmsi (libmsi_oracle)
// on every corpus package and every fixture package, and requires identical
// standard output and identical result codes; the C API must describe every
// table's columns as libmsi reads them. Both run under ts::Run's time
// limit; the cases libmsi is known to answer wrongly are listed in
// known_differences.list (known_differences.md says why).
#include <algorithm>
#include <fstream>
#include <set>
#include <sstream>

#include "support.h"

namespace {

namespace fs = std::filesystem;

std::vector<std::string> Split(const std::string& text, char separator) {
  std::vector<std::string> parts;
  std::string part;
  std::istringstream in(text);
  while (std::getline(in, part, separator))
    if (!part.empty()) parts.push_back(part);
  return parts;
}

// Lines of a text file, without comments ('#') and empty lines.
std::vector<std::string> DataLines(const fs::path& file) {
  std::vector<std::string> lines;
  for (std::string line : Split(ts::ReadText(file), '\n')) {
    if (line.back() == '\r') line.pop_back();
    if (!line.empty() && line[0] != '#') lines.push_back(line);
  }
  return lines;
}

bool IsCompoundFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  char magic[8] = {};
  return in.read(magic, 8) && std::string(magic, 8) == "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1";
}

std::vector<fs::path> AllPackages() {
  std::vector<fs::path> packages;
  auto add_folder = [&](const fs::path& folder) {
    std::vector<fs::path> found;
    if (fs::is_directory(folder))
      for (const auto& entry : fs::directory_iterator(folder))
        // hidden files are other programs' work in progress
        if (entry.is_regular_file() && entry.path().filename().string()[0] != '.' &&
            IsCompoundFile(entry.path()))
          found.push_back(entry.path());
    std::sort(found.begin(), found.end());
    packages.insert(packages.end(), found.begin(), found.end());
  };
  add_folder(ts::CorpusDir());
  for (const auto& p : Split(DIFF_FIXTURE_PACKAGES, ':')) packages.push_back(p);
  // The other suites' test packages where the build made them, and further
  // real packages for runs outside the checked-in corpus.
  std::string dirs = DIFF_FIXTURE_DIRS;
  if (const char* extra = std::getenv("MSI_DIFF_EXTRA_DIRS")) dirs += std::string(":") + extra;
  for (const auto& dir : Split(dirs, ':')) add_folder(dir);
  return packages;
}

// Rows of one SELECT's output, header dropped, first field unescaped.
std::vector<std::vector<std::string>> Rows(const std::string& output) {
  std::vector<std::vector<std::string>> rows;
  auto lines = Split(output, '\n');
  for (size_t i = 1; i < lines.size(); ++i) {
    std::vector<std::string> fields;
    std::istringstream in(lines[i] + "\t");
    for (std::string field; std::getline(in, field, '\t');) fields.push_back(field);
    std::string& first = fields[0];
    for (size_t at = first.find('\\'); at != std::string::npos; at = first.find('\\', at + 1)) {
      const char c = at + 1 < first.size() ? first[at + 1] : '\\';
      first.replace(at, 2, 1, c == 't' ? '\t' : c == 'n' ? '\n' : c == 'r' ? '\r' : c);
    }
    rows.push_back(fields);
  }
  return rows;
}

// The installer result code of "NAME: error N: ..."; 0 for success, -1 for
// a failure without one (a crash, a hang).
long ResultCode(const ts::RunResult& run) {
  if (run.exit_code == 0) return 0;
  const auto at = run.err.find(": error ");
  return run.exit_code < 0 || at == std::string::npos ? -1 : std::strtol(run.err.c_str() + at + 8, nullptr, 10);
}

ts::RunResult Msisql(const fs::path& package, const std::vector<std::string>& statements) {
  std::vector<std::string> argv{ts::Msisql(), package.string()};
  argv.insert(argv.end(), statements.begin(), statements.end());
  return ts::Run(argv);
}

// libmsi asked up to three times while it dies or hangs (known difference 16).
ts::RunResult Libmsi(const fs::path& package, const std::vector<std::string>& statements) {
  std::vector<std::string> args{"select", package.string()};
  args.insert(args.end(), statements.begin(), statements.end());
  ts::RunResult r = ts::Oracle(args);
  for (int attempt = 1; attempt < 3 && r.exit_code < 0; ++attempt) r = ts::Oracle(args);
  return r;
}

std::string Quoted(const std::string& name) { return "`" + name + "`"; }

// {Table.Column} stands for the first non-null value of that column in the
// package, {Table.Column@N} for the N-th (the last when there are fewer);
// "none" when there is none.
std::string Expand(const std::string& text, const fs::path& package,
                   std::map<std::string, std::vector<std::string>>& cache) {
  std::string result;
  size_t at = 0;
  for (size_t open; (open = text.find('{', at)) != std::string::npos;) {
    const size_t close = text.find('}', open);
    std::string name = text.substr(open + 1, close - open - 1);
    size_t nth = 1;
    if (auto sign = name.find('@'); sign != std::string::npos) {
      nth = std::max<size_t>(1, std::stoul(name.substr(sign + 1)));
      name.resize(sign);
    }
    const auto dot = name.find('.');
    if (!cache.count(name)) {
      auto& values = cache[name];
      for (auto& row : Rows(Libmsi(package, {"SELECT " + Quoted(name.substr(dot + 1)) + " FROM " +
                                                 Quoted(name.substr(0, dot))}).out))
        if (!row[0].empty()) values.push_back(row[0]);
    }
    const auto& values = cache[name];
    result += text.substr(at, open - at) + (values.empty() ? "none" : values[std::min(nth, values.size()) - 1]);
    at = close + 1;
  }
  return result + text.substr(at);
}

// Whether every table after FROM (up to WHERE or ORDER) is in the package.
bool NamesOnlyPresentTables(const std::string& statement, const std::set<std::string>& tables) {
  std::string upper = statement;
  for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  const auto from = upper.find(" FROM ");
  if (from == std::string::npos) return true;
  const auto end = std::min(upper.find(" WHERE ", from), upper.find(" ORDER ", from));
  for (auto name : Split(statement.substr(from + 6, end == std::string::npos ? end : end - from - 6), ',')) {
    std::erase_if(name, [](char c) { return c == '`' || c == ' '; });
    if (!name.empty() && name[0] != '_' && !tables.count(name)) return false;
  }
  return true;
}

// The type text of a _Columns type word: letter s/l (text, localizable),
// v (binary), i (integer), upper case when nullable, then the width.
std::string TypeText(int type) {
  const bool text = (type & 0x0800) != 0, binary = text && (type & 0x0400) == 0;
  char letter = binary ? 'v' : !text ? 'i' : (type & 0x0200) != 0 ? 'l' : 's';
  if ((type & 0x1000) != 0) letter = static_cast<char>(letter - 'a' + 'A');
  return letter + std::to_string(binary ? 0 : type & 0xFF);
}

// The C API's descriptions of each table (MSICOLINFO_NAMES and _TYPES,
// MsiDatabaseGetPrimaryKeys) and of the join the tools run, against the
// column definitions libmsi reads from _Columns (rows TABLE, NAME, TYPE).
void CompareColumnInfo(const fs::path& package, const std::vector<std::vector<std::string>>& columns) {
  // By table, or by "Table.Column" for one; TAB-separated as ts::ColumnInfo gives them.
  std::map<std::string, std::string> names, types, keys;
  const auto add = [](std::string& list, const std::string& item) {
    list += (list.empty() ? "" : "\t") + item;
  };
  std::vector<std::pair<std::string, std::string>> views;  // statement, table ("": the join)
  for (const auto& row : columns) {
    const int type = std::atoi(row[2].c_str());
    for (const std::string& at : {row[0], row[0] + "." + row[1]}) {
      add(names[at], row[1]);
      add(types[at], TypeText(type));
    }
    if ((type & 0x2000) != 0) add(keys[row[0]], row[1]);
    if (views.empty() || views.back().second != row[0]) {
      views.emplace_back("SELECT * FROM " + Quoted(row[0]), row[0]);
    }
  }
  if (names.count("File.FileName") && names.count("Component.Directory_")) {
    views.emplace_back("SELECT File.FileName,File.FileSize,Component.Directory_ FROM File, Component "
                       "WHERE File.Component_=Component.Component ORDER BY File.FileName", "");
    for (const char* c : {"File.FileName", "File.FileSize", "Component.Directory_"}) {
      add(names[""], names[c]);
      add(types[""], types[c]);
    }
  }
  ts::Handle db;
  ASSERT_EQ(MsiOpenDatabaseA(package.c_str(), MSIDBOPEN_READONLY_A, db.out()), ERROR_SUCCESS);
  for (const auto& [statement, table] : views) {
    SCOPED_TRACE(package.filename().string() + ": " + statement);
    EXPECT_EQ(ts::ColumnInfo(db, statement, MSICOLINFO_NAMES), names[table]);
    EXPECT_EQ(ts::ColumnInfo(db, statement, MSICOLINFO_TYPES), types[table]);
    if (table.empty()) continue;
    ts::Handle got_keys;
    ASSERT_EQ(MsiDatabaseGetPrimaryKeysA(db, table.c_str(), got_keys.out()), ERROR_SUCCESS);
    EXPECT_EQ(ts::FieldText(got_keys, 0), table);
    std::string got;
    for (UINT i = 1; i <= MsiRecordGetFieldCount(got_keys); ++i) add(got, ts::FieldText(got_keys, i));
    EXPECT_EQ(got, keys[table]);
    EXPECT_EQ(MsiDatabaseIsTablePersistentA(db, table.c_str()), MSICONDITION_TRUE);
  }
  EXPECT_EQ(MsiDatabaseIsTablePersistentA(db, "NoSuchTable"), MSICONDITION_NONE);
}

class Differential : public testing::TestWithParam<fs::path> {};

TEST_P(Differential, SameOutputAsLibmsi) {
  REQUIRE_ORACLE();
  const fs::path package = GetParam();
  ASSERT_TRUE(fs::exists(package)) << package << " is missing";
  const std::string name = package.filename().string();
  std::set<std::pair<std::string, std::string>> known;  // package or "*", statement
  for (const auto& line : DataLines(DIFF_KNOWN_DIFFERENCES)) {
    const auto tab = line.find('\t');
    ASSERT_NE(tab, std::string::npos) << "known_differences.list: " << line;
    known.emplace(line.substr(0, tab), line.substr(tab + 1));
  }

  // Every table whole, each non-binary column sorted and made distinct, then
  // the statement lists; of those naming tables the package lacks, one is
  // enough (the error list keeps all of its own).
  std::vector<std::string> statements;
  const ts::RunResult listed = Libmsi(package, {"SELECT `Name` FROM `_Tables`"});
  if (listed.exit_code == 0) {
    std::set<std::string> tables;
    for (auto& row : Rows(listed.out)) {
      tables.insert(row[0]);
      statements.push_back("SELECT * FROM " + Quoted(row[0]));
    }
    const auto columns =
        Rows(Libmsi(package, {"SELECT `Table`,`Name`,`Type` FROM `_Columns` ORDER BY `Table`,`Number`"}).out);
    CompareColumnInfo(package, columns);
    for (auto& row : columns) {
      const int type = std::atoi(row[2].c_str());
      if ((type & 0x0800) != 0 && (type & 0x0400) == 0) continue;  // binary
      statements.push_back("SELECT * FROM " + Quoted(row[0]) + " ORDER BY " + Quoted(row[1]));
      statements.push_back("SELECT DISTINCT " + Quoted(row[1]) + " FROM " + Quoted(row[0]));
    }
    statements.push_back("SELECT * FROM `_Streams`");
    std::map<std::string, std::vector<std::string>> values;
    bool unknown_table_compared = false;
    std::vector<fs::path> lists;
    for (const auto& entry : fs::directory_iterator(DIFF_STATEMENTS_DIR)) lists.push_back(entry.path());
    std::sort(lists.begin(), lists.end());
    for (const auto& list : lists)
      for (const auto& text : DataLines(list)) {
        if (list.filename() != "errors.sql" && !NamesOnlyPresentTables(text, tables)) {
          if (unknown_table_compared) continue;
          unknown_table_compared = true;
        }
        statements.push_back(Expand(text, package, values));
      }
  } else {
    statements.push_back("SELECT * FROM `_Tables`");  // libmsi cannot open it: nor may msisql
  }

  // Statements run in batches, one process per batch and side. The oracle
  // names the statement that stopped it ("statement N"); equal output and
  // result code up to there prove every statement of the batch up to that
  // one. A batch that differs is run again one statement at a time.
  const auto same = [](const ts::RunResult& a, const ts::RunResult& b) {
    return a.out == b.out && ResultCode(a) == ResultCode(b) && ResultCode(a) >= 0;
  };
  int compared = 0, excused = 0;
  const auto compare_one = [&](const std::string& statement) {
    const ts::RunResult ours = Msisql(package, {statement}), theirs = Libmsi(package, {statement});
    ++compared;
    if (same(ours, theirs)) return;
    if (theirs.exit_code < 0) {  // libmsi died or hung: only msisql's own answer is checkable
      EXPECT_GE(ours.exit_code, 0) << name << ": " << statement << ": msisql " << ours.Describe();
      std::cout << name << ": " << statement << ": libmsi " << theirs.Describe() << ", not compared\n";
      return;
    }
    if (known.count({name, statement}) || known.count({"*", statement})) {
      ++excused;
      return;
    }
    ADD_FAILURE() << name << ": " << statement << "\n  msisql: " << ours.Describe() << " " << ours.err
                  << "\n  libmsi: " << theirs.Describe() << " " << theirs.err << "\n  "
                  << ts::FirstDifference(ours.out, theirs.out);
  };
  constexpr size_t kBatch = 200;
  for (size_t first = 0; first < statements.size();) {
    const size_t count = std::min(kBatch, statements.size() - first);
    const std::vector<std::string> batch(statements.begin() + first, statements.begin() + first + count);
    const ts::RunResult ours = Msisql(package, batch), theirs = Libmsi(package, batch);
    const auto at = theirs.err.rfind(": statement ");
    const size_t stopped = theirs.exit_code == 0 ? count
                           : at == std::string::npos ? 0
                                                     : std::strtoul(theirs.err.c_str() + at + 12, nullptr, 10);
    if (stopped == 0 || stopped > count) {  // the oracle crashed or said nothing
      compare_one(statements[first++]);
      continue;
    }
    if (same(ours, theirs)) compared += static_cast<int>(stopped);
    else
      for (size_t i = 0; i < stopped; ++i) compare_one(statements[first + i]);
    first += stopped;
  }
  std::cout << name << ": " << compared << " statements compared, " << excused << " known differences\n";
}

std::string TestName(const testing::TestParamInfo<fs::path>& info) {
  std::string name = std::to_string(info.index) + "_" + info.param.stem().string();
  for (char& c : name)
    if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
  return name;
}

}  // namespace

GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(Differential);
INSTANTIATE_TEST_SUITE_P(Packages, Differential, testing::ValuesIn(AllPackages()), TestName);
