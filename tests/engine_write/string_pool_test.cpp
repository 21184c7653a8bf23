// The string pool across commits: ids of strings that stay keep their
// number, ids freed by a commit are given to later new strings.
#include "package_bytes.h"
#include "statement_support.h"

namespace ts {
namespace {

// The string pool after many changes: ids of strings that stay keep their
// number (ORDER BY depends on it), freed ids are reused, counts are exact.
TEST(Statements, StringIdsOfRemainingStringsStayAndCountsAreExact) {
  TempDir dir;
  fs::path p = dir / "p.msi";
  MakeSmallPackage(p);
  StoredPackage before;
  ASSERT_EQ(DecodePackage(ReadBytes(p), before), "");
  std::string order_before = Rows(p, "SELECT `Property` FROM `Property` ORDER BY `Value`");
  {
    Handle db;
    ASSERT_EQ(Open(p, MSIDBOPEN_TRANSACT_A, db), ERROR_SUCCESS);
    ASSERT_EQ(Exec(db, "DELETE FROM `Item` WHERE `Id` = 3"), ERROR_SUCCESS);  // frees 'third'
    ASSERT_EQ(MsiDatabaseCommit(db), ERROR_SUCCESS);
  }
  {
    Handle db;
    ASSERT_EQ(Open(p, MSIDBOPEN_TRANSACT_A, db), ERROR_SUCCESS);
    ASSERT_EQ(Exec(db, "INSERT INTO `Property` (`Property`, `Value`) VALUES ('Zeta', 'brand new text')"),
              ERROR_SUCCESS);
    ASSERT_EQ(MsiDatabaseCommit(db), ERROR_SUCCESS);
  }
  StoredPackage after;
  ASSERT_EQ(DecodePackage(ReadBytes(p), after), "");
  auto faults = WriterRuleFaults(after);
  EXPECT_TRUE(faults.empty()) << faults.front();
  for (size_t id = 1; id < before.strings.size(); ++id) {
    if (!before.live[id] || before.strings[id] == "third") continue;
    ASSERT_LT(id, after.strings.size());
    EXPECT_EQ(after.strings[id], before.strings[id]) << "string id " << id << " changed its text";
  }
  EXPECT_LE(after.strings.size(), before.strings.size() + 1) << "freed ids were not reused";
  EXPECT_EQ(Rows(p, "SELECT `Property` FROM `Property` WHERE `Property` <> 'Zeta' ORDER BY `Value`"), order_before);
}

}  // namespace
}  // namespace ts
