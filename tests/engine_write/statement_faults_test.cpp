// Changing statements where the engine's result differs from the
// installer's documented behaviour (and from libmsi's).
#include "package_bytes.h"
#include "statement_support.h"

namespace ts {
namespace {

// The SDK's SQL page: UPDATE works on columns that are not primary key
// columns; changing a key is refused.
TEST(StatementFaults, UpdateOfAPrimaryKeyColumnIsRefused) {
  REQUIRE_ORACLE();
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
  REQUIRE_ORACLE();
  CompareWithLibmsi({"create an existing table", {"CREATE TABLE `Property` (`K` CHAR(10) NOT NULL PRIMARY KEY `K`)"}});
}

// A table name too long for a compound file stream name (64 characters
// pack into 32 units, one more than a name may have) must be refused when
// the table is created, or stored; accepting it and then failing every
// later commit loses the transaction's other changes.
TEST(StatementFaults, TableWhoseNameCannotBeStoredIsRefusedAtCreate) {
  TempDir dir;
  fs::path p = dir / "p.msi";
  MakeSmallPackage(p);
  std::string name(64, 'L');
  Handle db;
  ASSERT_EQ(Open(p, MSIDBOPEN_TRANSACT_A, db), ERROR_SUCCESS);
  ASSERT_EQ(Exec(db, "INSERT INTO `Property` (`Property`, `Value`) VALUES ('Other', 'change')"), ERROR_SUCCESS);
  UINT created = Exec(db, "CREATE TABLE `" + name + "` (`K` SHORT NOT NULL PRIMARY KEY `K`)");
  if (created == ERROR_SUCCESS) {
    EXPECT_EQ(Exec(db, "INSERT INTO `" + name + "` (`K`) VALUES (1)"), ERROR_SUCCESS);
  }
  EXPECT_EQ(MsiDatabaseCommit(db), ERROR_SUCCESS) << "created: " << created;
  db.reset();
  EXPECT_EQ(Rows(p, "SELECT `Value` FROM `Property` WHERE `Property` = 'Other'"), "Value\nchange\n");
  if (created == ERROR_SUCCESS) {
    EXPECT_EQ(Rows(p, "SELECT * FROM `" + name + "`"), "K\n1\n");
  }
}

}  // namespace
}  // namespace ts
