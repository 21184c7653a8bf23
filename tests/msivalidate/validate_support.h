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

// Whether `text` has the shape of `pattern`: '*' stands for any run of
// characters, '#' for one or more digits. (GCC 12 cannot compile
// std::regex cleanly in the sanitizer build.)
bool Matches(std::string_view text, std::string_view pattern);

// What a case expects of the altered package.
enum class Expect {
  Once,    // `expected` is a whole finding line the unaltered package does not
           // report and the altered one reports exactly once
  Absent,  // no finding line of the altered package contains `expected` (a
           // key as lines print it, "[Comp1]", or any text): what looks like a
           // fault but is none
};

// A corpus package changed by `statements` (msisql --write), then by
// `summary` (msisql --summary-set NAME=VALUE...), validated by `ice` alone.
struct EvaluatorCase {
  const char* ice;
  const char* package;  // a corpus file name
  std::vector<std::string> statements;
  const char* expected;
  std::vector<std::string> summary = {};
  Expect expect = Expect::Once;
};

void CheckEvaluatorCase(const EvaluatorCase& c);

// Test names for a parameterised suite of cases: ICE30_0, ICE30_1, ...
std::string CaseName(const testing::TestParamInfo<EvaluatorCase>& info);

// A parameterised suite over a table of cases: EVALUATOR_CASES(Schema, kCases).
#define EVALUATOR_CASES(suite, cases)                                             \
  class suite : public testing::TestWithParam<::vt::EvaluatorCase> {};            \
  TEST_P(suite, Case) {                                                           \
    REQUIRE_CORPUS();                                                             \
    ::vt::CheckEvaluatorCase(GetParam());                                         \
  }                                                                               \
  INSTANTIATE_TEST_SUITE_P(Cases, suite, testing::ValuesIn(cases), ::vt::CaseName)

}  // namespace vt
