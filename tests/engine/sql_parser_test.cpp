// Statements the parser must refuse with ERROR_BAD_QUERY_SYNTAX. Unknown
// names and most malformed statements are compared with libmsi in
// tests/differential (errors.sql); quoting in tests/engine_write's dialect
// cases. These are the shapes neither covers.
#include <gtest/gtest.h>

#include "sql/parser.h"

namespace msi::sql {
namespace {

TEST(SqlParser, RejectsMalformedStatementsWithBadQuerySyntax) {
  const char* bad[] = {
      "", "SELECT", "SELECT a b FROM t", "SELECT * FROM t WHERE 5 = a", "SELECT * FROM t extra",
      "INSERT INTO t (a) VALUES (1, 2)", "UPDATE t SET a = b", "DELETE t", "CREATE TABLE t (a CHAR)",
      "CREATE TABLE t (a BLOB PRIMARY KEY a)", "DROP t", "SELECT Key FROM Registry",
      "SELECT * FROM t WHERE a = 99999999999",
  };
  for (const char* sql : bad) {
    auto p = Parse(sql);
    EXPECT_EQ(p.ok() ? 0 : p.status().code(), 1615u) << sql;
  }
}

}  // namespace
}  // namespace msi::sql
