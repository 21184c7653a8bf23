// Whole reports, compared with kept pages, for every fixture and for the
// places a package can lie: names without .msi, hostile folder names,
// foreign temporary files, a temporary folder that is not there. Each run
// must also give the same page without a window, follow the progress
// protocol and leave nothing behind but its report.
#include <gtest/gtest.h>

#include "BuildReport.h"
#include "HtmlText.h"
#include "TestSupport.h"

namespace pellacor::testing {
namespace {

struct ReportCase {
  const char* name;
  const char* fixture;
  const char* as;      // where the package lies in the test's folder
  const char* report;  // where its report must land
  const char* kept;    // expected page
  std::vector<std::string> folders = {};  // made before the run
  std::vector<std::string> foreign = {};  // somebody else's files, left alone
};

ReportCase Fixture(const char* name) {
  return {name, name, "", "", name};
}

const ReportCase kCases[] = {
    Fixture("ordinary"), Fixture("hollin"), Fixture("upgrade"), Fixture("empty_tables"),
    Fixture("missing_tables"), Fixture("directories"), Fixture("big_files"),
    Fixture("directory_cycle"), Fixture("binary"), Fixture("hostile"),
    {"ForeignTemporaryFile", "binary", "Setup.msi", "Setup.html", "binary", {}, {"Setup.~bin"}},
    {"NameWithoutMsi", "binary", "Project.wsi", "Project.wsi.html", "binary"},
    // The report's folder exists, the temporary file's (x.~bin) does not:
    // each stream's open, write and delete become error lines.
    {"NoFolderForTheTemporaryFile", "binary", "x.msi/App.msi", "x.html/App.html",
     "binary_without_temporary_file", {"x.html"}},
    {"HostileFolderAndName", "hostile", "R&D <x>/h'q.msi", "R&D <x>/h'q.html", "hostile"},
};

// The captions and bar values a run must show, given the folders its page lists.
std::vector<std::string> Protocol(const std::vector<std::string>& folders) {
  std::vector<std::string> events = {
      "min 0", "max 100", "value 0", "caption: Creating report header...",
      "caption: Write System Requirements information...",
      "caption: Write uprading information...", "caption: Write files information...",
      "caption: Write folder list..."};
  if (!folders.empty()) {
    events.insert(events.end(), {"min 0", "max " + std::to_string(folders.size()), "value 0"});
  }
  for (size_t i = 0; i < folders.size(); ++i) {
    events.insert(events.end(), {"caption: Files in " + folders[i] + "...", "repaint",
                                 "value " + std::to_string(i)});
  }
  events.insert(events.end(), {"caption: Write binary resources information...",
                               "caption: Write end of report..."});
  return events;
}

class ReportTest : public ::testing::TestWithParam<ReportCase> {};

TEST_P(ReportTest, KeptPageSameWithoutWindowAndNothingLeftBehind) {
  const ReportCase& c = GetParam();
  const std::string as = *c.as ? c.as : std::string(c.fixture) + ".msi";
  const std::string report_name = *c.report ? c.report : std::string(c.fixture) + ".html";
  TempDir dir;
  for (const std::string& folder : c.folders) fs::create_directories(dir / folder);
  const std::string foreign(5000, 'F');
  for (const std::string& file : c.foreign) ts::WriteText(dir / file, foreign);
  fs::path package = CopyFixture(c.fixture, dir, as);
  const std::string package_bytes = ts::ReadText(package);
  std::set<std::string> expected_listing = Listing(dir.path());
  expected_listing.insert(report_name);

  RecordingProgress window;
  BuildReport(package.string(), &window, &window);
  const std::string report = ts::ReadText(dir / report_name);
  ASSERT_FALSE(report.empty()) << "no report at " << report_name;
  ExpectKeptReport(report, package, c.kept);
  // The window shows folder names as text; the page escapes them.
  for (std::string& event : window.events) {
    if (event.starts_with("caption: ")) event = EncodeWindows1252(HtmlText(event));
  }
  EXPECT_EQ(window.events, Protocol(FolderIndex(report)));

  BuildReport(package.string(), nullptr, nullptr);
  EXPECT_TRUE(ts::ReadText(dir / report_name) == report) << "differs without the window";
  EXPECT_EQ(Listing(dir.path()), expected_listing);
  EXPECT_TRUE(ts::ReadText(package) == package_bytes) << "the package was written to";
  for (const std::string& file : c.foreign) EXPECT_EQ(ts::ReadText(dir / file), foreign) << file;
}

INSTANTIATE_TEST_SUITE_P(Cases, ReportTest, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace pellacor::testing
