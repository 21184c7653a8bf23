// MsiViewModify's validation modes and MsiViewGetError through the C API.
#include <sstream>

#include "support.h"

namespace {

namespace fs = std::filesystem;
using ts::Handle;

struct Error {
  int code;
  std::string column;
  bool operator==(const Error&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Error& e) {
  return out << e.column << ":" << e.code;
}

// Every error MsiViewGetErrorA hands out, until NOERROR.
std::vector<Error> Errors(MSIHANDLE view) {
  std::vector<Error> out;
  for (int i = 0; i < 100; ++i) {
    char name[80];
    DWORD size = sizeof name;
    const MSIDBERROR e = MsiViewGetErrorA(view, name, &size);
    if (e == MSIDBERROR_NOERROR) {
      EXPECT_EQ(std::string(name), "");
      return out;
    }
    out.push_back({e, name});
  }
  ADD_FAILURE() << "MsiViewGetError never says NOERROR";
  return out;
}

// Validates every row of every table with MSIMODIFY_VALIDATE; one line per
// failing row: table, key, and the errors.
std::vector<std::string> ValidateAll(MSIHANDLE db) {
  std::vector<std::string> out;
  for (const std::string& table : ts::TableNames(db)) {
    Handle view;
    if (MsiDatabaseOpenViewA(db, ("SELECT * FROM `" + table + "`").c_str(), view.out()) != ERROR_SUCCESS ||
        MsiViewExecute(view, 0) != ERROR_SUCCESS) {
      out.push_back(table + ": cannot read");
      continue;
    }
    Handle rec;
    while (MsiViewFetch(view, rec.out()) == ERROR_SUCCESS) {
      const UINT r = MsiViewModify(view, MSIMODIFY_VALIDATE, rec);
      if (r == ERROR_SUCCESS) continue;
      std::ostringstream line;
      line << table << " " << ts::FieldText(rec, 1) << " [" << r << "]";
      for (const Error& e : Errors(view)) line << " " << e;
      out.push_back(line.str());
    }
  }
  return out;
}

TEST(CorpusValidation, Print) {
  REQUIRE_CORPUS();
  for (const fs::path& p : ts::CorpusPackages()) {
    Handle db;
    if (ts::Open(p, MSIDBOPEN_READONLY_A, db) != ERROR_SUCCESS) continue;
    std::cout << "== " << p.filename().string() << "\n";
    for (const auto& l : ValidateAll(db)) std::cout << l << "\n";
  }
}

}  // namespace
