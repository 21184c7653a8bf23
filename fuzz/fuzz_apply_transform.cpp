// libFuzzer target: the input is a transform file. It is viewed and then
// applied (with no condition suppressed, and with all) on a fresh copy of
// a small database in memory. Result codes other than success and
// ERROR_INSTALL_TRANSFORM_FAILURE, crashes and sanitizer reports are
// findings.
#include <msiquery.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

const char* kFixture[] = {
    ("CREATE TABLE `Item` (`Key` CHAR(16) NOT NULL, `Value` CHAR(32), `Count` SHORT, `Blob` OBJECT "
     "PRIMARY KEY `Key`)"),
    "INSERT INTO `Item` (`Key`, `Value`, `Count`) VALUES ('alpha', 'a', 1)",
    "INSERT INTO `Item` (`Key`, `Value`, `Count`) VALUES ('beta', 'b', 2)",
    "CREATE TABLE `Old` (`Id` SHORT NOT NULL, `N` LONG PRIMARY KEY `Id`)",
    "INSERT INTO `Old` (`Id`, `N`) VALUES (1, 100000)",
};

MSIHANDLE FreshDatabase(const std::string& dir) {
  MSIHANDLE db = 0;
  const std::string path = dir + "/fixture.msi";
  if (MsiOpenDatabaseA(path.c_str(), MSIDBOPEN_CREATE_A, &db) != ERROR_SUCCESS) std::abort();
  for (const char* sql : kFixture) {
    MSIHANDLE view = 0;
    if (MsiDatabaseOpenViewA(db, sql, &view) != ERROR_SUCCESS || MsiViewExecute(view, 0) != ERROR_SUCCESS) {
      std::abort();
    }
    MsiCloseHandle(view);
  }
  return db;
}

const std::string& WorkDir() {
  static const std::string dir = [] {
    char pattern[] = "/tmp/fuzz_transform_XXXXXX";
    if (mkdtemp(pattern) == nullptr) std::abort();
    return std::string(pattern);
  }();
  return dir;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string transform = WorkDir() + "/input.mst";
  FILE* f = std::fopen(transform.c_str(), "wb");
  if (f == nullptr) std::abort();
  std::fwrite(data, 1, size, f);
  std::fclose(f);
  for (int flags : {static_cast<int>(MSITRANSFORM_ERROR_VIEWTRANSFORM), 0, 0x3F}) {
    MSIHANDLE db = FreshDatabase(WorkDir());
    const UINT r = MsiDatabaseApplyTransformA(db, transform.c_str(), flags);
    if (r != ERROR_SUCCESS && r != ERROR_INSTALL_TRANSFORM_FAILURE) {
      std::fprintf(stderr, "unexpected result %u\n", r);
      std::abort();
    }
    MsiCloseHandle(db);
  }
  return 0;
}
