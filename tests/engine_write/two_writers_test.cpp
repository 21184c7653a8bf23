// Two writers never lose a change. Writers in two processes, driven step by
// step (open, change, commit, close) through every interleaving of their
// steps; pairs of open modes; programs that do not take the lock and change
// the file underneath; and real msisql processes racing. In every case:
// never a success whose change is missing from the file.
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <thread>
#include <utility>

#include "statement_support.h"

namespace ts {
namespace {

std::string InsertRow(const std::string& name) {
  return "INSERT INTO `Property` (`Property`, `Value`) VALUES ('" + name + "', 'x')";
}

// A writer in a child process of its own, doing one step per command it
// reads from its end of a socket pair and answering with the step's code.
class Writer {
 public:
  enum Step : char { kOpen = 'o', kChange = 'i', kCommit = 'c', kClose = 'x' };

  // `row` is the Property row its change inserts.
  Writer(const fs::path& package, const std::string& row) {
    int ends[2];
    if (socketpair(AF_UNIX, SOCK_STREAM, 0, ends) != 0) throw std::runtime_error("socketpair");
    pid_ = fork();
    if (pid_ == 0) {
      close(ends[0]);
      MSIHANDLE db = 0;
      for (char c; read(ends[1], &c, 1) == 1;) {
        UINT code = c == kOpen     ? MsiOpenDatabaseA(package.c_str(), MSIDBOPEN_TRANSACT_A, &db)
                    : c == kChange ? Exec(db, InsertRow(row))
                    : c == kCommit ? MsiDatabaseCommit(db)
                                   : MsiCloseHandle(std::exchange(db, 0));
        if (write(ends[1], &code, sizeof code) != sizeof code) break;
      }
      MsiCloseHandle(db);
      _exit(0);
    }
    close(ends[1]);
    fd_ = ends[0];
  }
  ~Writer() {
    close(fd_);  // the child closes everything and ends
    int status = 0;
    if (!WaitChild(pid_, &status)) ADD_FAILURE() << "a writer process hung and was killed";
  }

  UINT Do(Step step) {
    const char c = step;
    UINT code = 0xFFFFFFFF;
    // A step that never answers is a hang, reported as a failed step.
    pollfd answer{fd_, POLLIN, 0};
    if (write(fd_, &c, 1) != 1 || poll(&answer, 1, 60000) != 1 || read(fd_, &code, sizeof code) != sizeof code)
      return 0xFFFFFFFF;
    return code;
  }

 private:
  pid_t pid_ = -1;
  int fd_ = -1;
};

bool HasRow(const fs::path& package, const std::string& row) {
  return Rows(package, "SELECT `Property` FROM `Property`").find("\n" + row + "\n") !=
         std::string::npos;
}

TEST(TwoWriters, EveryInterleavingOfTwoProcessesKeepsEveryCommittedChange) {
  TempDir dir;
  const fs::path original = dir / "original.msi";
  MakeSmallPackage(original);
  const std::string base_rows = Rows(original, "SELECT * FROM `Property`");
  const Writer::Step steps[] = {Writer::kOpen, Writer::kChange, Writer::kCommit, Writer::kClose};
  // Every way to interleave two writers' four steps: C(8,4) = 70 orders.
  std::string order = "AAAABBBB";
  do {
    SCOPED_TRACE("order " + order);
    const fs::path package = dir / "p.msi";
    CopyPackage(original, package);
    Writer a(package, "WriterA"), b(package, "WriterB");
    size_t next[2] = {0, 0};
    bool open[2] = {false, false}, refused[2] = {false, false}, committed[2] = {false, false};
    for (char who : order) {
      const int me = who == 'A' ? 0 : 1;
      Writer& w = me == 0 ? a : b;
      const Writer::Step step = steps[next[me]++];
      if (refused[me]) continue;
      const UINT r = w.Do(step);
      if (step == Writer::kOpen) {
        // Open while the other writer has the package open: refused.
        EXPECT_EQ(r, open[1 - me] ? ERROR_OPEN_FAILED : ERROR_SUCCESS) << who << " opens";
        refused[me] = r != ERROR_SUCCESS;
      } else {
        EXPECT_EQ(r, ERROR_SUCCESS) << who << " step " << static_cast<char>(step);
      }
      if (step == Writer::kOpen || step == Writer::kClose) {
        open[me] = step == Writer::kOpen && r == ERROR_SUCCESS;
      }
      if (step == Writer::kCommit) committed[me] = r == ERROR_SUCCESS;
      // Readers are never blocked and see a whole package.
      Handle reader;
      ASSERT_EQ(Open(package, MSIDBOPEN_READONLY_A, reader), ERROR_SUCCESS);
      const std::string rows = Select(reader, "SELECT * FROM `Property`");
      EXPECT_EQ(rows.rfind(base_rows, 0), 0u) << rows;
    }
    EXPECT_FALSE(refused[0] && refused[1]);
    EXPECT_TRUE(!committed[0] || HasRow(package, "WriterA"));
    EXPECT_TRUE(!committed[1] || HasRow(package, "WriterB"));
    EXPECT_FALSE(fs::exists(dir / ".p.msi.lock")) << "the lock file stays behind";
  } while (std::next_permutation(order.begin(), order.end()));
}

// The second open's answer while the first is open. A persist value is a
// mode or an output path.
struct ModePair {
  const char* name;
  std::string first;
  LPCSTR first_persist;
  std::string second;
  LPCSTR second_persist;
  UINT second_code;
};

TEST(TwoWriters, SecondWriterIsRefusedAtOpenReadersNever) {
  TempDir dir;
  const std::string p = (dir / "p.msi").string(), q = (dir / "q.msi").string();
  const std::string out = (dir / "out.msi").string(), fresh = (dir / "new.msi").string();
  const std::string link = (dir / "link.msi").string();
  const LPCSTR transact = MSIDBOPEN_TRANSACT_A, to_out = out.c_str();
  const ModePair cases[] = {
      {"TRANSACT, TRANSACT", p, transact, p, transact, ERROR_OPEN_FAILED},
      {"TRANSACT, DIRECT", p, transact, p, MSIDBOPEN_DIRECT_A, ERROR_OPEN_FAILED},
      {"DIRECT, CREATE", p, MSIDBOPEN_DIRECT_A, p, MSIDBOPEN_CREATE_A, ERROR_OPEN_FAILED},
      {"CREATEDIRECT, TRANSACT", p, MSIDBOPEN_CREATEDIRECT_A, p, transact, ERROR_OPEN_FAILED},
      {"TRANSACT, the same file through a link", p, transact, link, transact, ERROR_OPEN_FAILED},
      {"CREATE of a new file twice", fresh, MSIDBOPEN_CREATE_A, fresh, MSIDBOPEN_CREATE_A, ERROR_OPEN_FAILED},
      {"TRANSACT, READONLY", p, transact, p, MSIDBOPEN_READONLY_A, ERROR_SUCCESS},
      {"READONLY, TRANSACT", p, MSIDBOPEN_READONLY_A, p, transact, ERROR_SUCCESS},
      {"output path, TRANSACT of the output", p, to_out, out, transact, ERROR_OPEN_FAILED},
      {"output path, another output path to it", p, to_out, q, to_out, ERROR_OPEN_FAILED},
      {"output path, TRANSACT of the input", p, to_out, p, transact, ERROR_SUCCESS},
      {"TRANSACT of two packages", p, transact, q, transact, ERROR_SUCCESS},
  };
  for (const ModePair& c : cases) {
    SCOPED_TRACE(c.name);
    for (const std::string& f : {p, q, out, fresh, link}) fs::remove(f);
    for (const std::string& f : {p, q, out}) MakeSmallPackage(f);
    fs::create_symlink(p, link);
    auto open_second = [&](MSIHANDLE* h) { return MsiOpenDatabaseA(c.second.c_str(), c.second_persist, h); };
    // Both in this process: the lock is per open, not per process.
    MSIHANDLE first = 0, second = 0;
    ASSERT_EQ(MsiOpenDatabaseA(c.first.c_str(), c.first_persist, &first), ERROR_SUCCESS);
    EXPECT_EQ(open_second(&second), c.second_code);
    MsiCloseHandle(second);
    // And from another process.
    const pid_t pid = fork();
    if (pid == 0) _exit(open_second(&second) == c.second_code ? 0 : 1);
    int status = 0;
    ASSERT_TRUE(WaitChild(pid, &status)) << "the other process hung and was killed";
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "from another process";
    // Closed, the package is free again.
    MsiCloseHandle(first);
    second = 0;
    EXPECT_EQ(open_second(&second), ERROR_SUCCESS);
    MsiCloseHandle(second);
  }
}

TEST(TwoWriters, ViewsKeepTheLockUntilTheyAreClosedToo) {
  TempDir dir;
  const fs::path p = SmallPackage(dir);
  MSIHANDLE db = 0, view = 0, other = 0;
  ASSERT_EQ(MsiOpenDatabaseA(p.c_str(), MSIDBOPEN_TRANSACT_A, &db), ERROR_SUCCESS);
  ASSERT_EQ(MsiDatabaseOpenViewA(db, "SELECT * FROM `Property`", &view), ERROR_SUCCESS);
  MsiCloseHandle(db);  // the view keeps the database, and its lock
  EXPECT_EQ(MsiOpenDatabaseA(p.c_str(), MSIDBOPEN_TRANSACT_A, &other), ERROR_OPEN_FAILED);
  MsiCloseHandle(view);
  EXPECT_EQ(MsiOpenDatabaseA(p.c_str(), MSIDBOPEN_TRANSACT_A, &other), ERROR_SUCCESS);
  MsiCloseHandle(other);
}

void SetMtime(const fs::path& path, int seconds_later) {
  struct stat st {};
  stat(path.c_str(), &st);
  timespec times[2] = {st.st_atim, st.st_mtim};
  times[1].tv_sec += seconds_later;
  utimensat(AT_FDCWD, path.c_str(), times, 0);
}

// What a program that takes no lock may do to the package meanwhile (or
// to the file a CREATE or an output path is to make); the writer's commit
// afterwards must fail and write nothing.
enum class Opened { kTransact, kCreate, kOutputPath };
void MadeMeanwhile(const fs::path& p, const fs::path&) { WriteText(p, "made by another program meanwhile"); }
const struct {
  const char* name;
  Opened opened;
  void (*act)(const fs::path& package, const fs::path& other);
} kOutsiders[] = {
    {"renames another package over it", Opened::kTransact,
     [](const fs::path& p, const fs::path& other) {
       fs::copy_file(other, p.string() + ".tmp");
       fs::rename(p.string() + ".tmp", p);
     }},
    {"copies another package over it in place", Opened::kTransact,
     [](const fs::path& p, const fs::path& other) { WriteBytes(p, ReadBytes(other)); }},
    {"appends a byte", Opened::kTransact,
     [](const fs::path& p, const fs::path&) {
       Bytes b = ReadBytes(p);
       b.push_back(0);
       WriteBytes(p, b);
     }},
    {"rewrites it with the same size and a later time", Opened::kTransact,
     [](const fs::path& p, const fs::path&) {
       WriteBytes(p, ReadBytes(p));
       SetMtime(p, 5);
     }},
    {"deletes it", Opened::kTransact, [](const fs::path& p, const fs::path&) { fs::remove(p); }},
    {"makes the file CREATE is to make", Opened::kCreate, MadeMeanwhile},
    {"makes the output file", Opened::kOutputPath, MadeMeanwhile},
};

TEST(TwoWriters, CommitFailsAndWritesNothingWhenTheFileChangedUnderneath) {
  TempDir dir;
  const fs::path p = dir / "p.msi", other = dir / "other.msi";
  MakeSmallPackage(other);
  ASSERT_EQ(ts::Run({Msisql(), "--write", other.string(), InsertRow("Other")}).exit_code, 0);
  // Left alone, the writer goes on committing; a change after its own
  // commit is caught again.
  MakeSmallPackage(p);
  {
    Handle db;
    ASSERT_EQ(Open(p, MSIDBOPEN_TRANSACT_A, db), ERROR_SUCCESS);
    for (const char* row : {"Mine", "Mine2"}) {
      ASSERT_EQ(Exec(db, InsertRow(row)), ERROR_SUCCESS);
      EXPECT_EQ(MsiDatabaseCommit(db), ERROR_SUCCESS);
      EXPECT_TRUE(HasRow(p, row));
    }
    ASSERT_EQ(Exec(db, InsertRow("Mine3")), ERROR_SUCCESS);
    SetMtime(p, 7);
    EXPECT_EQ(MsiDatabaseCommit(db), ERROR_FILE_INVALID);
    EXPECT_FALSE(HasRow(p, "Mine3"));
  }
  for (const auto& o : kOutsiders) {
    SCOPED_TRACE(o.name);
    fs::remove(p);
    Handle db;
    if (o.opened == Opened::kTransact) {
      MakeSmallPackage(p);
      ASSERT_EQ(Open(p, MSIDBOPEN_TRANSACT_A, db), ERROR_SUCCESS);
    } else {
      ASSERT_EQ(o.opened == Opened::kCreate ? Open(p, MSIDBOPEN_CREATE_A, db) : OpenTo(other, p, db), 0u);
    }
    ASSERT_EQ(Exec(db, "CREATE TABLE `Mine` (`K` SHORT NOT NULL PRIMARY KEY `K`)"), ERROR_SUCCESS);
    // Later than the file system's clock can tell apart (a few ms).
    usleep(30000);
    o.act(p, other);
    const Bytes before = fs::exists(p) ? ReadBytes(p) : Bytes();
    // Nothing written, on a second try neither: the file stays as the
    // outsider left it.
    EXPECT_EQ(MsiDatabaseCommit(db), ERROR_FILE_INVALID);
    EXPECT_EQ(MsiDatabaseCommit(db), ERROR_FILE_INVALID);
    EXPECT_EQ(fs::exists(p) ? ReadBytes(p) : Bytes(), before);
  }
}

// Real processes racing: one writer with many statements (slow) and many
// quick ones, started together. Whatever the timing, every writer that
// exits 0 has its row in the file, and the others were refused (error
// 110) or found the file changed (1006): msisql exits 1 for both.
TEST(TwoWriters, RacingMsisqlProcessesNeverLoseACommittedChange) {
  TempDir dir;
  const fs::path package = SmallPackage(dir);
  for (int round = 0; round < 5; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    const std::string r = "R" + std::to_string(round);
    std::vector<std::string> names{r + "Slow0"};
    std::vector<std::vector<std::string>> argvs{{Msisql(), "--write", package.string()}};
    for (int i = 0; i < 300; ++i) argvs[0].push_back(InsertRow(r + "Slow" + std::to_string(i)));
    for (int q = 0; q < 8; ++q) {
      names.push_back(r + "Quick" + std::to_string(q));
      argvs.push_back({Msisql(), "--write", package.string(), InsertRow(names.back())});
    }
    std::vector<RunResult> results(argvs.size());
    std::vector<std::thread> threads;
    for (size_t i = 0; i < argvs.size(); ++i) threads.emplace_back([&, i] { results[i] = ts::Run(argvs[i]); });
    for (auto& t : threads) t.join();
    int succeeded = 0;
    for (size_t i = 0; i < results.size(); ++i) {
      if (results[i].exit_code == 0) {
        ++succeeded;
        EXPECT_TRUE(HasRow(package, names[i])) << names[i] << " succeeded but its row is missing";
      } else {
        EXPECT_EQ(results[i].exit_code, 1) << names[i] << ": " << results[i].Describe();
      }
    }
    EXPECT_GE(succeeded, 1);
  }
}

}  // namespace
}  // namespace ts
