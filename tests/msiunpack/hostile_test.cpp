// Package text and damaged input must never move a write outside DIR, write
// through a link, leave a partial file or crash.
#include <gtest/gtest.h>

#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <functional>
#include <thread>

#include "unpack_support.h"

namespace unpack_test {
namespace {


using ts::FolderEntries;

// A package of one file, app/big.bin, from the embedded cabinet main.cab.
PackageRows BigFile(size_t size, const std::string& cabinet) {
  return {{"TARGETDIR\t\tSourceDir", "APP\tTARGETDIR\tapp"},
          {"Main\tAPP"},
          {"big\tMain\tbig.bin\t" + std::to_string(size) + "\t0\t1"},
          {"1\t1\t#main.cab"},
          {{"main.cab", cabinet}}};
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
  EXPECT_EQ(FolderEntries(dir.path()), (std::vector<std::string>{"hostile.msi", "image"}));
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

// A cabinet that fails mid-file leaves the file that stood there before as
// it was, and no temporary file behind.
TEST(Hostile, DamagedCabinetGivesAnErrorAndNoPartialFile) {
  const std::string cabinet = GcabCabinet({{"big", Noise(300000)}}, kCabTime);
  const struct {
    const char* name;
    std::string bytes, message;
  } cases[] = {
      {"truncated", cabinet.substr(0, cabinet.size() / 2), "SourceDir/app/big.bin: the cabinet cannot be read"},
      {"data overwritten",
       cabinet.substr(0, cabinet.size() / 2) + std::string(64, '\x55') +
           cabinet.substr(cabinet.size() / 2 + 64),
       "SourceDir/app/big.bin: "},
      {"not a cabinet", std::string(1000, 'x'), "cabinet #main.cab: not a cabinet"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    MakePackage(dir / "damaged.msi", BigFile(300000, c.bytes));
    WriteBytes(dir / "image/SourceDir/app/big.bin", "older");

    const RunResult run = RunUnpack({"damaged.msi", "image"}, dir.path());
    EXPECT_EQ(run.exit_code, 1);
    EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
    EXPECT_EQ(FolderEntries(dir / "image/SourceDir/app"), std::vector<std::string>{"big.bin"});
    EXPECT_EQ(ReadBytes(dir / "image/SourceDir/app/big.bin"), "older");
  }
}

// Stopped while it writes a big file, a run leaves either the whole file
// or none, and no temporary file.
TEST(Hostile, AStoppedRunLeavesNoPartialFile) {
  TempDir dir;
  const std::string big = Noise(6000000);
  MakePackage(dir / "big.msi", BigFile(big.size(), GcabCabinet({{"big", big}}, kCabTime)));
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
    for (int waited = 0; waited < 20000 && !writing(); ++waited)
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    ::kill(pid, signal_number);
    int status = 0;
    ASSERT_TRUE(ts::WaitChild(pid, &status, std::chrono::seconds(60)))
        << "msiunpack did not stop within 60 s of signal " << signal_number;
    SCOPED_TRACE("signal " + std::to_string(signal_number));
    const std::vector<std::string> left = FolderEntries(folder);
    EXPECT_TRUE(left.empty() || left == std::vector<std::string>{"big.bin"}) << left.size() << " entries";
    if (!left.empty()) {
      EXPECT_EQ(ReadBytes(folder / "big.bin"), big);
    }
  }
}

TEST(Hostile, DamagedPackageGivesTheInstallerResultCode) {
  const struct {
    const char* name;
    std::function<void(const fs::path&)> make;
    const char* message;
  } cases[] = {
      {"missing", [](const fs::path&) {}, "bad.msi: error 110: "},
      {"not a package", [](const fs::path& p) { WriteBytes(p, "plain text"); }, "bad.msi: error 1620: "},
      {"truncated compound file",
       [](const fs::path& p) {
         MakePackage(p, {{"TARGETDIR\t\tSourceDir"}, {}, {}, {}, {}});
         const std::string bytes = ReadBytes(p);
         WriteBytes(p, bytes.substr(0, bytes.size() / 3));
       },
       "bad.msi: error "},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    c.make(dir / "bad.msi");
    const RunResult run = RunUnpack({"bad.msi", "image"}, dir.path());
    EXPECT_EQ(run.exit_code, 1);
    EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
    EXPECT_FALSE(fs::exists(dir / "image"));
  }
}

}  // namespace
}  // namespace unpack_test
