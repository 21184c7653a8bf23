// Statements and MsiViewModify loops that change thousands of rows at once:
// after each, the table must hold exactly what a SELECT on the original
// predicts (the statement's meaning applied row by row, order kept), in
// memory and again after a commit.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <optional>

#include "engine_test_util.h"

namespace enginetest {
namespace {

using Strings = std::vector<std::string>;
using Fields = std::vector<std::string>;

constexpr int kRows = 6000;

Fields Split(const std::string& row) {
  Fields out(1);
  for (char c : row) {
    if (c == '|') out.emplace_back();
    else out.back() += c;
  }
  return out;
}

std::string Join(const Fields& f) {
  std::string out;
  for (size_t i = 0; i < f.size(); ++i) out += (i ? "|" : "") + f[i];
  return out;
}

// Item: K, G, N, F, T as in the CREATE below; fields are text, null "~".
enum { kK, kG, kN, kF, kT };

// Fetches every row of `sql` and hands each record to `each`, which may
// change the row through the view; stops at the first failure.
UINT ForEachRecord(MSIHANDLE db, const char* sql, const std::function<UINT(MSIHANDLE view, MSIHANDLE rec)>& each) {
  Handle view;
  UINT r = MsiDatabaseOpenViewA(db, sql, view.out());
  if (r == ERROR_SUCCESS) r = MsiViewExecute(view.get(), 0);
  while (r == ERROR_SUCCESS) {
    Handle rec;
    if (MsiViewFetch(view.get(), rec.out()) != ERROR_SUCCESS) break;
    r = each(view.get(), rec.get());
  }
  return r;
}

struct Case {
  const char* name;
  std::function<UINT(MSIHANDLE db)> change;
  // The row a row of the original becomes; nullopt when it goes.
  std::function<std::optional<Fields>(Fields)> predict;
  const char* select = "SELECT * FROM Item";
};

void PrintTo(const Case& c, std::ostream* os) { *os << c.name; }

UINT Sql(MSIHANDLE db, const char* sql) { return Exec(db, sql); }

const Case kCases[] = {
    {"UPDATE of an integer column in every row",
     [](MSIHANDLE db) { return Sql(db, "UPDATE Item SET F = 4"); },
     [](Fields f) -> std::optional<Fields> { f[kF] = "4"; return f; }},
    {"UPDATE of two text columns where a condition holds",
     [](MSIHANDLE db) { return Sql(db, "UPDATE Item SET T = 'changed', G = 'gx' WHERE N < 2500 AND F <> 1"); },
     [](Fields f) -> std::optional<Fields> {
       // A null F compares as the smallest short, which is not 1.
       if (std::stoi(f[kN]) < 2500 && f[kF] != "1") {
         f[kT] = "changed";
         f[kG] = "gx";
       }
       return f;
     }},
    {"UPDATE to null", [](MSIHANDLE db) { return Sql(db, "UPDATE Item SET T = '' WHERE G = 'g3'"); },
     [](Fields f) -> std::optional<Fields> {
       if (f[kG] == "g3") f[kT] = "~";
       return f;
     }},
    {"DELETE of most rows by a condition",
     [](MSIHANDLE db) { return Sql(db, "DELETE FROM Item WHERE N >= 150"); },
     [](Fields f) -> std::optional<Fields> {
       if (std::stoi(f[kN]) >= 150) return std::nullopt;
       return f;
     }},
    {"DELETE of scattered rows", [](MSIHANDLE db) { return Sql(db, "DELETE FROM Item WHERE G = 'g5' OR F IS NULL"); },
     [](Fields f) -> std::optional<Fields> {
       if (f[kG] == "g5" || f[kF] == "~") return std::nullopt;
       return f;
     }},
    {"DELETE of every row", [](MSIHANDLE db) { return Sql(db, "DELETE FROM Item"); },
     [](Fields) -> std::optional<Fields> { return std::nullopt; }},
    {"ALTER TABLE ADD gives every row a null", [](MSIHANDLE db) { return Sql(db, "ALTER TABLE Item ADD X SHORT"); },
     [](Fields f) -> std::optional<Fields> {
       f.push_back("~");
       return f;
     }},
    {"Modify UPDATE of every fetched row",
     [](MSIHANDLE db) {
       return ForEachRecord(db, "SELECT K, T FROM Item", [](MSIHANDLE view, MSIHANDLE rec) {
         MsiRecordSetStringA(rec, 2, ("m" + FieldText(rec, 1)).c_str());
         return MsiViewModify(view, MSIMODIFY_UPDATE, rec);
       });
     },
     [](Fields f) -> std::optional<Fields> { f[kT] = "m" + f[kK]; return f; }},
    {"Modify DELETE of fetched rows",
     [](MSIHANDLE db) {
       return ForEachRecord(db, "SELECT K, F FROM Item", [](MSIHANDLE view, MSIHANDLE rec) {
         return MsiRecordIsNull(rec, 2) ? ERROR_SUCCESS : MsiViewModify(view, MSIMODIFY_DELETE, rec);
       });
     },
     [](Fields f) -> std::optional<Fields> {
       if (f[kF] != "~") return std::nullopt;
       return f;
     }},
    {"Modify DELETE of rows fetched in another order",
     [](MSIHANDLE db) {
       return ForEachRecord(db, "SELECT K, G FROM Item ORDER BY G", [](MSIHANDLE view, MSIHANDLE rec) {
         return FieldText(rec, 2) == "g4" ? ERROR_SUCCESS : MsiViewModify(view, MSIMODIFY_DELETE, rec);
       });
     },
     [](Fields f) -> std::optional<Fields> {
       if (f[kG] != "g4") return std::nullopt;
       return f;
     }},
    {"Modify DELETE and INSERT again of every fetched row",
     [](MSIHANDLE db) {
       return ForEachRecord(db, "SELECT * FROM Item", [](MSIHANDLE view, MSIHANDLE rec) {
         UINT r = MsiViewModify(view, MSIMODIFY_DELETE, rec);
         MsiRecordSetStringA(rec, kT + 1, "again");
         return r == ERROR_SUCCESS ? MsiViewModify(view, MSIMODIFY_INSERT, rec) : r;
       });
     },
     [](Fields f) -> std::optional<Fields> {
       f[kT] = "again";
       return f;
     }},
    {"Modify ASSIGN by key to every row",
     [](MSIHANDLE db) {
       Handle view, rec(MsiCreateRecord(2));
       UINT r = MsiDatabaseOpenViewA(db, "SELECT K, N FROM Item", view.out());
       if (r == ERROR_SUCCESS) r = MsiViewExecute(view.get(), 0);
       for (int i = 0; i < kRows && r == ERROR_SUCCESS; ++i) {
         char key[32];
         std::snprintf(key, sizeof key, "k%05d", i);
         MsiRecordSetStringA(rec.get(), 1, key);
         MsiRecordSetInteger(rec.get(), 2, -i);
         r = MsiViewModify(view.get(), MSIMODIFY_ASSIGN, rec.get());
       }
       return r;
     },
     [](Fields f) -> std::optional<Fields> {
       f[kN] = std::to_string(-std::stoi(f[kK].substr(1)));
       return f;
     }},
};

class BulkChange : public ::testing::TestWithParam<Case> {
 public:
  static void SetUpTestSuite() {
    dir_ = new ScratchDir();
    Handle db;
    ASSERT_EQ(MsiOpenDatabaseA(Pristine().c_str(), MSIDBOPEN_CREATE_A, db.out()), ERROR_SUCCESS);
    ASSERT_EQ(Exec(db.get(),
                   "CREATE TABLE Item (K CHAR(16) NOT NULL, G CHAR(8), N LONG, F SHORT, T CHAR(40) "
                   "PRIMARY KEY K)"),
              ERROR_SUCCESS);
    Handle view, rec(MsiCreateRecord(5));
    ASSERT_EQ(MsiDatabaseOpenViewA(db.get(), "INSERT INTO Item (K, G, N, F, T) VALUES (?, ?, ?, ?, ?)", view.out()),
              ERROR_SUCCESS);
    // Keys arrive out of order, so the rows are placed, not appended.
    for (int j = 0; j < kRows; ++j) {
      const int i = static_cast<int>((static_cast<long>(j) * 3797) % kRows);
      char key[32];
      std::snprintf(key, sizeof key, "k%05d", i);
      MsiRecordSetStringA(rec.get(), 1, key);
      MsiRecordSetStringA(rec.get(), 2, ("g" + std::to_string(i % 13)).c_str());
      MsiRecordSetInteger(rec.get(), 3, i);
      if (i % 7 == 0) MsiRecordSetStringA(rec.get(), 4, "");
      else MsiRecordSetInteger(rec.get(), 4, i % 5);
      MsiRecordSetStringA(rec.get(), 5, i % 11 == 0 ? "" : ("t" + std::to_string(i)).c_str());
      ASSERT_EQ(MsiViewExecute(view.get(), rec.get()), ERROR_SUCCESS);
    }
    ASSERT_EQ(MsiDatabaseCommit(db.get()), ERROR_SUCCESS);
  }
  static void TearDownTestSuite() { delete dir_; }
  static std::string Pristine() { return dir_->File("pristine.msi"); }

 private:
  static ScratchDir* dir_;
};
ScratchDir* BulkChange::dir_ = nullptr;

TEST_P(BulkChange, LeavesWhatTheOriginalPredicts) {
  const Case& c = GetParam();
  ScratchDir scratch;
  const std::string path = scratch.File("p.msi");
  std::filesystem::copy_file(Pristine(), path);
  Handle db;
  ASSERT_EQ(MsiOpenDatabaseA(path.c_str(), MSIDBOPEN_TRANSACT_A, db.out()), ERROR_SUCCESS);
  const Strings original = Rows(db.get(), "SELECT * FROM Item");
  ASSERT_EQ(original.size(), static_cast<size_t>(kRows));
  Strings expected;
  for (const std::string& row : original) {
    if (auto f = c.predict(Split(row))) expected.push_back(Join(*f));
  }
  ASSERT_EQ(c.change(db.get()), ERROR_SUCCESS);
  EXPECT_EQ(Rows(db.get(), c.select), expected) << "in memory";
  ASSERT_EQ(MsiDatabaseCommit(db.get()), ERROR_SUCCESS);
  Handle reread;
  ASSERT_EQ(MsiOpenDatabaseA(path.c_str(), MSIDBOPEN_READONLY_A, reread.out()), ERROR_SUCCESS);
  EXPECT_EQ(Rows(reread.get(), c.select), expected) << "after the commit";
}

INSTANTIATE_TEST_SUITE_P(Engine, BulkChange, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<Case>& info) {
                           std::string name;
                           for (const char* p = info.param.name; *p; ++p) {
                             if (std::isalnum(static_cast<unsigned char>(*p))) name += *p;
                           }
                           return name;
                         });

// Rows with streams: a bulk DELETE takes their streams along, and the
// others keep theirs.
TEST(BulkChangeStreams, DeleteTakesTheStreamsOfItsRowsOnly) {
  ScratchDir dir;
  const std::string data = dir.File("data.bin");
  { std::FILE* f = std::fopen(data.c_str(), "wb"); std::fputs("0123456789", f); std::fclose(f); }
  Handle db;
  ASSERT_EQ(MsiOpenDatabaseA(dir.File("s.msi").c_str(), MSIDBOPEN_CREATE_A, db.out()), ERROR_SUCCESS);
  ASSERT_EQ(Exec(db.get(), "CREATE TABLE Bin (K CHAR(8) NOT NULL, D OBJECT PRIMARY KEY K)"), ERROR_SUCCESS);
  Handle view, rec(MsiCreateRecord(2));
  ASSERT_EQ(MsiDatabaseOpenViewA(db.get(), "INSERT INTO Bin (K, D) VALUES (?, ?)", view.out()), ERROR_SUCCESS);
  for (int i = 0; i < 40; ++i) {
    MsiRecordSetStringA(rec.get(), 1, ("b" + std::to_string(i)).c_str());
    ASSERT_EQ(MsiRecordSetStreamA(rec.get(), 2, data.c_str()), ERROR_SUCCESS);
    ASSERT_EQ(MsiViewExecute(view.get(), rec.get()), ERROR_SUCCESS);
  }
  ASSERT_EQ(Exec(db.get(), "DELETE FROM Bin WHERE K <> 'b7' AND K <> 'b30'"), ERROR_SUCCESS);
  ASSERT_EQ(MsiDatabaseCommit(db.get()), ERROR_SUCCESS);
  EXPECT_EQ(Rows(db.get(), "SELECT K, D FROM Bin"), (Strings{"b7|<10>", "b30|<10>"}));
  EXPECT_EQ(Rows(db.get(), "SELECT Name FROM _Streams"), (Strings{"Bin.b7", "Bin.b30"}));  // shorter names first
}

}  // namespace
}  // namespace enginetest
