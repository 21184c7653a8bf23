// Every real package gives a complete report with exactly the error lines
// its missing tables call for; three are kept whole as expected pages;
// damaged copies give no crash and a complete page frame.
#include <gtest/gtest.h>

#include <map>
#include <random>

#include "Automation.h"
#include "TestSupport.h"

namespace pellacor::testing {
namespace {

const std::map<std::string, std::string> kKept = {
    {"putty-0.68-installer.msi", "corpus-putty-0.68-installer"},
    {"MergeModule1.msm", "corpus-MergeModule1"},
    {"mergemod.cub", "corpus-mergemod"}};

// The report cut at its section headings.
struct Sections {
  std::vector<std::string> before_head, head, header, requirements, upgrade, files, binaries, end;
};

Sections Cut(const std::vector<std::string>& lines) {
  Sections s;
  const std::pair<const char*, std::vector<std::string> Sections::*> starts[] = {
      {"<HTML>", &Sections::head},
      {"<H2>SETUP REPORT</H2>", &Sections::header},
      {"<H2>System Requirements</H2>", &Sections::requirements},
      {"<H2>Upgrade</H2>", &Sections::upgrade},
      {"<H2>File List</H2>", &Sections::files},
      {"<H2>Binary List</H2>", &Sections::binaries},
      {"<br><hr solid size=1><center><small>", &Sections::end}};
  std::vector<std::string>* part = &s.before_head;
  for (const std::string& line : lines) {
    for (const auto& [start, member] : starts) {
      if (line.starts_with(start)) part = &(s.*member);
    }
    part->push_back(line);
  }
  return s;
}

// One letter a line: E for an error line, . for any other.
std::string Errors(const std::vector<std::string>& lines) {
  std::string pattern;
  for (const std::string& line : lines) pattern += line.starts_with("Error: ") ? 'E' : '.';
  return pattern;
}

void ExpectCompleteFrame(const std::vector<std::string>& lines) {
  ASSERT_GE(lines.size(), 3u);
  EXPECT_TRUE(lines[lines.size() - 3].starts_with("<br><hr solid size=1><center><small>Pellacor "));
  EXPECT_EQ(lines[lines.size() - 2], "</BODY>");
  EXPECT_EQ(lines.back(), "</HTML>");
  EXPECT_NE(std::find(lines.begin(), lines.end(), "<BODY>"), lines.end());
}

TEST(CorpusTest, EveryPackageGetsExactlyTheErrorLinesOfItsMissingTables) {
  REQUIRE_CORPUS();
  for (const fs::path& original : ts::CorpusPackages()) {
    SCOPED_TRACE(original.filename().string());
    TempDir dir;
    fs::path package = dir / original.filename();
    ts::CopyPackage(original, package);
    std::set<std::string> tables;
    bool opens = true;
    try {
      Database db = Installer().OpenDatabase(package.string(), Installer::kReadOnly);
      View view = db.OpenView("SELECT `Name` FROM `_Tables`");
      view.Execute();
      for (Record row = view.Fetch(); !row.IsNothing(); row = view.Fetch()) {
        tables.insert(row.StringData(1));
      }
    } catch (const Failure&) {
      opens = false;
    }
    auto has = [&](const char* table) { return tables.count(table) > 0; };
    std::string report = RunReport(package);
    std::vector<std::string> lines = SplitLines(report);
    ExpectCompleteFrame(lines);
    EXPECT_EQ(Listing(dir.path()).size(), 2u) << "only the package and its report";
    Sections s = Cut(lines);
    if (!opens) {  // the open's error line comes first
      EXPECT_EQ(Errors(s.before_head), "E");
      continue;
    }
    if (auto kept = kKept.find(original.filename().string()); kept != kKept.end()) {
      ExpectKeptReport(report, package, kept->second);
    }
    EXPECT_EQ(Errors(s.before_head) + Errors(s.head), std::string(s.head.size(), '.'));
    // Without a Property table each property line of the header fails.
    EXPECT_EQ(Errors(s.header), has("Property") ? "........." : "..EE.EEEE");
    if (!has("HollinDetects")) {
      EXPECT_EQ(Errors(s.requirements), "..");
    }
    EXPECT_EQ(Errors(s.upgrade), std::string(s.upgrade.size(), '.'));
    if (!has("Upgrade")) {
      EXPECT_EQ(s.upgrade.back(), "<H3><FONT COLOR=RED>Upgrade table not found!</FONT></H3>");
      EXPECT_EQ(s.upgrade.size(), 2u);
    }
    if (!has("File") || !has("Component")) {
      // The folder statement fails at open, execute, fetch and close.
      EXPECT_EQ(Errors(s.files), ".EEEE.");
      EXPECT_EQ(s.files.back(), "<H3><FONT COLOR=RED>No files in this package!</FONT></H3>");
    } else if (has("Directory")) {
      EXPECT_EQ(Errors(s.files), std::string(s.files.size(), '.'));
    }
    EXPECT_EQ(Errors(s.binaries), has("Binary") ? std::string(s.binaries.size(), '.')
                                                : "...EEE.E.");
    EXPECT_EQ(Errors(s.end), "...");
  }
}

TEST(CorpusTest, DamagedCopiesGiveACompleteFrame) {
  REQUIRE_CORPUS();
  std::mt19937 random(6);
  for (const fs::path& original : ts::CorpusPackages()) {
    const std::string bytes = ts::ReadText(original);
    for (int round = 0; round < 12; ++round) {
      SCOPED_TRACE(original.filename().string() + " round " + std::to_string(round));
      std::string damaged = bytes;
      size_t at = random() % damaged.size();
      switch (round % 4) {
        case 0:  // scattered byte changes
          for (int i = 0; i < 40; ++i) damaged[random() % damaged.size()] = char(random());
          break;
        case 1:
          damaged.resize(at);
          break;
        case 2:  // one sector of noise
          for (size_t i = at / 512 * 512; i < std::min(at / 512 * 512 + 512, damaged.size()); ++i) {
            damaged[i] = char(random());
          }
          break;
        case 3:  // a run of zeros in the second half
          at = damaged.size() / 2 + at / 2;
          std::fill(damaged.begin() + at, damaged.begin() + std::min(at + 4096, damaged.size()), 0);
          break;
      }
      TempDir dir;
      ts::WriteText(dir / original.filename(), damaged);
      ExpectCompleteFrame(SplitLines(RunReport(dir / original.filename())));
    }
  }
}

}  // namespace
}  // namespace pellacor::testing
