#include <gtest/gtest.h>

#include "sql/parser.h"

namespace msi::sql {
namespace {

TEST(SqlParser, AcceptsEveryStatementKind) {
  const char* good[] = {
      "SELECT * FROM File",
      "select distinct `File`.`File`, Component.Directory_ from File, Component where "
      "File.Component_=Component.Component order by File.File",
      "SELECT a FROM t WHERE (a = 1 OR b <> 'x') AND c IS NULL AND d IS NOT NULL",
      "SELECT a FROM t WHERE a >= -5 AND a <= 7 AND a < ? AND a > ?",
      "INSERT INTO t (a, b) VALUES (1, 'x') TEMPORARY",
      "INSERT INTO `t` (`a`) VALUES (?)",
      "UPDATE t SET a = 1, b = ? WHERE c = 'k'",
      "DELETE FROM t WHERE a = ?",
      "CREATE TABLE t (a CHAR(72) NOT NULL, b LONGCHAR LOCALIZABLE, c SHORT, d LONG, "
      "e OBJECT, f INT TEMPORARY PRIMARY KEY a, c) HOLD",
      "DROP TABLE t",
      "ALTER TABLE t ADD g INTEGER HOLD",
      "ALTER TABLE t HOLD",
      "ALTER TABLE t FREE",
  };
  for (const char* sql : good) {
    auto p = Parse(sql);
    EXPECT_TRUE(p.ok()) << sql << ": " << p.status().message();
  }
}

TEST(SqlParser, RejectsMalformedStatementsWithBadQuerySyntax) {
  const char* bad[] = {
      "", "SELECT", "SELECT * FROM", "SELECT * FROM t WHERE", "SELECT a b FROM t",
      "SELECT * FROM t WHERE a = 'unterminated", "SELECT * FROM t WHERE 5 = a",
      "SELECT * FROM t ORDER a", "SELECT * FROM t extra", "INSERT INTO t (a) VALUES (1, 2)",
      "INSERT INTO t VALUES (1)", "UPDATE t SET a = b", "DELETE t", "CREATE TABLE t (a CHAR)",
      "CREATE TABLE t (a BLOB PRIMARY KEY a)", "DROP t", "ALTER TABLE t", "SELECT * FROM t;",
      "SELECT Key FROM Registry", "SELECT * FROM t WHERE a = 99999999999",
      "SELECT * FROM `unterminated",
  };
  for (const char* sql : bad) {
    auto p = Parse(sql);
    EXPECT_EQ(p.ok() ? 0 : p.status().code(), 1615u) << sql;
  }
}

TEST(SqlParser, KeywordsIgnoreCaseIdentifiersKeepIt) {
  auto p = Parse("sElEcT `Key`, Value FrOm Registry wHeRe Root = 2");
  ASSERT_TRUE(p.ok());
  const auto& s = std::get<SelectStmt>(p->statement);
  ASSERT_EQ(s.columns.size(), 2u);
  EXPECT_EQ(s.columns[0].column, "Key");
  EXPECT_EQ(s.columns[1].column, "Value");
  EXPECT_EQ(s.tables[0], "Registry");
}

TEST(SqlParser, StringsHaveNoEscapesAndMarkersAreCountedInOrder) {
  auto p = Parse("UPDATE t SET a = ?, b = 'it''s' WHERE c = ?");
  EXPECT_FALSE(p.ok());  // '' is no escape: the text ends at the second quote
  p = Parse("UPDATE t SET a = ?, b = '%s \\ x' WHERE c = ?");
  ASSERT_TRUE(p.ok());
  EXPECT_EQ(p->param_count, 2);
  const auto& u = std::get<UpdateStmt>(p->statement);
  EXPECT_EQ(u.assignments[1].second.text, "%s \\ x");
  EXPECT_EQ(u.assignments[0].second.param, 0);
  EXPECT_EQ(u.where->rhs.param, 1);
}

}  // namespace
}  // namespace msi::sql
