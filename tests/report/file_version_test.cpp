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

void Poke32(std::string& bytes, size_t at, uint32_t value) {
  for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<char>((value >> (8 * i)) & 0xFF);
}

TEST(FileVersionTest, ReadsTheFixedVersionOfPe32AndPe32Plus) {
  EXPECT_EQ(FileVersionOfBytes(BuildPe({2, 0, 1, 5}).bytes), "2.0.1.5");
  EXPECT_EQ(FileVersionOfBytes(BuildPe({10, 65535, 0, 4096}, true).bytes),
            "10.65535.0.4096");
  EXPECT_EQ(FileVersionOfBytes(BuildPe({0, 0, 0, 0}).bytes), "0.0.0.0");
}

TEST(FileVersionTest, ForeignFilesGiveNoVersion) {
  EXPECT_EQ(FileVersionOfBytes(""), "");
  EXPECT_EQ(FileVersionOfBytes("MZ"), "");
  EXPECT_EQ(FileVersionOfBytes("hello, world\r\n"), "");
  EXPECT_EQ(FileVersionOfBytes(std::string("BM\x46\0\0\0", 6) + std::string(64, '\0')), "");
  // A DOS program: MZ without a PE header.
  std::string dos = BuildPe({1, 2, 3, 4}).bytes;
  dos[0x3C] = 0x00;
  dos[0x3D] = 0x01;
  EXPECT_EQ(FileVersionOfBytes(dos), "");
}

TEST(FileVersionTest, DamagedHeadersGiveNoVersion) {
  const PeFile good = BuildPe({1, 2, 3, 4});
  struct Damage {
    const char* what;
    size_t at;
    uint32_t value;
  };
  const PeLayout& l = good.layout;
  for (const Damage& d : {
           Damage{"PE header beyond the file", 0x3C, 0xFFFFFFF0u},
           Damage{"wrong optional header magic", l.optional_header, 0x0107},
           Damage{"resource directory RVA outside every section", l.resource_entry, 0x90000},
           Damage{"resource directory size of zero", l.resource_entry + 4, 0},
           Damage{"section raw data beyond the file", l.section_table + 20, 0x7FFFFFF0u},
           Damage{"huge entry count", l.resource_section + 12, 0xFFFFFFFFu},
           Damage{"version type entry pointing outside", l.resource_section + 20, 0xFFFFFFF0u},
           Damage{"no version type", l.resource_section + 16, 3},
           Damage{"data entry RVA outside", l.resource_section + 72, 0xFFFFFF00u},
           Damage{"data entry size past the section", l.resource_section + 76, 0x10000000u},
           Damage{"bad fixed-info signature", l.version_block + 40, 0x12345678u},
           Damage{"wrong key", l.version_block + 6, 0x00580058u},
           Damage{"block length too short", l.version_block, 0x00340010u},
       }) {
    std::string bytes = good.bytes;
    Poke32(bytes, d.at, d.value);
    EXPECT_EQ(FileVersionOfBytes(bytes), "") << d.what;
  }
}

TEST(FileVersionTest, TruncatedFilesGiveNoVersionAtEveryLength) {
  const std::string good = BuildPe({3, 1, 4, 1}, true).bytes;
  const size_t block_end = BuildPe({3, 1, 4, 1}, true).layout.version_block + 92;
  for (size_t length = 0; length < good.size(); ++length) {
    std::string version = FileVersionOfBytes(std::string_view(good).substr(0, length));
    if (length >= block_end) {
      EXPECT_EQ(version, "3.1.4.1") << length;
    } else {
      EXPECT_EQ(version, "") << length;
    }
  }
}

TEST(FileVersionTest, RandomAndMutatedBytesNeverCrash) {
  std::mt19937 random(20261207);
  const std::string good = BuildPe({5, 6, 7, 8}).bytes;
  int still_read = 0;
  for (int round = 0; round < 4000; ++round) {
    std::string bytes = good;
    int flips = 1 + static_cast<int>(random() % 8);
    for (int i = 0; i < flips; ++i) {
      bytes[random() % bytes.size()] = static_cast<char>(random());
    }
    std::string version = FileVersionOfBytes(bytes);
    if (version == "5.6.7.8") ++still_read;
    // Whatever came out is either nothing or four numbers.
    if (!version.empty()) {
      EXPECT_EQ(std::count(version.begin(), version.end(), '.'), 3) << version;
    }
  }
  EXPECT_GT(still_read, 0) << "mutations outside the parsed parts keep the version";
  for (int round = 0; round < 2000; ++round) {
    std::string noise(random() % 2048, '\0');
    for (char& c : noise) c = static_cast<char>(random());
    if (round % 2 == 0 && noise.size() > 2) noise[0] = 'M', noise[1] = 'Z';
    EXPECT_NO_FATAL_FAILURE(FileVersionOfBytes(noise));
  }
}

TEST(FileVersionTest, ReadsFilesAndSwallowsEveryFailure) {
  TempDir dir;
  WriteBytes(dir / "lib.dll", BuildPe({2, 0, 1, 5}).bytes);
  WriteBytes(dir / "notes.txt", "not a library");
  EXPECT_EQ(GetFileVersion((dir / "lib.dll").string()), "2.0.1.5");
  EXPECT_EQ(GetFileVersion((dir / "notes.txt").string()), "");
  EXPECT_EQ(GetFileVersion((dir / "missing.dll").string()), "");
  EXPECT_EQ(GetFileVersion(dir.path().string()), "");
  EXPECT_EQ(GetFileVersion(""), "");
}

TEST(FileVersionTest, LargeFilesAreReadOnlyWhereNeeded) {
  TempDir dir;
  // A sparse 3 GiB file whose version block lies at the start: quick to
  // answer because nothing else is read.
  std::string pe = BuildPe({1, 0, 0, 7}).bytes;
  fs::path big = dir / "big.dll";
  WriteBytes(big, pe);
  fs::resize_file(big, 3ull << 30);
  EXPECT_EQ(GetFileVersion(big.string()), "1.0.0.7");
}

TEST(FileVersionTest, CorpusLibrariesHaveVersionsAndPicturesHaveNone) {
  fs::path binaries = CorpusDir() / "Binary";
  if (!fs::is_directory(binaries)) GTEST_SKIP() << "corpus not present at " << binaries;
  int libraries = 0;
  for (const auto& entry : fs::directory_iterator(binaries)) {
    std::string bytes = ReadBytes(entry.path());
    std::string version = GetFileVersion(entry.path().string());
    bool is_pe = bytes.size() > 0x40 && bytes.compare(0, 2, "MZ") == 0;
    if (!is_pe) {
      EXPECT_EQ(version, "") << entry.path();
      continue;
    }
    ++libraries;
    // Libraries with a version resource say so in their string table too.
    std::string marker("V\0S\0_\0V\0E\0R\0S\0I\0O\0N\0_\0I\0N\0F\0O", 29);
    if (bytes.find(marker) != std::string::npos) {
      EXPECT_EQ(std::count(version.begin(), version.end(), '.'), 3)
          << entry.path() << " gave '" << version << "'";
    }
  }
  EXPECT_GT(libraries, 0);
}

}  // namespace
}  // namespace pellacor::testing
