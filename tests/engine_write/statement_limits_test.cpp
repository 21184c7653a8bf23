// No statement text crashes the engine: deep nesting and very long
// statements give result codes, checked against libmsi where libmsi can
// be given the statement (a command-line argument holds at most 128 KiB).
#include <cstdlib>

#include "statement_support.h"

namespace ts {
namespace {

std::string Repeat(const std::string& s, size_t n) {
  std::string out;
  out.reserve(s.size() * n);
  for (size_t i = 0; i < n; ++i) out += s;
  return out;
}

std::string Nested(const std::string& head, size_t depth) {
  return head + Repeat("(", depth) + "`Property` = 'Beta'" + Repeat(")", depth);
}

std::string Chain(const std::string& op, size_t terms) {
  std::string out = "SELECT `Property` FROM `Property` WHERE `Property` = 'Beta'";
  for (size_t i = 1; i < terms; ++i) out += " " + op + " `Property` = 'Beta'";
  return out;
}

struct LimitCase {
  const char* name;
  std::string sql;
  UINT engine;          // the engine's answer
  bool libmsi_differs;  // libmsi answers otherwise (known_differences.md)
};

std::vector<LimitCase> Cases() {
  const std::string select = "SELECT `Property` FROM `Property` WHERE ";
  auto padded = [](size_t size) {
    const std::string s = "SELECT `Property` FROM `Property`";
    return s + std::string(size - s.size(), ' ');
  };
  return {
      {"WHERE nested 50,000 parentheses deep (100 KB)", Nested(select, 50000),
       ERROR_BAD_QUERY_SYNTAX, false},
      {"UPDATE ... WHERE nested 50,000 deep",
       Nested("UPDATE `Property` SET `Value` = 'x' WHERE ", 50000), ERROR_BAD_QUERY_SYNTAX, false},
      {"50,000 parentheses never closed", select + Repeat("(", 50000), ERROR_BAD_QUERY_SYNTAX,
       false},
      {"nested 200 deep, the limit", Nested(select, 200), ERROR_SUCCESS, false},
      {"nested 201 deep", Nested(select, 201), ERROR_BAD_QUERY_SYNTAX, true},
      {"OR chain of 4,000 terms (104 KB)", Chain("OR", 4000), ERROR_SUCCESS, false},
      {"OR chain of 35,000 terms (900 KB)", Chain("OR", 35000), ERROR_SUCCESS, false},
      {"OR chain of 100,000 terms (2.6 MB)", Chain("OR", 100000), ERROR_BAD_QUERY_SYNTAX, false},
      {"a string constant of 1,000,000 bytes",
       select + "`Value` = '" + std::string(1000000, 'x') + "'", ERROR_SUCCESS, false},
      {"1 MiB of text, the limit", padded(1 << 20), ERROR_SUCCESS, false},
      {"1 MiB and one byte of text", padded((1 << 20) + 1), ERROR_BAD_QUERY_SYNTAX, false},
      {"10 MB of commas", "SELECT " + Repeat("`Property`,", 1000000) + " FROM `Property`",
       ERROR_BAD_QUERY_SYNTAX, false},
  };
}

// The first failure of opening, executing and fetching every row.
UINT EngineAnswer(MSIHANDLE db, const std::string& sql) {
  Handle view, row;
  UINT r = MsiDatabaseOpenViewA(db, sql.c_str(), view.out());
  if (r == ERROR_SUCCESS) r = MsiViewExecute(view, 0);
  while (r == ERROR_SUCCESS) r = MsiViewFetch(view, row.out());
  return r == ERROR_NO_MORE_ITEMS ? ERROR_SUCCESS : r;
}

UINT LibmsiAnswer(const fs::path& package, const std::string& sql) {
  RunResult r = Oracle({"select", package.string(), sql});
  if (r.exit_code == 0) return ERROR_SUCCESS;
  const size_t at = r.err.find("error ");
  if (r.exit_code == 1 && at != std::string::npos) {
    return static_cast<UINT>(std::strtoul(r.err.c_str() + at + 6, nullptr, 10));
  }
  return 0xFFFFFFFF;  // crashed or no code
}

TEST(StatementLimits, DeepOrLongStatementsGiveResultCodes) {
  REQUIRE_ORACLE();
  TempDir dir;
  const fs::path package = SmallPackage(dir);
  const std::string property_rows = Rows(package, "SELECT * FROM `Property`");
  Handle db;
  ASSERT_EQ(Open(package, MSIDBOPEN_READONLY_A, db), ERROR_SUCCESS);
  for (const LimitCase& c : Cases()) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(EngineAnswer(db, c.sql), c.engine);
    // The database goes on working.
    EXPECT_EQ(Select(db, "SELECT * FROM `Property`"), property_rows);
    if (c.sql.size() > 120000) continue;  // more than a command line holds
    const UINT libmsi = LibmsiAnswer(package, c.sql);
    if (c.libmsi_differs) {
      EXPECT_NE(libmsi, c.engine) << "libmsi now agrees: update known_differences.md";
    } else {
      EXPECT_EQ(libmsi, c.engine) << "libmsi answers otherwise";
    }
  }
}

}  // namespace
}  // namespace ts
