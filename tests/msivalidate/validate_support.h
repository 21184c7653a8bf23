// What the tests of msivalidate share: running it and msisql under a time
// limit, and the shape of an evaluator case.
#pragma once

#include <string>
#include <vector>

#include "support.h"

namespace vt {

namespace fs = std::filesystem;

ts::RunResult Validate(const std::vector<std::string>& args);

// A copy of the corpus package `name` in `dir`, changed by `statements`
// (run by `msisql --write`; the test fails when one is refused).
fs::path Altered(const ts::TempDir& dir, const std::string& name,
                 const std::vector<std::string>& statements);

// The finding lines msivalidate prints for `package` (the summary line left
// out); extra arguments go before the package.
std::vector<std::string> FindingLines(const fs::path& package,
                                      const std::vector<std::string>& args = {});

// An evaluator tripped once: the corpus package as it is does not report
// `expected`; after `statements` it reports it exactly once.
struct EvaluatorCase {
  const char* ice;
  const char* package;  // a corpus file name
  std::vector<std::string> statements;
  const char* expected;  // the whole finding line
};

void CheckEvaluatorCase(const EvaluatorCase& c);

// Test names for a parameterised suite of cases: ICE30_0, ICE30_1, ...
std::string CaseName(const testing::TestParamInfo<EvaluatorCase>& info);

}  // namespace vt
