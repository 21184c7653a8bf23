// Damaged and hostile packages: every evaluator runs on them without a
// crash or a hang, and what cannot be read is said, not skipped silently.
#include "package_mutator.h"
#include "storage/stream_replace.h"
#include "stream_name.h"
#include "validate_support.h"

namespace vt {
namespace {

// Every line is a finding, a summary, or nothing else at all.
void ExpectWellFormed(const std::string& out) {
  std::istringstream in(out);
  for (std::string line; std::getline(in, line);) {
    bool known = Matches(line, "*: # error*, # warning*, # info* (# ms)");
    for (const char* kind : {"ERROR  ", "WARNING", "INFO   ", "FAILURE"})
      known = known || Matches(line, std::string("*ICE#  ") + kind + "  *");
    EXPECT_TRUE(known) << line;
  }
}

// 1,000 damaged copies of the corpus (compound file, string pool and table
// bytes), validated in batches; a batch that ends badly is run again one
// package at a time to name the culprit.
TEST(Damaged, ThousandMutatedPackagesThroughEveryEvaluator) {
  REQUIRE_CORPUS();
  const auto packages = ts::CorpusPackages();
  ASSERT_FALSE(packages.empty());
  constexpr int kTotal = 1000, kBatch = 50;
  ts::TempDir dir;
  std::vector<std::string> batch;
  auto run_batch = [&]() {
    const ts::RunResult r = Validate(batch);
    const bool sound = !r.timed_out && r.signal == 0 && r.exit_code >= 0 && r.exit_code <= 3 &&
                       r.exit_code != 2;
    if (!sound) {
      for (const std::string& one : batch) {
        const ts::RunResult single = Validate({one});
        EXPECT_TRUE(!single.timed_out && single.signal == 0 && single.exit_code != 2)
            << one << ": " << single.Describe() << "\n" << single.err;
      }
    }
    EXPECT_TRUE(sound) << r.Describe();
    ExpectWellFormed(r.out);
    batch.clear();
  };
  for (int i = 0; i < kTotal; ++i) {
    const fs::path& original = packages[static_cast<size_t>(i) % packages.size()];
    static std::map<fs::path, PackageMutator> mutators;
    auto it = mutators.find(original);
    if (it == mutators.end()) it = mutators.emplace(original, PackageMutator(ts::ReadBytes(original))).first;
    std::string what;
    const fs::path damaged = dir / ("m" + std::to_string(i) + "-" + original.filename().string());
    const Bytes bytes = it->second.mutate(0x5EED0000u + static_cast<uint64_t>(i), what);
    ts::WriteBytes(damaged, ts::Bytes(bytes.begin(), bytes.end()));
    batch.push_back(damaged.string());
    if (batch.size() == kBatch) run_batch();
  }
  if (!batch.empty()) run_batch();
}

// Table data no authoring tool writes: cycles, dangling references, null
// and extreme values, control characters. Each set runs through every
// evaluator; the package must validate to the end.
struct HostileData {
  const char* name;
  std::vector<std::string> statements;
};

const HostileData kHostileData[] = {
    {"DirectoryCycle",
     {"UPDATE `Directory` SET `Directory_Parent` = 'INSTALLDIR' WHERE `Directory` = 'TARGETDIR'"}},
    {"DanglingReferences",
     {"UPDATE `File` SET `Component_` = 'NoSuchComponent'",
      "UPDATE `Component` SET `Directory_` = 'NoSuchDirectory', `KeyPath` = 'NoSuchFile'",
      "INSERT INTO `FeatureComponents` (`Feature_`, `Component_`) "
      "VALUES ('NoSuchFeature', 'PuTTY_Component')"}},
    {"ExtremeNumbers",
     {"UPDATE `Component` SET `Attributes` = -1", "UPDATE `File` SET `Attributes` = 32767",
      "UPDATE `File` SET `Sequence` = 2147483647", "UPDATE `Feature` SET `Attributes` = -32767"}},
    {"NullsEverywhereAllowed",
     {"UPDATE `Component` SET `ComponentId` = NULL, `KeyPath` = NULL, `Condition` = NULL",
      "UPDATE `Feature` SET `Feature_Parent` = NULL, `Title` = NULL"}},
    {"ControlCharactersInText",
     {"UPDATE `Property` SET `Value` = 'a\x01[\x1b]\tb\n[%' WHERE `Property` = 'ProductName'",
      "UPDATE `Component` SET `Condition` = '((((NOT'"}},
    {"FeatureParentCycle",
     {"UPDATE `Feature` SET `Feature_Parent` = 'DesktopFeature', `Attributes` = 4 "
      "WHERE `Feature` = 'FilesFeature'",
      "UPDATE `Feature` SET `Feature_Parent` = 'FilesFeature' WHERE `Feature` = 'DesktopFeature'"}},
    {"TabOrderLoops",
     {"UPDATE `Control` SET `Control_Next` = 'Back' WHERE `Dialog_` = 'WelcomeDlg'",
      "UPDATE `Dialog` SET `Control_First` = 'Back' WHERE `Dialog` = 'WelcomeDlg'"}},
    // A loop through a profile folder, a directory its own parent, roots
    // and disk numbers out of range.
    {"ProfileLoopAndOddValues",
     {"UPDATE `Directory` SET `Directory_Parent` = 'ProgramMenuDir' WHERE `Directory` = 'ProgramMenuFolder'",
      "UPDATE `Directory` SET `Directory_Parent` = 'INSTALLDIR' WHERE `Directory` = 'INSTALLDIR'",
      "UPDATE `Registry` SET `Root` = 9",
      "INSERT INTO `Media` (`DiskId`, `LastSequence`) VALUES (32767, 2147483647)"}},
    {"EmptyTables",
     {"DELETE FROM `File`", "DELETE FROM `Component`", "DELETE FROM `Directory`",
      "DELETE FROM `Feature`", "DELETE FROM `Property`"}},
    {"SequenceOddities",
     {"UPDATE `InstallExecuteSequence` SET `Sequence` = NULL WHERE `Action` = 'CostInitialize'",
      "UPDATE `InstallExecuteSequence` SET `Sequence` = 4000 WHERE `Action` = 'InstallFinalize'",
      "INSERT INTO `InstallExecuteSequence` (`Action`, `Sequence`) VALUES ('Odd\tName\x01', -7)"}},
    {"IndirectPropertyNamingItself",
     {"UPDATE `Control` SET `Attributes` = 11, `Property` = 'RMChoice' WHERE `Control` = 'ShutdownOption'",
      "INSERT INTO `Property` (`Property`, `Value`) VALUES ('RMChoice', 'RMChoice')"}},
    {"MalformedVersionsAndKeys",
     {"UPDATE `Property` SET `Value` = '99999999999999999999.1' WHERE `Property` = 'ProductVersion'",
      "INSERT INTO `Upgrade` (`UpgradeCode`, `VersionMin`, `VersionMax`, `Attributes`, `ActionProperty`) "
      "VALUES ('{DCE70C63-8808-4646-B16B-A677BD298385}', '4294967296.0', '...', -1, 'X')",
      "INSERT INTO `Registry` (`Registry`, `Root`, `Key`, `Value`, `Component_`) "
      "VALUES ('RegOdd', 9, '\\\\', '[[[]]] [\\[] [', 'Path_Component')"}},
};

TEST(Damaged, HostileTableDataValidatesToTheEnd) {
  REQUIRE_CORPUS();
  for (const HostileData& h : kHostileData) {
    SCOPED_TRACE(h.name);
    ts::TempDir dir;
    const fs::path package = Altered(dir, "putty-0.68-installer.msi", h.statements);
    const ts::RunResult r = Validate({package.string()});
    EXPECT_TRUE(r.exit_code == 0 || r.exit_code == 1) << r.Describe() << "\n" << r.err;
    ExpectWellFormed(r.out);
    EXPECT_EQ(r.out.find("FAILURE"), std::string::npos) << r.out;
  }
}

}  // namespace
}  // namespace vt

namespace vt {
namespace {

// A package whose column catalog is damaged is refused at open: exit 3 with
// the installer's result code, and the next package is still validated.
TEST(Damaged, DamagedCatalogIsReportedAndTheNextPackageRuns) {
  REQUIRE_CORPUS();
  ts::TempDir dir;
  const fs::path damaged = Altered(dir, "putty-0.68-installer.msi", {});
  const msi::Status s = msi::ReplaceRootStreamInFile(
      damaged.string(), msi::EncodeStreamName(u"_Columns", true), std::vector<uint8_t>(12, 0));
  ASSERT_TRUE(s.ok());
  ts::TempDir other;
  const fs::path sound = Altered(other, "putty-0.68-installer.msi", {});
  const ts::RunResult r = Validate({damaged.string(), sound.string()});
  EXPECT_EQ(r.exit_code, 3) << r.Describe();
  EXPECT_NE(r.err.find("cannot open: error 13: "), std::string::npos) << r.err;
  EXPECT_NE(r.out.find(sound.string() + ": "), std::string::npos) << r.out;
}

}  // namespace
}  // namespace vt
