// A commit must never damage the package: a process killed at any moment
// leaves the old file or the new one, and a commit that cannot finish (disk
// full, no permission) leaves the old file, cleans up and says so.
#include "package_bytes.h"
#include "support.h"

#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <chrono>
#include <random>

namespace ts {
namespace {

// A package big enough that a commit takes a while: the sample with many
// extra rows and a large stream, made by the engine itself.
fs::path MakeWorkPackage(const TempDir& dir) {
  fs::path p = dir / "work.msi";
  Handle db;
  EXPECT_EQ(Open(p, MSIDBOPEN_CREATE_A, db), ERROR_SUCCESS);
  EXPECT_EQ(Exec(db, "CREATE TABLE `Big` (`Key` CHAR(40) NOT NULL, `Text` LONGCHAR, `Number` LONG, `Data` OBJECT "
                     "PRIMARY KEY `Key`)"),
            ERROR_SUCCESS);
  Handle view;
  EXPECT_EQ(MsiDatabaseOpenViewA(db, "INSERT INTO `Big` (`Key`, `Text`, `Number`, `Data`) VALUES (?, ?, ?, ?)",
                                 view.out()),
            ERROR_SUCCESS);
  Bytes blob(3000);
  for (int i = 0; i < 1500; ++i) {
    for (size_t j = 0; j < blob.size(); ++j) blob[j] = static_cast<uint8_t>(i + j);
    Handle rec = MakeRecord({"key" + std::to_string(i), "text of row " + std::to_string(i * 7), "#" + std::to_string(i)});
    MsiRecordSetInteger(rec, 3, i);
    if (i % 50 == 0) MsiExtRecordSetStreamData(rec, 4, blob.data(), static_cast<DWORD>(blob.size()));
    EXPECT_EQ(MsiViewExecute(view, rec), ERROR_SUCCESS);
  }
  MsiViewClose(view);
  EXPECT_EQ(MsiDatabaseCommit(db), ERROR_SUCCESS);
  return p;
}

const char* const kChange[] = {
    "UPDATE `Big` SET `Text` = 'changed' WHERE `Number` < 700",
    "DELETE FROM `Big` WHERE `Number` > 1300",
    "INSERT INTO `Big` (`Key`, `Text`, `Number`) VALUES ('new key', 'new text', 99999)",
};

// In the child: open, change, tell the parent the commit starts, commit
// (to `output` when one is given).
[[noreturn]] void CommitInChild(const fs::path& package, int ready_fd, const fs::path& output = {}) {
  Handle db;
  UINT opened = output.empty() ? Open(package, MSIDBOPEN_TRANSACT_A, db) : OpenTo(package, output, db);
  if (opened != ERROR_SUCCESS) _exit(10);
  for (const char* s : kChange) {
    if (Exec(db, s) != ERROR_SUCCESS) _exit(11);
  }
  if (ready_fd >= 0) {
    char c = 1;
    if (write(ready_fd, &c, 1) != 1) _exit(12);
  }
  UINT r = MsiDatabaseCommit(db);
  _exit(r == ERROR_SUCCESS ? 0 : 13);
}

double Seconds() {
  timespec t{};
  clock_gettime(CLOCK_MONOTONIC, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

TEST(CrashSafety, KilledCommitLeavesTheOldOrTheNewPackage) {
  TempDir dir;
  fs::path work = MakeWorkPackage(dir);
  Bytes old_bytes = ReadBytes(work);

  // The new file once, unkilled; its commit time scales the kill delays.
  fs::path probe = dir / "probe.msi";
  CopyPackage(work, probe);
  double commit_seconds = 0;
  {
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    pid_t pid = fork();
    if (pid == 0) {
      close(fds[0]);
      CommitInChild(probe, fds[1]);
    }
    close(fds[1]);
    char c;
    ASSERT_EQ(read(fds[0], &c, 1), 1);
    double start = Seconds();
    int status = 0;
    ASSERT_TRUE(WaitChild(pid, &status)) << "the committing child hung and was killed";
    commit_seconds = Seconds() - start;
    close(fds[0]);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "status " << status;
  }
  Bytes new_bytes = ReadBytes(probe);
  ASSERT_FALSE(new_bytes == old_bytes);
  // The same change to the same package writes the same bytes; otherwise
  // "old or new" could not be checked.
  {
    fs::path again = dir / "again.msi";
    CopyPackage(work, again);
    pid_t pid = fork();
    if (pid == 0) CommitInChild(again, -1);
    int status = 0;
    ASSERT_TRUE(WaitChild(pid, &status)) << "the committing child hung and was killed";
    ASSERT_TRUE(ReadBytes(again) == new_bytes) << "two commits of the same change wrote different bytes";
    fs::remove(again);
  }

  std::mt19937 random(20261207);
  std::uniform_real_distribution<double> spread(0.0, 1.15);
  fs::path victim = dir / "victim.msi";
  int old_seen = 0, new_seen = 0;
  for (int kill_number = 0; kill_number < 110; ++kill_number) {
    WriteBytes(victim, old_bytes);
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    pid_t pid = fork();
    if (pid == 0) {
      close(fds[0]);
      CommitInChild(victim, fds[1]);
    }
    close(fds[1]);
    char c;
    ASSERT_EQ(read(fds[0], &c, 1), 1);
    close(fds[0]);
    double delay = spread(random) * commit_seconds;
    timespec pause{static_cast<time_t>(delay), static_cast<long>((delay - static_cast<double>(static_cast<time_t>(delay))) * 1e9)};
    nanosleep(&pause, nullptr);
    kill(pid, SIGKILL);
    int status = 0;
    ASSERT_TRUE(WaitChild(pid, &status));
    Bytes now = ReadBytes(victim);
    bool is_old = now == old_bytes;
    bool is_new = now == new_bytes;
    ASSERT_TRUE(is_old || is_new) << "kill " << kill_number << " after " << delay * 1000
                                  << " ms left a package that is neither the old nor the new one";
    old_seen += is_old;
    new_seen += is_new;
    // Temporary files of killed commits may stay; they must never be the
    // package itself. Clear them so the next run starts clean.
    for (const auto& name : FolderEntries(dir.path())) {
      if (name != "work.msi" && name != "probe.msi" && name != "victim.msi") fs::remove(dir / name);
    }
  }
  // Both outcomes should have happened; otherwise the delays missed the
  // commit entirely.
  EXPECT_GT(old_seen, 0);
  EXPECT_GT(new_seen, 0);
  RecordProperty("old", old_seen);
  RecordProperty("new", new_seen);
}

// The output path form: a killed commit leaves no output or the whole one,
// and never touches the input.
TEST(CrashSafety, KilledCommitToAnOutputPathLeavesNoneOrAllOfIt) {
  TempDir dir;
  fs::path work = MakeWorkPackage(dir);
  Bytes input = ReadBytes(work);
  fs::path out = dir / "out.msi";
  pid_t probe = fork();
  if (probe == 0) CommitInChild(work, -1, out);
  int status = 0;
  ASSERT_TRUE(WaitChild(probe, &status)) << "the committing child hung and was killed";
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  Bytes expected = ReadBytes(out);
  std::mt19937 random(7);
  std::uniform_int_distribution<int> micros(0, 8000);
  int none = 0, whole = 0;
  for (int k = 0; k < 40; ++k) {
    fs::remove(out);
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    pid_t pid = fork();
    if (pid == 0) {
      close(fds[0]);
      CommitInChild(work, fds[1], out);
    }
    close(fds[1]);
    char c;
    ASSERT_EQ(read(fds[0], &c, 1), 1);
    close(fds[0]);
    usleep(static_cast<useconds_t>(micros(random)));
    kill(pid, SIGKILL);
    ASSERT_TRUE(WaitChild(pid, &status));
    if (fs::exists(out)) {
      ASSERT_TRUE(ReadBytes(out) == expected) << "kill " << k << " left a partial output";
      ++whole;
    } else {
      ++none;
    }
    ASSERT_TRUE(ReadBytes(work) == input) << "the input changed";
    for (const auto& name : FolderEntries(dir.path())) {
      if (name != "work.msi" && name != "out.msi") fs::remove(dir / name);
    }
  }
  ::testing::Test::RecordProperty("none", none);
  ::testing::Test::RecordProperty("whole", whole);
}

// Runs `body` in a child and returns its exit code (or 100 + signal).
template <typename F>
int InChild(F body) {
  pid_t pid = fork();
  if (pid == 0) {
    int code = body();
    _exit(code);
  }
  int status = 0;
  if (!WaitChild(pid, &status)) return 99;  // hung: killed
  if (WIFSIGNALED(status)) return 100 + WTERMSIG(status);
  return WEXITSTATUS(status);
}

std::vector<std::string> OnlyNames(const fs::path& dir) { return FolderEntries(dir); }

TEST(CommitFailure, DiskFullLeavesThePackageAndNoTemporaryFile) {
  TempDir dir;
  fs::path work = MakeWorkPackage(dir);
  Bytes before = ReadBytes(work);
  // The change only fits a file much larger than the limit.
  int code = InChild([&] {
    Handle db;
    if (Open(work, MSIDBOPEN_TRANSACT_A, db) != ERROR_SUCCESS) return 70;
    if (Exec(db, kChange[0]) != ERROR_SUCCESS) return 71;
    signal(SIGXFSZ, SIG_IGN);
    rlimit limit{8192, 8192};
    setrlimit(RLIMIT_FSIZE, &limit);
    UINT r = MsiDatabaseCommit(db);
    if (r == ERROR_SUCCESS) return 0;
    return (r == ERROR_HANDLE_DISK_FULL || r == ERROR_WRITE_FAULT) ? 1 : 2;
  });
  EXPECT_EQ(code, 1) << "0: the failed commit reported success; 2: an unexpected code; 1xx: killed by a signal";
  EXPECT_TRUE(ReadBytes(work) == before) << "the package changed";
  EXPECT_EQ(OnlyNames(dir.path()), std::vector<std::string>{"work.msi"}) << "a temporary file was left";
}

// The same failure through the output-path form: the output must not
// appear half written either.
TEST(CommitFailure, DiskFullWithOutputPathLeavesNoOutput) {
  TempDir dir;
  fs::path work = MakeWorkPackage(dir);
  Bytes before = ReadBytes(work);
  fs::path out = dir / "out.msi";
  int code = InChild([&] {
    Handle db;
    if (OpenTo(work, out, db) != ERROR_SUCCESS) return 70;
    if (Exec(db, kChange[0]) != ERROR_SUCCESS) return 71;
    signal(SIGXFSZ, SIG_IGN);
    rlimit limit{8192, 8192};
    setrlimit(RLIMIT_FSIZE, &limit);
    return MsiDatabaseCommit(db) == ERROR_SUCCESS ? 0 : 1;
  });
  EXPECT_EQ(code, 1);
  EXPECT_TRUE(ReadBytes(work) == before);
  EXPECT_EQ(OnlyNames(dir.path()), std::vector<std::string>{"work.msi"});
}

constexpr uid_t kNobody = 65534;

bool BecomeNobody() { return setgid(kNobody) == 0 && setuid(kNobody) == 0; }

TEST(CommitFailure, ReadOnlyFolderKeepsThePackage) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root to act as another user";
  TempDir dir;
  fs::path folder = dir / "locked";
  fs::create_directory(folder);
  fs::path work = folder / "work.msi";
  CopyPackage(MakeWorkPackage(dir), work);
  // The file is writable by anyone, its folder by its owner (root) only.
  chmod(work.c_str(), 0666);
  chmod(dir.path().c_str(), 0755);
  chmod(folder.c_str(), 0755);
  Bytes before = ReadBytes(work);
  int code = InChild([&] {
    if (!BecomeNobody()) return 60;
    Handle db;
    UINT r = Open(work, MSIDBOPEN_TRANSACT_A, db);
    if (r != ERROR_SUCCESS) return r == ERROR_OPEN_FAILED || r == ERROR_ACCESS_DENIED ? 1 : 2;
    if (Exec(db, kChange[0]) != ERROR_SUCCESS) return 71;
    r = MsiDatabaseCommit(db);
    if (r == ERROR_SUCCESS) return 0;
    return 1;
  });
  EXPECT_EQ(code, 1) << "0: a commit into a read-only folder reported success";
  EXPECT_TRUE(ReadBytes(work) == before);
  EXPECT_EQ(OnlyNames(folder), std::vector<std::string>{"work.msi"});
}

TEST(CommitFailure, ReadOnlyFileIsRefusedAtOpenForAnotherUser) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root to act as another user";
  TempDir dir;
  fs::path work = MakeWorkPackage(dir);
  // Folder writable by all (so a rename would succeed), file by nobody.
  chmod(dir.path().c_str(), 0777);
  chmod(work.c_str(), 0644);
  Bytes before = ReadBytes(work);
  int code = InChild([&] {
    if (!BecomeNobody()) return 60;
    Handle db;
    UINT r = Open(work, MSIDBOPEN_TRANSACT_A, db);
    if (r == ERROR_OPEN_FAILED) return 1;
    if (r != ERROR_SUCCESS) return 2;
    // Opened anyway: the commit must at least not replace the file.
    Exec(db, kChange[0]);
    return MsiDatabaseCommit(db) == ERROR_SUCCESS ? 3 : 4;
  });
  EXPECT_EQ(code, 1) << "2: other open code; 3: commit replaced a file the user may not write; 4: failed late";
  EXPECT_TRUE(ReadBytes(work) == before);
  EXPECT_EQ(OnlyNames(dir.path()), std::vector<std::string>{"work.msi"});
  // Reading stays allowed.
  code = InChild([&] {
    if (!BecomeNobody()) return 60;
    Handle db;
    return Open(work, MSIDBOPEN_READONLY_A, db) == ERROR_SUCCESS ? 0 : 1;
  });
  EXPECT_EQ(code, 0);
}

TEST(CommitFailure, FileWithoutWriteBitsIsReadOnlyEvenForItsOwner) {
  TempDir dir;
  fs::path work = MakeWorkPackage(dir);
  chmod(work.c_str(), 0444);
  Bytes before = ReadBytes(work);
  for (LPCSTR mode : {MSIDBOPEN_TRANSACT_A, MSIDBOPEN_DIRECT_A}) {
    Handle db;
    EXPECT_EQ(Open(work, mode, db), ERROR_OPEN_FAILED);
  }
  Handle db;
  ASSERT_EQ(Open(work, MSIDBOPEN_READONLY_A, db), ERROR_SUCCESS);
  // Whatever happens in memory, a read-only database's commit writes nothing.
  Exec(db, kChange[0]);
  EXPECT_EQ(MsiDatabaseCommit(db), ERROR_SUCCESS);
  db.reset();
  EXPECT_TRUE(ReadBytes(work) == before);
  EXPECT_EQ(OnlyNames(dir.path()), std::vector<std::string>{"work.msi"});
}

// A commit keeps the package's permissions (the new file replaces it).
TEST(CommitFailure, CommitKeepsThePermissionsOfThePackage) {
  TempDir dir;
  fs::path work = MakeWorkPackage(dir);
  chmod(work.c_str(), 0640);
  {
    Handle db;
    ASSERT_EQ(Open(work, MSIDBOPEN_TRANSACT_A, db), ERROR_SUCCESS);
    ASSERT_EQ(Exec(db, kChange[2]), ERROR_SUCCESS);
    ASSERT_EQ(MsiDatabaseCommit(db), ERROR_SUCCESS);
  }
  struct stat st {};
  ASSERT_EQ(stat(work.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0640u);
}

// Root commits a package that belongs to someone else: the new file keeps
// the owner, or that user could no longer change their own package.
TEST(CommitFailure, CommitKeepsTheOwnerOfThePackage) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root to give the file to another user";
  TempDir dir;
  fs::path work = MakeWorkPackage(dir);
  ASSERT_EQ(chown(work.c_str(), kNobody, kNobody), 0);
  {
    Handle db;
    ASSERT_EQ(Open(work, MSIDBOPEN_TRANSACT_A, db), ERROR_SUCCESS);
    ASSERT_EQ(Exec(db, kChange[2]), ERROR_SUCCESS);
    ASSERT_EQ(MsiDatabaseCommit(db), ERROR_SUCCESS);
  }
  struct stat st {};
  ASSERT_EQ(stat(work.c_str(), &st), 0);
  EXPECT_EQ(st.st_uid, kNobody);
  EXPECT_EQ(st.st_gid, kNobody);
}

}  // namespace
}  // namespace ts
