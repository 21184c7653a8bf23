// What the report builder's tests share: fixture packages, running a report
// and comparing it with a kept expected page, and a recording stand-in for
// the progress window. Folders and outside programs come from ts::.
#pragma once

#include <set>
#include <string>
#include <vector>

#include "Progress.h"
#include "support.h"

namespace pellacor::testing {

namespace fs = std::filesystem;
using ts::TempDir;

fs::path FixturePackage(const std::string& name);
// A writable copy of the fixture at `as` inside `dir` (folders created).
fs::path CopyFixture(const std::string& name, const TempDir& dir, const std::string& as);

// Runs the report of `package`; the report file's bytes, empty when none.
std::string RunReport(const fs::path& package, ProgressLabel* label = nullptr,
                      ProgressBar* bar = nullptr);

// The report's lines, split at CR LF (the text must end in CR LF).
std::vector<std::string> SplitLines(const std::string& report);
// Folder paths of the file list's index, in order.
std::vector<std::string> FolderIndex(const std::string& report);

// Everything under `dir` (folders too), as relative paths.
std::set<std::string> Listing(const fs::path& dir);

// Compares with expected/NAME.html, the package path written as @PACKAGE@
// and the blocks every page shares (expected/frame.html) as "@@ BLOCK"
// lines. PELLACOR_UPDATE_EXPECTED=1 rewrites the file instead (then read it
// through by hand).
void ExpectKeptReport(const std::string& report, const fs::path& package,
                      const std::string& name);

// Records every caption and bar change, in order, as text.
class RecordingProgress : public ProgressLabel, public ProgressBar {
 public:
  void SetCaption(const std::string& caption) override { events.push_back("caption: " + caption); }
  void RepaintWindow() override { events.push_back("repaint"); }
  void SetMin(float value) override { Add("min ", value); }
  void SetMax(float value) override { Add("max ", value); }
  void SetValue(float value) override { Add("value ", value); }
  std::vector<std::string> events;

 private:
  void Add(const char* what, float value);
};

}  // namespace pellacor::testing
