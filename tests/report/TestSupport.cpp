#include "TestSupport.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <random>
#include <sstream>

#include "BuildReport.h"
#include "PackagePaths.h"

namespace pellacor::testing {

std::string ReadBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

void WriteBytes(const fs::path& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

TempDir::TempDir() {
  std::string pattern = (fs::temp_directory_path() / "pellacor-test-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp");
  path_ = pattern;
}

TempDir::~TempDir() {
  std::error_code ignored;
  fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, ignored);
  fs::remove_all(path_, ignored);
}

fs::path FixturePackage(const std::string& name) {
  return fs::path(PELLACOR_FIXTURE_DIR) / (name + ".msi");
}

fs::path CorpusDir() { return fs::path(PELLACOR_CORPUS_DIR); }

bool CorpusPresent() { return fs::is_directory(CorpusDir()); }

fs::path CopyPackage(const fs::path& package, const TempDir& dir,
                     const std::string& name) {
  fs::path copy = dir / (name.empty() ? package.filename().string() : name);
  fs::copy_file(package, copy, fs::copy_options::overwrite_existing);
  return copy;
}

std::string RunReport(const fs::path& package, ProgressLabel* label,
                      ProgressBar* bar) {
  BuildReport(package.string(), label, bar);
  fs::path report = ReportPathFor(package.string());
  return fs::exists(report) ? ReadBytes(report) : std::string();
}

std::vector<std::string> SplitLines(const std::string& report) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < report.size()) {
    size_t end = report.find("\r\n", start);
    if (end == std::string::npos) {
      ADD_FAILURE() << "report does not end in CR LF";
      lines.push_back(report.substr(start));
      break;
    }
    lines.push_back(report.substr(start, end - start));
    start = end + 2;
  }
  return lines;
}

std::string ReplaceAll(std::string subject, const std::string& text,
                       const std::string& placeholder) {
  if (text.empty()) return subject;
  for (size_t at = subject.find(text); at != std::string::npos;
       at = subject.find(text, at + placeholder.size())) {
    subject.replace(at, text.size(), placeholder);
  }
  return subject;
}

void ExpectSameAsExpectedFile(const std::string& report,
                              const std::string& package_path,
                              const std::string& name) {
  std::string normalized = ReplaceAll(report, package_path, "@PACKAGE@");
  fs::path expected_file = fs::path(PELLACOR_EXPECTED_DIR) / (name + ".html");
  const char* update = std::getenv("PELLACOR_UPDATE_EXPECTED");
  if (update != nullptr && std::string(update) == "1") {
    WriteBytes(expected_file, normalized);
    return;
  }
  ASSERT_TRUE(fs::exists(expected_file)) << expected_file;
  std::string expected = ReadBytes(expected_file);
  if (normalized == expected) return;
  std::vector<std::string> got = SplitLines(normalized);
  std::vector<std::string> want = SplitLines(expected);
  for (size_t i = 0; i < std::max(got.size(), want.size()); ++i) {
    std::string g = i < got.size() ? got[i] : "<missing>";
    std::string w = i < want.size() ? want[i] : "<missing>";
    if (g != w) {
      ADD_FAILURE() << name << ": first difference at line " << i + 1
                    << "\n  got:      " << g << "\n  expected: " << w;
      return;
    }
  }
  ADD_FAILURE() << name << ": reports differ in bytes outside the lines";
}

namespace {
std::string Number(float value) {
  std::ostringstream out;
  out << value;
  return out.str();
}
}  // namespace

void RecordingProgress::SetCaption(const std::string& caption) {
  events_.push_back("caption: " + caption);
}
void RecordingProgress::RepaintWindow() { events_.push_back("repaint"); }
void RecordingProgress::SetMin(float value) { events_.push_back("min " + Number(value)); }
void RecordingProgress::SetMax(float value) { events_.push_back("max " + Number(value)); }
void RecordingProgress::SetValue(float value) {
  events_.push_back("value " + Number(value));
}

}  // namespace pellacor::testing
