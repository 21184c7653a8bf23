// Runs the same statements through msisql and through libmsi (libmsi_oracle)
// on every corpus package and every fixture package, and requires identical
// standard output and identical result codes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "known_differences.h"
#include "output_compare.h"
#include "statement_templates.h"
#include "tool_run.h"

namespace fs = std::filesystem;

namespace {

// Built-in paths come from the build; the environment may override them
// (for example to point MSI_DIFF_EXTRA_DIRS at further real packages).
struct Default {
  const char* name;
  const char* value;
};
constexpr Default kDefaults[] = {
    {"MSISQL", DIFF_MSISQL},
    {"LIBMSI_SQL", DIFF_LIBMSI_SQL},
    {"MSI_CORPUS_DIR", DIFF_CORPUS_DIR},
    {"MSI_FIXTURE_PACKAGES", DIFF_FIXTURE_PACKAGES},
    {"MSI_FIXTURE_DIRS", DIFF_FIXTURE_DIRS},
    {"MSI_DIFF_STATEMENTS", DIFF_STATEMENTS_DIR},
    {"MSI_KNOWN_DIFFERENCES", DIFF_KNOWN_DIFFERENCES},
};

std::string setting(const char* name) {
  if (const char* value = std::getenv(name)) return value;
  for (const auto& d : kDefaults)
    if (std::string(d.name) == name) return d.value;
  return "";
}

bool in_ci() { return setting("CI") == "true"; }

bool is_compound_file(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  char magic[8] = {};
  in.read(magic, sizeof magic);
  return in && std::string(magic, 8) == std::string("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8);
}

// Every compound file in a folder, whatever its extension, except hidden ones.
std::vector<std::string> packages_in(const std::string& folder) {
  std::vector<std::string> found;
  if (folder.empty() || !fs::is_directory(folder)) return found;
  for (const auto& entry : fs::directory_iterator(folder))
    // hidden files are other programs' work in progress (e.g. temporary saves)
    if (entry.is_regular_file() && entry.path().filename().string()[0] != '.' &&
        is_compound_file(entry.path()))
      found.push_back(entry.path().string());
  std::sort(found.begin(), found.end());
  return found;
}

std::vector<std::string> split(const std::string& text, char separator) {
  std::vector<std::string> parts;
  std::string part;
  std::istringstream in(text);
  while (std::getline(in, part, separator))
    if (!part.empty()) parts.push_back(part);
  return parts;
}

std::vector<std::string> all_packages() {
  std::vector<std::string> packages = packages_in(setting("MSI_CORPUS_DIR"));
  for (const auto& p : split(setting("MSI_FIXTURE_PACKAGES"), ':')) packages.push_back(p);
  // The other parts' test packages, where the build made them, and further
  // real packages for runs outside the checked-in corpus.
  for (const auto& variable : {"MSI_FIXTURE_DIRS", "MSI_DIFF_EXTRA_DIRS"})
    for (const auto& dir : split(setting(variable), ':'))
      for (const auto& p : packages_in(dir)) packages.push_back(p);
  return packages;
}

// Reverses msisql's escaping of \ TAB LF CR.
std::string unescape(const std::string& field) {
  std::string text;
  for (size_t i = 0; i < field.size(); ++i) {
    if (field[i] != '\\' || i + 1 == field.size()) {
      text += field[i];
      continue;
    }
    char c = field[++i];
    text += c == 't' ? '\t' : c == 'n' ? '\n' : c == 'r' ? '\r' : c;
  }
  return text;
}

// Rows of one SELECT's output, header dropped, fields unescaped.
std::vector<std::vector<std::string>> rows_of(const std::string& output) {
  std::vector<std::vector<std::string>> rows;
  auto lines = split(output, '\n');
  for (size_t i = 1; i < lines.size(); ++i) {
    std::vector<std::string> fields;
    size_t at = 0;
    for (;;) {
      size_t tab = lines[i].find('\t', at);
      fields.push_back(unescape(lines[i].substr(at, tab - at)));
      if (tab == std::string::npos) break;
      at = tab + 1;
    }
    rows.push_back(fields);
  }
  return rows;
}

// The last non-empty line: libmsi's warnings come before our error line.
std::string last_line(const std::string& text) {
  auto lines = split(text, '\n');
  return lines.empty() ? std::string() : lines.back();
}

// Which statement (1 for the first) stopped the oracle; 0 when unknown.
size_t failing_statement(const ToolRun& run) {
  auto at = run.err.rfind(": statement ");
  return at == std::string::npos ? 0 : std::strtoul(run.err.c_str() + at + 12, nullptr, 10);
}

bool same_result(const ToolRun& ours, const ToolRun& theirs) {
  return ours.out == theirs.out && ours.result_code() == theirs.result_code() &&
         !ours.timed_out && !theirs.timed_out && ours.exit_code >= 0 && theirs.exit_code >= 0;
}

std::string quoted(const std::string& identifier) { return "`" + identifier + "`"; }

// What the oracle says about a package: its tables, their columns, values.
class PackageFacts {
 public:
  PackageFacts(std::string oracle, std::string package)
      : oracle_(std::move(oracle)), package_(std::move(package)) {}

  // The names in _Tables; false when libmsi cannot list them.
  bool read_tables(std::vector<std::string>& tables) {
    auto run = run_tool(oracle_, {"select", package_, "SELECT `Name` FROM `_Tables`"});
    if (run.exit_code != 0) return false;
    for (auto& row : rows_of(run.out)) tables.push_back(row.at(0));
    return true;
  }

  struct Column {
    std::string name;
    int type = 0;
  };
  std::map<std::string, std::vector<Column>> columns() {
    std::map<std::string, std::vector<Column>> result;
    auto run = run_tool(oracle_, {"select", package_, "SELECT `Table`,`Number`,`Name`,`Type` FROM `_Columns`"
                                            " ORDER BY `Table`,`Number`"});
    for (auto& row : rows_of(run.out))
      if (row.size() == 4) result[row[0]].push_back({row[2], std::atoi(row[3].c_str())});
    return result;
  }

  std::vector<std::string> values(const std::string& table, const std::string& column) {
    auto key = table + "." + column;
    auto cached = values_.find(key);
    if (cached != values_.end()) return cached->second;
    std::vector<std::string> found;
    auto run = run_tool(oracle_, {"select", package_, "SELECT " + quoted(column) + " FROM " + quoted(table)});
    if (run.exit_code == 0)
      for (auto& row : rows_of(run.out))
        if (!row.at(0).empty()) found.push_back(row[0]);
    return values_[key] = found;
  }

 private:
  std::string oracle_;
  std::string package_;
  std::map<std::string, std::vector<std::string>> values_;
};

bool is_binary_column(int type) { return (type & 0x0800) != 0 && (type & 0x0400) == 0; }

// Statements derived from the package itself: every table whole, and each
// non-binary column sorted and made distinct.
std::vector<std::string> table_statements(PackageFacts& facts,
                                          const std::vector<std::string>& tables) {
  std::vector<std::string> statements;
  auto columns = facts.columns();
  for (const auto& table : tables) {
    statements.push_back("SELECT * FROM " + quoted(table));
    for (const auto& column : columns[table]) {
      if (is_binary_column(column.type)) continue;
      statements.push_back("SELECT * FROM " + quoted(table) + " ORDER BY " + quoted(column.name));
      statements.push_back("SELECT DISTINCT " + quoted(column.name) + " FROM " + quoted(table));
    }
  }
  statements.push_back("SELECT * FROM `_Streams`");
  return statements;
}

// Whether every table after FROM (up to WHERE or ORDER) is in the package
// or is one of the system tables.
bool names_only_present_tables(const std::string& statement, const std::vector<std::string>& tables) {
  std::string upper = statement;
  for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  auto from = upper.find(" FROM ");
  if (from == std::string::npos) return true;
  auto end = std::min(upper.find(" WHERE ", from), upper.find(" ORDER ", from));
  std::string list = statement.substr(from + 6, end == std::string::npos ? std::string::npos : end - from - 6);
  for (auto name : split(list, ',')) {
    std::string bare;
    for (char c : name)
      if (c != '`' && c != ' ') bare += c;
    if (bare.empty() || bare == "_Tables" || bare == "_Columns" || bare == "_Streams" || bare == "_Storages")
      continue;
    if (std::find(tables.begin(), tables.end(), bare) == tables.end()) return false;
  }
  return true;
}

struct Settings {
  std::string msisql = setting("MSISQL");
  std::string oracle = setting("LIBMSI_SQL");
  std::string statements = setting("MSI_DIFF_STATEMENTS");
  std::string known = setting("MSI_KNOWN_DIFFERENCES");
};

class Differential : public testing::TestWithParam<std::string> {};

TEST(DifferentialCorpus, IsPresent) {
  auto dir = setting("MSI_CORPUS_DIR");
  if (packages_in(dir).empty()) {
    if (in_ci()) FAIL() << "CI run without the package corpus in " << dir;
    GTEST_SKIP() << "no package corpus in '" << dir
                 << "': only the project's own packages are compared";
  }
  SUCCEED();
}

TEST_P(Differential, SameOutputAsLibmsi) {
  Settings settings;
  ASSERT_FALSE(settings.msisql.empty() || settings.oracle.empty()) << "MSISQL and LIBMSI_SQL unset";
  const std::string package = GetParam();
  ASSERT_TRUE(fs::exists(package)) << package << " is missing";
  const std::string name = fs::path(package).filename().string();
  auto known = KnownDifferences::load(settings.known);
  auto templates = load_statement_templates(settings.statements);

  PackageFacts facts(settings.oracle, package);
  std::vector<std::string> tables;
  std::vector<std::string> statements;
  int absent = 0;
  if (facts.read_tables(tables)) {
    statements = table_statements(facts, tables);
    // A statement on tables the package lacks only repeats the unknown-table
    // case; one of them is enough (the error lists keep theirs all).
    bool unknown_table_compared = false;
    for (const auto& t : templates) {
      if (t.origin.rfind("errors.sql", 0) != 0 && !names_only_present_tables(t.text, tables)) {
        if (unknown_table_compared) {
          ++absent;
          continue;
        }
        unknown_table_compared = true;
      }
      statements.push_back(expand_placeholders(
          t.text, [&](const std::string& table, const std::string& column) {
            return facts.values(table, column);
          }));
    }
  } else {
    // libmsi cannot open it: then msisql must fail to open it too.
    statements.push_back("SELECT * FROM `_Tables`");
  }

  // Statements run in batches, one process per batch and side. The oracle
  // names the statement that stopped it; equal output and equal result code
  // up to there prove every statement of the batch up to that one. A batch
  // that differs is run again one statement at a time, for the report.
  int compared = 0, failed = 0, excused = 0;
  auto compare_one = [&](const std::string& statement) {
    auto ours = run_tool(settings.msisql, {package, statement});
    auto theirs = run_tool(settings.oracle, {"select", package, statement});
    ++compared;
    if (same_result(ours, theirs)) return;
    if (known.covers(name, statement)) {
      ++excused;
      return;
    }
    ++failed;
    std::string where = first_difference(ours.out, theirs.out, "msisql", "libmsi");
    ADD_FAILURE() << name << ": " << statement << "\n  msisql: " << ours.summary()
                  << (ours.err.empty() ? "" : " | " + last_line(ours.err))
                  << "\n  libmsi: " << theirs.summary()
                  << (theirs.err.empty() ? "" : " | " + last_line(theirs.err)) << "\n  "
                  << (where.empty() ? "same standard output" : where);
  };
  constexpr size_t kBatch = 200;
  for (size_t first = 0; first < statements.size();) {
    size_t count = std::min(kBatch, statements.size() - first);
    std::vector<std::string> args{package};
    for (size_t i = 0; i < count; ++i) args.push_back(statements[first + i]);
    auto ours = run_tool(settings.msisql, args);
    std::vector<std::string> oracle_args{"select"};
    oracle_args.insert(oracle_args.end(), args.begin(), args.end());
    auto theirs = run_tool(settings.oracle, oracle_args);
    size_t stopped = theirs.exit_code == 0 ? count : failing_statement(theirs);
    if (stopped != 0 && stopped <= count) {
      size_t covered = std::min(count, stopped);
      if (same_result(ours, theirs)) {
        compared += static_cast<int>(covered);
      } else {
        for (size_t i = 0; i < covered; ++i) compare_one(statements[first + i]);
      }
      first += covered;
    } else {
      compare_one(statements[first]);  // the oracle crashed or said nothing
      ++first;
    }
  }
  std::cout << name << ": " << compared << " statements compared, " << failed << " differ, "
            << excused << " known differences; " << absent
            << " left out for naming tables the package lacks\n";
}

std::string test_name(const testing::TestParamInfo<std::string>& info) {
  std::string name = std::to_string(info.index) + "_" + fs::path(info.param).stem().string();
  for (char& c : name)
    if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
  return name;
}

}  // namespace

GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(Differential);
INSTANTIATE_TEST_SUITE_P(Packages, Differential, testing::ValuesIn(all_packages()), test_name);
