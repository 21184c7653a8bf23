// Cabinets as cabinet makers cut them: one folder running across every
// cabinet of a set (files follow a continued file in the same folder, a
// file spans three cabinets), and an embedded cabinet far larger than the
// memory msiunpack may use.
#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "unpack_support.h"

namespace unpack_test {
namespace {

void Put(std::string& out, uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out += static_cast<char>((value >> (8 * i)) & 0xFF);
}

using NamedFiles = std::vector<std::pair<std::string, std::string>>;

// A set of stored cabinets holding one folder, cut after the folder's
// bytes `cuts` (ascending). A data block that a cut falls into is split
// between the cabinets, its first piece marked as continued.
std::vector<std::string> SpannedCabinetSet(const NamedFiles& files, const std::vector<size_t>& cuts,
                                           const std::vector<std::string>& names) {
  constexpr uint16_t kFromPrevious = 0xFFFD, kToNext = 0xFFFE, kPreviousAndNext = 0xFFFF;
  constexpr size_t kBlock = 32768;
  constexpr uint16_t kDate = ((2001 - 1980) << 9) | (2 << 5) | 3, kTime = (4 << 11) | (5 << 5) | 3;
  std::string folder;
  std::vector<size_t> offsets;
  for (const auto& file : files) {
    offsets.push_back(folder.size());
    folder += file.second;
  }
  std::vector<size_t> bounds{0};
  bounds.insert(bounds.end(), cuts.begin(), cuts.end());
  bounds.push_back(folder.size());
  std::vector<std::string> cabinets;
  const size_t count = bounds.size() - 1;
  for (size_t k = 0; k < count; ++k) {
    const size_t from = bounds[k], to = bounds[k + 1];
    std::string list;
    uint16_t listed = 0;
    for (size_t i = 0; i < files.size(); ++i) {
      const size_t start = offsets[i], end = start + files[i].second.size();
      if (end <= from || start >= to) continue;
      const bool before = start < from, after = end > to;
      Put(list, static_cast<uint32_t>(files[i].second.size()), 4);
      Put(list, static_cast<uint32_t>(start), 4);
      Put(list, before && after ? kPreviousAndNext : before ? kFromPrevious : after ? kToNext : 0, 2);
      Put(list, kDate, 2);
      Put(list, kTime, 2);
      Put(list, 0x20, 2);
      list += files[i].first + '\0';
      ++listed;
    }
    // Blocks of the folder laid on kBlock boundaries, cut where a cabinet ends.
    std::string data;
    uint16_t blocks = 0;
    for (size_t at = from; at < to;) {
      const size_t block_start = at / kBlock * kBlock;
      const size_t block_end = std::min(block_start + kBlock, folder.size());
      const size_t piece_end = std::min(block_end, to);
      Put(data, 0, 4);  // no checksum
      Put(data, static_cast<uint32_t>(piece_end - at), 2);
      Put(data, piece_end == block_end ? static_cast<uint32_t>(block_end - block_start) : 0, 2);
      data += folder.substr(at, piece_end - at);
      ++blocks;
      at = piece_end;
    }
    std::string links;
    if (k > 0) links += names[k - 1] + '\0' + "disk" + '\0';
    if (k + 1 < count) links += names[k + 1] + '\0' + "disk" + '\0';
    const size_t files_at = 36 + links.size() + 8, data_at = files_at + list.size();
    std::string cab = "MSCF";
    Put(cab, 0, 4);
    Put(cab, static_cast<uint32_t>(data_at + data.size()), 4);
    Put(cab, 0, 4);
    Put(cab, static_cast<uint32_t>(files_at), 4);
    Put(cab, 0, 4);
    cab += "\x03\x01";
    Put(cab, 1, 2);  // one folder
    Put(cab, listed, 2);
    Put(cab, (k > 0 ? 1 : 0) | (k + 1 < count ? 2 : 0), 2);
    Put(cab, 0x4321, 2);
    Put(cab, static_cast<uint32_t>(k), 2);
    cab += links;
    Put(cab, static_cast<uint32_t>(data_at), 4);
    Put(cab, blocks, 2);
    Put(cab, 0, 2);  // stored
    cabinets.push_back(cab + list + data);
  }
  return cabinets;
}

std::string Filler(size_t size, unsigned seed) {
  std::mt19937_64 random(seed);
  std::string bytes(size, '\0');
  for (size_t i = 0; i < size; i += 8) {
    const uint64_t word = random();
    std::memcpy(bytes.data() + i, &word, std::min<size_t>(8, size - i));
  }
  return bytes;
}

// A package whose files are all in the cabinets `names`, the first one
// embedded and the others beside the package.
PackageRows SetPackage(const NamedFiles& files, const std::vector<std::string>& cabinets,
                       const std::vector<std::string>& names, const fs::path& beside) {
  PackageRows rows;
  rows.directories = {"TARGETDIR\t\tSourceDir", "APP\tTARGETDIR\tapp"};
  rows.components = {"Main\tAPP"};
  for (size_t i = 0; i < files.size(); ++i) {
    rows.files.push_back(files[i].first + "\tMain\t" + files[i].first + ".txt\t" +
                         std::to_string(files[i].second.size()) + "\t16384\t" + std::to_string(i + 1));
  }
  for (size_t k = 0; k < cabinets.size(); ++k) {
    const std::string last = k + 1 < cabinets.size() ? std::to_string(k + 1) : std::to_string(files.size());
    rows.media.push_back(std::to_string(k + 1) + "\t" + last + "\t" + (k == 0 ? "#" : "") + names[k]);
    if (k == 0) {
      rows.streams[names[k]] = cabinets[k];
    } else {
      WriteBytes(beside / names[k], cabinets[k]);
    }
  }
  return rows;
}

TEST(CabinetSets, EveryFileComesOutByteForByte) {
  const struct {
    const char* what;
    NamedFiles files;
    std::vector<size_t> cuts;
  } cases[] = {
      {"files follow a continued file in the same folder",
       {{"a", Filler(40000, 1)}, {"b", Filler(50000, 2)}, {"c", Filler(3, 3)}, {"d", Filler(70000, 4)}},
       {60000}},
      {"a file spans all three cabinets",
       {{"a", Filler(1000, 5)}, {"big", Filler(200000, 6)}, {"e", Filler(5000, 7)}},
       {40000, 150000}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    TempDir dir;
    std::vector<std::string> names;
    for (size_t k = 0; k <= c.cuts.size(); ++k) names.push_back("part" + std::to_string(k + 1) + ".cab");
    const auto cabinets = SpannedCabinetSet(c.files, c.cuts, names);
    MakePackage(dir / "set.msi", SetPackage(c.files, cabinets, names, dir.path()));
    const RunResult run = RunUnpack({"-q", "set.msi", "out"}, dir.path());
    EXPECT_EQ(run.exit_code, 0) << run.Describe();
    for (const auto& [key, bytes] : c.files) {
      const fs::path file = dir / ("out/SourceDir/app/" + key + ".txt");
      ASSERT_TRUE(fs::exists(file)) << key << " is missing\n" << run.Describe();
      EXPECT_TRUE(ReadBytes(file) == bytes) << key << " differs";
    }
  }
}

// The embedded cabinet is read where it lies: msiunpack unpacks a package
// several times the size of the address space it is given.
TEST(CabinetStream, UnpacksAPackageLargerThanItsAddressSpace) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "an address-space limit cannot apply under AddressSanitizer";
#endif
  const std::string cabextract = "/usr/bin/cabextract";
  if (!fs::exists(cabextract)) {
    if (ts::RunningInCi()) FAIL() << "cabextract is missing and CI is true";
    GTEST_SKIP() << "cabextract is not installed";
  }
  constexpr size_t kFile = 64u << 20;  // three of them: a 192 MB cabinet
  TempDir dir;
  NamedFiles files;
  for (unsigned i = 0; i < 3; ++i) files.push_back({"part" + std::to_string(i), Filler(kFile, 10 + i)});
  const std::string cabinet = SpannedCabinetSet(files, {}, {"big.cab"})[0];
  WriteBytes(dir / "big.cab", cabinet);
  MakePackage(dir / "big.msi", SetPackage(files, {cabinet}, {"big.cab"}, dir.path()));
  files.clear();

  ts::RunOptions in_dir;
  in_dir.cwd = dir.path();
  in_dir.limit = std::chrono::minutes(4);  // 192 MB each way on a loaded machine
  const RunResult unpack = ts::Run(
      {"/bin/sh", "-c", "ulimit -v 98304 && exec \"$0\" \"$@\"", UNPACK_PROGRAM, "-q", "big.msi", "out"}, in_dir);
  ASSERT_EQ(unpack.exit_code, 0) << unpack.Describe();
  const RunResult reference = ts::Run({cabextract, "-q", "-d", "ref", "big.cab"}, in_dir);
  ASSERT_EQ(reference.exit_code, 0) << reference.Describe();
  for (unsigned i = 0; i < 3; ++i) {
    const std::string key = "part" + std::to_string(i);
    EXPECT_TRUE(ReadBytes(dir / ("out/SourceDir/app/" + key + ".txt")) == ReadBytes(dir / ("ref/" + key)))
        << key << " differs from cabextract's";
  }
}

}  // namespace
}  // namespace unpack_test
