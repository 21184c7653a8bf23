// Cabinets as cabinet makers cut them: one folder running across every
// cabinet of a set (files follow a continued file in the same folder, a
// file spans three cabinets), and an embedded cabinet far larger than the
// memory msiunpack may use.
#include <gtest/gtest.h>

#include "unpack_support.h"

namespace unpack_test {
namespace {

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
       {{"a", Noise(40000, 1)}, {"b", Noise(50000, 2)}, {"c", Noise(3, 3)}, {"d", Noise(70000, 4)}},
       {60000}},
      {"a file spans all three cabinets",
       {{"a", Noise(1000, 5)}, {"big", Noise(200000, 6)}, {"e", Noise(5000, 7)}},
       {40000, 150000}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    TempDir dir;
    std::vector<std::string> names;
    for (size_t k = 0; k <= c.cuts.size(); ++k) names.push_back("part" + std::to_string(k + 1) + ".cab");
    const auto cabinets = CabinetSet(c.files, c.cuts, names);
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
  for (unsigned i = 0; i < 3; ++i) files.push_back({"part" + std::to_string(i), Noise(kFile, 10 + i)});
  const std::string cabinet = CabinetSet(files, {}, {"big.cab"})[0];
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
