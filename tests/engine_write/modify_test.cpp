// MsiViewModify, every mode with its success and failure, and stream
// fields of binary columns and _Streams.
#include "package_bytes.h"
#include "statement_support.h"

#include <cstring>

namespace ts {
namespace {

// A transaction on a fresh small package.
class ModifyTest : public ::testing::Test {
 protected:
  void SetUp() override {
    path_ = dir_ / "p.msi";
    MakeSmallPackage(path_);
    ASSERT_EQ(Open(path_, MSIDBOPEN_TRANSACT_A, db_), ERROR_SUCCESS);
  }
  Handle View(const std::string& sql) {
    Handle view;
    EXPECT_EQ(MsiDatabaseOpenViewA(db_, sql.c_str(), view.out()), ERROR_SUCCESS) << sql;
    EXPECT_EQ(MsiViewExecute(view, 0), ERROR_SUCCESS);
    return view;
  }
  std::string Property() { return Select(db_, "SELECT * FROM `Property`"); }

  TempDir dir_;
  fs::path path_;
  Handle db_;
};

// One mode's answers on one view, step by step: a step's record is made
// from `fields`, or is the view's next fetched row with field 2 set to
// fields[0] ("fetched"); `after` is field 2 once the call is done. kFails:
// any failure code.
constexpr UINT kFails = 0xFFFFFFFF;
struct Step {
  MSIMODIFY mode;
  bool fetched;
  std::vector<std::string> fields;
  UINT code;
  const char* after = nullptr;
};
struct ModeCase {
  const char* name;
  const char* where;  // of the view on Property
  std::vector<Step> steps;
  const char* rows;   // Property afterwards, below its header
};

TEST_F(ModifyTest, EachModeChangesWhatItShouldAndRefusesTheRest) {
  const char* const kUnchanged = "Alpha\tone\nBeta\ttwo\nGamma\tthree\n";
  const ModeCase cases[] = {
      {"insert adds a new key, refuses an existing one and a null value", "",
       {{MSIMODIFY_INSERT, false, {"Delta", "four"}, ERROR_SUCCESS},
        {MSIMODIFY_INSERT, false, {"Alpha", "other"}, ERROR_FUNCTION_FAILED},
        {MSIMODIFY_INSERT, false, {"Epsilon", ""}, kFails},
        {MSIMODIFY_INSERT, false, {"Zed"}, kFails}},
       "Alpha\tone\nBeta\ttwo\nGamma\tthree\nDelta\tfour\n"},
      {"update needs a fetched record", "WHERE `Property` = 'Beta'",
       {{MSIMODIFY_UPDATE, false, {"Beta", "made"}, kFails}, {MSIMODIFY_UPDATE, true, {"TWO"}, ERROR_SUCCESS}},
       "Alpha\tone\nBeta\tTWO\nGamma\tthree\n"},
      {"assign inserts or updates by key", "",
       {{MSIMODIFY_ASSIGN, false, {"Alpha", "ONE"}, ERROR_SUCCESS},
        {MSIMODIFY_ASSIGN, false, {"Delta", "four"}, ERROR_SUCCESS}},
       "Alpha\tONE\nBeta\ttwo\nGamma\tthree\nDelta\tfour\n"},
      {"replace changes the fetched row", "WHERE `Property` = 'Gamma'",
       {{MSIMODIFY_REPLACE, true, {"THREE"}, ERROR_SUCCESS}}, "Alpha\tone\nBeta\ttwo\nGamma\tTHREE\n"},
      {"merge takes an identical or new row and refuses a conflicting one", "",
       {{MSIMODIFY_MERGE, false, {"Alpha", "one"}, ERROR_SUCCESS},
        {MSIMODIFY_MERGE, false, {"Alpha", "different"}, ERROR_FUNCTION_FAILED},
        {MSIMODIFY_MERGE, false, {"Delta", "four"}, ERROR_SUCCESS}},
       "Alpha\tone\nBeta\ttwo\nGamma\tthree\nDelta\tfour\n"},
      {"delete removes the row of the record's key", "WHERE `Property` = 'Alpha'",
       {{MSIMODIFY_DELETE, true, {}, ERROR_SUCCESS}}, "Beta\ttwo\nGamma\tthree\n"},
      {"seek fills the record of a key", "",
       {{MSIMODIFY_SEEK, false, {"Beta", ""}, ERROR_SUCCESS, "two"},
        {MSIMODIFY_SEEK, false, {"Nobody", ""}, kFails}},
       kUnchanged},
      {"validation needs a _Validation table; an unknown mode is a bad parameter", "",
       {{MSIMODIFY_VALIDATE_NEW, true, {}, ERROR_INVALID_TABLE},
        {MSIMODIFY_VALIDATE_FIELD, true, {}, ERROR_INVALID_TABLE},
        {MSIMODIFY_VALIDATE_DELETE, true, {}, ERROR_INVALID_TABLE},
        {static_cast<MSIMODIFY>(42), false, {"Alpha", "one"}, ERROR_INVALID_PARAMETER}},
       kUnchanged},
      // Last: the commit below must not write the temporary row.
      {"insert temporary adds a row seen in memory only", "",
       {{MSIMODIFY_INSERT_TEMPORARY, false, {"Temp", "only in memory"}, ERROR_SUCCESS},
        {MSIMODIFY_INSERT_TEMPORARY, false, {"Temp", "twice"}, ERROR_FUNCTION_FAILED}},
       "Alpha\tone\nBeta\ttwo\nGamma\tthree\nTemp\tonly in memory\n"},
  };
  for (const ModeCase& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_EQ(Exec(db_, "DELETE FROM `Property`"), ERROR_SUCCESS);
    for (const char* row : {"'Alpha', 'one'", "'Beta', 'two'", "'Gamma', 'three'"})
      ASSERT_EQ(Exec(db_, std::string("INSERT INTO `Property` (`Property`, `Value`) VALUES (") + row + ")"), 0u);
    Handle view = View(std::string("SELECT * FROM `Property` ") + c.where);
    for (const Step& step : c.steps) {
      Handle record;
      if (step.fetched) {
        ASSERT_EQ(MsiViewFetch(view, record.out()), ERROR_SUCCESS);
        if (!step.fields.empty()) MsiRecordSetStringA(record, 2, step.fields[0].c_str());
      } else {
        record = MakeRecord(step.fields);
      }
      const UINT code = MsiViewModify(view, step.mode, record);
      EXPECT_TRUE(step.code == kFails ? code != ERROR_SUCCESS : code == step.code) << step.mode << ": " << code;
      if (step.after != nullptr) {
        EXPECT_EQ(FieldText(record, 2), step.after) << "mode " << step.mode;
      }
    }
    EXPECT_EQ(MsiViewModify(view, MSIMODIFY_INSERT, 0), ERROR_INVALID_HANDLE);
    MsiViewClose(view);
    EXPECT_EQ(Property(), std::string("Property\tValue\n") + c.rows);
  }
  EXPECT_EQ(MsiViewModify(0, MSIMODIFY_INSERT, MakeRecord({"Zeta", "z"})), ERROR_INVALID_HANDLE);
  ASSERT_EQ(MsiDatabaseCommit(db_), ERROR_SUCCESS);
  EXPECT_EQ(Rows(path_, "SELECT * FROM `Property`"), std::string("Property\tValue\n") + kUnchanged);
}

// A fetched row refreshed after another statement changed it; a record
// that was made, not fetched, cannot be refreshed.
TEST_F(ModifyTest, RefreshRereadsAFetchedRow) {
  Handle view = View("SELECT * FROM `Property` WHERE `Property` = 'Gamma'");
  Handle row;
  ASSERT_EQ(MsiViewFetch(view, row.out()), ERROR_SUCCESS);
  MsiRecordSetStringA(row, 2, "scribbled");
  ASSERT_EQ(Exec(db_, "UPDATE `Property` SET `Value` = 'from elsewhere' WHERE `Property` = 'Gamma'"), ERROR_SUCCESS);
  EXPECT_EQ(MsiViewModify(view, MSIMODIFY_REFRESH, row), ERROR_SUCCESS);
  EXPECT_EQ(FieldText(row, 2), "from elsewhere");
  EXPECT_NE(MsiViewModify(view, MSIMODIFY_REFRESH, MakeRecord({"Gamma", "x"})), ERROR_SUCCESS);
}

// ---- streams --------------------------------------------------------------

// A binary cell from a file and from memory; the stream goes with its row,
// deleted by a statement or by Modify.
TEST_F(ModifyTest, BinaryStreamsFromFileAndMemoryAndDeletedWithTheirRow) {
  fs::path file = dir_ / "payload.bin";
  Bytes payload(70000);
  for (size_t i = 0; i < payload.size(); ++i) payload[i] = static_cast<uint8_t>(i * 31 + 1);
  WriteBytes(file, payload);
  const char* insert = "INSERT INTO `Item` (`Id`, `Group`, `Data`) VALUES (?, ?, ?)";
  Handle a = MakeRecord({"#20", "big", ""}), b = MakeRecord({"#21", "small", ""});
  ASSERT_EQ(MsiRecordSetStreamA(a, 3, file.c_str()), ERROR_SUCCESS);
  ASSERT_EQ(MsiExtRecordSetStreamData(b, 3, "tiny", 4), ERROR_SUCCESS);
  ASSERT_EQ(Exec(db_, insert, a), ERROR_SUCCESS);
  ASSERT_EQ(Exec(db_, insert, b), ERROR_SUCCESS);
  ASSERT_EQ(MsiDatabaseCommit(db_), ERROR_SUCCESS);
  {
    StoredPackage stored = ExpectSound(path_);
    EXPECT_TRUE(stored.streams["Item.20.big"] == payload);
    EXPECT_TRUE(stored.streams["Item.21.small"] == Bytes({'t', 'i', 'n', 'y'}));
  }
  ASSERT_EQ(Exec(db_, "DELETE FROM `Item` WHERE `Id` = 20"), ERROR_SUCCESS);
  {
    Handle view = View("SELECT * FROM `Item` WHERE `Id` = 21");
    Handle row;
    ASSERT_EQ(MsiViewFetch(view, row.out()), ERROR_SUCCESS);
    EXPECT_EQ(MsiViewModify(view, MSIMODIFY_DELETE, row), ERROR_SUCCESS);
  }
  ASSERT_EQ(MsiDatabaseCommit(db_), ERROR_SUCCESS);
  StoredPackage stored = ExpectSound(path_);
  EXPECT_EQ(stored.streams.count("Item.20.big"), 0u) << "the stream of a deleted row stayed";
  EXPECT_EQ(stored.streams.count("Item.21.small"), 0u) << "the stream of a row deleted by Modify stayed";
}

// _Streams rows: a fetched row whose Data is set anew and written back
// with MSIMODIFY_UPDATE replaces the stream.
TEST_F(ModifyTest, StreamsTableRowsCanBeInsertedReplacedAndDeleted) {
  const struct {
    const char* name;
    const char* data;
    UINT code;
  } inserts[] = {{"extra.cab", "cabinet bytes", ERROR_SUCCESS},
                 {"gone.bin", "x", ERROR_SUCCESS},
                 {"gone.bin", "y", ERROR_FUNCTION_FAILED}};
  for (const auto& i : inserts) {
    Handle rec = MakeRecord({i.name, ""});
    ASSERT_EQ(MsiExtRecordSetStreamData(rec, 2, i.data, static_cast<DWORD>(strlen(i.data))), ERROR_SUCCESS);
    EXPECT_EQ(Exec(db_, "INSERT INTO `_Streams` (`Name`, `Data`) VALUES (?, ?)", rec), i.code) << i.name;
  }
  ASSERT_EQ(MsiDatabaseCommit(db_), ERROR_SUCCESS);
  {
    Handle view = View("SELECT `Name`, `Data` FROM `_Streams` WHERE `Name` = 'extra.cab'");
    Handle row;
    ASSERT_EQ(MsiViewFetch(view, row.out()), ERROR_SUCCESS);
    ASSERT_EQ(MsiExtRecordSetStreamData(row, 2, "replaced", 8), ERROR_SUCCESS);
    EXPECT_EQ(MsiViewModify(view, MSIMODIFY_UPDATE, row), ERROR_SUCCESS);
  }
  ASSERT_EQ(Exec(db_, "DELETE FROM `_Streams` WHERE `Name` = 'gone.bin'"), ERROR_SUCCESS);
  ASSERT_EQ(MsiDatabaseCommit(db_), ERROR_SUCCESS);
  db_.reset();
  StoredPackage stored = ExpectSound(path_);
  EXPECT_TRUE(stored.streams["extra.cab"] == Bytes({'r', 'e', 'p', 'l', 'a', 'c', 'e', 'd'}));
  EXPECT_EQ(stored.streams.count("gone.bin"), 0u);
  if (!MsiInfo().empty()) {
    RunResult data = ts::Run({MsiInfo(), "extract", path_.string(), "extra.cab"});
    EXPECT_EQ(data.out, "replaced");
  }
}

}  // namespace
}  // namespace ts
