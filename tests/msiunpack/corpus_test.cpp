// msiunpack on the real packages of the corpus: the layout (paths, sizes,
// times, messages) against listings checked by hand once against each
// package's tables, and the bytes against the package's own MsiFileHash.
#include <gtest/gtest.h>

#include <map>

#include "msiquery.h"
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

std::string Replace(std::string text, const std::string& from, const std::string& to) {
  for (size_t at = 0; (at = text.find(from, at)) != std::string::npos; at += to.size())
    text.replace(at, from.size(), to);
  return text;
}

struct HashRow {
  std::string long_name;
  std::vector<int> parts;
};

// MsiFileHash rows with the long name of their file, read with the engine.
std::vector<HashRow> FileHashes(const fs::path& package) {
  std::vector<HashRow> rows;
  ts::Handle db;
  if (ts::Open(package, MSIDBOPEN_READONLY_A, db) != ERROR_SUCCESS ||
      MsiDatabaseIsTablePersistentA(db, "MsiFileHash") != MSICONDITION_TRUE)
    return rows;
  std::stringstream lines(ts::Select(db,
      "SELECT `File`.`FileName`, `HashPart1`, `HashPart2`, `HashPart3`, `HashPart4` "
      "FROM `MsiFileHash`, `File` WHERE `MsiFileHash`.`File_` = `File`.`File`"));
  std::string line;
  std::getline(lines, line);  // the column names
  while (std::getline(lines, line)) {
    std::stringstream fields(line);
    std::string names, part;
    std::getline(fields, names, '	');
    HashRow hash{names.substr(names.find('|') + 1), {}};
    while (std::getline(fields, part, '	')) hash.parts.push_back(std::stoi(part));
    rows.push_back(hash);
  }
  return rows;
}

TEST(CorpusUnpack, LayoutMatchesTheCheckedListing) {
  REQUIRE_CORPUS();
  const char* update = std::getenv("UNPACK_UPDATE_EXPECTED");
  int compared = 0;
  for (const fs::path& package : CorpusPackages()) {
    const fs::path expected = fs::path(UNPACK_EXPECTED_DIR) / (package.filename().string() + ".txt");
    if (!fs::exists(expected) && !(update && std::string(update) == "1")) continue;
    SCOPED_TRACE(package.filename().string());
    TempDir out;
    const RunResult run = RunUnpack({package.string(), (out / "image").string()}, out.path());
    std::vector<std::string> got{"exit " + std::to_string(run.exit_code)};
    std::stringstream err(Replace(run.err, ts::CorpusDir().string(), "@CORPUS@"));
    for (std::string line; std::getline(err, line);) got.push_back("stderr " + line);
    for (const std::string& line : TreeListing(out / "image")) got.push_back(line);
    if (update && std::string(update) == "1") {
      std::string text;
      for (const std::string& line : got) text += line + "\n";
      WriteBytes(expected, text);
      continue;
    }
    EXPECT_EQ(got, ReadLines(expected));
    ++compared;
  }
  EXPECT_GT(compared, 0) << "no expected listing matched a corpus package";
}

// For any package, kept listing or not: --list names exactly the files
// written, and every file with a hash has the bytes the package says.
TEST(CorpusUnpack, ListingSizesAndHashesAgreeWithTheFiles) {
  REQUIRE_CORPUS();
  for (const fs::path& package : CorpusPackages()) {
    SCOPED_TRACE(package.filename().string());
    TempDir out;
    const RunResult listed = RunUnpack({"--list", package.string()}, out.path());
    const RunResult run = RunUnpack({package.string(), "image"}, out.path());
    ASSERT_TRUE(run.exit_code == 0 || run.exit_code == 1) << run.err;
    EXPECT_EQ(listed.exit_code, 0) << listed.err;
    std::map<std::string, std::string> written;  // path -> bytes
    for (const auto& e : fs::recursive_directory_iterator(out / "image"))
      if (e.is_regular_file()) written[fs::relative(e.path(), out / "image").generic_string()] = ReadBytes(e.path());
    std::stringstream lines(listed.out);
    size_t listed_count = 0;
    for (std::string line; std::getline(lines, line); ++listed_count) {
      const std::string path = line.substr(0, line.find('\t'));
      const auto file = written.find(path);
      if (run.exit_code == 0) {
        ASSERT_NE(file, written.end()) << path;
      }
      if (file != written.end()) {
        EXPECT_EQ(std::to_string(file->second.size()), line.substr(line.find('\t') + 1));
      }
    }
    if (run.exit_code == 0) {
      EXPECT_EQ(written.size(), listed_count);
    }
    for (const HashRow& hash : FileHashes(package)) {
      // Authoring tools write zeros when they computed no hash.
      if (hash.parts == std::vector<int>{0, 0, 0, 0}) continue;
      bool matched = false, named = false;
      for (const auto& [path, bytes] : written) named = named || fs::path(path).filename() == hash.long_name;
      if (!named && run.exit_code != 0) continue;  // reported as not unpacked
      for (const auto& [path, bytes] : written)
        matched = matched || (fs::path(path).filename() == hash.long_name && Md5Parts(bytes) == hash.parts);
      EXPECT_TRUE(matched) << hash.long_name << " is missing or differs from its MsiFileHash";
    }
  }
}

}  // namespace
}  // namespace unpack_test
