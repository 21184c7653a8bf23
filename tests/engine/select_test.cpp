// SELECT as the tools rely on it: the installer's row order, joins,
// DISTINCT, ORDER BY on stored values, conditions and markers.
#include <gtest/gtest.h>

#include "engine_test_util.h"

namespace enginetest {
namespace {

using Strings = std::vector<std::string>;

class Select : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(MakePackage(dir_.File("t.msi"),
                          {
                              "CREATE TABLE Ta (K CHAR(10) NOT NULL, N SHORT, S CHAR(20) "
                              "PRIMARY KEY K)",
                              "CREATE TABLE Tb (W CHAR(10) NOT NULL, V LONG PRIMARY KEY W)",
                              // Ids are given in insertion order: "zulu" gets a lower
                              // id than "alpha", so id order differs from text order.
                              "INSERT INTO Ta (K, N, S) VALUES ('zulu', 3, 'x')",
                              "INSERT INTO Ta (K, N, S) VALUES ('alpha', 1, 'y')",
                              "INSERT INTO Ta (K, N) VALUES ('mike', 2)",
                              "INSERT INTO Tb (W, V) VALUES ('b1', -7)",
                              "INSERT INTO Tb (W, V) VALUES ('b2', 100000)",
                              "INSERT INTO Tb (W) VALUES ('zulu')",
                          }),
              ERROR_SUCCESS);
    ASSERT_EQ(MsiOpenDatabaseA(dir_.File("t.msi").c_str(), MSIDBOPEN_READONLY_A, db_.out()),
              ERROR_SUCCESS);
  }
  ScratchDir dir_;
  Handle db_;
};

TEST_F(Select, RowsComeInKeyOrderOfStringIds) {
  EXPECT_EQ(Rows(db_.get(), "SELECT K FROM Ta"), (Strings{"zulu", "alpha", "mike"}));
  EXPECT_EQ(Rows(db_.get(), "SELECT K, N FROM Ta ORDER BY N"),
            (Strings{"alpha|1", "mike|2", "zulu|3"}));
  // Strings sort by id, not by text; null sorts first.
  EXPECT_EQ(Rows(db_.get(), "SELECT K FROM Ta ORDER BY K"), (Strings{"zulu", "alpha", "mike"}));
  EXPECT_EQ(Rows(db_.get(), "SELECT K, S FROM Ta ORDER BY S"),
            (Strings{"mike|~", "zulu|x", "alpha|y"}));
  EXPECT_EQ(Rows(db_.get(), "SELECT W, V FROM Tb ORDER BY V"),
            (Strings{"zulu|~", "b1|-7", "b2|100000"}));
}

TEST_F(Select, CrossProductsVaryTheFirstTableFastest) {
  EXPECT_EQ(Rows(db_.get(), "SELECT Ta.K, Tb.W FROM Ta, Tb"),
            (Strings{"zulu|zulu", "alpha|zulu", "mike|zulu", "zulu|b1", "alpha|b1", "mike|b1",
                     "zulu|b2", "alpha|b2", "mike|b2"}));
}

TEST_F(Select, JoinsFollowTheLastTableWhateverTheConditionOrder) {
  ASSERT_EQ(Exec(db_.get(), "INSERT INTO Tb (W, V) VALUES ('alpha', 5) TEMPORARY"), ERROR_SUCCESS);
  // Tb keeps its rows in key order, and "zulu" and "alpha" have lower ids
  // than "b1" and "b2".
  const Strings by_tb = Rows(db_.get(), "SELECT Ta.K, Tb.V FROM Ta, Tb WHERE Ta.K = Tb.W");
  EXPECT_EQ(by_tb, Rows(db_.get(), "SELECT Ta.K, Tb.V FROM Ta, Tb WHERE Tb.W = Ta.K"));
  EXPECT_EQ(Rows(db_.get(), "SELECT Tb.W FROM Tb"), (Strings{"zulu", "alpha", "b1", "b2"}));
  EXPECT_EQ(by_tb, (Strings{"zulu|~", "alpha|5"}));
  EXPECT_EQ(Rows(db_.get(), "SELECT Ta.K FROM Tb, Ta WHERE Ta.K = Tb.W AND Ta.N > 0"),
            (Strings{"zulu", "alpha"}));
}

TEST_F(Select, DistinctKeepsTheFirstOfEqualRows) {
  ASSERT_EQ(Exec(db_.get(), "INSERT INTO Ta (K, N, S) VALUES ('kilo', 9, 'x')"), ERROR_SUCCESS);
  EXPECT_EQ(Rows(db_.get(), "SELECT DISTINCT S FROM Ta"), (Strings{"x", "y", "~"}));
  EXPECT_EQ(Rows(db_.get(), "SELECT DISTINCT S FROM Ta ORDER BY S"), (Strings{"~", "x", "y"}));
}

TEST_F(Select, ConditionsOnNumbersTextAndNull) {
  EXPECT_EQ(Rows(db_.get(), "SELECT K FROM Ta WHERE N >= 2 AND N <= 3"), (Strings{"zulu", "mike"}));
  EXPECT_EQ(Rows(db_.get(), "SELECT K FROM Ta WHERE N < 2 OR (N = 3 AND S = 'x')"),
            (Strings{"zulu", "alpha"}));
  EXPECT_EQ(Rows(db_.get(), "SELECT K FROM Ta WHERE S IS NULL"), (Strings{"mike"}));
  EXPECT_EQ(Rows(db_.get(), "SELECT K FROM Ta WHERE S IS NOT NULL"), (Strings{"zulu", "alpha"}));
  EXPECT_EQ(Rows(db_.get(), "SELECT K FROM Ta WHERE S <> 'x'"), (Strings{"alpha", "mike"}));
  EXPECT_EQ(Rows(db_.get(), "SELECT K FROM Ta WHERE S = 'nowhere'"), Strings{});
  // Text has no order in this dialect: such a statement is malformed.
  EXPECT_EQ(Rows(db_.get(), "SELECT K FROM Ta WHERE S < 'z'"), Strings{"error 1615"});
  EXPECT_EQ(Rows(db_.get(), "SELECT K FROM Ta WHERE N = 1 OR K >= ?", {"a"}), Strings{"error 1615"});
  EXPECT_EQ(Rows(db_.get(), "SELECT W FROM Tb WHERE V = -7"), (Strings{"b1"}));
  EXPECT_EQ(Rows(db_.get(), "SELECT W FROM Tb WHERE V IS NULL"), (Strings{"zulu"}));
}

TEST_F(Select, MarkersTakeTheirValuesFromTheRecord) {
  EXPECT_EQ(Rows(db_.get(), "SELECT N FROM Ta WHERE K = ?", {"alpha"}), (Strings{"1"}));
  // A quote in a value is just a character, never the end of a text.
  EXPECT_EQ(Rows(db_.get(), "SELECT N FROM Ta WHERE K = ?", {"x' OR K <> '"}), Strings{});
  EXPECT_EQ(Rows(db_.get(), "SELECT K FROM Ta WHERE N = ?", {"2"}), Strings{});
  Handle view, rec(MsiCreateRecord(1));
  MsiRecordSetInteger(rec.get(), 1, 2);
  ASSERT_EQ(MsiDatabaseOpenViewA(db_.get(), "SELECT K FROM Ta WHERE N = ?", view.out()),
            ERROR_SUCCESS);
  ASSERT_EQ(MsiViewExecute(view.get(), rec.get()), ERROR_SUCCESS);
  Handle row;
  ASSERT_EQ(MsiViewFetch(view.get(), row.out()), ERROR_SUCCESS);
  char buf[16];
  DWORD len = sizeof buf;
  ASSERT_EQ(MsiRecordGetStringA(row.get(), 1, buf, &len), ERROR_SUCCESS);
  EXPECT_STREQ(buf, "mike");
}

TEST_F(Select, UnknownNamesFailWhenTheViewOpens) {
  Handle view;
  EXPECT_EQ(MsiDatabaseOpenViewA(db_.get(), "SELECT * FROM Nope", view.out()), 1615u);
  EXPECT_EQ(MsiDatabaseOpenViewA(db_.get(), "SELECT Nope FROM Ta", view.out()), 1615u);
  EXPECT_EQ(MsiDatabaseOpenViewA(db_.get(), "SELECT Tb.K FROM Ta, Tb", view.out()), 1615u);
  EXPECT_EQ(MsiDatabaseOpenViewA(db_.get(), "SELECT K FROM Ta ORDER BY Nope", view.out()), 1615u);
  EXPECT_EQ(MsiDatabaseOpenViewA(db_.get(), "SELECT K FROM Ta WHERE Nope = 1", view.out()), 1615u);
  // Identifiers are case-sensitive.
  EXPECT_EQ(MsiDatabaseOpenViewA(db_.get(), "SELECT k FROM Ta", view.out()), 1615u);
  EXPECT_EQ(view.get(), 0u);
}

TEST_F(Select, SystemTablesDescribeTheDatabase) {
  EXPECT_EQ(Rows(db_.get(), "SELECT Name FROM _Tables"), (Strings{"Ta", "Tb"}));
  EXPECT_EQ(Rows(db_.get(), "SELECT Name, Type FROM _Columns WHERE `Table` = 'Tb'"),
            (Strings{"W|11530", "V|4356"}));
  EXPECT_EQ(Rows(db_.get(), "SELECT Name FROM _Streams"), (Strings{"\005SummaryInformation"}));
}

}  // namespace
}  // namespace enginetest
