// Real packages: every one gives a complete report with exactly the error
// lines its missing tables call for; three are kept whole as expected files;
// damaged copies give no crash and a complete page frame.
#include <gtest/gtest.h>

#include <random>
#include <set>

#include "Automation.h"
#include "TestSupport.h"

namespace pellacor::testing {
namespace {

std::vector<fs::path> CorpusPackages() {
  std::vector<fs::path> packages;
  if (!CorpusPresent()) return packages;
  for (const auto& entry : fs::directory_iterator(CorpusDir())) {
    std::string ext = entry.path().extension().string();
    if (entry.is_regular_file() && (ext == ".msi" || ext == ".msm" || ext == ".cub")) {
      packages.push_back(entry.path());
    }
  }
  std::sort(packages.begin(), packages.end());
  return packages;
}

std::set<std::string> TablesOf(const fs::path& package) {
  std::set<std::string> tables;
  Database db = Installer().OpenDatabase(package.string(), Installer::kReadOnly);
  View view = db.OpenView("SELECT `Name` FROM `_Tables`");
  view.Execute();
  for (Record row = view.Fetch(); !row.IsNothing(); row = view.Fetch()) {
    tables.insert(row.StringData(1));
  }
  return tables;
}

// The report cut at its section headings.
struct Sections {
  std::vector<std::string> before_head, head, header, requirements, upgrade, files,
      binaries, end;
};

Sections Cut(const std::vector<std::string>& lines) {
  Sections s;
  std::vector<std::string>* part = &s.before_head;
  for (const std::string& line : lines) {
    if (line == "<HTML>") part = &s.head;
    else if (line == "<H2>SETUP REPORT</H2>") part = &s.header;
    else if (line == "<H2>System Requirements</H2>") part = &s.requirements;
    else if (line == "<H2>Upgrade</H2>") part = &s.upgrade;
    else if (line == "<H2>File List</H2>") part = &s.files;
    else if (line == "<H2>Binary List</H2>") part = &s.binaries;
    else if (line.rfind("<br><hr solid size=1><center><small>", 0) == 0) part = &s.end;
    part->push_back(line);
  }
  return s;
}

bool IsError(const std::string& line) { return line.rfind("Error: ", 0) == 0; }

size_t CountErrors(const std::vector<std::string>& lines) {
  return static_cast<size_t>(std::count_if(lines.begin(), lines.end(), IsError));
}

std::string ErrorPattern(const std::vector<std::string>& lines) {
  std::string pattern;
  for (const std::string& line : lines) pattern += IsError(line) ? 'E' : '.';
  return pattern;
}

void ExpectCompleteFrame(const std::vector<std::string>& lines) {
  ASSERT_GE(lines.size(), 3u);
  EXPECT_EQ(lines[lines.size() - 3].rfind("<br><hr solid size=1><center><small>Pellacor ", 0), 0u);
  EXPECT_EQ(lines[lines.size() - 2], "</BODY>");
  EXPECT_EQ(lines.back(), "</HTML>");
  EXPECT_NE(std::find(lines.begin(), lines.end(), "<BODY>"), lines.end());
}

TEST(CorpusTest, EveryPackageGetsExactlyTheErrorLinesOfItsMissingTables) {
  std::vector<fs::path> packages = CorpusPackages();
  if (packages.empty()) GTEST_SKIP() << "corpus not present at " << CorpusDir();
  for (const fs::path& original : packages) {
    SCOPED_TRACE(original.filename().string());
    TempDir dir;
    fs::path package = CopyPackage(original, dir);
    std::set<std::string> tables;
    bool opens = true;
    try {
      tables = TablesOf(package);
    } catch (const Failure&) {
      opens = false;
    }
    auto has = [&](const char* table) { return tables.count(table) > 0; };
    std::string report = RunReport(package);
    std::vector<std::string> lines = SplitLines(report);
    ExpectCompleteFrame(lines);
    Sections s = Cut(lines);
    if (!opens) {
      // A package the engine cannot open: its error line comes first.
      ASSERT_EQ(s.before_head.size(), 1u);
      EXPECT_TRUE(IsError(s.before_head[0]));
      continue;
    }

    EXPECT_TRUE(s.before_head.empty());
    EXPECT_EQ(CountErrors(s.head), 0u);
    // Without a Property table each property line of the header fails.
    EXPECT_EQ(ErrorPattern(s.header), has("Property") ? "........." : "..EE.EEEE");

    if (!has("HollinDetects")) {
      EXPECT_EQ(s.requirements.size(), 2u);
      EXPECT_EQ(CountErrors(s.requirements), 0u);
    }
    EXPECT_EQ(CountErrors(s.upgrade), 0u);
    if (!has("Upgrade")) {
      EXPECT_EQ(s.upgrade, (std::vector<std::string>{
                               "<H2>Upgrade</H2>",
                               "<H3><FONT COLOR=RED>Upgrade table not found!</FONT></H3>"}));
    }
    if (!has("File") || !has("Component")) {
      // The folder statement fails at open, execute, fetch and close.
      EXPECT_EQ(ErrorPattern(s.files), ".EEEE.");
      EXPECT_EQ(s.files.back(), "<H3><FONT COLOR=RED>No files in this package!</FONT></H3>");
    } else if (has("Directory")) {
      EXPECT_EQ(CountErrors(s.files), 0u);
    }
    if (!has("Binary")) {
      EXPECT_EQ(ErrorPattern(s.binaries), "...EEE.E.");
    } else {
      EXPECT_EQ(CountErrors(s.binaries), 0u);
    }
    EXPECT_EQ(CountErrors(s.end), 0u);
    // Nothing but the package and its report is left in the folder.
    size_t files = static_cast<size_t>(
        std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()));
    EXPECT_EQ(files, 2u);
  }
}

TEST(CorpusTest, ThreePackagesGiveTheKeptReports) {
  if (!CorpusPresent()) GTEST_SKIP() << "corpus not present at " << CorpusDir();
  for (const char* name : {"putty-0.68-installer.msi", "MergeModule1.msm", "mergemod.cub"}) {
    fs::path original = CorpusDir() / name;
    if (!fs::exists(original)) {
      ADD_FAILURE() << "corpus package " << name << " is gone";
      continue;
    }
    TempDir dir;
    fs::path package = CopyPackage(original, dir);
    ExpectSameAsExpectedFile(RunReport(package), package.string(),
                             "corpus-" + fs::path(name).stem().string());
  }
}

TEST(CorpusTest, DamagedCopiesGiveACompleteFrame) {
  std::vector<fs::path> packages = CorpusPackages();
  if (packages.empty()) GTEST_SKIP() << "corpus not present at " << CorpusDir();
  std::mt19937 random(6);
  for (const fs::path& original : packages) {
    std::string bytes = ReadBytes(original);
    for (int round = 0; round < 12; ++round) {
      SCOPED_TRACE(original.filename().string() + " round " + std::to_string(round));
      std::string damaged = bytes;
      switch (round % 4) {
        case 0:  // scattered byte changes
          for (int i = 0; i < 40; ++i) {
            damaged[random() % damaged.size()] = static_cast<char>(random());
          }
          break;
        case 1:  // truncation
          damaged.resize(random() % damaged.size());
          break;
        case 2: {  // one sector overwritten with noise
          size_t sector = (random() % (damaged.size() / 512)) * 512;
          for (size_t i = sector; i < std::min(sector + 512, damaged.size()); ++i) {
            damaged[i] = static_cast<char>(random());
          }
          break;
        }
        case 3: {  // a run of bytes zeroed in the second half
          size_t start = damaged.size() / 2 + random() % (damaged.size() / 2);
          for (size_t i = start; i < std::min(start + 4096, damaged.size()); ++i) damaged[i] = 0;
          break;
        }
      }
      TempDir dir;
      fs::path package = dir / original.filename();
      WriteBytes(package, damaged);
      std::string report = RunReport(package);
      ExpectCompleteFrame(SplitLines(report));
    }
  }
}

}  // namespace
}  // namespace pellacor::testing
