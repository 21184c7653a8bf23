// Applying transforms to databases where they do not fit: each error
// condition with and without its suppression flag, all or nothing;
// _TransformView of a small transform against a kept expected file; the
// corpus patch; damaged transforms.
#include <cstring>

#include "package_mutator.h"
#include "transform_support.h"

namespace tf {
namespace {

// A small database made by statements; "codepage:N" sets its codepage.
void MakeDatabase(const fs::path& path, const std::vector<std::string>& statements) {
  Handle db;
  ASSERT_EQ(Open(path, MSIDBOPEN_CREATE_A, db), ERROR_SUCCESS);
  for (const std::string& sql : statements) {
    if (sql.rfind("codepage:", 0) == 0) {
      const fs::path idt = path.parent_path() / "cp.idt";
      WriteText(idt, "\r\n\r\n" + sql.substr(9) + "\t_ForceCodepage\r\n");
      ASSERT_EQ(MsiDatabaseImportA(db, path.parent_path().c_str(), "cp.idt"), ERROR_SUCCESS);
      continue;
    }
    ASSERT_EQ(Exec(db, sql), ERROR_SUCCESS) << sql;
  }
  ASSERT_EQ(MsiDatabaseCommit(db), ERROR_SUCCESS);
}

const std::vector<std::string> kBase = {
    "codepage:1252",  // not neutral, so that another codepage conflicts
    "CREATE TABLE `Item` (`Key` CHAR(16) NOT NULL, `Value` CHAR(32), `Count` SHORT PRIMARY KEY `Key`)",
    "INSERT INTO `Item` (`Key`, `Value`, `Count`) VALUES ('alpha', 'a', 1)",
    "INSERT INTO `Item` (`Key`, `Value`, `Count`) VALUES ('beta', 'b', 2)",
    "CREATE TABLE `Old` (`Id` SHORT NOT NULL PRIMARY KEY `Id`)",
    "CREATE TABLE `Property` (`Property` CHAR(72) NOT NULL, `Value` CHAR(0) NOT NULL PRIMARY KEY `Property`)",
    "INSERT INTO `Property` (`Property`, `Value`) VALUES ('ProductCode', '{11111111-2222-3333-4444-555555555555}')",
    "INSERT INTO `Property` (`Property`, `Value`) VALUES ('ProductVersion', '1.0')",
    "INSERT INTO `Property` (`Property`, `Value`) VALUES ('UpgradeCode', '{66666666-7777-8888-9999-000000000000}')",
};

// From the base: alpha changed, beta deleted, gamma inserted, table New
// added, table Old dropped.
std::vector<std::string> Changed() {
  std::vector<std::string> s = kBase;
  s.push_back("UPDATE `Item` SET `Value` = 'A', `Count` = 10 WHERE `Key` = 'alpha'");
  s.push_back("DELETE FROM `Item` WHERE `Key` = 'beta'");
  s.push_back("INSERT INTO `Item` (`Key`, `Value`) VALUES ('gamma', 'g')");
  s.push_back("CREATE TABLE `New` (`Name` CHAR(8) NOT NULL, `Size` LONG PRIMARY KEY `Name`)");
  s.push_back("INSERT INTO `New` (`Name`, `Size`) VALUES ('n1', 70000)");
  s.push_back("DROP TABLE `Old`");
  s.push_back("UPDATE `Property` SET `Value` = '1.1' WHERE `Property` = 'ProductVersion'");
  return s;
}

class TransformFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    MakeDatabase(dir_ / "base.msi", kBase);
    MakeDatabase(dir_ / "changed.msi", Changed());
    ASSERT_EQ(Generate(dir_ / "changed.msi", dir_ / "base.msi", mst()), ERROR_SUCCESS);
  }
  fs::path mst() const { return dir_ / "t.mst"; }
  TempDir dir_;
};

struct ConflictCase {
  const char* name;
  std::vector<std::string> target_changes;  // made to the base before applying
  int flag;                                 // the condition that suppresses it
  std::vector<std::string> expect_rows;     // of Item, sorted, after a suppressed apply
};

TEST_F(TransformFixture, EachConflictFailsWholeUnlessItsFlagIsGiven) {
  const std::vector<ConflictCase> cases = {
      {"row to add exists", {"INSERT INTO `Item` (`Key`, `Value`) VALUES ('gamma', 'old')"},
       MSITRANSFORM_ERROR_ADDEXISTINGROW, {"alpha\tA\t10", "gamma\tg\t"}},
      {"row to delete missing", {"DELETE FROM `Item` WHERE `Key` = 'beta'"},
       MSITRANSFORM_ERROR_DELMISSINGROW, {"alpha\tA\t10", "gamma\tg\t"}},
      {"row to update missing", {"DELETE FROM `Item` WHERE `Key` = 'alpha'"},
       MSITRANSFORM_ERROR_UPDATEMISSINGROW, {"gamma\tg\t"}},
      {"table to add exists", {"CREATE TABLE `New` (`Name` CHAR(8) NOT NULL, `Size` LONG PRIMARY KEY `Name`)"},
       MSITRANSFORM_ERROR_ADDEXISTINGTABLE, {"alpha\tA\t10", "gamma\tg\t"}},
      {"table to drop missing", {"DROP TABLE `Old`"},
       MSITRANSFORM_ERROR_DELMISSINGTABLE, {"alpha\tA\t10", "gamma\tg\t"}},
      {"codepages differ", {"codepage:1250"},
       MSITRANSFORM_ERROR_CHANGECODEPAGE, {"alpha\tA\t10", "gamma\tg\t"}},
  };
  for (const ConflictCase& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<std::string> target = kBase;
    target.insert(target.end(), c.target_changes.begin(), c.target_changes.end());
    const fs::path path = dir_ / "target.msi";
    fs::remove(path);
    MakeDatabase(path, target);
    Handle db;
    ASSERT_EQ(Open(path, MSIDBOPEN_TRANSACT_A, db), ERROR_SUCCESS);
    const std::string before = DumpTables(db);
    EXPECT_EQ(MsiDatabaseApplyTransformA(db, mst().c_str(), MSITRANSFORM_ERROR_NONE), ERROR_INSTALL_TRANSFORM_FAILURE);
    EXPECT_EQ(DumpTables(db), before) << "a failed apply changed the database";
    // Every other flag leaves the condition an error.
    EXPECT_EQ(MsiDatabaseApplyTransformA(db, mst().c_str(), 0x3F & ~c.flag),
              ERROR_INSTALL_TRANSFORM_FAILURE);
    ASSERT_EQ(MsiDatabaseApplyTransformA(db, mst().c_str(), c.flag), ERROR_SUCCESS);
    std::string rows;
    for (const auto& r : c.expect_rows) rows += r + "\n";
    EXPECT_EQ(Select(db, "SELECT * FROM `Item`").substr(std::string("Key\tValue\tCount\n").size()), rows);
    EXPECT_EQ(Select(db, "SELECT * FROM `New`"), "Name\tSize\nn1\t70000\n");
    EXPECT_EQ(MsiDatabaseIsTablePersistentA(db, "Old"), MSICONDITION_NONE);
  }
}

TEST_F(TransformFixture, EmbeddedTransformByColonName) {
  // A transform stored as a sub-storage of the database it applies to.
  Handle base;
  ASSERT_EQ(Open(dir_ / "base.msi", MSIDBOPEN_TRANSACT_A, base), ERROR_SUCCESS);
  EXPECT_EQ(MsiDatabaseApplyTransformA(base, ":Missing", 0), ERROR_INSTALL_TRANSFORM_FAILURE);
  EXPECT_EQ(MsiDatabaseApplyTransformA(base, (dir_ / "none.mst").c_str(), 0), ERROR_OPEN_FAILED);
  EXPECT_EQ(MsiDatabaseApplyTransformA(base, "", 0), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(MsiDatabaseApplyTransformA(0, mst().c_str(), 0), ERROR_INVALID_HANDLE);
}

TEST_F(TransformFixture, ViewMatchesTheKeptExpectedFile) {
  const std::string expected = ReadText(fs::path(TF_EXPECTED_DIR) / "small_transform_view.txt");
  EXPECT_EQ(View(dir_ / "base.msi", mst()), expected);
  // Viewing changes no table.
  Handle db;
  ASSERT_EQ(Open(dir_ / "base.msi", MSIDBOPEN_READONLY_A, db), ERROR_SUCCESS);
  const std::string before = Select(db, "SELECT * FROM `Item`") + Select(db, "SELECT * FROM `Old`");
  ASSERT_EQ(MsiDatabaseApplyTransformA(db, mst().c_str(), MSITRANSFORM_ERROR_VIEWTRANSFORM), ERROR_SUCCESS);
  EXPECT_EQ(Select(db, "SELECT * FROM `Item`") + Select(db, "SELECT * FROM `Old`"), before);
  EXPECT_EQ(MsiDatabaseIsTablePersistentA(db, "New"), MSICONDITION_NONE);
}

TEST_F(TransformFixture, DamagedTransformsFailAndChangeNothing) {
  const Bytes original = ReadBytes(mst());
  PackageMutator mutator(original);
  Handle db;
  ASSERT_EQ(Open(dir_ / "base.msi", MSIDBOPEN_TRANSACT_A, db), ERROR_SUCCESS);
  const std::string before = DumpTables(db);
  int failures = 0;
  for (uint64_t seed = 1; seed <= 400; ++seed) {
    std::string what;
    WriteBytes(dir_ / "bad.mst", mutator.mutate(seed, what));
    const UINT r = MsiDatabaseApplyTransformA(db, (dir_ / "bad.mst").c_str(), 0);
    if (r == ERROR_SUCCESS) {
      // Damage the reader cannot see (unused bytes) applied the changes:
      // start again from the base.
      ASSERT_EQ(Open(dir_ / "base.msi", MSIDBOPEN_TRANSACT_A, db), ERROR_SUCCESS);
      continue;
    }
    ++failures;
    ASSERT_TRUE(r == ERROR_INSTALL_TRANSFORM_FAILURE || r == ERROR_OPEN_FAILED) << r << " " << what;
    ASSERT_EQ(DumpTables(db), before) << what;
  }
  EXPECT_GT(failures, 100);
}

TEST(Patch, CorpusPatchListsTransformsAndEachCanBeViewed) {
  REQUIRE_CORPUS();
  const fs::path patch = CorpusDir() / "WPF2_32.msp";
  Handle db;
  ASSERT_EQ(Open(patch, reinterpret_cast<LPCSTR>(MSIDBOPEN_PATCHFILE), db), ERROR_SUCCESS);
  EXPECT_EQ(Select(db, "SELECT `Name` FROM `_Storages`"), "Name\nT1ToU1\n#T1ToU1\n");
  EXPECT_EQ(Select(db, "SELECT `Name` FROM `_Streams`"),
            "Name\nPCW_CAB_NetFX\n\005DigitalSignature\n\005SummaryInformation\n");
  EXPECT_EQ(Select(db, "SELECT `Sequence` FROM `MsiPatchSequence`"), "Sequence\n3.1.21022\n3.1.21022\n3.1.21022\n");
  EXPECT_EQ(MsiDatabaseIsTablePersistentA(db, "MsiPatchMetadata"), MSICONDITION_TRUE);
  // Its summary: the target product codes and the transforms it applies.
  Handle summary;
  ASSERT_EQ(MsiGetSummaryInformationA(db, nullptr, 0, summary.out()), ERROR_SUCCESS);
  const std::vector<std::pair<UINT, std::string>> properties = {
      {PID_TEMPLATE, "{2BA00471-0328-3743-93BD-FA813353A783}"},
      {PID_LASTAUTHOR, ":T1ToU1;:#T1ToU1"},
      {PID_REVNUMBER, "{09966C32-C34D-4FF4-8C7E-94A9630DDEF8}"}};
  for (const auto& [pid, expected] : properties) {
    UINT type = 0;
    char text[128] = "";
    DWORD size = sizeof text;
    EXPECT_EQ(MsiSummaryInfoGetPropertyA(summary, pid, &type, nullptr, nullptr, text, &size), ERROR_SUCCESS);
    EXPECT_EQ(std::string(text), expected) << pid;
  }
  // Each transform viewed: tables the transform creates are shown whole;
  // rows of tables only the patched product has cannot be decoded
  // without their layout and are left out.
  TempDir dir;
  Handle empty;
  ASSERT_EQ(Open(dir / "empty.msi", MSIDBOPEN_CREATE_A, empty), ERROR_SUCCESS);
  ASSERT_EQ(MsiDatabaseApplyTransformA(empty, patch.c_str(), 0), ERROR_INSTALL_TRANSFORM_FAILURE);
  // The transforms are sub-storages of the patch, reached through it.
  EXPECT_EQ(MsiDatabaseApplyTransformA(db, ":#T1ToU1", MSITRANSFORM_ERROR_VIEWTRANSFORM), ERROR_SUCCESS);
  EXPECT_EQ(SortedSelect(db, "SELECT `Table`, `Column`, `Row`, `Data`, `Current` FROM `_TransformView` "
                            "WHERE `Table` = 'Patch'"),
            "Table\tColumn\tRow\tData\tCurrent\n"
            "Patch\tAttributes\t\t1282\t4\n"    // i2
            "Patch\tCREATE\t\t\t\n"
            "Patch\tFile_\t\t11592\t1\n"        // s72 key
            "Patch\tHeader\t\t6400\t5\n"        // V0
            "Patch\tPatchSize\t\t260\t3\n"      // i4
            "Patch\tSequence\t\t9474\t2\n"      // i2 key
            "Patch\tStreamRef_\t\t7496\t6\n");  // S72
  EXPECT_EQ(MsiDatabaseApplyTransformA(db, ":T1ToU1", MSITRANSFORM_ERROR_VIEWTRANSFORM), ERROR_SUCCESS);
}

}  // namespace
}  // namespace tf

namespace tf {
namespace {

TEST_F(TransformFixture, MsisqlMakesAppliesShowsAndDiffs) {
  const std::string m = Msisql();
  const std::string report =
      "== Item\n"
      "~ [alpha] Value: a -> A\n"
      "~ [alpha] Count: 1 -> 10\n"
      "- [beta]\n"
      "+ [gamma] Value=g\n"
      "== New\n"
      "  table added\n"
      "  column 1 Name s8 key added\n"
      "  column 2 Size I4 added\n"
      "+ [n1] Size=70000\n"
      "== Old\n"
      "  table dropped\n"
      "== Property\n"
      "~ [ProductVersion] Value: 1.0 -> 1.1\n";
  const std::string base = (dir_ / "base.msi").string(), changed = (dir_ / "changed.msi").string();
  const std::string out = (dir_ / "made.mst").string(), target = (dir_ / "target.msi").string();
  EXPECT_EQ(ts::Run({m, "--diff", base, changed}).out, report);
  ASSERT_EQ(ts::Run({m, "--make-transform", base, changed, out}).exit_code, 0);
  EXPECT_EQ(ts::Run({m, "--show-transform", base, out}).out, report);
  // The summary names both products (read back through libmsi).
  EXPECT_NE(OracleSummary(out).find("Revision number (UUID): {11111111-2222-3333-4444-555555555555}1.0;"
                                    "{11111111-2222-3333-4444-555555555555}1.1;"
                                    "{66666666-7777-8888-9999-000000000000}\n"),
            std::string::npos)
      << OracleSummary(out);
  CopyPackage(dir_ / "base.msi", target);
  ASSERT_EQ(ts::Run({m, "--apply-transform", target, out}).exit_code, 0);
  EXPECT_EQ(Contents(target), Contents(dir_ / "changed.msi"));
  // A second time every change conflicts: nothing is written, unless the
  // conditions are suppressed.
  const Bytes applied = ReadBytes(target);
  const RunResult again = ts::Run({m, "--apply-transform", target, out, out});
  EXPECT_EQ(again.exit_code, 1);
  EXPECT_NE(again.err.find("error 1624"), std::string::npos) << again.err;
  EXPECT_EQ(ReadBytes(target), applied);
  const std::vector<std::pair<std::string, int>> suppress = {
      {"bogus", 2}, {"0x40", 2}, {"addexistingrow", 1}, {"all", 0}, {"0x3F", 0}};
  for (const auto& [flags, status] : suppress) {
    EXPECT_EQ(ts::Run({m, "--apply-transform", "--suppress", flags, target, out}).exit_code, status) << flags;
  }
}

}  // namespace
}  // namespace tf

namespace tf {
namespace {

// Changes the generator writes in other forms than a masked update: cells
// beyond the 16-bit mask, streams replaced and removed.
TEST(TransformGenerator, ChangesBeyondTheMaskAndStreamsRoundTrip) {
  TempDir dir;
  std::string columns = "`K` CHAR(8) NOT NULL";
  for (int i = 1; i < 20; ++i) columns += ", `C" + std::to_string(i) + "` SHORT";
  const std::vector<std::string> base = {
      "CREATE TABLE `Wide` (" + columns + " PRIMARY KEY `K`)",
      "INSERT INTO `Wide` (`K`, `C1`, `C18`) VALUES ('w', 1, 18)",
      "CREATE TABLE `Bin` (`Name` CHAR(8) NOT NULL, `Data` OBJECT PRIMARY KEY `Name`)",
      "INSERT INTO `Bin` (`Name`) VALUES ('keep')",
      "INSERT INTO `Bin` (`Name`) VALUES ('drop')"};
  MakeDatabase(dir / "base.msi", base);
  auto set_stream = [](MSIHANDLE db, const char* name, const char* data) {
    Handle view, row;
    ASSERT_EQ(MsiDatabaseOpenViewA(db, (std::string("SELECT `Name`, `Data` FROM `Bin` WHERE `Name` = '") + name + "'").c_str(),
                                   view.out()), ERROR_SUCCESS);
    ASSERT_EQ(MsiViewExecute(view, 0), ERROR_SUCCESS);
    ASSERT_EQ(MsiViewFetch(view, row.out()), ERROR_SUCCESS);
    if (data == nullptr) ASSERT_EQ(MsiRecordSetStringA(row, 2, nullptr), ERROR_SUCCESS);
    else ASSERT_EQ(MsiExtRecordSetStreamData(row, 2, data, static_cast<DWORD>(std::strlen(data))), ERROR_SUCCESS);
    ASSERT_EQ(MsiViewModify(view, MSIMODIFY_UPDATE, row), ERROR_SUCCESS);
  };
  {
    Handle db;
    ASSERT_EQ(Open(dir / "base.msi", MSIDBOPEN_TRANSACT_A, db), ERROR_SUCCESS);
    set_stream(db, "keep", "old bytes");
    set_stream(db, "drop", "going away");
    ASSERT_EQ(MsiDatabaseCommit(db), ERROR_SUCCESS);
  }
  {
    Handle db;
    ASSERT_EQ(OpenTo(dir / "base.msi", dir / "changed.msi", db), ERROR_SUCCESS);
    ASSERT_EQ(Exec(db, "UPDATE `Wide` SET `C18` = 180, `C1` = 10 WHERE `K` = 'w'"), ERROR_SUCCESS);
    set_stream(db, "keep", "new bytes, longer");
    set_stream(db, "drop", nullptr);
    ASSERT_EQ(MsiDatabaseCommit(db), ERROR_SUCCESS);
  }
  ASSERT_EQ(Generate(dir / "changed.msi", dir / "base.msi", dir / "t.mst"), ERROR_SUCCESS);
  ASSERT_EQ(EngineApply(dir / "base.msi", dir / "t.mst", dir / "out.msi"), ERROR_SUCCESS);
  EXPECT_EQ(Contents(dir / "out.msi"), Contents(dir / "changed.msi"));
  EXPECT_NE(Contents(dir / "base.msi"), Contents(dir / "changed.msi"));
}

}  // namespace
}  // namespace tf
