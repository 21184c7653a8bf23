// Times transforms on the big package: the engine generates the transform
// from the package to a copy with 1,000 changed File rows, then applies it
// to a fresh copy; libmsi applies the same transform. Prints a Markdown
// table of medians (with min-max) of in-process wall times.
//
//   transform_bench PACKAGE [--reps N]
#include <libmsi.h>
#include <msiquery.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

double Now() {
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

// The copy: FileSize and Version of the first 1,000 File rows changed.
bool MakeChanged(const fs::path& package, const fs::path& changed) {
  MSIHANDLE db = 0, view = 0, rec = 0;
  if (MsiOpenDatabaseA(package.c_str(), changed.c_str(), &db) != ERROR_SUCCESS) return false;
  bool ok = MsiDatabaseOpenViewA(db, "SELECT `File`, `FileSize`, `Version` FROM `File`", &view) == ERROR_SUCCESS &&
            MsiViewExecute(view, 0) == ERROR_SUCCESS;
  int changed_rows = 0;
  while (ok && changed_rows < 1000 && MsiViewFetch(view, &rec) == ERROR_SUCCESS) {
    MsiRecordSetInteger(rec, 2, MsiRecordGetInteger(rec, 2) + 1);
    MsiRecordSetStringA(rec, 3, "9.9.9.9");
    ok = MsiViewModify(view, MSIMODIFY_UPDATE, rec) == ERROR_SUCCESS;
    MsiCloseHandle(rec);
    ++changed_rows;
  }
  MsiCloseHandle(view);
  ok = ok && changed_rows == 1000 && MsiDatabaseCommit(db) == ERROR_SUCCESS;
  MsiCloseHandle(db);
  return ok;
}

struct Timing {
  std::vector<double> ms;
  std::string result;
};

void Row(const char* name, Timing t) {
  std::sort(t.ms.begin(), t.ms.end());
  std::printf("| %s | %.1f | %.1f–%.1f | %s |\n", name, t.ms[t.ms.size() / 2], t.ms.front(), t.ms.back(),
              t.result.c_str());
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: transform_bench PACKAGE [--reps N]\n");
    return 2;
  }
  const fs::path package = argv[1];
  int reps = 11;
  if (argc == 4 && std::strcmp(argv[2], "--reps") == 0) reps = std::max(1, std::atoi(argv[3]));
  const fs::path dir = fs::temp_directory_path() / ("transform_bench_" + std::to_string(::getpid()));
  fs::create_directories(dir);
  const fs::path changed = dir / "changed.msi", mst = dir / "changes.mst", out = dir / "out.msi";
  if (!MakeChanged(package, changed)) {
    std::fprintf(stderr, "transform_bench: cannot make the changed copy\n");
    return 1;
  }
  Timing open_both, generate, apply, apply_commit, libmsi_apply;
  for (int i = 0; i < reps; ++i) {
    MSIHANDLE a = 0, b = 0;
    double t0 = Now();
    MsiOpenDatabaseA(changed.c_str(), MSIDBOPEN_READONLY_A, &a);
    MsiOpenDatabaseA(package.c_str(), MSIDBOPEN_READONLY_A, &b);
    double t1 = Now();
    const UINT r = MsiDatabaseGenerateTransformA(a, b, mst.c_str(), 0, 0);
    double t2 = Now();
    MsiCloseHandle(a);
    MsiCloseHandle(b);
    open_both.ms.push_back(t1 - t0);
    generate.ms.push_back(t2 - t1);
    generate.result = "result " + std::to_string(r) + ", " + std::to_string(fs::file_size(mst)) + " bytes";
  }
  for (int i = 0; i < reps; ++i) {
    MSIHANDLE db = 0;
    fs::remove(out);
    MsiOpenDatabaseA(package.c_str(), out.c_str(), &db);
    double t0 = Now();
    const UINT r = MsiDatabaseApplyTransformA(db, mst.c_str(), 0);
    double t1 = Now();
    const UINT c = MsiDatabaseCommit(db);
    double t2 = Now();
    MsiCloseHandle(db);
    apply.ms.push_back(t1 - t0);
    apply.result = "result " + std::to_string(r);
    apply_commit.ms.push_back(t2 - t0);
    apply_commit.result = "commit " + std::to_string(c);
  }
  for (int i = 0; i < reps; ++i) {
    GError* error = nullptr;
    fs::remove(out);
    LibmsiDatabase* db = libmsi_database_new(package.c_str(), LIBMSI_DB_FLAGS_TRANSACT, out.c_str(), &error);
    g_clear_error(&error);
    double t0 = Now();
    const gboolean ok = db != nullptr && libmsi_database_apply_transform(db, mst.c_str(), &error);
    double t1 = Now();
    libmsi_apply.ms.push_back(t1 - t0);
    libmsi_apply.result = ok ? "applied" : "failed (" + std::string(error ? error->message : "?") + ")";
    g_clear_error(&error);
    if (db != nullptr) g_object_unref(db);
  }
  std::printf("| task | median ms | min–max ms | outcome |\n|---|---|---|---|\n");
  Row("open both packages (engine)", open_both);
  Row("generate the transform (engine)", generate);
  Row("apply the transform (engine)", apply);
  Row("apply + commit (engine)", apply_commit);
  Row("apply the transform (libmsi)", libmsi_apply);
  fs::remove_all(dir);
  return 0;
}
