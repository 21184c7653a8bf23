// msiunpack on the real packages of the corpus: the layout (paths, sizes,
// times, messages) against listings checked by hand once against each
// package's tables, and the bytes against the package's own MsiFileHash.
#include <glib.h>
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

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::stringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// The four 32-bit parts of a file's MD5, as MsiFileHash keeps them.
std::vector<int> Md5Parts(const std::string& bytes) {
  guint8 digest[16];
  gsize length = sizeof digest;
  GChecksum* sum = g_checksum_new(G_CHECKSUM_MD5);
  g_checksum_update(sum, reinterpret_cast<const guchar*>(bytes.data()), static_cast<gssize>(bytes.size()));
  g_checksum_get_digest(sum, digest, &length);
  g_checksum_free(sum);
  std::vector<int> parts;
  for (int i = 0; i < 4; ++i)
    parts.push_back(static_cast<int>(uint32_t{digest[i * 4]} | uint32_t{digest[i * 4 + 1]} << 8 |
                                     uint32_t{digest[i * 4 + 2]} << 16 | uint32_t{digest[i * 4 + 3]} << 24));
  return parts;
}

// MsiFileHash rows (parts joined by TAB) by the long name of their file,
// read with the engine.
std::multimap<std::string, std::string> FileHashes(const fs::path& package) {
  std::multimap<std::string, std::string> hashes;
  ts::Handle db;
  if (ts::Open(package, MSIDBOPEN_READONLY_A, db) != ERROR_SUCCESS ||
      MsiDatabaseIsTablePersistentA(db, "MsiFileHash") != MSICONDITION_TRUE)
    return hashes;
  const std::vector<std::string> rows = Lines(ts::Select(db,
      "SELECT `File`.`FileName`, `HashPart1`, `HashPart2`, `HashPart3`, `HashPart4` "
      "FROM `MsiFileHash`, `File` WHERE `MsiFileHash`.`File_` = `File`.`File`"));
  for (size_t i = 1; i < rows.size(); ++i) {  // the first is the column names
    const size_t tab = rows[i].find('\t');
    const std::string names = rows[i].substr(0, tab);
    hashes.emplace(names.substr(names.find('|') + 1), rows[i].substr(tab + 1));
  }
  return hashes;
}

// Each package unpacked once: the layout (exit status, messages, paths,
// sizes, times) against its kept listing where there is one
// (UNPACK_UPDATE_EXPECTED=1 writes them anew); for every package, --list
// names the files written with their sizes, and every file with a hash has
// the bytes the package says.
TEST(CorpusUnpack, LayoutListingAndHashes) {
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
    for (const std::string& line : Lines(err)) got += "stderr " + line + "\n";
    for (const std::string& line : TreeListing(image)) got += line + "\n";
    const fs::path expected = fs::path(UNPACK_EXPECTED_DIR) / (package.filename().string() + ".txt");
    if (update) WriteBytes(expected, got);
    if (fs::exists(expected)) {
      EXPECT_EQ(Lines(got), Lines(ReadBytes(expected)));
      ++compared;
    }

    const RunResult listed = RunUnpack({"--list", package.string()}, out.path());
    EXPECT_EQ(listed.exit_code, 0) << listed.err;
    std::map<std::string, std::string> listed_sizes, written_sizes, written;  // path -> size, bytes
    for (const std::string& line : Lines(listed.out))
      listed_sizes[line.substr(0, line.find('\t'))] = line.substr(line.find('\t') + 1);
    for (const auto& e : fs::recursive_directory_iterator(image)) {
      if (!e.is_regular_file()) continue;
      const std::string path = fs::relative(e.path(), image).generic_string();
      written[path] = ReadBytes(e.path());
      written_sizes[path] = std::to_string(written[path].size());
      if (listed_sizes.count(path) != 0) {
        EXPECT_EQ(written_sizes[path], listed_sizes[path]) << path;
      }
    }
    // A failed run (a file reported as not unpacked) writes only part.
    if (run.exit_code == 0) {
      EXPECT_EQ(written_sizes, listed_sizes);
    }
    for (const auto& [name, parts] : FileHashes(package)) {
      if (parts == "0\t0\t0\t0") continue;  // authoring tools write zeros when they computed no hash
      bool named = false, matched = false;
      for (const auto& [path, bytes] : written) {
        if (fs::path(path).filename() != name) continue;
        named = true;
        std::string hash;
        for (int part : Md5Parts(bytes)) hash += (hash.empty() ? "" : "\t") + std::to_string(part);
        matched = matched || hash == parts;
      }
      if (named || run.exit_code == 0) {
        EXPECT_TRUE(matched) << name << " is missing or differs from its MsiFileHash";
      }
    }
  }
  EXPECT_GT(compared, 0) << "no expected listing matched a corpus package";
}

}  // namespace
}  // namespace unpack_test
