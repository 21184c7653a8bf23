// Times this engine (through its C API) and libmsi on the same package and
// statements, each measurement in a fresh child process so that peak memory
// (max RSS) is its own. Prints a Markdown table of medians.
//
//   engine_bench PACKAGE [--reps N] [--libmsi-reps N]
//
// Every task is: open the package read-only, run one statement, fetch every
// row and read every field as text, close. The children also hash what they
// read, so the table shows whether both engines read the same thing.
#include <libmsi.h>
#include <msiquery.h>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

struct Task {
  const char* name;
  const char* statement;  // null: open and close only
  bool open = true;       // false: measures the bare process, for reference
};

const Task kTasks[] = {
    {"open + file statement (join, ORDER BY)",
     "SELECT File.FileName,File.FileSize,File.Version,File.Language,File.Attributes,Component.Directory_ "
     "FROM File, Component WHERE File.Component_=Component.Component ORDER BY File.FileName"},
    {"open + DISTINCT folder statement",
     "SELECT DISTINCT Component.Directory_ FROM File, Component WHERE File.Component_=Component.Component "
     "ORDER BY Component.Directory_"},
    {"open + SELECT * FROM File", "SELECT * FROM File"},
    {"open only", nullptr},
    {"process without a package (baseline)", nullptr, false},
};

struct ChildResult {
  double milliseconds = 0;
  unsigned long long rows = 0;
  unsigned long long hash = 0;
  long max_rss_kib = 0;
  bool ok = false;
  std::string error;
};

void mix(unsigned long long& hash, const char* text, size_t length) {
  for (size_t i = 0; i < length; ++i) hash = (hash ^ static_cast<unsigned char>(text[i])) * 1099511628211ull;
  hash = (hash ^ 0xFF) * 1099511628211ull;  // field separator
}

// ---- the two engines, as children ------------------------------------
int run_ours(const char* package, const Task& task, ChildResult& r) {
  if (!task.open) return 0;
  MSIHANDLE db = 0;
  UINT code = MsiOpenDatabaseA(package, MSIDBOPEN_READONLY_A, &db);
  if (code != ERROR_SUCCESS) return static_cast<int>(code);
  if (task.statement != nullptr) {
    MSIHANDLE view = 0;
    code = MsiDatabaseOpenViewA(db, task.statement, &view);
    if (code == ERROR_SUCCESS) code = MsiViewExecute(view, 0);
    std::vector<char> buffer(256);
    while (code == ERROR_SUCCESS) {
      MSIHANDLE row = 0;
      code = MsiViewFetch(view, &row);
      if (code != ERROR_SUCCESS) break;
      ++r.rows;
      UINT fields = MsiRecordGetFieldCount(row);
      for (UINT f = 1; f <= fields; ++f) {
        DWORD size = static_cast<DWORD>(buffer.size());
        UINT got = MsiRecordGetStringA(row, f, buffer.data(), &size);
        if (got == ERROR_MORE_DATA) {
          buffer.resize(size + 1);
          size = static_cast<DWORD>(buffer.size());
          got = MsiRecordGetStringA(row, f, buffer.data(), &size);
        }
        if (got == ERROR_SUCCESS) mix(r.hash, buffer.data(), size);
      }
      MsiCloseHandle(row);
    }
    if (code == ERROR_NO_MORE_ITEMS) code = ERROR_SUCCESS;
    MsiViewClose(view);
    MsiCloseHandle(view);
  }
  MsiCloseHandle(db);
  return static_cast<int>(code);
}

int run_libmsi(const char* package, const Task& task, ChildResult& r) {
  if (!task.open) return 0;
  GError* error = nullptr;
  LibmsiDatabase* db = libmsi_database_new(package, LIBMSI_DB_FLAGS_READONLY, nullptr, &error);
  if (db == nullptr) return 110;
  int code = 0;
  if (task.statement != nullptr) {
    LibmsiQuery* query = libmsi_query_new(db, task.statement, &error);
    if (query == nullptr || !libmsi_query_execute(query, nullptr, &error)) {
      code = 1627;
    } else {
      while (LibmsiRecord* row = libmsi_query_fetch(query, &error)) {
        ++r.rows;
        guint fields = libmsi_record_get_field_count(row);
        for (guint f = 1; f <= fields; ++f) {
          gchar* text = libmsi_record_is_null(row, f) ? nullptr : libmsi_record_get_string(row, f);
          mix(r.hash, text != nullptr ? text : "", text != nullptr ? std::strlen(text) : 0);
          g_free(text);
        }
        g_object_unref(row);
      }
      libmsi_query_close(query, nullptr);
    }
    if (query != nullptr) g_object_unref(query);
  }
  if (error != nullptr) g_error_free(error);
  g_object_unref(db);
  return code;
}

int child_main(const std::string& engine, int task_index, const char* package) {
  const Task& task = kTasks[task_index];
  ChildResult r;
  auto started = std::chrono::steady_clock::now();
  int code = engine == "ours" ? run_ours(package, task, r) : run_libmsi(package, task, r);
  double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - started).count();
  std::printf("%d %.3f %llu %llu\n", code, ms, r.rows, r.hash);
  return 0;
}

// ---- the parent --------------------------------------------------------
ChildResult measure(const char* self, const std::string& engine, int task_index, const char* package) {
  ChildResult result;
  int pipe_fds[2];
  if (pipe(pipe_fds) != 0) {
    result.error = "pipe failed";
    return result;
  }
  pid_t pid = fork();
  if (pid == 0) {
    dup2(pipe_fds[1], 1);
    close(pipe_fds[0]);
    close(pipe_fds[1]);
    std::string index = std::to_string(task_index);
    execl(self, self, "--child", engine.c_str(), index.c_str(), package, static_cast<char*>(nullptr));
    _exit(127);
  }
  close(pipe_fds[1]);
  std::string out;
  char buffer[256];
  for (ssize_t got; (got = read(pipe_fds[0], buffer, sizeof buffer)) > 0;) out.append(buffer, static_cast<size_t>(got));
  close(pipe_fds[0]);
  int status = 0;
  rusage usage{};
  wait4(pid, &status, 0, &usage);
  result.max_rss_kib = usage.ru_maxrss;
  int code = -1;
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0 ||
      std::sscanf(out.c_str(), "%d %lf %llu %llu", &code, &result.milliseconds, &result.rows, &result.hash) != 4) {
    result.error = "child failed";
    return result;
  }
  result.ok = code == 0;
  if (!result.ok) result.error = "result " + std::to_string(code);
  return result;
}

double median(std::vector<double> v) {
  if (v.empty()) return 0;
  std::sort(v.begin(), v.end());
  return v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
}

struct Summary {
  double median_ms = 0, min_ms = 0, max_ms = 0;
  long max_rss_kib = 0;
  unsigned long long rows = 0, hash = 0;
  std::string error;
};

Summary repeat(const char* self, const std::string& engine, int task, const char* package, int reps) {
  Summary s;
  std::vector<double> times;
  for (int i = 0; i < reps; ++i) {
    ChildResult r = measure(self, engine, task, package);
    if (!r.ok) {
      s.error = r.error;
      return s;
    }
    times.push_back(r.milliseconds);
    s.max_rss_kib = std::max(s.max_rss_kib, r.max_rss_kib);
    s.rows = r.rows;
    s.hash = r.hash;
  }
  s.median_ms = median(times);
  s.min_ms = *std::min_element(times.begin(), times.end());
  s.max_ms = *std::max_element(times.begin(), times.end());
  return s;
}

std::string format_ms(const Summary& s) {
  if (!s.error.empty()) return "failed (" + s.error + ")";
  char text[96];
  std::snprintf(text, sizeof text, "%.1f (%.1f–%.1f)", s.median_ms, s.min_ms, s.max_ms);
  return text;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 5 && std::strcmp(argv[1], "--child") == 0)
    return child_main(argv[2], std::atoi(argv[3]), argv[4]);

  const char* package = nullptr;
  int reps = 11, libmsi_reps = 3;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--reps") == 0 && i + 1 < argc) reps = std::atoi(argv[++i]);
    else if (std::strcmp(argv[i], "--libmsi-reps") == 0 && i + 1 < argc) libmsi_reps = std::atoi(argv[++i]);
    else if (package == nullptr && argv[i][0] != '-') package = argv[i];
    else package = nullptr, argc = 0;
  }
  if (package == nullptr || reps < 1 || libmsi_reps < 1) {
    std::fprintf(stderr, "usage: engine_bench PACKAGE [--reps N] [--libmsi-reps N]\n");
    return 2;
  }
  char self[4096];
  ssize_t length = readlink("/proc/self/exe", self, sizeof self - 1);
  if (length <= 0) {
    std::fprintf(stderr, "engine_bench: cannot find its own program file\n");
    return 1;
  }
  self[length] = '\0';

  std::printf("Package: %s; medians of %d runs (ours) and %d runs (libmsi), min–max in brackets;\n"
              "each run is a fresh process: open, run, fetch every row, read every field as text.\n\n",
              package, reps, libmsi_reps);
  std::printf("| task | rows | ours, ms | libmsi, ms | speed-up | ours, peak RSS MiB | libmsi, peak RSS MiB | same data |\n");
  std::printf("|---|---:|---:|---:|---:|---:|---:|---|\n");
  int status = 0;
  for (int t = 0; t < static_cast<int>(std::size(kTasks)); ++t) {
    Summary ours = repeat(self, "ours", t, package, reps);
    Summary theirs = repeat(self, "libmsi", t, package, libmsi_reps);
    bool both = ours.error.empty() && theirs.error.empty();
    char speedup[32] = "–";
    if (both && ours.median_ms > 0) std::snprintf(speedup, sizeof speedup, "%.0f×", theirs.median_ms / ours.median_ms);
    std::printf("| %s | %llu | %s | %s | %s | %.1f | %.1f | %s |\n", kTasks[t].name, ours.rows,
                format_ms(ours).c_str(), format_ms(theirs).c_str(), speedup, ours.max_rss_kib / 1024.0,
                theirs.max_rss_kib / 1024.0,
                !both ? "–" : (ours.rows == theirs.rows && ours.hash == theirs.hash) ? "yes" : "NO");
    std::fflush(stdout);
    if (!both) status = 1;
  }
  return status;
}
