// Whole reports, compared with kept pages, for every fixture and for the
// places a package can lie: names without .msi, hostile folder names,
// foreign temporary files, a temporary folder that is not there. Each run
// must also give the same page without a window, follow the progress
// protocol and leave nothing behind but its report.
#include <gtest/gtest.h>

#include <sstream>

#include "BuildReport.h"
#include "HtmlText.h"
#include "Progress.h"
#include "TestSupport.h"

namespace pellacor::testing {
namespace {

struct ReportCase {
  std::string name, fixture;
  std::string as;      // where the package lies in the test's folder
  std::string report;  // where its report must land
  std::string kept;    // expected page
  std::vector<std::string> folders = {};  // made before the run
  std::vector<std::string> foreign = {};  // somebody else's files, left alone
};

// Records every caption and bar change, in order, as text.
struct RecordingProgress : ProgressLabel, ProgressBar {
  void SetCaption(const std::string& caption) override { events.push_back("caption: " + caption); }
  void RepaintWindow() override { events.push_back("repaint"); }
  void SetMin(float value) override { Add("min ", value); }
  void SetMax(float value) override { Add("max ", value); }
  void SetValue(float value) override { Add("value ", value); }
  void Add(const char* what, float value) {
    std::ostringstream text;
    text << what << value;
    events.push_back(text.str());
  }
  std::vector<std::string> events;
};

// Folder paths of the file list's index, in order.
std::vector<std::string> FolderIndex(const std::string& report) {
  std::vector<std::string> folders;
  for (const std::string& line : SplitLines(report)) {
    if (line.starts_with("<li><a href='#FOLDER") && line.ends_with("</a></li>")) {
      folders.push_back(line.substr(line.find("'>") + 2, line.size() - line.find("'>") - 11));
    }
  }
  return folders;
}

ReportCase Fixture(const std::string& name) {
  return {name, name, name + ".msi", name + ".html", name};
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
  std::vector<std::string> events = {"min 0", "max 100", "value 0"};
  for (const char* step :
       {"Creating report header", "Write System Requirements information",
        "Write uprading information", "Write files information", "Write folder list"}) {
    events.push_back(std::string("caption: ") + step + "...");
  }
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

TEST(ReportTest, KeptPageSameWithoutWindowAndNothingLeftBehind) {
  for (const ReportCase& c : kCases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    for (const std::string& folder : c.folders) fs::create_directories(dir / folder);
    const std::string foreign(5000, 'F');
    for (const std::string& file : c.foreign) ts::WriteText(dir / file, foreign);
    fs::path package = CopyFixture(c.fixture, dir, c.as);
    const std::string package_bytes = ts::ReadText(package);
    std::set<std::string> expected_listing = Listing(dir.path());
    expected_listing.insert(c.report);

    RecordingProgress window;
    BuildReport(package.string(), &window, &window);
    const std::string report = ts::ReadText(dir / c.report);  // throws when there is none
    ExpectKeptReport(report, package, c.kept);
    // The window shows folder names as text; the page escapes them.
    for (std::string& event : window.events) {
      if (event.starts_with("caption: ")) event = EncodeWindows1252(HtmlText(event));
    }
    EXPECT_EQ(window.events, Protocol(FolderIndex(report)));

    BuildReport(package.string(), nullptr, nullptr);
    EXPECT_TRUE(ts::ReadText(dir / c.report) == report) << "differs without the window";
    EXPECT_EQ(Listing(dir.path()), expected_listing);
    EXPECT_TRUE(ts::ReadText(package) == package_bytes) << "the package was written to";
    for (const std::string& file : c.foreign) EXPECT_EQ(ts::ReadText(dir / file), foreign) << file;
  }
}

}  // namespace
}  // namespace pellacor::testing
