// Whole reports of the fixture packages, compared byte for byte with kept
// expected files, and the behaviour around them: the progress protocol, the
// same page without a window, no temporary file left behind.
#include <gtest/gtest.h>


#include "BuildReport.h"
#include "Failure.h"
#include "HtmlText.h"
#include "PackagePaths.h"
#include "TestSupport.h"

namespace pellacor::testing {
namespace {

constexpr const char* kFixtures[] = {
    "ordinary", "hollin",     "upgrade",     "empty_tables",    "missing_tables",
    "directories", "big_files", "directory_cycle", "binary",   "hostile"};

std::vector<std::string> ErrorLines(const std::string& report) {
  std::vector<std::string> errors;
  for (const std::string& line : SplitLines(report)) {
    if (line.rfind("Error: ", 0) == 0) errors.push_back(line);
  }
  return errors;
}

// The lines from `first` (inclusive) to the next line starting with `end`.
std::vector<std::string> Section(const std::string& report, const std::string& first,
                                 const std::string& end) {
  std::vector<std::string> lines = SplitLines(report);
  std::vector<std::string> section;
  bool inside = false;
  for (const std::string& line : lines) {
    if (line == first) inside = true;
    else if (inside && line.rfind(end, 0) == 0) break;
    if (inside) section.push_back(line);
  }
  return section;
}

class FixtureReportTest : public ::testing::TestWithParam<const char*> {};

TEST_P(FixtureReportTest, WholeReportIsTheExpectedOne) {
  TempDir dir;
  fs::path package = CopyPackage(FixturePackage(GetParam()), dir);
  std::string report = RunReport(package);
  ASSERT_FALSE(report.empty());
  ExpectSameAsExpectedFile(report, package.string(), GetParam());
}

TEST_P(FixtureReportTest, SamePageWithAndWithoutTheWindowAndNoFileLeftBehind) {
  TempDir dir;
  fs::path package = CopyPackage(FixturePackage(GetParam()), dir);
  std::string package_bytes = ReadBytes(package);
  RecordingProgress window;
  std::string with_window = RunReport(package, &window, &window);
  std::string without = RunReport(package);
  EXPECT_EQ(with_window, without);
  EXPECT_FALSE(window.events().empty());
  // Only the package and its report remain; the package is untouched.
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(dir.path())) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  std::string stem = package.stem().string();
  EXPECT_EQ(names, (std::vector<std::string>{stem + ".html", stem + ".msi"}));
  EXPECT_EQ(ReadBytes(package), package_bytes);
}

INSTANTIATE_TEST_SUITE_P(Fixtures, FixtureReportTest, ::testing::ValuesIn(kFixtures),
                         [](const auto& info) { return std::string(info.param); });

TEST(ReportTest, ProgressProtocolNamesEachStepAndCountsFolders) {
  TempDir dir;
  fs::path package = CopyPackage(FixturePackage("directories"), dir);
  RecordingProgress window;
  std::string report = RunReport(package, &window, &window);

  std::vector<std::string> folders;
  const std::string entry = "<li><a href='#FOLDER", entry_end = "</a></li>";
  for (const std::string& line : SplitLines(report)) {
    if (line.rfind(entry, 0) != 0 || !line.ends_with(entry_end)) continue;
    size_t from = line.find("'>") + 2;
    folders.push_back(line.substr(from, line.size() - from - entry_end.size()));
  }
  ASSERT_EQ(folders.size(), 7u);
  std::vector<std::string> expected = {
      "min 0", "max 100", "value 0", "caption: Creating report header...",
      "caption: Write System Requirements information...",
      "caption: Write uprading information...", "caption: Write files information...",
      "caption: Write folder list...", "min 0", "max 7", "value 0"};
  for (size_t i = 0; i < folders.size(); ++i) {
    expected.push_back("caption: Files in " + folders[i] + "...");
    expected.push_back("repaint");
    expected.push_back("value " + std::to_string(i));
  }
  expected.push_back("caption: Write binary resources information...");
  expected.push_back("caption: Write end of report...");
  EXPECT_EQ(window.events(), expected);
}

TEST(ReportTest, PackageWithoutFilesLeavesTheBarAtZero) {
  TempDir dir;
  fs::path package = CopyPackage(FixturePackage("empty_tables"), dir);
  RecordingProgress window;
  RunReport(package, &window, &window);
  std::vector<std::string> expected = {
      "min 0", "max 100", "value 0", "caption: Creating report header...",
      "caption: Write System Requirements information...",
      "caption: Write uprading information...", "caption: Write files information...",
      "caption: Write folder list...", "caption: Write binary resources information...",
      "caption: Write end of report..."};
  EXPECT_EQ(window.events(), expected);
}

TEST(ReportTest, FileSumsStopBelowTheBoundWithAnErrorLinePerOverflow) {
  TempDir dir;
  std::string report = RunReport(CopyPackage(FixturePackage("big_files"), dir));
  // 2000000000 + 1000000000 overflows the total and the folder sum;
  // 2000000000 + 147483647 + 5 overflows the total once more.
  EXPECT_EQ(ErrorLines(report),
            (std::vector<std::string>{"Error: 6 Overflow", "Error: 6 Overflow",
                                      "Error: 6 Overflow"}));
  EXPECT_NE(report.find("<TR><TH ALIGN=RIGHT>Total:</TH><TH ALIGN=RIGHT>4</TH>"
                        "<TH ALIGN=RIGHT>2147483647</TH>"),
            std::string::npos);
}

TEST(ReportTest, DirectoryCycleFailsItsStepsAndTheReportGoesOn) {
  TempDir dir;
  std::string report = RunReport(CopyPackage(FixturePackage("directory_cycle"), dir));
  std::vector<std::string> errors = ErrorLines(report);
  ASSERT_FALSE(errors.empty());
  for (const std::string& line : errors) {
    EXPECT_EQ(line, "Error: 28 Out of stack space (directory cycle through A)");
  }
  EXPECT_NE(report.find("<li><a href='#FOLDER2'>[TARGETDIR]Good\\</a></li>"),
            std::string::npos);
  EXPECT_TRUE(report.ends_with("</BODY>\r\n</HTML>\r\n"));
}

TEST(ReportTest, BinaryStreamsGetSizeAndVersion) {
  TempDir dir;
  std::string report = RunReport(CopyPackage(FixturePackage("binary"), dir));
  std::vector<std::string> section =
      Section(report, "<H2>Binary List</H2>", "<br><hr solid size=1>");
  std::vector<std::string> expected = {
      "<H2>Binary List</H2>",
      "<TABLE cellpadding=0 cellspacing=0 border=1 bordercolor=#C0C0C0 "
      "style=\"border-collapse: collapse\">",
      "<TR><TH>Name</TH><TH>Size</TH><TH>Version</TH></TR>",
      "<TR><TD>bitmap</TD><TD ALIGN=RIGHT> 70</TD><TD></TD></TR>",
      "<TR><TD>empty</TD><TD ALIGN=RIGHT> 0</TD><TD></TD></TR>",
      "<TR><TD>library</TD><TD ALIGN=RIGHT> 1024</TD><TD>2.0.1.5</TD></TR>",
      "<TR><TH>Total:</TH><TH ALIGN=RIGHT>1094</TH><TH> </TH></TR>",
      "</TABLE>"};
  EXPECT_EQ(section, expected);
}

TEST(ReportTest, StaleTemporaryFileOfAnotherOwnerIsLeftAlone) {
  TempDir dir;
  fs::path package = CopyPackage(FixturePackage("binary"), dir, "Setup.msi");
  std::string stale(5000, 'S');
  WriteBytes(dir / "Setup.~bin", stale);
  std::string report = RunReport(package);
  EXPECT_EQ(ReadBytes(dir / "Setup.~bin"), stale);
  EXPECT_FALSE(fs::exists(dir / "Setup-2.~bin"));
  EXPECT_NE(report.find("<TD>library</TD><TD ALIGN=RIGHT> 1024</TD><TD>2.0.1.5</TD>"),
            std::string::npos);
  EXPECT_TRUE(ErrorLines(report).empty());
}

TEST(ReportTest, PackageWithoutMsiInItsNameIsNeverOverwritten) {
  TempDir dir;
  fs::path package = CopyPackage(FixturePackage("binary"), dir, "Project.wsi");
  std::string before = ReadBytes(package);
  BuildReport(package.string(), nullptr, nullptr);
  EXPECT_EQ(ReadBytes(package), before);
  std::string report = ReadBytes(dir / "Project.wsi.html");
  EXPECT_NE(report.find("<TD>library</TD><TD ALIGN=RIGHT> 1024</TD><TD>2.0.1.5</TD>"),
            std::string::npos);
  EXPECT_FALSE(fs::exists(dir / "Project.wsi.~bin"));
}

TEST(ReportTest, TemporaryFileThatCannotBeCreatedGivesErrorLinesAndEmptyVersions) {
  TempDir dir;
  fs::create_directory(dir / "x.msi");
  fs::create_directory(dir / "x.html");  // the report can be written...
  fs::path package = CopyPackage(FixturePackage("binary"), dir, "x.msi/App.msi");
  std::string report = RunReport(package);  // ...but x.~bin/ does not exist
  std::vector<std::string> section =
      Section(report, "<TR><TD>library</TD><TD ALIGN=RIGHT> 1024</TD><TD></TD></TR>", "<");
  ASSERT_EQ(section.size(), 1u) << report;
  // Open, write and delete fail for each of the three streams.
  std::vector<std::string> errors = ErrorLines(report);
  ASSERT_EQ(errors.size(), 9u);
  EXPECT_EQ(errors[0], "Error: 76 Path not found");
  EXPECT_EQ(errors[1], "Error: 52 Bad file name or number");
  EXPECT_EQ(errors[2], "Error: 53 File not found");
}

TEST(ReportTest, NotAPackageGivesACompleteFrameWithErrorLines) {
  TempDir dir;
  fs::path package = dir / "notes.msi";
  WriteBytes(package, "These are plain notes, not a package.\r\n");
  std::vector<std::string> lines = SplitLines(RunReport(package));
  ASSERT_GT(lines.size(), 30u);
  EXPECT_EQ(lines[0].rfind("Error: ", 0), 0u) << lines[0];
  EXPECT_EQ(lines[1], "<HTML>");
  EXPECT_EQ(lines[20], "<H2>SETUP REPORT</H2>");
  EXPECT_EQ(lines[21], "Setup: " + package.string() + "<BR>");
  // The database never opened: each lookup on it fails.
  EXPECT_EQ(lines[22], "Error: 91 Object variable or With block variable not set");
  EXPECT_EQ(lines[lines.size() - 2], "</BODY>");
  EXPECT_EQ(lines.back(), "</HTML>");
}

TEST(ReportTest, MissingPackageIsFileNotFoundAndWritesNothing) {
  TempDir dir;
  for (const std::string& path : {(dir / "none.msi").string(), std::string(),
                                  dir.path().string()}) {
    try {
      BuildReport(path, nullptr, nullptr);
      ADD_FAILURE() << "'" << path << "' names no file";
    } catch (const Failure& failure) {
      EXPECT_EQ(failure.number(), 53);
      EXPECT_EQ(failure.description(), "File not found");
    }
  }
  EXPECT_TRUE(fs::is_empty(dir.path()));
}

TEST(ReportTest, ReportThatCannotBeCreatedIsARunTimeError) {
  TempDir dir;
  fs::create_directory(dir / "a.msi");
  fs::path package = CopyPackage(FixturePackage("ordinary"), dir, "a.msi/App.msi");
  try {
    BuildReport(package.string(), nullptr, nullptr);
    ADD_FAILURE() << "the report's folder a.html does not exist";
  } catch (const Failure& failure) {
    EXPECT_EQ(failure.number(), 76);
    EXPECT_EQ(failure.description().rfind("Path not found", 0), 0u);
  }
  EXPECT_FALSE(fs::exists(dir / "a.html"));
}

TEST(ReportTest, HostileValuesNeverBecomeMarkup) {
  TempDir dir;
  fs::create_directory(dir / "R&D <x>");
  fs::path package = CopyPackage(FixturePackage("hostile"), dir, "R&D <x>/h'q.msi");
  std::string report = RunReport(package);
  ASSERT_FALSE(report.empty());
  std::string lower = report;
  std::transform(lower.begin(), lower.end(), lower.begin(), ::tolower);
  EXPECT_EQ(lower.find("<script"), std::string::npos);
  EXPECT_EQ(lower.find("<img"), std::string::npos);
  EXPECT_EQ(lower.find("<i>"), std::string::npos);
  EXPECT_EQ(lower.find("</br><b>"), std::string::npos);
  EXPECT_NE(report.find("<TITLE>SETUP REPORT - " + HtmlText(package.string()) + "</TITLE>"),
            std::string::npos);
  EXPECT_NE(report.find("R&amp;D &lt;x&gt;/h&#39;q.msi<BR>"), std::string::npos);
  // Quoted keys reach the package as values, so their lookups work.
  EXPECT_NE(report.find("<H3>&lt;i&gt;Tools&lt;/i&gt; &amp; more</H3>"), std::string::npos);
  EXPECT_NE(report.find("<li>&lt;b&gt;Bold&lt;/b&gt; Product from one &lt;point&gt; oh to "
                        "&lt;2.0&gt;</li>"),
            std::string::npos);
  EXPECT_NE(report.find("[TARGETDIR]Quote&#39;s &lt;dir&gt; &amp; Co\\"), std::string::npos);
  EXPECT_NE(report.find("[TARGETDIR]&#917;&#955;&#955;&#951;&#957;&#953;&#954;&#940;\\"),
            std::string::npos);
  EXPECT_TRUE(ErrorLines(report).empty()) << ErrorLines(report)[0];
}

}  // namespace
}  // namespace pellacor::testing
