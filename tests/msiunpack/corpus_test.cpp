// msiunpack on the real packages of the corpus: the layout (paths, sizes,
// times, messages) against listings checked by hand once against each
// package's tables. (The bytes against the package's own MsiFileHash:
// tests/database_api.)
#include <gtest/gtest.h>

#include <map>

#include "unpack_support.h"

namespace unpack_test {
namespace {

// The corpus's packages with its patch: msiunpack reads both.
std::vector<fs::path> CorpusPackages() {
  std::vector<fs::path> packages = ts::CorpusPackages();
  for (const auto& entry : fs::directory_iterator(ts::CorpusDir()))
    if (entry.path().extension() == ".msp") packages.push_back(entry.path());
  return packages;
}

// Each package unpacked once: the layout (exit status, messages, paths,
// sizes, times) against its kept listing where there is one
// (UNPACK_UPDATE_EXPECTED=1 writes them anew); for every package, --list
// names the files written with their sizes.
TEST(CorpusUnpack, LayoutAndListing) {
  REQUIRE_CORPUS();
  const char* update_variable = std::getenv("UNPACK_UPDATE_EXPECTED");
  const bool update = update_variable != nullptr && std::string(update_variable) == "1";
  int compared = 0;
  for (const fs::path& package : CorpusPackages()) {
    SCOPED_TRACE(package.filename().string());
    TempDir out;
    const fs::path image = out / "image";
    const RunResult run = RunUnpack({package.string(), image.string()}, out.path());
    ASSERT_TRUE(run.exit_code == 0 || run.exit_code == 1) << run.Describe() << " " << run.err;
    std::string got = "exit " + std::to_string(run.exit_code) + "\n";
    std::string err = run.err;
    for (size_t at; (at = err.find(ts::CorpusDir().string())) != std::string::npos;)
      err.replace(at, ts::CorpusDir().string().size(), "@CORPUS@");
    for (const std::string& line : ts::SplitText(err)) got += "stderr " + line + "\n";
    for (const std::string& line : TreeListing(image)) got += line + "\n";
    const fs::path expected = fs::path(UNPACK_EXPECTED_DIR) / (package.filename().string() + ".txt");
    if (update) WriteBytes(expected, got);
    if (fs::exists(expected)) {
      EXPECT_EQ(ts::SplitText(got), ts::SplitText(ReadBytes(expected)));
      ++compared;
    }

    const RunResult listed = RunUnpack({"--list", package.string()}, out.path());
    EXPECT_EQ(listed.exit_code, 0) << listed.err;
    std::map<std::string, std::string> listed_sizes, written_sizes;  // path -> size
    for (const std::string& line : ts::SplitText(listed.out))
      listed_sizes[line.substr(0, line.find('\t'))] = line.substr(line.find('\t') + 1);
    for (const auto& e : fs::recursive_directory_iterator(image)) {
      if (!e.is_regular_file()) continue;
      const std::string path = fs::relative(e.path(), image).generic_string();
      written_sizes[path] = std::to_string(e.file_size());
      if (listed_sizes.count(path) != 0) {
        EXPECT_EQ(written_sizes[path], listed_sizes[path]) << path;
      }
    }
    // A failed run (a file reported as not unpacked) writes only part.
    if (run.exit_code == 0) {
      EXPECT_EQ(written_sizes, listed_sizes);
    }
  }
  EXPECT_GT(compared, 0) << "no expected listing matched a corpus package";
}

}  // namespace
}  // namespace unpack_test
