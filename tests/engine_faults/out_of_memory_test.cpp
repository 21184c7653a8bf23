// Running out of memory never takes the process down: every C entry point
// answers ERROR_NOT_ENOUGH_MEMORY (8) instead of letting std::bad_alloc
// through, and the handles and the database go on working. Each operation
// runs once cleanly under an allocator that fails on demand, counting its
// allocations, then again with the N-th allocation failing for N across
// that count. After each failure the operation is simply made again, and
// the database must end exactly as after the clean run. (Real exhaustion
// under an address-space limit: tests/engine/result_memory_test.cpp.)
#include <functional>
#include <new>
#include <set>

#include "support.h"

// This program's operator new, which can be told to fail: after FailAfter(n)
// the next n allocations succeed, the one after throws std::bad_alloc (the
// nothrow forms return null), and so does every later one until Disarm,
// which answers whether a failure was injected. While a Paused lives,
// allocations neither fail nor count: the test's own code around the engine
// calls runs under it.
namespace faults {
namespace {

// The test drives the engine from one thread; the counters need no lock.
int64_t g_remaining = -1;  // allocations left before failing; -1: never fail
bool g_failed = false;
bool g_counting = false;
int64_t g_count = 0;
int g_paused = 0;

void* Allocate(std::size_t size, std::size_t alignment, bool nothrow) {
  bool fail = false;
  if (g_paused == 0) {
    g_count += g_counting ? 1 : 0;
    fail = g_remaining == 0;
    g_failed = g_failed || fail;
    if (g_remaining > 0) --g_remaining;
  }
  void* p = nullptr;
  if (!fail) {
    size = size == 0 ? 1 : size;
    p = alignment > alignof(std::max_align_t)
            ? std::aligned_alloc(alignment, (size + alignment - 1) / alignment * alignment)
            : std::malloc(size);
  }
  if (p == nullptr && !nothrow) throw std::bad_alloc();
  return p;
}

void FailAfter(int64_t n) { g_failed = false, g_remaining = n; }
bool Disarm() { return g_remaining = -1, g_failed; }
void StartCounting() { g_count = 0, g_counting = true; }
int64_t Counted() { return g_counting = false, g_count; }

struct Paused {
  Paused() { ++g_paused; }
  ~Paused() { --g_paused; }
};

}  // namespace
}  // namespace faults

using std::align_val_t;
using std::nothrow_t;
using std::size_t;
void* operator new(size_t n) { return faults::Allocate(n, 0, false); }
void* operator new[](size_t n) { return faults::Allocate(n, 0, false); }
void* operator new(size_t n, const nothrow_t&) noexcept { return faults::Allocate(n, 0, true); }
void* operator new[](size_t n, const nothrow_t&) noexcept { return faults::Allocate(n, 0, true); }
void* operator new(size_t n, align_val_t a) { return faults::Allocate(n, size_t(a), false); }
void* operator new[](size_t n, align_val_t a) { return faults::Allocate(n, size_t(a), false); }
void* operator new(size_t n, align_val_t a, const nothrow_t&) noexcept {
  return faults::Allocate(n, size_t(a), true);
}
void* operator new[](size_t n, align_val_t a, const nothrow_t&) noexcept {
  return faults::Allocate(n, size_t(a), true);
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, size_t) noexcept { std::free(p); }
void operator delete[](void* p, size_t) noexcept { std::free(p); }
void operator delete(void* p, const nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, const nothrow_t&) noexcept { std::free(p); }
void operator delete(void* p, align_val_t) noexcept { std::free(p); }
void operator delete[](void* p, align_val_t) noexcept { std::free(p); }
void operator delete(void* p, size_t, align_val_t) noexcept { std::free(p); }
void operator delete[](void* p, size_t, align_val_t) noexcept { std::free(p); }

namespace {

namespace fs = std::filesystem;

// The helpers below run inside the armed allocator: the test's own
// allocations are made under faults::Paused, so only the engine's fail.
UINT Exec(MSIHANDLE db, const char* sql, MSIHANDLE params = 0) {
  MSIHANDLE view = 0;
  UINT r = MsiDatabaseOpenViewA(db, sql, &view);
  if (r == ERROR_SUCCESS) r = MsiViewExecute(view, params);
  MsiCloseHandle(view);
  return r;
}

UINT FieldText(MSIHANDLE rec, UINT field, std::string* out) {
  char buf[512];
  DWORD size = sizeof buf;
  UINT r = MsiRecordGetStringA(rec, field, buf, &size);
  faults::Paused paused;
  if (r == ERROR_SUCCESS) out->assign(buf, size);
  return r;
}

// Every row of a SELECT as text; text fields through the W function too, so
// that the conversions run.
UINT Fetch(MSIHANDLE db, const char* sql, std::string* out) {
  out->clear();
  MSIHANDLE view = 0;
  UINT r = MsiDatabaseOpenViewA(db, sql, &view);
  if (r == ERROR_SUCCESS) r = MsiViewExecute(view, 0);
  for (MSIHANDLE row = 0; r == ERROR_SUCCESS && (r = MsiViewFetch(view, &row)) == ERROR_SUCCESS;) {
    const UINT n = MsiRecordGetFieldCount(row);
    for (UINT i = 1; i <= n && r == ERROR_SUCCESS; ++i) {
      WCHAR wide[256];
      DWORD size = 256;
      const UINT w = MsiRecordGetStringW(row, i, wide, &size);
      std::string text;
      if (w == ERROR_INVALID_DATATYPE) {
        const UINT bytes = MsiRecordDataSize(row, i);
        faults::Paused paused;
        text = "<" + std::to_string(bytes) + " bytes>";
      } else {
        r = w != ERROR_SUCCESS && w != ERROR_MORE_DATA ? w : FieldText(row, i, &text);
      }
      faults::Paused paused;
      *out += text + (i < n ? "\t" : "\n");
    }
    MsiCloseHandle(row);
  }
  MsiCloseHandle(view);
  return r == ERROR_NO_MORE_ITEMS ? ERROR_SUCCESS : r;
}

// The whole database, read with the allocator disarmed.
std::string Dump(MSIHANDLE db) {
  return ts::DumpTables(db) + ts::Select(db, "SELECT * FROM `_Columns`") +
         ts::Select(db, "SELECT * FROM `_Streams`");
}

std::string DumpFile(const fs::path& package) {
  ts::Handle db;
  const UINT r = MsiOpenDatabaseA(package.c_str(), MSIDBOPEN_READONLY_A, db.out());
  return r != ERROR_SUCCESS ? "open error " + std::to_string(r) : Dump(db);
}

// A record of texts; ERROR_NOT_ENOUGH_MEMORY when it cannot be made.
UINT MakeRecord(std::initializer_list<const char*> fields, MSIHANDLE* rec) {
  *rec = MsiCreateRecord(static_cast<UINT>(fields.size()));
  UINT r = *rec == 0 ? ERROR_NOT_ENOUGH_MEMORY : ERROR_SUCCESS;
  UINT i = 1;
  for (const char* f : fields)
    if (r == ERROR_SUCCESS) r = MsiRecordSetStringA(*rec, i++, f);
  return r;
}

// The package every operation starts from: text beyond ASCII, an integer
// and a binary column, a stream.
void MakePackage(const fs::path& path) {
  ts::Handle db;
  ASSERT_EQ(MsiOpenDatabaseA(path.c_str(), MSIDBOPEN_CREATE_A, db.out()), ERROR_SUCCESS);
  for (const char* s : {"CREATE TABLE `Property` (`Property` CHAR(72) NOT NULL, `Value` LONGCHAR NOT NULL "
                        "LOCALIZABLE PRIMARY KEY `Property`)",
                        "CREATE TABLE `Item` (`Id` SHORT NOT NULL, `Group` CHAR(20) NOT NULL, `Size` LONG, "
                        "`Data` OBJECT PRIMARY KEY `Id`, `Group`)",
                        "INSERT INTO `Property` (`Property`, `Value`) VALUES ('Alpha', 'Grüße')",
                        "INSERT INTO `Property` (`Property`, `Value`) VALUES ('Beta', 'two')",
                        "INSERT INTO `Property` (`Property`, `Value`) VALUES ('Gamma', 'çà et là')",
                        "INSERT INTO `Item` (`Id`, `Group`, `Size`) VALUES (1, 'a', 10)",
                        "INSERT INTO `Item` (`Id`, `Group`, `Size`) VALUES (2, 'b', 20)",
                        "INSERT INTO `Item` (`Id`, `Group`, `Size`) VALUES (3, 'a', 30)"}) {
    ASSERT_EQ(Exec(db, s), ERROR_SUCCESS) << s;
  }
  ts::Handle rec = ts::MakeRecord({"#4", "b", ""});
  const std::vector<char> blob(3000, 'z');
  MsiExtRecordSetStreamData(rec, 3, blob.data(), static_cast<DWORD>(blob.size()));
  ASSERT_EQ(Exec(db, "INSERT INTO `Item` (`Id`, `Group`, `Data`) VALUES (?, ?, ?)", rec), ERROR_SUCCESS);
  ASSERT_EQ(MsiDatabaseCommit(db), ERROR_SUCCESS);
}

struct Env {
  fs::path dir, package;
  MSIHANDLE db = 0, view = 0, rec = 0;
  std::string out;  // what the operation read
};

struct Operation {
  const char* name;  // the test's name
  LPCSTR mode;  // how the package is opened before the operation (kNoOpen: not at all)
  std::function<UINT(Env&)> run;
  // Answers a repeat may give once a first, failed attempt had already done
  // its part (a row inserted, a table created).
  std::set<UINT> repeat_ok = {};
  std::function<void(Env&)> prepare = [](Env&) {};
  // The state that must match the clean run's: by default what the
  // operation read and the whole database.
  std::function<std::string(Env&)> state = [](Env& e) { return e.out + Dump(e.db); };
};

const LPCSTR kNoOpen = reinterpret_cast<LPCSTR>(static_cast<uintptr_t>(0xFFFF));

std::function<UINT(Env&)> Statement(const char* sql) {
  return [sql](Env& e) { return Exec(e.db, sql, e.rec); };
}

std::function<UINT(Env&)> Read(const char* sql) {
  return [sql](Env& e) { return Fetch(e.db, sql, &e.out); };
}

std::function<void(Env&)> OpenView(const char* sql) {
  return [sql](Env& e) {
    MsiDatabaseOpenViewA(e.db, sql, &e.view);
    MsiViewExecute(e.view, 0);
  };
}

std::vector<Operation> Operations() {
  const auto open = [](LPCSTR mode) {
    return [mode](Env& e) {
      MsiCloseHandle(e.db);
      e.db = 0;
      const UINT r = MsiOpenDatabaseA(e.package.c_str(), mode, &e.db);
      return r != ERROR_SUCCESS && e.db != 0 ? 0xBADu : r;  // no handle on failure
    };
  };
  return {
      {"OpenReadOnly", kNoOpen, open(MSIDBOPEN_READONLY_A)},
      // The lock is released when the open fails.
      {"OpenForWriting", kNoOpen, open(MSIDBOPEN_TRANSACT_A)},
      {"SelectJoinOrderBy", MSIDBOPEN_READONLY_A,
       Read("SELECT `Property`.`Value`, `Item`.`Id`, `Item`.`Data` FROM `Property`, `Item` "
            "WHERE `Item`.`Size` > 5 OR `Item`.`Id` = 4 ORDER BY `Item`.`Id`")},
      {"SelectDistinct", MSIDBOPEN_READONLY_A,
       Read("SELECT DISTINCT `Group` FROM `Item`")},
      {"FetchRowByRow", MSIDBOPEN_READONLY_A,
       [](Env& e) {
         // Goes on where a failed call left off: no row may be lost.
         for (UINT r; e.rec != 0 || (r = MsiViewFetch(e.view, &e.rec)) != ERROR_NO_MORE_ITEMS;) {
           if (e.rec == 0) return r;
           std::string key, value;
           if ((r = FieldText(e.rec, 1, &key)) != 0 || (r = FieldText(e.rec, 2, &value)) != 0) return r;
           faults::Paused paused;
           e.out += key + "\t" + value + "\n";
           MsiCloseHandle(e.rec);
           e.rec = 0;
         }
         return 0u;
       },
       {}, OpenView("SELECT `Property`, `Value` FROM `Property`")},
      {"AnswersThatAreNoResultCodes", MSIDBOPEN_READONLY_A,
       [](Env& e) {
         const MSIHANDLE rec = MsiCreateRecord(3);
         const bool ok = MsiDatabaseIsTablePersistentW(e.db, u"Item") == MSICONDITION_TRUE && rec != 0;
         MsiCloseHandle(rec);
         return ok ? ERROR_SUCCESS : ERROR_NOT_ENOUGH_MEMORY;
       }},
      {"InsertWithMarkers", MSIDBOPEN_TRANSACT_A,
       Statement("INSERT INTO `Property` (`Property`, `Value`) VALUES (?, ?)"), {ERROR_FUNCTION_FAILED},
       [](Env& e) { MakeRecord({"Delta", "Äpfel und Öl"}, &e.rec); }},
      {"UpdateEveryRow", MSIDBOPEN_TRANSACT_A, Statement("UPDATE `Property` SET `Value` = 'neu ü'")},
      {"DeleteByWhere", MSIDBOPEN_TRANSACT_A, Statement("DELETE FROM `Item` WHERE `Group` = 'a'")},
      {"CreateTable", MSIDBOPEN_TRANSACT_A,
       Statement("CREATE TABLE `Colour` (`Name` CHAR(20) NOT NULL, `Wert` SHORT PRIMARY KEY `Name`)"),
       {ERROR_BAD_QUERY_SYNTAX}},
      {"AlterTableAdd", MSIDBOPEN_TRANSACT_A, Statement("ALTER TABLE `Item` ADD `Note` CHAR(30)"),
       {ERROR_BAD_QUERY_SYNTAX}},  // the column exists already
      {"DropTable", MSIDBOPEN_TRANSACT_A, Statement("DROP TABLE `Item`"), {ERROR_BAD_QUERY_SYNTAX}},
      {"ModifyUpdateInsertDelete", MSIDBOPEN_TRANSACT_A,
       [](Env& e) {
         MSIHANDLE row = 0, add = 0, gone = 0;
         UINT r = MsiViewExecute(e.view, 0);
         if (r == ERROR_SUCCESS) r = MsiViewFetch(e.view, &row);
         if (r == ERROR_SUCCESS) r = MsiRecordSetStringA(row, 2, "geändert");
         if (r == ERROR_SUCCESS) r = MsiViewModify(e.view, MSIMODIFY_UPDATE, row);
         if (r == ERROR_SUCCESS) r = MakeRecord({"Epsilon", "Épsilon"}, &add);
         if (r == ERROR_SUCCESS) r = MsiViewModify(e.view, MSIMODIFY_ASSIGN, add);
         if (r == ERROR_SUCCESS) r = MakeRecord({"Beta", "two"}, &gone);
         if (r == ERROR_SUCCESS) r = MsiViewModify(e.view, MSIMODIFY_DELETE, gone);
         for (MSIHANDLE h : {row, add, gone}) MsiCloseHandle(h);
         return r == ERROR_FUNCTION_FAILED ? ERROR_SUCCESS : r;  // deleted by a first try
       },
       {}, OpenView("SELECT `Property`, `Value` FROM `Property`")},
      {"Commit", MSIDBOPEN_TRANSACT_A, [](Env& e) { return MsiDatabaseCommit(e.db); }, {},
       [](Env& e) {
         Exec(e.db, "INSERT INTO `Property` (`Property`, `Value`) VALUES ('Zeta', 'Zêta')");
         Exec(e.db, "UPDATE `Item` SET `Size` = 99 WHERE `Id` = 2");
       },
       [](Env& e) { return DumpFile(e.package) + Dump(e.db); }},
      {"CommitToAnOutputPath", kNoOpen, [](Env& e) { return MsiDatabaseCommit(e.db); }, {},
       [](Env& e) {
         MsiOpenDatabaseA(e.package.c_str(), (e.dir / "out.msi").c_str(), &e.db);
         Exec(e.db, "DELETE FROM `Property` WHERE `Property` = 'Alpha'");
       },
       [](Env& e) { return DumpFile(e.dir / "out.msi") + DumpFile(e.package); }},
      {"ImportAnArchive", MSIDBOPEN_TRANSACT_A,
       [](Env& e) { return MsiDatabaseImportA(e.db, e.dir.c_str(), "Extra.idt"); }, {},
       [](Env& e) {
         ts::WriteText(e.dir / "Extra.idt", "Key\tText\r\ns20\tL0\r\nExtra\tKey\r\nk1\tone\r\nk2\ttwo\r\n");
       }},
      {"ExportATable", MSIDBOPEN_READONLY_A,
       [](Env& e) { return MsiDatabaseExportA(e.db, "Item", e.dir.c_str(), "Item.idt"); }, {}, [](Env&) {},
       [](Env& e) { return ts::ReadText(e.dir / "Item.idt") + Dump(e.db); }},
      {"RecordsTextIntegersStreams", kNoOpen,
       [](Env& e) {
         static const std::vector<char> blob(70000, 'q');
         WCHAR wide[64];
         char part[1000];
         DWORD size = 64, got = sizeof part;
         UINT r = MsiRecordSetStringW(e.rec, 1, u"Ünïcødé text");
         if (r == ERROR_SUCCESS) r = MsiRecordSetInteger(e.rec, 2, 42);
         const DWORD size_of_blob = static_cast<DWORD>(blob.size());
         if (r == ERROR_SUCCESS) r = MsiExtRecordSetStreamData(e.rec, 3, blob.data(), size_of_blob);
         if (r == ERROR_SUCCESS) r = MsiRecordGetStringW(e.rec, 1, wide, &size);
         if (r == ERROR_SUCCESS) r = MsiRecordReadStream(e.rec, 3, part, &got);
         return r;
       },
       {}, [](Env& e) { e.rec = MsiCreateRecord(4); },
       [](Env& e) {
         std::string text;
         FieldText(e.rec, 1, &text);
         return text + "|" + std::to_string(MsiRecordGetInteger(e.rec, 2)) + "|" +
                std::to_string(MsiRecordDataSize(e.rec, 3));
       }},
      {"ColumnInfoAndPrimaryKeys", MSIDBOPEN_READONLY_A,
       [](Env& e) {
         e.out.clear();
         MSIHANDLE names = 0, types = 0, keys = 0;
         UINT r = MsiViewGetColumnInfo(e.view, MSICOLINFO_NAMES, &names);
         if (r == ERROR_SUCCESS) r = MsiViewGetColumnInfo(e.view, MSICOLINFO_TYPES, &types);
         if (r == ERROR_SUCCESS) r = MsiDatabaseGetPrimaryKeysW(e.db, u"Item", &keys);
         for (MSIHANDLE h : {names, types, keys}) {
           for (UINT i = 1; r == ERROR_SUCCESS && i <= MsiRecordGetFieldCount(h); ++i) {
             std::string t;
             r = FieldText(h, i, &t);
             faults::Paused paused;
             e.out += t + " ";
           }
           MsiCloseHandle(h);
         }
         return r;
       },
       {}, [](Env& e) { MsiDatabaseOpenViewA(e.db, "SELECT * FROM `Item`", &e.view); }},
  };
}

// Opens the package for the operation and prepares it (never failing).
void Prepare(const Operation& op, Env& e, const fs::path& original, const fs::path& dir) {
  e = Env();
  e.dir = dir;
  e.package = dir / "p.msi";
  fs::remove(dir / "out.msi");
  fs::remove(dir / "Item.idt");
  fs::copy_file(original, e.package, fs::copy_options::overwrite_existing);
  if (op.mode != kNoOpen) {
    ASSERT_EQ(MsiOpenDatabaseA(e.package.c_str(), op.mode, &e.db), ERROR_SUCCESS);
  }
  op.prepare(e);
}

void Finish(Env& e) {
  for (MSIHANDLE h : {e.rec, e.view, e.db}) EXPECT_EQ(MsiCloseHandle(h), ERROR_SUCCESS);
  EXPECT_EQ(MsiCloseAllHandles(), 0u) << "handles left open";
}

class FailingAllocator : public ::testing::TestWithParam<size_t> {};

TEST_P(FailingAllocator, EveryFailureGivesACodeAndTheEngineWorksAfterwards) {
  const Operation op = Operations()[GetParam()];
  const ts::TempDir dir;
  const fs::path original = dir / "original.msi", work = dir / "work";
  MakePackage(original);
  fs::create_directory(work);
  Env e;
  Prepare(op, e, original, work);
  faults::StartCounting();
  const UINT clean = op.run(e);
  const int64_t total = faults::Counted();
  ASSERT_EQ(clean, ERROR_SUCCESS) << "the operation fails without any fault";
  const std::string expected = op.state(e);
  Finish(e);
  // Every allocation of a short operation fails once; 250 spread evenly
  // over a long one, and the last.
  std::set<int64_t> points = {total - 1};
  for (int64_t n = 0; n < total; n += std::max<int64_t>(1, total / 250)) points.insert(n);
  int failures = 0;
  for (const int64_t n : points) {
    SCOPED_TRACE("allocation " + std::to_string(n) + " of " + std::to_string(total) + " fails");
    Prepare(op, e, original, work);
    faults::FailAfter(n);
    const UINT first = op.run(e);
    if (faults::Disarm()) {
      ++failures;
      EXPECT_TRUE(first == ERROR_NOT_ENOUGH_MEMORY || first == ERROR_SUCCESS) << "answered " << first;
      const UINT again = first == ERROR_SUCCESS ? first : op.run(e);
      EXPECT_TRUE(again == ERROR_SUCCESS || op.repeat_ok.count(again) != 0)
          << "the repeat answered " << again;
    } else {
      EXPECT_EQ(first, ERROR_SUCCESS);
    }
    EXPECT_EQ(op.state(e), expected);
    Finish(e);
    if (HasFailure()) break;  // one clear report
  }
  EXPECT_GT(failures, 0) << "no allocation was made to fail";
}

INSTANTIATE_TEST_SUITE_P(EntryPoints, FailingAllocator, ::testing::Range<size_t>(0, Operations().size()),
                         [](const auto& info) { return std::string(Operations()[info.param].name); });

}  // namespace
