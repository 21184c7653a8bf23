// Times small changes committed to the big package, by this engine and by
// libmsi, each run in a fresh child on a fresh copy. Prints a Markdown
// table of medians.
//
//   write_bench PACKAGE [--reps N]
//
// The tasks: open for writing, delete one File row, commit; open, insert
// 1,000 File rows (one prepared statement, markers), commit; open, one bulk
// statement (UPDATE of every row, DELETE by a WHERE, ALTER TABLE ADD),
// commit. After every run the written package is read back (by this
// engine) to see whether it holds what the statement means.
#include <libmsi.h>
#include <msiquery.h>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <ctime>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

std::string g_key;        // a File row to delete
std::string g_component;  // a component the new rows belong to

double Now() {
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

const char* g_statement = "";  // the bulk task at hand
double g_opened_at = 0, g_changed_at = 0;  // within a task: CPU time of the change alone

// CPU time of this process: the change alone, measured inside the child,
// does not depend on what else the machine runs.
double CpuNow() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

std::string NewKey(int i) { return "benchfile" + std::to_string(i); }

// ---- this engine -----------------------------------------------------------
bool OursDelete(const char* path) {
  MSIHANDLE db = 0, view = 0;
  if (MsiOpenDatabaseA(path, MSIDBOPEN_TRANSACT_A, &db) != ERROR_SUCCESS) return false;
  g_opened_at = CpuNow();
  std::string sql = "DELETE FROM `File` WHERE `File` = '" + g_key + "'";
  bool ok = MsiDatabaseOpenViewA(db, sql.c_str(), &view) == ERROR_SUCCESS && MsiViewExecute(view, 0) == ERROR_SUCCESS;
  MsiCloseHandle(view);
  g_changed_at = CpuNow();
  ok = ok && MsiDatabaseCommit(db) == ERROR_SUCCESS;
  MsiCloseHandle(db);
  return ok;
}

bool OursInsert(const char* path) {
  MSIHANDLE db = 0, view = 0;
  if (MsiOpenDatabaseA(path, MSIDBOPEN_TRANSACT_A, &db) != ERROR_SUCCESS) return false;
  g_opened_at = CpuNow();
  bool ok = MsiDatabaseOpenViewA(db,
                                 "INSERT INTO `File` (`File`, `Component_`, `FileName`, `FileSize`, `Attributes`, "
                                 "`Sequence`) VALUES (?, ?, ?, ?, 512, ?)",
                                 &view) == ERROR_SUCCESS;
  MSIHANDLE rec = MsiCreateRecord(5);
  for (int i = 0; ok && i < 1000; ++i) {
    std::string key = NewKey(i);
    std::string name = "bench" + std::to_string(i) + ".dat";
    MsiRecordSetStringA(rec, 1, key.c_str());
    MsiRecordSetStringA(rec, 2, g_component.c_str());
    MsiRecordSetStringA(rec, 3, name.c_str());
    MsiRecordSetInteger(rec, 4, 1000 + i);
    MsiRecordSetInteger(rec, 5, 50000 + i);
    ok = MsiViewExecute(view, rec) == ERROR_SUCCESS;
  }
  MsiCloseHandle(rec);
  MsiCloseHandle(view);
  g_changed_at = CpuNow();
  ok = ok && MsiDatabaseCommit(db) == ERROR_SUCCESS;
  MsiCloseHandle(db);
  return ok;
}

bool OursStatement(const char* path) {
  MSIHANDLE db = 0, view = 0;
  if (MsiOpenDatabaseA(path, MSIDBOPEN_TRANSACT_A, &db) != ERROR_SUCCESS) return false;
  g_opened_at = CpuNow();
  bool ok = MsiDatabaseOpenViewA(db, g_statement, &view) == ERROR_SUCCESS && MsiViewExecute(view, 0) == ERROR_SUCCESS;
  MsiCloseHandle(view);
  g_changed_at = CpuNow();
  ok = ok && MsiDatabaseCommit(db) == ERROR_SUCCESS;
  MsiCloseHandle(db);
  return ok;
}

// ---- libmsi ----------------------------------------------------------------
bool TheirsDelete(const char* path) {
  GError* error = nullptr;
  LibmsiDatabase* db = libmsi_database_new(path, LIBMSI_DB_FLAGS_TRANSACT, nullptr, &error);
  if (db == nullptr) return false;
  g_opened_at = CpuNow();
  std::string sql = "DELETE FROM `File` WHERE `File` = '" + g_key + "'";
  LibmsiQuery* q = libmsi_query_new(db, sql.c_str(), &error);
  bool ok = q != nullptr && libmsi_query_execute(q, nullptr, &error);
  if (q != nullptr) {
    libmsi_query_close(q, nullptr);
    g_object_unref(q);
  }
  g_changed_at = CpuNow();
  ok = ok && libmsi_database_commit(db, &error);
  g_object_unref(db);
  return ok;
}

bool TheirsInsert(const char* path) {
  GError* error = nullptr;
  LibmsiDatabase* db = libmsi_database_new(path, LIBMSI_DB_FLAGS_TRANSACT, nullptr, &error);
  if (db == nullptr) return false;
  g_opened_at = CpuNow();
  LibmsiQuery* q = libmsi_query_new(db,
                                    "INSERT INTO `File` (`File`, `Component_`, `FileName`, `FileSize`, `Attributes`, "
                                    "`Sequence`) VALUES (?, ?, ?, ?, 512, ?)",
                                    &error);
  bool ok = q != nullptr;
  LibmsiRecord* rec = libmsi_record_new(5);
  for (int i = 0; ok && i < 1000; ++i) {
    std::string key = NewKey(i);
    std::string name = "bench" + std::to_string(i) + ".dat";
    libmsi_record_set_string(rec, 1, key.c_str());
    libmsi_record_set_string(rec, 2, g_component.c_str());
    libmsi_record_set_string(rec, 3, name.c_str());
    libmsi_record_set_int(rec, 4, 1000 + i);
    libmsi_record_set_int(rec, 5, 50000 + i);
    ok = libmsi_query_execute(q, rec, &error);
    libmsi_query_close(q, nullptr);
  }
  g_object_unref(rec);
  if (q != nullptr) g_object_unref(q);
  g_changed_at = CpuNow();
  ok = ok && libmsi_database_commit(db, &error);
  g_object_unref(db);
  return ok;
}

bool TheirsStatement(const char* path) {
  GError* error = nullptr;
  LibmsiDatabase* db = libmsi_database_new(path, LIBMSI_DB_FLAGS_TRANSACT, nullptr, &error);
  if (db == nullptr) return false;
  g_opened_at = CpuNow();
  LibmsiQuery* q = libmsi_query_new(db, g_statement, &error);
  bool ok = q != nullptr && libmsi_query_execute(q, nullptr, &error);
  if (q != nullptr) {
    libmsi_query_close(q, nullptr);
    g_object_unref(q);
  }
  g_changed_at = CpuNow();
  ok = ok && libmsi_database_commit(db, &error);
  g_object_unref(db);
  return ok;
}

// Rows of a SELECT on the written package (read by this engine); -1 when
// it cannot run.
long CountRows(const fs::path& package, const char* sql) {
  MSIHANDLE db = 0, view = 0, row = 0;
  long n = -1;
  if (MsiOpenDatabaseA(package.c_str(), MSIDBOPEN_READONLY_A, &db) == ERROR_SUCCESS &&
      MsiDatabaseOpenViewA(db, sql, &view) == ERROR_SUCCESS && MsiViewExecute(view, 0) == ERROR_SUCCESS) {
    n = 0;
    while (MsiViewFetch(view, &row) == ERROR_SUCCESS) {
      MsiCloseHandle(row);
      ++n;
    }
  }
  MsiCloseHandle(view);
  MsiCloseHandle(db);
  return n;
}

// One timed run in a child on a fresh copy: the whole task (wall and CPU)
// and the CPU time of the change alone (between open and commit);
// negative on failure.
struct Timing {
  double total = -1, change = -1, cpu = -1;  // cpu: the child's user + system time
};
Timing TimeInChild(bool (*task)(const char*), const fs::path& package, const fs::path& scratch) {
  fs::copy_file(package, scratch, fs::copy_options::overwrite_existing);
  fs::permissions(scratch, fs::perms::owner_read | fs::perms::owner_write);
  int fds[2];
  if (pipe(fds) != 0) return {};
  pid_t pid = fork();
  if (pid == 0) {
    close(fds[0]);
    double start = Now();
    bool ok = task(scratch.c_str());
    Timing t;
    if (ok) t = {Now() - start, g_changed_at - g_opened_at};
    ssize_t w = write(fds[1], &t, sizeof t);
    _exit(w == sizeof t ? 0 : 1);
  }
  close(fds[1]);
  Timing t;
  if (read(fds[0], &t, sizeof t) != sizeof t) t = {};
  close(fds[0]);
  int status = 0;
  rusage usage{};
  wait4(pid, &status, 0, &usage);
  if (t.total >= 0) {
    t.cpu = (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3 +
            (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e3;
  }
  return t;
}

std::string Median(std::vector<double> v) {
  if (v.empty() || std::any_of(v.begin(), v.end(), [](double x) { return x < 0; })) return "failed";
  std::sort(v.begin(), v.end());
  char buf[32];
  std::snprintf(buf, sizeof buf, v[v.size() / 2] < 10 ? "%.2f ms" : "%.1f ms", v[v.size() / 2]);
  return buf;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: write_bench PACKAGE [--reps N]\n");
    return 2;
  }
  fs::path package = argv[1];
  int reps = 5;
  if (argc >= 4 && std::strcmp(argv[2], "--reps") == 0) reps = std::max(1, std::atoi(argv[3]));
  {
    MSIHANDLE db = 0, view = 0, row = 0;
    if (MsiOpenDatabaseA(package.c_str(), MSIDBOPEN_READONLY_A, &db) != ERROR_SUCCESS ||
        MsiDatabaseOpenViewA(db, "SELECT `File`, `Component_` FROM `File`", &view) != ERROR_SUCCESS ||
        MsiViewExecute(view, 0) != ERROR_SUCCESS) {
      std::fprintf(stderr, "write_bench: cannot read the File table of %s\n", package.c_str());
      return 1;
    }
    // A row from the middle of the table.
    for (int i = 0; i < 20000 && MsiViewFetch(view, &row) == ERROR_SUCCESS; ++i) {
      char buf[256];
      DWORD n = sizeof buf;
      MsiRecordGetStringA(row, 1, buf, &n);
      g_key = buf;
      n = sizeof buf;
      MsiRecordGetStringA(row, 2, buf, &n);
      g_component = buf;
      MsiCloseHandle(row);
    }
    MsiCloseHandle(view);
    MsiCloseHandle(db);
  }
  fs::path scratch = fs::temp_directory_path() / ("write_bench." + std::to_string(getpid()) + ".msi");
  struct Row {
    const char* name;
    bool (*ours)(const char*);
    bool (*theirs)(const char*);
    const char* statement;  // bulk tasks
    const char* check;      // rows of this SELECT afterwards...
    long expected;          // ...as the statement means
  } rows[] = {
      {"open for writing + delete one row + commit", OursDelete, TheirsDelete, "", nullptr, 0},
      {"open for writing + insert 1,000 rows + commit", OursInsert, TheirsInsert, "", nullptr, 0},
      {"UPDATE of every File row, text column (`SET Version = '2.0.0.0'`) + commit", OursStatement,
       TheirsStatement, "UPDATE `File` SET `Version` = '2.0.0.0'",
       "SELECT `File` FROM `File` WHERE `Version` = '2.0.0.0'", 40000},
      {"UPDATE of every File row, integer column (`SET Attributes = 16384`) + commit", OursStatement,
       TheirsStatement, "UPDATE `File` SET `Attributes` = 16384", "SELECT `File` FROM `File` WHERE `Attributes` = 16384",
       40000},
      {"UPDATE of every Component row (`SET Condition = 'Installed'`) + commit", OursStatement, TheirsStatement,
       "UPDATE `Component` SET `Condition` = 'Installed'",
       "SELECT `Component` FROM `Component` WHERE `Condition` = 'Installed'", 8000},
      {"DELETE of 38,000 File rows (`WHERE Sequence <= 38000`) + commit", OursStatement, TheirsStatement,
       "DELETE FROM `File` WHERE `Sequence` <= 38000", "SELECT `File` FROM `File`", 2000},
      {"ALTER TABLE File ADD a column + commit", OursStatement, TheirsStatement,
       "ALTER TABLE `File` ADD `Note` CHAR(40)", "SELECT `Note` FROM `File`", 40000},
  };
  std::printf("Package: %s (%ju bytes), median of %d runs\n\n", package.filename().c_str(),
              static_cast<uintmax_t>(fs::file_size(package)), reps);
  std::printf("| task | this engine | libmsi | speed-up | CPU, this engine | CPU, libmsi | speed-up | "
              "change alone (CPU), this engine | change alone (CPU), libmsi | result, this engine | result, libmsi |\n"
              "|---|---:|---:|---:|---:|---:|---:|---:|---:|---|---|\n");
  auto verdict = [](long got, long expected) {
    if (got == expected) return std::string("as meant");
    return "wrong: " + std::to_string(got) + " rows where " + std::to_string(expected) + " are meant";
  };
  auto ratio = [](const std::vector<double>& ours, const std::vector<double>& theirs) {
    char buf[32] = "";
    std::vector<double> a = ours, b = theirs;
    std::sort(a.begin(), a.end());
    std::sort(b.begin(), b.end());
    if (a.front() > 0 && b.front() > 0) std::snprintf(buf, sizeof buf, "%.0f×", b[b.size() / 2] / a[a.size() / 2]);
    return std::string(buf);
  };
  for (const auto& r : rows) {
    g_statement = r.statement;
    std::vector<double> a, b, ca, cb, pa, pb;
    long got_ours = 0, got_theirs = 0;
    for (int i = 0; i < reps; ++i) {
      const Timing ours = TimeInChild(r.ours, package, scratch);
      if (r.check != nullptr) got_ours = CountRows(scratch, r.check);
      const Timing theirs = TimeInChild(r.theirs, package, scratch);
      if (r.check != nullptr) got_theirs = CountRows(scratch, r.check);
      a.push_back(ours.total);
      ca.push_back(ours.change);
      b.push_back(theirs.total);
      cb.push_back(theirs.change);
      pa.push_back(ours.cpu);
      pb.push_back(theirs.cpu);
    }
    std::printf("| %s | %s | %s | %s | %s | %s | %s | %s | %s | %s | %s |\n", r.name, Median(a).c_str(),
                Median(b).c_str(), ratio(a, b).c_str(), Median(pa).c_str(), Median(pb).c_str(), ratio(pa, pb).c_str(),
                Median(ca).c_str(), Median(cb).c_str(),
                r.check ? verdict(got_ours, r.expected).c_str() : "", r.check ? verdict(got_theirs, r.expected).c_str() : "");
    std::fflush(stdout);
  }
  fs::remove(scratch);
  return 0;
}
