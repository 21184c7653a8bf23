// Transforms and patches. Every corpus package is changed in every way a
// transform can carry; the engine's transform between the two, applied to
// the original by the engine and by libmsi, must give the changed package
// again. Applying transforms to databases where they do not fit: each error
// condition with and without its suppression flag, all or nothing;
// _TransformView of a small transform against a kept expected file; the
// corpus patch; msisql's transform options; the generator's other forms;
// damaged transforms.
#include <algorithm>
#include <cctype>
#include <cstring>

#include "cfb/compound_file.h"
#include "cfb/compound_file_reader.h"
#include "cfb/file_image.h"
#include "package_mutator.h"
#include "support.h"

namespace tf {
namespace {

using namespace ts;

// Every persistent table ("== NAME" then its header and its rows sorted,
// so that row order does not matter) and every stream's size and bytes
// but the summary information's.
std::string Contents(const fs::path& package) {
  Handle db;
  if (Open(package, MSIDBOPEN_READONLY_A, db) != ERROR_SUCCESS) return "cannot open";
  std::string out;
  for (const auto& t : TableNames(db)) {
    out += "== " + t + "\n" + SortedAfterHeader(Select(db, "SELECT * FROM `" + t + "`"));
  }
  for (const auto& [name, bytes] : EngineStreams(db)) {
    // Transforms do not carry the summary information.
    if (name == "\005SummaryInformation") continue;
    out += "stream " + name + " " + std::to_string(bytes.size()) + " " +
           std::to_string(std::hash<std::string>()(std::string(bytes.begin(), bytes.end()))) + "\n";
  }
  return out;
}

// Applies `transform` to a copy of `package` written to `out`, by the
// engine; the result code of the apply (the copy is committed only on
// success).
UINT EngineApply(const fs::path& package, const fs::path& transform, const fs::path& out,
                 int conditions = 0) {
  Handle db;
  UINT r = OpenTo(package, out, db);
  if (r != ERROR_SUCCESS) return r;
  r = MsiDatabaseApplyTransformA(db, transform.c_str(), conditions);
  if (r != ERROR_SUCCESS) return r;
  return MsiDatabaseCommit(db);
}

// The same through libmsi; -1 when the oracle failed to run.
int OracleApply(const fs::path& package, const fs::path& transform, const fs::path& out) {
  if (LibmsiOracle().empty()) return -1;
  RunResult run = Oracle({"write", package.string(), out.string(), "transform:" + transform.string()});
  if (run.exit_code != 0) return -1;
  // "N\ncommit M\n"
  const int applied = std::atoi(run.out.c_str());
  return applied != 0 ? applied : std::atoi(run.out.substr(run.out.find("commit ") + 7).c_str());
}

// Generates the transform from `reference` to `changed`.
UINT Generate(const fs::path& changed, const fs::path& reference, const fs::path& transform) {
  Handle newer, old;
  UINT r = Open(changed, MSIDBOPEN_READONLY_A, newer);
  if (r == ERROR_SUCCESS) r = Open(reference, MSIDBOPEN_READONLY_A, old);
  if (r != ERROR_SUCCESS) return r;
  return MsiDatabaseGenerateTransformA(newer, old, transform.c_str(), 0, 0);
}

// The rows of _TransformView after viewing `transform` on `package`,
// ordered, one per line, fields joined by " | ".
std::string View(const fs::path& package, const fs::path& transform, UINT* result = nullptr) {
  Handle db;
  UINT r = Open(package, MSIDBOPEN_READONLY_A, db);
  if (r == ERROR_SUCCESS) r = MsiDatabaseApplyTransformA(db, transform.c_str(), MSITRANSFORM_ERROR_VIEWTRANSFORM);
  if (result != nullptr) *result = r;
  if (r != ERROR_SUCCESS) return "error " + std::to_string(r);
  std::string rows = SortedAfterHeader(Select(db, "SELECT * FROM `_TransformView`"));
  std::string out;
  for (char c : rows.substr(rows.find('\n') + 1)) {
    if (c == '\t') out += " | ";
    else out.push_back(c);
  }
  return out;
}

// The table whose rows are inserted, changed and deleted: Property where
// there is one, else the first table keyed by one text column with at
// least two rows.
struct Target {
  std::string table, key, column;  // column: a nullable text column
  std::vector<std::string> keys;   // two existing keys
};

std::optional<Target> PickTarget(MSIHANDLE db) {
  std::vector<std::string> names = TableNames(db);
  std::stable_partition(names.begin(), names.end(), [](const std::string& n) { return n == "Property"; });
  for (const std::string& t : names) {
    Handle pk;
    if (MsiDatabaseGetPrimaryKeysA(db, t.c_str(), pk.out()) != ERROR_SUCCESS) continue;
    if (MsiRecordGetFieldCount(pk) != 1) continue;
    Handle view, types, names_rec;
    if (MsiDatabaseOpenViewA(db, ("SELECT * FROM `" + t + "`").c_str(), view.out()) != ERROR_SUCCESS) continue;
    MsiViewGetColumnInfo(view, MSICOLINFO_TYPES, types.out());
    MsiViewGetColumnInfo(view, MSICOLINFO_NAMES, names_rec.out());
    const UINT count = MsiRecordGetFieldCount(types);
    Target target{t, FieldText(pk, 1), "", {}};
    if (FieldText(names_rec, 1) != target.key || FieldText(types, 1)[0] != 's') continue;
    bool all_nullable = true;
    for (UINT i = 2; i <= count; ++i) {
      const std::string type = FieldText(types, i);
      all_nullable = all_nullable && std::isupper(static_cast<unsigned char>(type[0]));
      if (target.column.empty() && (type[0] == 'S' || type[0] == 'L')) target.column = FieldText(names_rec, i);
    }
    if (target.column.empty() || !all_nullable) continue;
    MsiViewExecute(view, 0);
    for (Handle row; target.keys.size() < 2 && MsiViewFetch(view, row.out()) == ERROR_SUCCESS;) {
      const std::string key = FieldText(row, 1);
      if (key.find('\'') == std::string::npos) target.keys.push_back(key);
    }
    if (target.keys.size() == 2) return target;
  }
  return std::nullopt;
}

// Writes `changed`: the original with a table added (with rows and a
// stream), a column added, rows inserted, changed and deleted, a table
// dropped and a binary stream replaced, whichever the package allows.
void MakeChangedCopy(const fs::path& original, const fs::path& changed) {
  Handle db;
  ASSERT_EQ(OpenTo(original, changed, db), ERROR_SUCCESS);
  std::vector<std::string> tables = TableNames(db);
  auto target = PickTarget(db);
  ASSERT_TRUE(target.has_value()) << "no table to change in " << original;
  const std::string t = "`" + target->table + "`";
  const std::vector<std::string> statements = {
      "CREATE TABLE `TfAdded` (`Id` CHAR(32) NOT NULL, `Num` SHORT, `Big` LONG, `Note` CHAR(0), "
      "`Blob` OBJECT PRIMARY KEY `Id`)",
      "INSERT INTO `TfAdded` (`Id`, `Num`, `Big`, `Note`) VALUES ('one', 1, 100000, 'first')",
      "INSERT INTO `TfAdded` (`Id`, `Num`) VALUES ('two', -2)",
      "INSERT INTO " + t + " (`" + target->key + "`, `" + target->column + "`) VALUES ('TfNewRow', 'new value')",
      "UPDATE " + t + " SET `" + target->column + "` = 'changed value' WHERE `" + target->key + "` = '" + target->keys[0] + "'",
      "DELETE FROM " + t + " WHERE `" + target->key + "` = '" + target->keys[1] + "'",
      "ALTER TABLE " + t + " ADD `TfExtra` CHAR(20)",
      "UPDATE " + t + " SET `TfExtra` = 'extra' WHERE `" + target->key + "` = 'TfNewRow'",
  };
  for (const std::string& sql : statements) ASSERT_EQ(Exec(db, sql), ERROR_SUCCESS) << sql;
  Handle blob = MakeRecord({"three", ""});
  const char data[] = "stream of a new row";
  ASSERT_EQ(MsiExtRecordSetStreamData(blob, 2, data, sizeof data), ERROR_SUCCESS);
  ASSERT_EQ(Exec(db, "INSERT INTO `TfAdded` (`Id`, `Blob`) VALUES (?, ?)", blob), ERROR_SUCCESS);
  // Replace the first stream of the Binary table, if any.
  if (std::count(tables.begin(), tables.end(), "Binary") != 0) {
    Handle bview, brow;
    ASSERT_EQ(MsiDatabaseOpenViewA(db, "SELECT `Name`, `Data` FROM `Binary`", bview.out()), ERROR_SUCCESS);
    ASSERT_EQ(MsiViewExecute(bview, 0), ERROR_SUCCESS);
    if (MsiViewFetch(bview, brow.out()) == ERROR_SUCCESS) {
      const char replaced[] = "replaced binary stream";
      ASSERT_EQ(MsiExtRecordSetStreamData(brow, 2, replaced, sizeof replaced), ERROR_SUCCESS);
      ASSERT_EQ(MsiViewModify(bview, MSIMODIFY_UPDATE, brow), ERROR_SUCCESS);
    }
  }
  // Drop the last table that is neither the target nor Binary.
  for (auto it = tables.rbegin(); it != tables.rend(); ++it) {
    if (*it != target->table && *it != "Binary") {
      ASSERT_EQ(Exec(db, "DROP TABLE `" + *it + "`"), ERROR_SUCCESS);
      break;
    }
  }
  ASSERT_EQ(MsiDatabaseCommit(db), ERROR_SUCCESS);
}


// Each package is also compared with itself: no difference, no transform;
// an empty transform changes nothing.
TEST(TransformRoundTrip, EveryCorpusPackageThroughEngineAndLibmsi) {
  REQUIRE_CORPUS();
  for (const fs::path& package : CorpusPackages()) {
    SCOPED_TRACE(package.filename().string());
    TempDir dir;
    Handle a, b;
    ASSERT_EQ(Open(package, MSIDBOPEN_READONLY_A, a), ERROR_SUCCESS);
    ASSERT_EQ(Open(package, MSIDBOPEN_READONLY_A, b), ERROR_SUCCESS);
    EXPECT_EQ(MsiDatabaseGenerateTransformA(a, b, nullptr, 0, 0), ERROR_NO_DATA);
    ASSERT_EQ(Generate(package, package, dir / "empty.mst"), ERROR_SUCCESS);
    EXPECT_EQ(View(package, dir / "empty.mst"), "");
    const fs::path changed = dir / "changed.msi", mst = dir / "t.mst";
    MakeChangedCopy(package, changed);
    if (HasFatalFailure()) return;
    ASSERT_EQ(Generate(changed, package, mst), ERROR_SUCCESS);
    for (const auto& [transform, expected] : {std::pair{dir / "empty.mst", Contents(package)},
                                              std::pair{mst, Contents(changed)}}) {
      SCOPED_TRACE(transform.filename().string());
      ASSERT_EQ(EngineApply(package, transform, dir / "engine.msi"), ERROR_SUCCESS);
      EXPECT_EQ(Contents(dir / "engine.msi"), expected)
          << FirstDifference(Contents(dir / "engine.msi"), expected);
      // libmsi 0.101 finds no table of a transform (known differences:
      // transforms); should it learn, its result must match too.
      const int oracle = OracleApply(package, transform, dir / "libmsi.msi");
      if (transform == mst && oracle == static_cast<int>(ERROR_INVALID_TABLE)) continue;
      ASSERT_EQ(oracle, 0);
      EXPECT_EQ(Contents(dir / "libmsi.msi"), expected)
          << FirstDifference(Contents(dir / "libmsi.msi"), expected);
    }
  }
}


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
  // A missing transform, stored beside or as a sub-storage of the database.
  EXPECT_EQ(MsiDatabaseApplyTransformA(db, ":Missing", 0), ERROR_INSTALL_TRANSFORM_FAILURE);
  EXPECT_EQ(MsiDatabaseApplyTransformA(db, (dir_ / "none.mst").c_str(), 0), ERROR_OPEN_FAILED);
  EXPECT_EQ(MsiDatabaseApplyTransformA(db, "", 0), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(MsiDatabaseApplyTransformA(0, mst().c_str(), 0), ERROR_INVALID_HANDLE);
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
  EXPECT_EQ(SortedAfterHeader(Select(db, "SELECT `Table`, `Column`, `Row`, `Data`, `Current` "
                                        "FROM `_TransformView` WHERE `Table` = 'Patch'")),
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

// Changes the generator writes in other forms than a masked update: cells
// beyond the 16-bit mask, streams replaced and removed.
TEST(TransformGenerator, ChangesBeyondTheMaskAndStreamsRoundTrip) {
  TempDir dir;
  std::string columns = "`K` CHAR(8) NOT NULL";
  for (int i = 1; i < 20; ++i) columns += ", `C" + std::to_string(i) + "` SHORT";
  MakeDatabase(dir / "base.msi",
               {"CREATE TABLE `Wide` (" + columns + " PRIMARY KEY `K`)",
                "INSERT INTO `Wide` (`K`, `C1`, `C18`) VALUES ('w', 1, 18)",
                "CREATE TABLE `Bin` (`Name` CHAR(8) NOT NULL, `Data` OBJECT PRIMARY KEY `Name`)"});
  // Runs `sql` with `data` as the stream of its marker (null: none).
  const auto with_stream = [](MSIHANDLE db, const std::string& sql, const char* data) {
    Handle rec(MsiCreateRecord(1));
    if (data != nullptr) {
      ASSERT_EQ(MsiExtRecordSetStreamData(rec, 1, data, static_cast<DWORD>(std::strlen(data))), 0u);
    }
    ASSERT_EQ(Exec(db, sql, rec), ERROR_SUCCESS) << sql;
  };
  {
    Handle db;
    ASSERT_EQ(Open(dir / "base.msi", MSIDBOPEN_TRANSACT_A, db), ERROR_SUCCESS);
    with_stream(db, "INSERT INTO `Bin` (`Name`, `Data`) VALUES ('keep', ?)", "old bytes");
    with_stream(db, "INSERT INTO `Bin` (`Name`, `Data`) VALUES ('drop', ?)", "going away");
    ASSERT_EQ(MsiDatabaseCommit(db), ERROR_SUCCESS);
  }
  {
    Handle db;
    ASSERT_EQ(OpenTo(dir / "base.msi", dir / "changed.msi", db), ERROR_SUCCESS);
    ASSERT_EQ(Exec(db, "UPDATE `Wide` SET `C18` = 180, `C1` = 10 WHERE `K` = 'w'"), ERROR_SUCCESS);
    with_stream(db, "UPDATE `Bin` SET `Data` = ? WHERE `Name` = 'keep'", "new bytes, longer");
    with_stream(db, "UPDATE `Bin` SET `Data` = ? WHERE `Name` = 'drop'", nullptr);
    ASSERT_EQ(MsiDatabaseCommit(db), ERROR_SUCCESS);
  }
  ASSERT_EQ(Generate(dir / "changed.msi", dir / "base.msi", dir / "t.mst"), ERROR_SUCCESS);
  ASSERT_EQ(EngineApply(dir / "base.msi", dir / "t.mst", dir / "out.msi"), ERROR_SUCCESS);
  EXPECT_EQ(Contents(dir / "out.msi"), Contents(dir / "changed.msi"));
  EXPECT_NE(Contents(dir / "changed.msi").find("stream Bin.keep 17 "), std::string::npos);
  EXPECT_EQ(Contents(dir / "changed.msi").find("stream Bin.drop"), std::string::npos);
  EXPECT_NE(Contents(dir / "base.msi").find("stream Bin.drop 10 "), std::string::npos);
}

// The transform's streams, to be written again with one of them changed.
msi::cfb::StorageTree ReadTree(const fs::path& path) {
  auto image = msi::cfb::FileImage::Map(path.string());
  auto file = msi::cfb::CompoundFileReader::Open(*image);
  msi::cfb::StorageTree tree;
  tree.clsid = (*file)->entry(0).clsid;
  for (uint32_t id : (*file)->Children(0)) {
    tree.streams.push_back({(*file)->entry(id).name, std::make_shared<const std::vector<uint8_t>>(
                                                         *(*file)->ReadStream(id))});
  }
  return tree;
}

Bytes WithStream(msi::cfb::StorageTree tree, size_t index, std::vector<uint8_t> data) {
  struct MemorySink : msi::cfb::ByteSink {
    std::vector<uint8_t> bytes;
    msi::Status Write(const uint8_t* data, size_t size) override {
      bytes.insert(bytes.end(), data, data + size);
      return msi::Status();
    }
  } sink;
  tree.streams[index].data = std::make_shared<const std::vector<uint8_t>>(std::move(data));
  EXPECT_TRUE(msi::cfb::WriteCompoundFile(tree, {}, sink).ok());
  return sink.bytes;
}

// Damaged transforms: the compound file damaged at random, and damage
// inside the streams where the compound file stays valid (every byte of the
// string pool, the schema records and the row records changed in turn, and
// streams cut short). Each must give a result code and, unless it applies,
// leave the database as it was.
TEST(TransformDamage, FailsAndChangesNothing) {
  TempDir dir;
  std::vector<std::string> changed = Changed();
  changed.push_back("ALTER TABLE `Item` ADD `Extra` CHAR(4)");  // a column added too
  MakeDatabase(dir / "base.msi", kBase);
  MakeDatabase(dir / "changed.msi", changed);
  ASSERT_EQ(Generate(dir / "changed.msi", dir / "base.msi", dir / "t.mst"), ERROR_SUCCESS);
  const msi::cfb::StorageTree tree = ReadTree(dir / "t.mst");
  ASSERT_GE(tree.streams.size(), 6u);

  Handle db;
  ASSERT_EQ(Open(dir / "base.msi", MSIDBOPEN_TRANSACT_A, db), ERROR_SUCCESS);
  // The tables a transform may change (_TransformView aside, which viewing
  // fills).
  const auto state = [&db] {
    return Select(db, "SELECT * FROM `Item`") + Select(db, "SELECT * FROM `Old`") +
           Select(db, "SELECT * FROM `Property`") + std::to_string(MsiDatabaseIsTablePersistentA(db, "New"));
  };
  const std::string before = state();
  const fs::path bad = dir / "bad.mst";
  int failed = 0, cases = 0;
  // `open_failed`: the compound file itself may be refused.
  const auto check = [&](const Bytes& bytes, const std::string& what, bool open_failed) {
    ++cases;
    WriteBytes(bad, bytes);
    for (int flags : {0, 0x3F, static_cast<int>(MSITRANSFORM_ERROR_VIEWTRANSFORM)}) {
      const UINT r = MsiDatabaseApplyTransformA(db, bad.c_str(), flags);
      const bool refused = r == ERROR_INSTALL_TRANSFORM_FAILURE || (open_failed && r == ERROR_OPEN_FAILED);
      ASSERT_TRUE(r == ERROR_SUCCESS || refused) << r << " " << what << " flags " << flags;
      if (flags == MSITRANSFORM_ERROR_VIEWTRANSFORM) continue;
      if (r == ERROR_SUCCESS) {
        // The damage made another valid transform: start again.
        ASSERT_EQ(Open(dir / "base.msi", MSIDBOPEN_TRANSACT_A, db), ERROR_SUCCESS);
        continue;
      }
      ++failed;
      ASSERT_EQ(state(), before) << what << " flags " << flags;
    }
  };
  PackageMutator mutator(ReadBytes(dir / "t.mst"));
  for (uint64_t seed = 1; seed <= 400 && !HasFatalFailure(); ++seed) {
    std::string what;
    const Bytes bytes = mutator.mutate(seed, what);
    check(bytes, what, true);
  }
  for (size_t s = 0; s < tree.streams.size() && !HasFatalFailure(); ++s) {
    const std::vector<uint8_t> original(tree.streams[s].data.begin(), tree.streams[s].data.end());
    for (size_t at = 0; at <= original.size() && !HasFatalFailure(); ++at) {
      const std::string what = "stream " + std::to_string(s) + " byte " + std::to_string(at);
      // Each byte replaced by 0, by 0xFF and by itself plus one; the stream
      // cut before it.
      for (int v = 0; at < original.size() && v < 3; ++v) {
        std::vector<uint8_t> copy = original;
        copy[at] = v == 0 ? 0 : v == 1 ? 0xFF : static_cast<uint8_t>(original[at] + 1);
        check(WithStream(tree, s, copy), what, false);
      }
      check(WithStream(tree, s, {original.begin(), original.begin() + static_cast<long>(at)}), what, false);
    }
  }
  EXPECT_GT(failed, cases / 2);
}

}  // namespace
}  // namespace tf
