// Helpers shared by the report builder's tests: temporary folders, running a
// report, comparing it with a kept expected file, and a recording stand-in
// for the progress window.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "Progress.h"

namespace pellacor::testing {

namespace fs = std::filesystem;

std::string ReadBytes(const fs::path& path);
void WriteBytes(const fs::path& path, const std::string& bytes);

// A fresh folder, removed with everything in it at the end of the test.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  const fs::path& path() const { return path_; }
  fs::path operator/(const std::string& name) const { return path_ / name; }

 private:
  fs::path path_;
};

fs::path FixturePackage(const std::string& name);
fs::path CorpusDir();
// Skips the calling test (GTEST_SKIP must run in the test body, so this
// only tells whether to).
bool CorpusPresent();

// Copies a package into `dir` (under `name`, or its own name).
fs::path CopyPackage(const fs::path& package, const TempDir& dir,
                     const std::string& name = "");

// Runs the report of `package` and returns the report file's bytes; empty
// when no report was written.
std::string RunReport(const fs::path& package, ProgressLabel* label = nullptr,
                      ProgressBar* bar = nullptr);

// The report's lines, split at CR LF (the text must end in CR LF).
std::vector<std::string> SplitLines(const std::string& report);

// Replaces every occurrence of `text` by `placeholder`.
std::string ReplaceAll(std::string subject, const std::string& text,
                       const std::string& placeholder);

// Compares with expected/NAME.html byte for byte, the package path written
// as @PACKAGE@. With PELLACOR_UPDATE_EXPECTED=1 in the environment the file
// is rewritten instead (then read it through by hand).
void ExpectSameAsExpectedFile(const std::string& report,
                              const std::string& package_path,
                              const std::string& name);

// Records every caption and bar change, in order, as text.
class RecordingProgress : public ProgressLabel, public ProgressBar {
 public:
  void SetCaption(const std::string& caption) override;
  void RepaintWindow() override;
  void SetMin(float value) override;
  void SetMax(float value) override;
  void SetValue(float value) override;
  const std::vector<std::string>& events() const { return events_; }

 private:
  std::vector<std::string> events_;
};

}  // namespace pellacor::testing
