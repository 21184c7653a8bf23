// SELECT where libmsi cannot be asked: temporary rows among the stored ones,
// markers, conditions refused when the view opens. (Row order, joins,
// DISTINCT, ORDER BY and conditions on stored rows: tests/differential's
// dialect fixture; unknown names: its errors.sql.)
#include "engine_util.h"

namespace enginetest {
namespace {

TEST(Select, TemporaryRowsMarkersAndRefusedConditions) {
  ts::TempDir dir;
  ASSERT_EQ(MakePackage(dir / "t.msi",
                        {"CREATE TABLE Ta (K CHAR(10) NOT NULL, N SHORT, S CHAR(20) PRIMARY KEY K)",
                         "CREATE TABLE Tb (W CHAR(10) NOT NULL, V LONG PRIMARY KEY W)",
                         // Ids follow insertion: "zulu" gets a lower id than
                         // "alpha", so id order differs from text order.
                         "INSERT INTO Ta (K, N, S) VALUES ('zulu', 3, 'x')",
                         "INSERT INTO Ta (K, N, S) VALUES ('alpha', 1, 'y')",
                         "INSERT INTO Ta (K, N) VALUES ('mike', 2)",
                         "INSERT INTO Tb (W, V) VALUES ('b1', -7)",
                         "INSERT INTO Tb (W, V) VALUES ('b2', 100000)",
                         "INSERT INTO Tb (W) VALUES ('zulu')"}),
            ERROR_SUCCESS);
  Handle db;
  ASSERT_EQ(ts::Open(dir / "t.msi", MSIDBOPEN_READONLY_A, db), ERROR_SUCCESS);
  ASSERT_EQ(Exec(db, "INSERT INTO Tb (W, V) VALUES ('alpha', 5) TEMPORARY"), ERROR_SUCCESS);
  ASSERT_EQ(Exec(db, "INSERT INTO Ta (K, N, S) VALUES ('kilo', 9, 'x') TEMPORARY"), ERROR_SUCCESS);
  const struct {
    const char* sql;
    Strings rows;
    std::string marker = "";
  } cases[] = {
      // Rows in key order of string ids; ORDER BY on stored values, null first.
      {"SELECT K FROM Ta", {"zulu", "alpha", "mike", "kilo"}},
      {"SELECT K, N FROM Ta ORDER BY N", {"alpha|1", "mike|2", "zulu|3", "kilo|9"}},
      {"SELECT K, S FROM Ta ORDER BY S", {"mike|~", "zulu|x", "kilo|x", "alpha|y"}},
      {"SELECT W, V FROM Tb ORDER BY V", {"zulu|~", "b1|-7", "alpha|5", "b2|100000"}},
      {"SELECT Ta.K, Tb.V FROM Ta, Tb WHERE Tb.W = Ta.K", {"zulu|~", "alpha|5"}},
      {"SELECT DISTINCT S FROM Ta", {"x", "y", "~"}},
      // Text has no order.
      {"SELECT K FROM Ta WHERE S < 'z'", {"error 1615"}},
      {"SELECT K FROM Ta WHERE N = 1 OR K >= ?", {"error 1615"}, "a"},
      // Markers take their values from the record; a quote is a character.
      {"SELECT N FROM Ta WHERE K = ?", {"1"}, "alpha"},
      {"SELECT N FROM Ta WHERE K = ?", {}, "x' OR K <> '"},
      {"SELECT K FROM Ta WHERE N = ?", {}, "2"},
      {"SELECT K FROM Ta WHERE N = ?", {"mike"}, "#2"},
      // System tables describe the database.
      {"SELECT Name FROM _Tables", {"Ta", "Tb"}},
      {"SELECT Name, Type FROM _Columns WHERE `Table` = 'Tb'", {"W|11530", "V|4356"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.sql + (" with " + c.marker));
    Handle params = c.marker.empty() ? Handle() : ts::MakeRecord({c.marker});
    EXPECT_EQ(Rows(db, c.sql, params), c.rows);
    if (c.rows == Strings{"error 1615"} && c.marker.empty()) {
      Handle view;
      EXPECT_EQ(MsiDatabaseOpenViewA(db, c.sql, view.out()), 1615u);
      EXPECT_EQ(view.get(), 0u);
    }
  }
}

}  // namespace
}  // namespace enginetest
