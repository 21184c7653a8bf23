// A file's hash and version as the File and MsiFileHash tables keep them:
// against recorded answers, the corpus packages' own rows for the files
// msiunpack extracts, and damaged libraries. (The Binary libraries of the
// corpus are read through Pellacor's reports.)
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <map>
#include <sstream>

#include "pe_builder.h"
#include "support.h"

namespace api_test {
namespace {

namespace fs = std::filesystem;

std::string Hash(const fs::path& path, DWORD options = 0, ULONG size = sizeof(MSIFILEHASHINFO)) {
  MSIFILEHASHINFO hash{size, {1, 1, 1, 1}};
  const UINT r = MsiGetFileHashA(path.c_str(), options, &hash);
  if (r != ERROR_SUCCESS) return "error " + std::to_string(r);
  std::ostringstream out;
  out << std::hex << hash.dwData[0] << " " << hash.dwData[1] << " " << hash.dwData[2] << " " << hash.dwData[3];
  return out.str();
}

std::string Version(const fs::path& path) {
  char version[32] = "", lang[32] = "";
  DWORD vsize = sizeof version, lsize = sizeof lang;
  const UINT r = MsiGetFileVersionA(path.c_str(), version, &vsize, lang, &lsize);
  return r == ERROR_SUCCESS ? std::string(version) + " " + lang : "error " + std::to_string(r);
}

TEST(FileInfo, HashesAsTheInstallerRecordsThem) {
  ts::TempDir dir;
  const std::string caesar = "C:\\Program Files\\msitest\\caesar\n";
  ts::WriteText(dir / "empty", "");
  ts::WriteText(dir / "abc", "abc");
  ts::WriteText(dir / "caesar", caesar);
  ts::WriteText(dir / "padded", caesar + std::string(500 - caesar.size(), '\0'));
  ts::WriteText(dir / "big", std::string(200000, 'z'));
  ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0600), 0);
  const struct {
    fs::path path;
    DWORD options;
    ULONG size;
    std::string expected;
  } cases[] = {
      {dir / "empty", 0, sizeof(MSIFILEHASHINFO), "0 0 0 0"},
      {dir / "abc", 0, sizeof(MSIFILEHASHINFO), "98500190 b04fd23c 7d3f96d6 727fe128"},
      {dir / "caesar", 0, sizeof(MSIFILEHASHINFO), "2b566794 fd42181b 2514d6e4 5768b4e2"},
      {dir / "padded", 0, sizeof(MSIFILEHASHINFO), "58095058 805efeff 10f3483e 147d653"},
      {dir / "big", 0, sizeof(MSIFILEHASHINFO), "e2ecd957 8c8b8094 811a1b6f a3bef7f3"},
      {dir / "abc", 1, sizeof(MSIFILEHASHINFO), "error 87"},
      {dir / "abc", 0, 0, "error 87"},
      {"", 0, sizeof(MSIFILEHASHINFO), "error 3"},
      {dir / "missing", 0, sizeof(MSIFILEHASHINFO), "error 2"},
      {dir.path(), 0, sizeof(MSIFILEHASHINFO), "error 5"},
      {"/dev/zero", 0, sizeof(MSIFILEHASHINFO), "error 5"},  // endless: never read
      {dir / "fifo", 0, sizeof(MSIFILEHASHINFO), "error 5"},  // no writer: never waited for
  };
  for (const auto& c : cases) EXPECT_EQ(Hash(c.path, c.options, c.size), c.expected) << c.path;
  MSIFILEHASHINFO hash{sizeof hash, {}};
  EXPECT_EQ(MsiGetFileHashA(nullptr, 0, &hash), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(MsiGetFileHashW(u"", 0, &hash), ERROR_PATH_NOT_FOUND);
  EXPECT_EQ(MsiGetFileHashA((dir / "abc").c_str(), 0, nullptr), ERROR_INVALID_PARAMETER);
}

TEST(FileInfo, VersionsOfLibrariesAndResultsForEverythingElse) {
  ts::TempDir dir;
  const PeFile good = BuildPe({1, 2, 3, 4});
  const auto& l = good.layout;
  std::vector<std::pair<std::string, std::string>> cases = {
      {BuildPe({2, 0, 1, 5}, false, 1033).bytes, "2.0.1.5 1033"},
      {BuildPe({10, 65535, 0, 4096}, true, 1031).bytes, "10.65535.0.4096 1031"},
      {good.bytes, "1.2.3.4 "},
      {"", "error 1006"},
      {"MZ", "error 1006"},
      {"hello, world\r\n", "error 1006"},
  };
  const std::tuple<size_t, uint32_t, const char*> damages[] = {
      {0x3C, 0x100, "error 1006"},                          // a DOS program
      {0x3C, 0xFFFFFFF0u, "error 1006"},                    // PE header beyond the end
      {l.optional_header, 0x0107, "error 1006"},            // unknown optional header
      {l.resource_entry, 0x90000, "error 1006"},            // resources outside every section
      {l.section_table + 20, 0x7FFFFFF0u, "error 1006"},    // section data beyond the end
      {l.resource_section + 12, 0xFFFFFFFFu, "error 1006"}, // huge entry count
      {l.resource_section + 16, 3, "error 1006"},           // no version type
      {l.resource_section + 72, 0xFFFFFF00u, "error 13"},   // version data outside
      {l.resource_section + 76, 0x10000000u, "error 13"},   // version data past the section
      {l.version_block + 40, 0x12345678u, "error 13"},      // bad fixed-info signature
      {l.version_block + 6, 0x00580058u, "error 13"},       // wrong key
      {l.version_block, 0x00340010u, "error 13"},           // block too short
  };
  for (const auto& [at, value, expected] : damages) {
    std::string bytes = good.bytes;
    for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<char>(value >> (8 * i));
    cases.emplace_back(bytes, expected);
  }
  for (size_t i = 0; i < cases.size(); ++i) {
    ts::WriteText(dir / "f.dll", cases[i].first);
    EXPECT_EQ(Version(dir / "f.dll"), cases[i].second) << "case " << i;
  }
  // Truncated anywhere, a library gives a result code, never a read past its end.
  const PeFile pe = BuildPe({3, 1, 4, 1}, true, 1033);
  const size_t block_end = pe.layout.version_block + (static_cast<uint8_t>(pe.bytes[pe.layout.version_block]) |
                                                      static_cast<uint8_t>(pe.bytes[pe.layout.version_block + 1]) << 8);
  for (size_t length = 0; length < pe.bytes.size(); length += 7) {
    ts::WriteText(dir / "cut.dll", pe.bytes.substr(0, length));
    const std::string got = Version(dir / "cut.dll");
    EXPECT_TRUE(length >= block_end ? got == "3.1.4.1 1033" : got.starts_with("error ")) << length << got;
  }
  // Buffers, and the other failures.
  ts::WriteText(dir / "lib.dll", BuildPe({12, 0, 1, 5}, false, 1033).bytes);
  char version[8] = "";
  DWORD vsize = 4, lsize = 0;
  EXPECT_EQ(MsiGetFileVersionA((dir / "lib.dll").c_str(), version, &vsize, nullptr, &lsize), ERROR_MORE_DATA);
  EXPECT_EQ(vsize, 8u);
  EXPECT_EQ(lsize, 4u);
  EXPECT_STREQ(version, "12.");
  WCHAR wide[16] = {};
  vsize = 16;
  EXPECT_EQ(MsiGetFileVersionW(u"", wide, &vsize, nullptr, nullptr), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(MsiGetFileVersionA((dir / "lib.dll").c_str(), version, nullptr, nullptr, nullptr), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(Version(dir / "missing.dll"), "error 2");
  EXPECT_EQ(Version(dir.path()), "error 1006");
  EXPECT_EQ(Version("/dev/zero"), "error 1006");
}

// File name (long part) -> paths msiunpack wrote for the package.
std::multimap<std::string, fs::path> Unpack(const fs::path& package, const fs::path& out) {
  ts::Run({UNPACK_PROGRAM, "--quiet", package.string(), out.string()});
  std::multimap<std::string, fs::path> files;
  if (!fs::is_directory(out)) return files;
  for (const auto& e : fs::recursive_directory_iterator(out))
    if (e.is_regular_file()) files.emplace(e.path().filename().string(), e.path());
  return files;
}

// The rows of a SELECT, each as its fields.
std::vector<std::vector<std::string>> Rows(MSIHANDLE db, const std::string& sql) {
  std::vector<std::vector<std::string>> rows;
  const std::vector<std::string> lines = ts::SplitText(ts::Select(db, sql));
  for (size_t i = 1; i < lines.size(); ++i) rows.push_back(ts::SplitText(lines[i], '\t'));  // 0: the names
  return rows;
}

TEST(FileInfo, CorpusFilesAgreeWithTheirPackagesRows) {
  REQUIRE_CORPUS();
  int hashes = 0, versions = 0;
  const std::string marker("V\0S\0_\0V\0E\0R\0S\0I\0O\0N\0_\0I\0N\0F\0O", 29);
  for (const fs::path& package : ts::CorpusPackages()) {
    SCOPED_TRACE(package.filename().string());
    ts::TempDir dir;
    ts::Handle db;
    ASSERT_EQ(ts::Open(package, MSIDBOPEN_READONLY_A, db), ERROR_SUCCESS);
    if (MsiDatabaseIsTablePersistentA(db, "File") != MSICONDITION_TRUE) continue;
    const auto files = Unpack(package, dir / "image");
    auto named = [&](std::string name) { return files.equal_range(name.substr(name.find('|') + 1)); };
    if (MsiDatabaseIsTablePersistentA(db, "MsiFileHash") == MSICONDITION_TRUE) {
      for (const auto& row : Rows(db, "SELECT `FileName`, `HashPart1`, `HashPart2`, `HashPart3`, `HashPart4` "
                                      "FROM `MsiFileHash`, `File` WHERE `File_` = `File`")) {
        std::ostringstream expected;
        expected << std::hex << static_cast<uint32_t>(std::stol(row[1])) << " " << static_cast<uint32_t>(std::stol(row[2]))
                 << " " << static_cast<uint32_t>(std::stol(row[3])) << " " << static_cast<uint32_t>(std::stol(row[4]));
        if (expected.str() == "0 0 0 0") continue;  // no hash computed
        auto [it, end] = named(row[0]);
        if (it == end) continue;  // not in the package's sources: msiunpack says so
        bool matched = false;
        for (; it != end; ++it) matched = matched || Hash(it->second) == expected.str();
        EXPECT_TRUE(matched) << row[0];
        hashes += matched;
      }
    }
    // Files of one name in several folders may differ: one of them matches.
    for (const auto& row : Rows(db, "SELECT `FileName`, `Version` FROM `File`")) {
      bool libraries = false, matched = false;
      for (auto [it, end] = named(row[0]); it != end; ++it) {
        if (ts::ReadText(it->second).find(marker) == std::string::npos) continue;
        const std::string got = Version(it->second);
        libraries = true;
        matched = matched || got.substr(0, got.find(' ')) == (row.size() > 1 ? row[1] : "");
      }
      EXPECT_EQ(matched, libraries) << row[0];
      versions += matched;
    }
  }
  EXPECT_GT(hashes, 0);
  EXPECT_GT(versions, 0);
}

}  // namespace
}  // namespace api_test
