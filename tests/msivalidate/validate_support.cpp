#include "validate_support.h"

#include <algorithm>
#include <sstream>

namespace vt {

ts::RunResult Validate(const std::vector<std::string>& args) {
  std::vector<std::string> argv = {MSIVALIDATE_PROGRAM};
  argv.insert(argv.end(), args.begin(), args.end());
  return ts::Run(argv);  // under the default time limit
}

fs::path Altered(const ts::TempDir& dir, const std::string& name,
                 const std::vector<std::string>& statements) {
  const fs::path copy = dir / name;
  ts::CopyPackage(ts::CorpusDir() / name, copy);
  if (statements.empty()) return copy;
  std::vector<std::string> argv = {MSISQL_PROGRAM, "--write", copy.string()};
  argv.insert(argv.end(), statements.begin(), statements.end());
  const ts::RunResult r = ts::Run(argv);
  EXPECT_EQ(r.exit_code, 0) << r.Describe() << "\n" << r.err;
  return copy;
}

std::vector<std::string> FindingLines(const fs::path& package, const std::vector<std::string>& args) {
  std::vector<std::string> all = args;
  all.push_back(package.string());
  const ts::RunResult r = Validate(all);
  EXPECT_TRUE(r.exit_code == 0 || r.exit_code == 1) << r.Describe() << "\n" << r.err;
  std::vector<std::string> lines;
  std::istringstream in(r.out);
  for (std::string line; std::getline(in, line);)
    if (line.rfind("ICE", 0) == 0) lines.push_back(line);
  return lines;
}

bool Matches(std::string_view text, std::string_view pattern) {
  if (pattern.empty()) return text.empty();
  const auto digit = [](char c) { return c >= '0' && c <= '9'; };
  switch (pattern[0]) {
    case '*':
      for (size_t skip = 0; skip <= text.size(); ++skip)
        if (Matches(text.substr(skip), pattern.substr(1))) return true;
      return false;
    case '#':
      for (size_t n = 1; n <= text.size() && digit(text[n - 1]); ++n)
        if (Matches(text.substr(n), pattern.substr(1))) return true;
      return false;
    default:
      return !text.empty() && text[0] == pattern[0] && Matches(text.substr(1), pattern.substr(1));
  }
}

void CheckEvaluatorCase(const EvaluatorCase& c) {
  ts::TempDir changed;
  const fs::path altered = Altered(changed, c.package, c.statements);
  if (!c.summary.empty()) {
    std::vector<std::string> argv = {MSISQL_PROGRAM, "--summary-set", altered.string()};
    argv.insert(argv.end(), c.summary.begin(), c.summary.end());
    const ts::RunResult r = ts::Run(argv);
    ASSERT_EQ(r.exit_code, 0) << r.Describe() << "\n" << r.err;
  }
  const auto after = FindingLines(altered, {"--ice", c.ice});
  std::string got;
  for (const auto& line : after) got += "\n  " + line;
  if (c.expect == Expect::Absent) {
    for (const auto& line : after)
      EXPECT_EQ(line.find(c.expected), std::string::npos) << "not expected: " << line;
    return;
  }
  EXPECT_EQ(std::count(after.begin(), after.end(), c.expected), 1)
      << "expected once:\n  " << c.expected << "\ngot:" << got;
  ts::TempDir dir;
  const auto before = FindingLines(Altered(dir, c.package, {}), {"--ice", c.ice});
  EXPECT_EQ(std::count(before.begin(), before.end(), c.expected), 0)
      << c.ice << " reports this on the unaltered " << c.package;
}

std::string CaseName(const testing::TestParamInfo<EvaluatorCase>& info) {
  return std::string(info.param.ice) + "_" + std::to_string(info.index);
}

}  // namespace vt
