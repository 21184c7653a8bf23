// Statements and MsiViewModify loops that change thousands of rows at once:
// after each, the table must hold exactly what the original predicts (the
// change applied row by row, order kept), in memory and after a commit.
#include <functional>
#include <optional>

#include "engine_util.h"

namespace enginetest {
namespace {

constexpr int kRows = 6000;
using Fields = std::vector<std::string>;  // K, G, N, F, T as text, null "~"
using Row = std::optional<Fields>;        // nullopt: the row goes
enum { kK, kG, kN, kF, kT };

// Fetches every row of `sql` and hands it to `each`, which may change it
// through the view; stops at the first failure.
UINT ForEach(MSIHANDLE db, const char* sql, const std::function<UINT(MSIHANDLE, MSIHANDLE)>& each) {
  Handle view;
  UINT r = MsiDatabaseOpenViewA(db, sql, view.out());
  if (r == ERROR_SUCCESS) r = MsiViewExecute(view, 0);
  for (Handle rec; r == ERROR_SUCCESS && MsiViewFetch(view, rec.out()) == ERROR_SUCCESS;) r = each(view, rec);
  return r;
}

std::string Key(int i) {  // "k00042": five digits
  const std::string n = std::to_string(i);
  return "k" + std::string(5 - n.size(), '0') + n;
}

std::function<UINT(MSIHANDLE)> Sql(const char* sql) {
  return [sql](MSIHANDLE db) { return Exec(db, sql); };
}

const struct Case {
  const char* name;
  std::function<UINT(MSIHANDLE)> change;
  std::function<Row(Fields)> predict;
} kCases[] = {
    {"UpdateEveryRow", Sql("UPDATE Item SET F = 4"),
     [](Fields f) -> Row { f[kF] = "4"; return f; }},
    // A null F compares as the smallest short, which is not 1.
    {"UpdateWhereAConditionHolds",
     Sql("UPDATE Item SET T = 'changed', G = 'gx' WHERE N < 2500 AND F <> 1"),
     [](Fields f) -> Row {
       if (std::stoi(f[kN]) < 2500 && f[kF] != "1") f[kT] = "changed", f[kG] = "gx";
       return f;
     }},
    {"UpdateToNull", Sql("UPDATE Item SET T = '' WHERE G = 'g3'"),
     [](Fields f) -> Row { return f[kT] = f[kG] == "g3" ? "~" : f[kT], f; }},
    {"DeleteScatteredRows", Sql("DELETE FROM Item WHERE G = 'g5' OR F IS NULL"),
     [](Fields f) -> Row { return f[kG] == "g5" || f[kF] == "~" ? Row() : f; }},
    {"ModifyUpdateEveryRow",
     [](MSIHANDLE db) {
       return ForEach(db, "SELECT K, T FROM Item", [](MSIHANDLE view, MSIHANDLE rec) {
         MsiRecordSetStringA(rec, 2, ("m" + ts::FieldText(rec, 1)).c_str());
         return MsiViewModify(view, MSIMODIFY_UPDATE, rec);
       });
     },
     [](Fields f) -> Row { f[kT] = "m" + f[kK]; return f; }},
    {"ModifyDeleteInAnotherOrder",
     [](MSIHANDLE db) {
       return ForEach(db, "SELECT K, G FROM Item ORDER BY G", [](MSIHANDLE view, MSIHANDLE rec) {
         return ts::FieldText(rec, 2) == "g4" ? ERROR_SUCCESS : MsiViewModify(view, MSIMODIFY_DELETE, rec);
       });
     },
     [](Fields f) -> Row { return f[kG] != "g4" ? Row() : f; }},
    {"ModifyDeleteAndInsertAgain",
     [](MSIHANDLE db) {
       return ForEach(db, "SELECT * FROM Item", [](MSIHANDLE view, MSIHANDLE rec) {
         UINT r = MsiViewModify(view, MSIMODIFY_DELETE, rec);
         MsiRecordSetStringA(rec, kT + 1, "again");
         return r == ERROR_SUCCESS ? MsiViewModify(view, MSIMODIFY_INSERT, rec) : r;
       });
     },
     [](Fields f) -> Row { f[kT] = "again"; return f; }},
    {"ModifyAssignByKey",
     [](MSIHANDLE db) {
       Handle view;
       UINT r = MsiDatabaseOpenViewA(db, "SELECT K, N FROM Item", view.out());
       if (r == ERROR_SUCCESS) r = MsiViewExecute(view, 0);
       for (int i = 0; i < kRows && r == ERROR_SUCCESS; ++i) {
         r = MsiViewModify(view, MSIMODIFY_ASSIGN, ts::MakeRecord({Key(i), "#" + std::to_string(-i)}));
       }
       return r;
     },
     [](Fields f) -> Row { f[kN] = std::to_string(-std::stoi(f[kK].substr(1))); return f; }},
};

void PrintTo(const Case& c, std::ostream* os) { *os << c.name; }

class BulkChange : public ::testing::TestWithParam<Case> {
 public:
  static void SetUpTestSuite() {
    dir_ = new ts::TempDir();
    Handle db;
    ASSERT_EQ(MakePackage(Pristine(), {"CREATE TABLE Item (K CHAR(16) NOT NULL, G CHAR(8), N LONG, F SHORT, "
                                       "T CHAR(40) PRIMARY KEY K)"}),
              ERROR_SUCCESS);
    ASSERT_EQ(ts::Open(Pristine(), MSIDBOPEN_TRANSACT_A, db), ERROR_SUCCESS);
    // Keys arrive out of order, so rows are placed, not appended.
    for (int j = 0; j < kRows; ++j) {
      const int i = static_cast<int>((static_cast<long>(j) * 3797) % kRows);
      Handle rec = ts::MakeRecord({Key(i), "g" + std::to_string(i % 13), "#" + std::to_string(i),
                                   i % 7 == 0 ? "" : "#" + std::to_string(i % 5),
                                   i % 11 == 0 ? "" : "t" + std::to_string(i)});
      ASSERT_EQ(Exec(db, "INSERT INTO Item (K, G, N, F, T) VALUES (?, ?, ?, ?, ?)", rec), ERROR_SUCCESS);
    }
    ASSERT_EQ(MsiDatabaseCommit(db), ERROR_SUCCESS);
  }
  static void TearDownTestSuite() { delete dir_; }
  static ts::fs::path Pristine() { return *dir_ / "pristine.msi"; }

 private:
  static inline ts::TempDir* dir_ = nullptr;
};

TEST_P(BulkChange, LeavesWhatTheOriginalPredicts) {
  ts::TempDir scratch;
  const auto path = scratch / "p.msi";
  ts::CopyPackage(Pristine(), path);
  Handle db;
  ASSERT_EQ(ts::Open(path, MSIDBOPEN_TRANSACT_A, db), ERROR_SUCCESS);
  const Strings original = Rows(db, "SELECT * FROM Item");
  ASSERT_EQ(original.size(), static_cast<size_t>(kRows));
  Strings expected;
  for (const std::string& row : original) {
    Fields f(1);
    for (char c : row) {
      if (c == '|') f.emplace_back();
      else f.back() += c;
    }
    if (Row out = GetParam().predict(f)) {
      std::string joined;
      for (const auto& field : *out) joined += (joined.empty() ? "" : "|") + field;
      expected.push_back(joined);
    }
  }
  ASSERT_EQ(GetParam().change(db), ERROR_SUCCESS);
  EXPECT_EQ(Rows(db, "SELECT * FROM Item"), expected) << "in memory";
  ASSERT_EQ(MsiDatabaseCommit(db), ERROR_SUCCESS);
  ASSERT_EQ(ts::Open(path, MSIDBOPEN_READONLY_A, db), ERROR_SUCCESS);
  EXPECT_EQ(Rows(db, "SELECT * FROM Item"), expected) << "after the commit";
}

INSTANTIATE_TEST_SUITE_P(Engine, BulkChange, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

// A bulk DELETE takes the streams of its rows along, and the others keep theirs.
TEST(BulkChangeStreams, DeleteTakesTheStreamsOfItsRowsOnly) {
  ts::TempDir dir;
  Handle db;
  ASSERT_EQ(ts::Open(dir / "s.msi", MSIDBOPEN_CREATE_A, db), ERROR_SUCCESS);
  ASSERT_EQ(Exec(db, "CREATE TABLE Bin (K CHAR(8) NOT NULL, D OBJECT PRIMARY KEY K)"), ERROR_SUCCESS);
  for (int i = 0; i < 40; ++i) {
    Handle rec = ts::MakeRecord({"b" + std::to_string(i), ""});
    ASSERT_EQ(MsiExtRecordSetStreamData(rec, 2, "0123456789", 10), ERROR_SUCCESS);
    ASSERT_EQ(Exec(db, "INSERT INTO Bin (K, D) VALUES (?, ?)", rec), ERROR_SUCCESS);
  }
  ASSERT_EQ(Exec(db, "DELETE FROM Bin WHERE K <> 'b7' AND K <> 'b30'"), ERROR_SUCCESS);
  ASSERT_EQ(MsiDatabaseCommit(db), ERROR_SUCCESS);
  EXPECT_EQ(Rows(db, "SELECT K, D FROM Bin"), (Strings{"b7|<10>", "b30|<10>"}));
  EXPECT_EQ(Rows(db, "SELECT Name FROM _Streams"), (Strings{"Bin.b7", "Bin.b30"}));  // shorter names first
}

}  // namespace
}  // namespace enginetest
