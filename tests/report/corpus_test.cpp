// Every real package gives a complete report with exactly the error lines
// its missing tables call for; three are kept whole as expected pages;
// damaged copies give no crash and a complete page frame.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>

#include "Failure.h"
#include "TestSupport.h"

namespace pellacor::testing {
namespace {

// Each section of the report (named by its first line) as one letter a
// line: E for an error line, . for any other.
std::map<std::string, std::string> ErrorShape(const std::vector<std::string>& lines) {
  const char* starts[] = {"<HTML>", "<H2>SETUP REPORT", "<H2>System Requirements", "<H2>Upgrade",
                          "<H2>File List", "<H2>Binary List", "<br><hr solid size=1>"};
  std::map<std::string, std::string> shape;
  std::string section = "before";
  for (const std::string& line : lines) {
    for (const char* start : starts) {
      if (line.starts_with(start)) section = start;
    }
    shape[section] += line.starts_with("Error: ") ? 'E' : '.';
  }
  return shape;
}

// Footer, end of body and of page: the report ran to its end.
bool Complete(const std::string& report) {
  return report.ends_with("\r\n</BODY>\r\n</HTML>\r\n") &&
         report.find("\r\n<br><hr solid size=1><center><small>Pellacor ") != std::string::npos;
}

TEST(CorpusTest, EveryPackageGetsExactlyTheErrorLinesOfItsMissingTables) {
  REQUIRE_CORPUS();
  const std::map<std::string, std::string> kept = {
      {"putty-0.68-installer.msi", "corpus-putty-0.68-installer"},
      {"MergeModule1.msm", "corpus-MergeModule1"},
      {"mergemod.cub", "corpus-mergemod"}};
  for (const fs::path& original : ts::CorpusPackages()) {
    SCOPED_TRACE(original.filename().string());
    TempDir dir;
    fs::path package = dir / original.filename();
    ts::CopyPackage(original, package);
    ts::Handle db;
    const bool opens = ts::Open(package, MSIDBOPEN_READONLY_A, db) == ERROR_SUCCESS;
    const std::vector<std::string> tables = opens ? ts::TableNames(db) : std::vector<std::string>{};
    db.reset();
    auto has = [&](const char* table) { return std::ranges::count(tables, table) > 0; };
    const std::string report = RunReport(package);
    EXPECT_TRUE(Complete(report)) << report.substr(report.size() < 300 ? 0 : report.size() - 300);
    EXPECT_EQ(Listing(dir.path()).size(), 2u) << "only the package and its report";
    std::map<std::string, std::string> shape = ErrorShape(SplitLines(report));
    if (!opens) {  // the open's error line comes first
      EXPECT_EQ(shape["before"], "E");
      continue;
    }
    if (kept.count(original.filename().string())) {
      ExpectKeptReport(report, package, kept.at(original.filename().string()));
    }
    auto none = [&](const char* section) { return std::string(shape[section].size(), '.'); };
    EXPECT_EQ(shape.size(), 7u) << "sections, nothing before the page";
    EXPECT_EQ(shape["<HTML>"], none("<HTML>"));
    // Without a Property table each property line of the header fails.
    EXPECT_EQ(shape["<H2>SETUP REPORT"], has("Property") ? "........." : "..EE.EEEE");
    if (!has("HollinDetects")) {
      EXPECT_EQ(shape["<H2>System Requirements"], "..");
    }
    EXPECT_EQ(shape["<H2>Upgrade"], has("Upgrade") ? none("<H2>Upgrade") : "..");
    if (!has("File") || !has("Component")) {
      // The folder statement fails at open, execute, fetch and close.
      EXPECT_EQ(shape["<H2>File List"], ".EEEE.");
    } else if (has("Directory")) {
      EXPECT_EQ(shape["<H2>File List"], none("<H2>File List"));
    }
    EXPECT_EQ(shape["<H2>Binary List"], has("Binary") ? none("<H2>Binary List") : "...EEE.E.");
    EXPECT_EQ(shape["<br><hr solid size=1>"], "...");
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
      const size_t at = random() % damaged.size();
      if (round % 3 == 0) {  // scattered byte changes
        for (int i = 0; i < 40; ++i) damaged[random() % damaged.size()] = char(random());
      } else if (round % 3 == 1) {
        damaged.resize(at);
      } else {  // a run of noise or of zeros
        for (size_t i = at; i < std::min(at + 4096, damaged.size()); ++i) {
          damaged[i] = round % 2 ? char(random()) : '\0';
        }
      }
      TempDir dir;
      ts::WriteText(dir / original.filename(), damaged);
      std::string report;
      try {
        report = RunReport(dir / original.filename());
      } catch (const Failure& failure) {
        FAIL() << "run-time error " << failure.number() << ": " << failure.description();
      } catch (const std::exception& e) {
        FAIL() << "exception: " << e.what();
      }
      EXPECT_TRUE(Complete(report)) << report.substr(report.size() < 300 ? 0 : report.size() - 300);
    }
  }
}

}  // namespace
}  // namespace pellacor::testing
