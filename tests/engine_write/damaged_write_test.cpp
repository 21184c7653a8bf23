// Damaged packages opened for writing and committed to a new path: no
// crash, and whatever the commit writes is a sound package that reads back.
#include "package_bytes.h"
#include "package_mutator.h"
#include "support.h"

#include <algorithm>

namespace ts {
namespace {

void CheckDamagedCopies(const fs::path& original, int count, uint64_t seed_base) {
  PackageMutator mutator(ReadBytes(original));
  TempDir dir;
  fs::path damaged = dir / "damaged.msi";
  fs::path out = dir / "out.msi";
  int committed = 0;
  for (int i = 0; i < count; ++i) {
    std::string description;
    ::Bytes bytes = mutator.mutate(seed_base + static_cast<uint64_t>(i), description);
    WriteBytes(damaged, Bytes(bytes.begin(), bytes.end()));
    fs::remove(out);
    SCOPED_TRACE("case " + std::to_string(i) + ": " + description);
    Handle db;
    if (OpenTo(damaged, out, db) != ERROR_SUCCESS) continue;
    // A change in a table that may or may not have survived the damage.
    Exec(db, "INSERT INTO `Property` (`Property`, `Value`) VALUES ('DamagedCase', 'x')");
    Exec(db, "CREATE TABLE `Mark` (`K` SHORT NOT NULL PRIMARY KEY `K`)");
    std::vector<std::string> tables = TableNames(db);
    UINT r = MsiDatabaseCommit(db);
    db.reset();
    if (r != ERROR_SUCCESS) {
      EXPECT_FALSE(fs::exists(out)) << "a failed commit left an output";
      continue;
    }
    ++committed;
    StoredPackage stored;
    std::string fault = DecodePackage(ReadBytes(out), stored);
    ASSERT_EQ(fault, "") << "the written package is not sound";
    // The writer rules are not checked here: damaged keys and orphan
    // table streams are carried over as they came.
    Handle back;
    ASSERT_EQ(Open(out, MSIDBOPEN_READONLY_A, back), ERROR_SUCCESS);
    for (const auto& t : TableNames(back)) {
      // Damaged names (control bytes, backquotes) cannot be written in SQL.
      if (std::any_of(t.begin(), t.end(), [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == '`'; })) {
        continue;
      }
      std::string rows = Select(back, "SELECT * FROM `" + t + "`");
      EXPECT_NE(rows.rfind("error", 0), 0u) << "table " << t << " does not read back: " << rows;
    }
  }
  ::testing::Test::RecordProperty("committed", committed);
}

TEST(DamagedPackages, CommitToNewPathOfTheSampleAndACorpusPackage) {
  if (!SamplePackage().empty() && fs::exists(SamplePackage())) CheckDamagedCopies(SamplePackage(), 200, 5000);
  REQUIRE_CORPUS();
  fs::path p = CorpusDir() / "example.msi";
  CheckDamagedCopies(fs::exists(p) ? p : CorpusPackages().front(), 200, 9000);
}

}  // namespace
}  // namespace ts
