// Changing statements where the engine's result differs from the
// installer's documented behaviour (and from libmsi's).
#include "package_bytes.h"
#include "statement_support.h"

namespace ew {
namespace {

// The SDK's SQL page: UPDATE works on columns that are not primary key
// columns; changing a key is refused.
TEST(StatementFaults, UpdateOfAPrimaryKeyColumnIsRefused) {
  EW_REQUIRE_ORACLE();
  CompareWithLibmsi({"update a key column", {"UPDATE `Property` SET `Property` = 'Omega' WHERE `Property` = 'Gamma'"}});
  TempDir dir;
  fs::path p = dir / "p.msi";
  MakeSmallPackage(p);
  Handle db;
  ASSERT_EQ(Open(p, MSIDBOPEN_TRANSACT_A, db), ERROR_SUCCESS);
  EXPECT_NE(Exec(db, "UPDATE `Property` SET `Property` = 'Omega' WHERE `Property` = 'Gamma'"), ERROR_SUCCESS);
  EXPECT_EQ(Select(db, "SELECT `Property` FROM `Property`"), "Property\nAlpha\nBeta\nGamma\n");
}

// Creating a table that exists is a bad query (1615), as in libmsi.
TEST(StatementFaults, CreatingAnExistingTableIsABadQuery) {
  EW_REQUIRE_ORACLE();
  CompareWithLibmsi({"create an existing table", {"CREATE TABLE `Property` (`K` CHAR(10) NOT NULL PRIMARY KEY `K`)"}});
}

}  // namespace
}  // namespace ew
