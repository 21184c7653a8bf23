// Package text and damaged input must never move a write outside DIR, write
// through a link, leave a partial file or crash.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "unpack_support.h"

namespace unpack_test {
namespace {

constexpr long long kCabTime = 1000000000;

std::vector<std::string> Entries(const fs::path& dir) {
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(dir)) names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

// Bytes that do not compress, so a cabinet of them has many data blocks.
std::string Noise(size_t size) {
  std::string bytes(size, '\0');
  uint32_t x = 2463534242u;
  for (char& c : bytes) {
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    c = static_cast<char>(x & 0xff);
  }
  return bytes;
}

TEST(Hostile, NamesFromThePackageNeverLeaveTheOutputFolder) {
  TempDir dir;
  PackageRows rows;
  rows.directories = {"TARGETDIR\t\tSourceDir",  "UP\tTARGETDIR\t..",        "UPUP\tTARGETDIR\t..|..",
                      "ABS\tTARGETDIR\t/tmp/abs", "BACK\tTARGETDIR\ta\\b",   "CTL\tTARGETDIR\tc\x1f" "d",
                      "ESC\t\t../escape",         "DOTS\tUP\t..|..:src"};
  rows.components = {"CUp\tUP", "CUpUp\tUPUP", "CAbs\tABS", "CBack\tBACK", "CCtl\tCTL", "CEsc\tESC", "CDots\tDOTS"};
  rows.files = {"f1\tCUp\t../evil1.txt\t1\t0\t1",      "f2\tCUpUp\tx|/etc/evil2\t1\t0\t2",
                "f3\tCAbs\tsub\\evil3.txt\t1\t0\t3",    "f4\tCBack\t..\t1\t0\t4",
                "f5\tCCtl\tbell\x07\x1b[2J.txt\t1\t0\t5", "f6\tCEsc\t..\\..\\evil6\t1\t0\t6",
                "f7\tCDots\tf7|.\t1\t0\t7"};
  rows.media = {"1\t7\t#main.cab"};
  std::map<std::string, std::string> content;
  for (int i = 1; i <= 7; ++i) content["f" + std::to_string(i)] = std::to_string(i);
  rows.streams["main.cab"] = GcabCabinet(content, kCabTime);
  MakePackage(dir / "hostile.msi", rows);

  const RunResult run = RunUnpack({"hostile.msi", "image"}, dir.path());
  EXPECT_EQ(run.exit_code, 0) << run.err;
  EXPECT_EQ(Entries(dir.path()), (std::vector<std::string>{"hostile.msi", "image"}));
  const std::string t = "\t1\t2001-09-09 01:46:40";
  const std::vector<std::string> expected = {
      ".._escape/",          ".._escape/.._.._evil6" + t,
      "SourceDir/",          "SourceDir/__/",
      "SourceDir/__/.._evil1.txt" + t, "SourceDir/__/__/",
      "SourceDir/__/__/_" + t,         "SourceDir/__/_etc_evil2" + t,
      "SourceDir/_tmp_abs/", "SourceDir/_tmp_abs/sub_evil3.txt" + t,
      "SourceDir/a_b/",      "SourceDir/a_b/__" + t,
      "SourceDir/c_d/",      "SourceDir/c_d/bell__[2J.txt" + t,
  };
  EXPECT_EQ(TreeListing(dir / "image"), expected);
}

TEST(Hostile, ALinkStandingAtAFilePathIsReplacedNotFollowed) {
  TempDir dir;
  PackageRows rows;
  rows.directories = {"TARGETDIR\t\tSourceDir", "APP\tTARGETDIR\tapp", "LINKED\tTARGETDIR\tlinked"};
  rows.components = {"Main\tAPP", "Linked\tLINKED"};
  rows.files = {"t\tMain\ttarget.txt\t3\t0\t1", "l\tLinked\tinside.txt\t3\t0\t2"};
  rows.media = {"1\t2\t#main.cab"};
  rows.streams["main.cab"] = GcabCabinet({{"t", "new"}, {"l", "new"}}, kCabTime);
  MakePackage(dir / "links.msi", rows);
  WriteBytes(dir / "victim.txt", "keep");
  fs::create_directories(dir / "elsewhere");
  fs::create_directories(dir / "image/SourceDir/app");
  fs::create_symlink(dir / "victim.txt", dir / "image/SourceDir/app/target.txt");
  fs::create_directory_symlink(dir / "elsewhere", dir / "image/SourceDir/linked");

  const RunResult run = RunUnpack({"links.msi", "image"}, dir.path());
  EXPECT_EQ(run.exit_code, 1);
  EXPECT_EQ(ReadBytes(dir / "victim.txt"), "keep");
  EXPECT_FALSE(fs::is_symlink(dir / "image/SourceDir/app/target.txt"));
  EXPECT_EQ(ReadBytes(dir / "image/SourceDir/app/target.txt"), "new");
  EXPECT_TRUE(fs::is_empty(dir / "elsewhere"));
  EXPECT_NE(run.err.find("SourceDir/linked: is a link or a file where a folder belongs; refused"),
            std::string::npos)
      << run.err;
}

struct DamageCase {
  std::string name;
  std::function<std::string(const std::string& cabinet)> damage;
  std::string message;
};

class DamagedCabinet : public ::testing::TestWithParam<DamageCase> {};

// A cabinet that fails mid-file leaves the file that stood there before as
// it was, and no temporary file behind.
TEST_P(DamagedCabinet, GivesAnErrorAndNoPartialFile) {
  TempDir dir;
  PackageRows rows;
  rows.directories = {"TARGETDIR\t\tSourceDir", "APP\tTARGETDIR\tapp"};
  rows.components = {"Main\tAPP"};
  rows.files = {"big\tMain\tbig.bin\t300000\t0\t1"};
  rows.media = {"1\t1\t#main.cab"};
  rows.streams["main.cab"] = GetParam().damage(GcabCabinet({{"big", Noise(300000)}}, kCabTime));
  MakePackage(dir / "damaged.msi", rows);
  WriteBytes(dir / "image/SourceDir/app/big.bin", "older");

  const RunResult run = RunUnpack({"damaged.msi", "image"}, dir.path());
  EXPECT_EQ(run.exit_code, 1);
  EXPECT_NE(run.err.find(GetParam().message), std::string::npos) << run.err;
  EXPECT_EQ(Entries(dir / "image/SourceDir/app"), std::vector<std::string>{"big.bin"});
  EXPECT_EQ(ReadBytes(dir / "image/SourceDir/app/big.bin"), "older");
}

INSTANTIATE_TEST_SUITE_P(
    Cabinets, DamagedCabinet,
    ::testing::Values(
        DamageCase{"truncated", [](const std::string& c) { return c.substr(0, c.size() / 2); },
                   "SourceDir/app/big.bin: the cabinet cannot be read"},
        DamageCase{"data_overwritten",
                   [](const std::string& c) {
                     std::string d = c;
                     for (size_t i = d.size() / 2; i < d.size() / 2 + 64; ++i) d[i] = '\x55';
                     return d;
                   },
                   "SourceDir/app/big.bin: "},
        DamageCase{"not_a_cabinet", [](const std::string&) { return std::string(1000, 'x'); },
                   "cabinet #main.cab: not a cabinet"}),
    [](const auto& info) { return info.param.name; });

// Stopped while it writes a big file, a run leaves either the whole file
// or none, and no temporary file.
TEST(Hostile, AStoppedRunLeavesNoPartialFile) {
  TempDir dir;
  PackageRows rows;
  rows.directories = {"TARGETDIR\t\tSourceDir", "APP\tTARGETDIR\tapp"};
  rows.components = {"Main\tAPP"};
  const std::string big = Noise(6000000);
  rows.files = {"big\tMain\tbig.bin\t6000000\t0\t1"};
  rows.media = {"1\t1\t#main.cab"};
  rows.streams["main.cab"] = GcabCabinet({{"big", big}}, kCabTime);
  MakePackage(dir / "big.msi", rows);
  const fs::path folder = dir / "image/SourceDir/app";
  auto writing = [&] {
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(folder, ec))
      if (e.path().filename().string().rfind(".msiunpack-", 0) == 0) return true;
    return false;
  };
  for (int signal_number : {SIGTERM, SIGINT, SIGHUP}) {
    fs::remove_all(dir / "image");
    const pid_t pid = fork();
    if (pid == 0) {
      if (::chdir(dir.path().c_str()) != 0) _exit(127);
      ::execl(UNPACK_PROGRAM, UNPACK_PROGRAM, "--quiet", "big.msi", "image", static_cast<char*>(nullptr));
      _exit(127);
    }
    ASSERT_GT(pid, 0);
    // Wait until the temporary file exists, then stop the run.
    for (int waited = 0; waited < 20000 && !writing(); ++waited) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    ::kill(pid, signal_number);
    // A run that ignores the signal would hang the test: give it a deadline.
    int status = 0;
    pid_t done = 0;
    for (int waited = 0; waited < 60000 && (done = ::waitpid(pid, &status, WNOHANG)) == 0; ++waited)
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    if (done == 0) ::kill(pid, SIGKILL), ::waitpid(pid, &status, 0);
    ASSERT_EQ(done, pid) << "msiunpack did not stop within 60 s of signal " << signal_number;
    SCOPED_TRACE("signal " + std::to_string(signal_number));
    const std::vector<std::string> left = Entries(folder);
    EXPECT_TRUE(left.empty() || left == std::vector<std::string>{"big.bin"}) << left.size() << " entries";
    if (!left.empty()) {
      EXPECT_EQ(ReadBytes(folder / "big.bin"), big);
    }
  }
}

struct BadPackage {
  std::string name;
  std::function<void(const fs::path&)> make;
  std::string message;
};

class DamagedPackage : public ::testing::TestWithParam<BadPackage> {};

TEST_P(DamagedPackage, GivesTheInstallerResultCode) {
  TempDir dir;
  GetParam().make(dir / "bad.msi");
  const RunResult run = RunUnpack({"bad.msi", "image"}, dir.path());
  EXPECT_EQ(run.exit_code, 1);
  EXPECT_NE(run.err.find(GetParam().message), std::string::npos) << run.err;
  EXPECT_FALSE(fs::exists(dir / "image"));
}

INSTANTIATE_TEST_SUITE_P(
    Packages, DamagedPackage,
    ::testing::Values(
        BadPackage{"missing", [](const fs::path&) {}, "bad.msi: error 110: "},
        BadPackage{"not_a_package", [](const fs::path& p) { WriteBytes(p, "plain text"); },
                   "bad.msi: error 1620: "},
        BadPackage{"truncated_compound_file",
                   [](const fs::path& p) {
                     PackageRows rows;
                     rows.directories = {"TARGETDIR\t\tSourceDir"};
                     MakePackage(p, rows);
                     const std::string bytes = ReadBytes(p);
                     WriteBytes(p, bytes.substr(0, bytes.size() / 3));
                   },
                   "bad.msi: error "}),
    [](const auto& info) { return info.param.name; });

}  // namespace
}  // namespace unpack_test
