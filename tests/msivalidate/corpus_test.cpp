// What each corpus package reports, checked by hand once against the
// evaluators' reference pages and kept in expected/NAME.txt (the findings,
// then the summary line without its time). Set MSIVALIDATE_UPDATE=1 to
// rewrite the files after a deliberate change, and read the diff.
#include <cstdlib>

#include "validate_support.h"

namespace vt {
namespace {

// The summary's time and ICE01's clock differ from run to run.
std::string WithoutTimes(const std::string& out) {
  std::string kept;
  std::istringstream in(out);
  for (std::string line; std::getline(in, line);) {
    if (Matches(line, "*: # error* (# ms)")) line.erase(line.rfind(" ("));
    if (Matches(line, "ICE01  INFO     Called at #:#:#.")) line = "ICE01  INFO     Called at (time).";
    kept += line + "\n";
  }
  return kept;
}

TEST(Corpus, EachPackageReportsWhatWasCheckedByHand) {
  REQUIRE_CORPUS();
  const bool update = std::getenv("MSIVALIDATE_UPDATE") != nullptr;
  for (const fs::path& package : ts::CorpusPackages()) {
    SCOPED_TRACE(package.filename().string());
    // Run in the package's folder so that the lines carry no machine's path.
    ts::RunOptions in_corpus;
    in_corpus.cwd = package.parent_path();
    const ts::RunResult r =
        ts::Run({MSIVALIDATE_PROGRAM, package.filename().string()}, in_corpus);
    ASSERT_TRUE(r.exit_code == 0 || r.exit_code == 1) << r.Describe() << "\n" << r.err;
    const std::string got = WithoutTimes(r.out);
    const fs::path expected = fs::path(MSIVALIDATE_EXPECTED_DIR) / (package.filename().string() + ".txt");
    if (update) ts::WriteText(expected, got);
    // A package nobody has checked by hand yet only has to validate.
    if (fs::exists(expected)) {
      EXPECT_EQ(got, ts::ReadText(expected));
    }
  }
}

}  // namespace
}  // namespace vt
