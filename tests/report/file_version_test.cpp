// The version reader: right answers for well-formed libraries, the empty
// text (and no read outside the file) for everything damaged or foreign.
#include <gtest/gtest.h>

#include <random>

#include "Common.h"
#include "FileVersion.h"
#include "PeBuilder.h"
#include "TestSupport.h"

namespace pellacor::testing {
namespace {

TEST(FileVersionTest, VersionOfEachLibraryAndNoneForDamagedOrForeignBytes) {
  const PeFile good = BuildPe({1, 2, 3, 4});
  const auto& l = good.layout;
  const std::tuple<const char*, size_t, uint32_t> damages[] = {
      {"DOS program: no PE header", 0x3C, 0x100},
      {"PE header beyond the file", 0x3C, 0xFFFFFFF0u},
      {"wrong optional header magic", l.optional_header, 0x0107},
      {"resource directory RVA outside every section", l.resource_entry, 0x90000},
      {"resource directory size of zero", l.resource_entry + 4, 0},
      {"section raw data beyond the file", l.section_table + 20, 0x7FFFFFF0u},
      {"huge entry count", l.resource_section + 12, 0xFFFFFFFFu},
      {"version type entry pointing outside", l.resource_section + 20, 0xFFFFFFF0u},
      {"no version type", l.resource_section + 16, 3},
      {"data entry RVA outside", l.resource_section + 72, 0xFFFFFF00u},
      {"data entry size past the section", l.resource_section + 76, 0x10000000u},
      {"bad fixed-info signature", l.version_block + 40, 0x12345678u},
      {"wrong key", l.version_block + 6, 0x00580058u},
      {"block length too short", l.version_block, 0x00340010u},
  };
  std::vector<std::tuple<std::string, std::string, std::string>> cases = {
      {"PE32", BuildPe({2, 0, 1, 5}).bytes, "2.0.1.5"},
      {"PE32+", BuildPe({10, 65535, 0, 4096}, true).bytes, "10.65535.0.4096"},
      {"zeros", BuildPe({0, 0, 0, 0}).bytes, "0.0.0.0"},
      {"empty", "", ""},
      {"MZ alone", "MZ", ""},
      {"text", "hello, world\r\n", ""},
      {"bitmap", std::string("BM\x46\0\0\0", 6) + std::string(64, '\0'), ""}};
  for (const auto& [what, at, value] : damages) {
    std::string bytes = good.bytes;
    for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<char>(value >> (8 * i));
    cases.emplace_back(what, bytes, "");
  }
  for (const auto& [what, bytes, version] : cases) {
    EXPECT_EQ(FileVersionOfBytes(bytes), version) << what;
  }
}

TEST(FileVersionTest, TruncatedRandomAndMutatedBytesGiveNothingOrFourNumbers) {
  const PeFile pe = BuildPe({3, 1, 4, 1}, true);
  for (size_t length = 0; length < pe.bytes.size(); ++length) {
    const bool whole = length >= pe.layout.version_block + 92;  // the block's end
    EXPECT_EQ(FileVersionOfBytes(pe.bytes.substr(0, length)), whole ? "3.1.4.1" : "") << length;
  }
  std::mt19937 random(20261207);
  int still_read = 0;
  for (int round = 0; round < 6000; ++round) {
    std::string bytes = pe.bytes;
    if (round < 4000) {  // a few changed bytes
      for (int i = 1 + static_cast<int>(random() % 8); i > 0; --i) {
        bytes[random() % bytes.size()] = static_cast<char>(random());
      }
    } else {  // noise, half of it starting like a library
      bytes.assign(random() % 2048, '\0');
      for (char& c : bytes) c = static_cast<char>(random());
      if (round % 2 == 0 && bytes.size() > 2) bytes[0] = 'M', bytes[1] = 'Z';
    }
    std::string version = FileVersionOfBytes(bytes);
    still_read += version == "3.1.4.1";
    EXPECT_TRUE(version.empty() || std::count(version.begin(), version.end(), '.') == 3) << version;
  }
  EXPECT_GT(still_read, 0) << "changes outside the parsed parts keep the version";
}

TEST(FileVersionTest, FilesOnDiskAndEveryFailureSwallowed) {
  TempDir dir;
  ts::WriteText(dir / "lib.dll", BuildPe({2, 0, 1, 5}).bytes);
  // Sparse 3 GiB: quick only when nothing past the version block is read.
  ts::WriteText(dir / "big.dll", BuildPe({1, 0, 0, 7}).bytes);
  fs::resize_file(dir / "big.dll", 3ull << 30);
  EXPECT_EQ(GetFileVersion((dir / "lib.dll").string()), "2.0.1.5");
  EXPECT_EQ(GetFileVersion((dir / "big.dll").string()), "1.0.0.7");
  for (const fs::path& failing : {dir / "missing.dll", dir.path(), fs::path()}) {
    EXPECT_EQ(GetFileVersion(failing.string()), "") << failing;
  }
}

TEST(FileVersionTest, CorpusLibrariesWithAVersionResourceGiveOne) {
  REQUIRE_CORPUS();
  int libraries = 0;
  const std::string marker("V\0S\0_\0V\0E\0R\0S\0I\0O\0N\0_\0I\0N\0F\0O", 29);
  for (const auto& entry : fs::directory_iterator(ts::CorpusDir() / "Binary")) {
    std::string bytes = ts::ReadText(entry.path());
    std::string version = GetFileVersion(entry.path().string());
    const bool library = bytes.size() > 0x40 && bytes.starts_with("MZ");
    libraries += library;
    // Libraries with a version resource name it in their string table too.
    if (!library) {
      EXPECT_EQ(version, "") << entry.path();
    } else if (bytes.find(marker) != std::string::npos) {
      EXPECT_EQ(std::count(version.begin(), version.end(), '.'), 3) << entry.path() << version;
    }
  }
  EXPECT_GT(libraries, 0);
}

}  // namespace
}  // namespace pellacor::testing
