// The pellacor program as scripts use it: the command line is one path, no
// display is needed, and the exit status and one line on standard error tell
// success from failure. Every case runs in a folder holding the same files;
// afterwards only its report may have been added.
#include <gtest/gtest.h>

#include "TestSupport.h"

namespace pellacor::testing {
namespace {

struct ProgramCase {
  const char* name;
  std::vector<std::string> args;
  std::vector<std::string> env;  // over an environment without any display
  int exit;
  std::string err;
  std::string package = "";  // as the page must name it
  std::string kept = "";     // expected page of its report, beside the package
};

const std::string kNotFound = "Pellacor: run-time error 53: File not found\n";

const ProgramCase kCases[] = {
    {"Headless", {"App.msi"}, {}, 0, "", "App.msi", "ordinary"},
    {"WindowOffscreen", {"App.msi"}, {"DISPLAY=:97", "QT_QPA_PLATFORM=offscreen"}, 0, "",
     "App.msi", "ordinary"},
    // A window system that cannot be reached: the same report without a window.
    {"DisplayUnreachable", {"App.msi"}, {"DISPLAY=:97"}, 0, "", "App.msi", "ordinary"},
    {"DisplayUnreachableByName", {"App.msi"}, {"DISPLAY=:97", "QT_QPA_PLATFORM=xcb"}, 0, "",
     "App.msi", "ordinary"},
    // The shell splits an unquoted path at its blank; the words join again.
    {"BlankBare", {"Setup", "Files/App.msi"}, {}, 0, "", "Setup Files/App.msi", "ordinary"},
    {"BlankQuoted", {"\"Setup Files/App.msi\""}, {}, 0, "", "Setup Files/App.msi", "ordinary"},
    {"NotAPackage", {"notes.msi"}, {}, 0, "", "notes.msi", "not_a_package"},
    {"NoArgument", {}, {}, 1, kNotFound},
    {"MissingFile", {"Missing.msi"}, {}, 1, kNotFound},
    {"UnbalancedQuote", {"App.msi\""}, {}, 1, kNotFound},
    {"TwoQuotedPaths", {"\"App.msi\"", "\"App.msi\""}, {}, 1, kNotFound},
    {"Folder", {"Folder.msi"}, {}, 1, kNotFound},
    {"ReportFolderMissing", {"b.msi/App.msi"}, {}, 1,
     "Pellacor: run-time error 76: Path not found: b.html/App.html\n"},
};

TEST(ProgramTest, ExitStatusErrorLineAndReport) {
  for (const ProgramCase& c : kCases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    for (const char* as : {"App.msi", "Setup Files/App.msi", "b.msi/App.msi"}) {
      CopyFixture("ordinary", dir, as);
    }
    fs::create_directory(dir / "Folder.msi");
    ts::WriteText(dir / "notes.msi", "These are plain notes, not a package.\r\n");
    std::set<std::string> listing = Listing(dir.path());

    std::vector<std::string> argv = {PELLACOR_PROGRAM};
    argv.insert(argv.end(), c.args.begin(), c.args.end());
    ts::RunOptions options;
    options.cwd = dir.path();
    options.env = {"DISPLAY=", "WAYLAND_DISPLAY=", "QT_QPA_PLATFORM="};
    options.env.insert(options.env.end(), c.env.begin(), c.env.end());
    ts::RunResult run = ts::Run(argv, options);
    EXPECT_EQ(run.exit_code, c.exit) << run.Describe() << "\n" << run.err;
    EXPECT_EQ(run.err, c.err);
    if (!c.kept.empty()) {
      fs::path report = fs::path(c.package).replace_extension(".html");
      listing.insert(report.string());
      ExpectKeptReport(ts::ReadText(dir / report), c.package, c.kept);
    }
    EXPECT_EQ(Listing(dir.path()), listing);
  }
}

}  // namespace
}  // namespace pellacor::testing
