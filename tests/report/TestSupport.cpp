#include "TestSupport.h"

#include <cstdlib>

#include "BuildReport.h"
#include "HtmlText.h"
#include "PackagePaths.h"

namespace pellacor::testing {

fs::path FixturePackage(const std::string& name) {
  return fs::path(PELLACOR_FIXTURE_DIR) / (name + ".msi");
}

fs::path CopyFixture(const std::string& name, const TempDir& dir, const std::string& as) {
  fs::path copy = dir / as;
  fs::create_directories(copy.parent_path());
  ts::CopyPackage(FixturePackage(name), copy);
  return copy;
}

std::string RunReport(const fs::path& package) {
  BuildReport(package.string(), nullptr, nullptr);
  fs::path report = ReportPathFor(package.string());
  return fs::exists(report) ? ts::ReadText(report) : std::string();
}

std::vector<std::string> SplitLines(const std::string& report) {
  std::vector<std::string> lines;
  for (size_t start = 0, end = report.find("\r\n"); end != std::string::npos;
       start = end + 2, end = report.find("\r\n", start)) {
    lines.push_back(report.substr(start, end - start));
  }
  return lines;
}

std::set<std::string> Listing(const fs::path& dir) {
  std::set<std::string> names;
  for (const auto& entry : fs::recursive_directory_iterator(dir)) {
    names.insert(fs::relative(entry.path(), dir).string());
  }
  return names;
}

namespace {
void ReplaceAll(std::string& text, const std::string& from, const std::string& to) {
  for (size_t at = text.find(from); !from.empty() && at != std::string::npos;
       at = text.find(from, at + to.size())) {
    text.replace(at, from.size(), to);
  }
}
}  // namespace

void ExpectKeptReport(const std::string& report, const fs::path& package, const std::string& name) {
  std::string normal = report;
  ReplaceAll(normal, HtmlText(package.string()), "@PACKAGE@");
  ReplaceAll(normal, package.string(), "@PACKAGE@");
  // Each "@@ NAME" line of the frame file starts a block that runs to the next.
  std::string frame = ts::ReadText(fs::path(PELLACOR_EXPECTED_DIR) / "frame.html");
  for (size_t at = frame.find("@@ "); at != std::string::npos;) {
    size_t body = frame.find("\r\n", at) + 2, next = frame.find("@@ ", body);
    ReplaceAll(normal, frame.substr(body, next == std::string::npos ? next : next - body),
               frame.substr(at, body - at));
    at = next;
  }
  fs::path kept = fs::path(PELLACOR_EXPECTED_DIR) / (name + ".html");
  if (const char* update = std::getenv("PELLACOR_UPDATE_EXPECTED"); update && *update == '1') {
    ts::WriteText(kept, normal);
    return;
  }
  ASSERT_TRUE(fs::exists(kept)) << kept;
  std::string expected = ts::ReadText(kept);
  EXPECT_TRUE(normal == expected) << name << ": " << ts::FirstDifference(normal, expected);
}

}  // namespace pellacor::testing
