// Results are produced as they are fetched: the first rows of a join of
// 100 million rows come at once and cost a few megabytes, in a child whose
// address space may grow by little more than that. A sorted result or a
// stream that cannot fit is ERROR_NOT_ENOUGH_MEMORY, and the database stays
// usable.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <functional>

#include "engine_util.h"

namespace enginetest {
namespace {

constexpr int kRowsA = 20000, kRowsB = 5000;    // their join: 100 million rows
constexpr size_t kHeadroom = 64u << 20;         // address space the child may add
constexpr size_t kFirstRowsBudget = 8u << 20;   // resident memory the first rows may cost

size_t StatmBytes(int field) {  // 0: address space, 1: resident
  std::ifstream statm("/proc/self/statm");
  size_t v = 0;
  for (int i = 0; i <= field; ++i) statm >> v;
  return v * static_cast<size_t>(::sysconf(_SC_PAGESIZE));
}

// Runs `body` in a child limited to its present address space plus
// `headroom`; "" when the body holds, else how it failed. A child that
// outlives the deadline is killed and reported as a hang.
std::string InLimitedChild(const std::function<const char*()>& body) {
  std::fflush(nullptr);
  const pid_t pid = ::fork();
  if (pid == 0) {
    const rlim_t limit = StatmBytes(0) + kHeadroom;
    const rlimit rl{limit, limit};
    if (::setrlimit(RLIMIT_AS, &rl) != 0) ::_exit(90);
    const char* fault = body();
    if (fault != nullptr) std::fprintf(stderr, "child: %s\n", fault);
    ::_exit(fault == nullptr ? 0 : 1);
  }
  if (pid < 0) return "fork failed";
  int status = 0;
  if (!ts::WaitChild(pid, &status, std::chrono::seconds(120))) return "hang: not finished in 120 s (killed)";
  if (WIFSIGNALED(status)) return "the child died of signal " + std::to_string(WTERMSIG(status));
  const int code = WEXITSTATUS(status);
  return code == 0 ? "" : "the child failed (exit " + std::to_string(code) + ", see stderr)";
}

class ResultMemory : public ::testing::Test {
 protected:
  void SetUp() override {
#if defined(__SANITIZE_ADDRESS__) || defined(MSI_SANITIZE)
    GTEST_SKIP() << "address-space limits do not apply under AddressSanitizer";
#endif
    ASSERT_EQ(ts::Open(dir_ / "j.msi", MSIDBOPEN_CREATE_A, db_), ERROR_SUCCESS);
    ASSERT_EQ(Exec(db_, "CREATE TABLE A (K LONG NOT NULL, S CHAR(20) PRIMARY KEY K)"), ERROR_SUCCESS);
    ASSERT_EQ(Exec(db_, "CREATE TABLE B (K LONG NOT NULL PRIMARY KEY K)"), ERROR_SUCCESS);
    for (auto [sql, rows] : {std::pair{"INSERT INTO A (K, S) VALUES (?, 'text')", kRowsA},
                             std::pair{"INSERT INTO B (K) VALUES (?)", kRowsB}}) {
      Handle view, rec(MsiCreateRecord(1));
      ASSERT_EQ(MsiDatabaseOpenViewA(db_, sql, view.out()), ERROR_SUCCESS);
      for (int i = 0; i < rows; ++i) {
        MsiRecordSetInteger(rec, 1, i);
        ASSERT_EQ(MsiViewExecute(view, rec), ERROR_SUCCESS);
      }
    }
  }
  ts::TempDir dir_;
  Handle db_;
};

TEST_F(ResultMemory, FirstRowsOfAHugeJoinComeAtOnceAndCostLittle) {
  const struct {
    const char* sql;
    UINT a_field, b_field;  // where A.K and B.K are in the record
  } cases[] = {
      {"SELECT A.K, B.K FROM A, B", 1, 2},
      {"SELECT B.K, A.K, A.S FROM A, B WHERE A.S = 'text'", 2, 1},
      {"SELECT DISTINCT A.K, B.K FROM A, B", 1, 2},
  };
  for (const auto& c : cases) {
    const MSIHANDLE db = db_;
    EXPECT_EQ(InLimitedChild([&]() -> const char* {
                const size_t before = StatmBytes(1);
                Handle view, rec;
                if (MsiDatabaseOpenViewA(db, c.sql, view.out()) != ERROR_SUCCESS ||
                    MsiViewExecute(view, 0) != ERROR_SUCCESS) {
                  return "execute failed";
                }
                // The last table of FROM decides first: B's first row with
                // every row of A in turn.
                for (int i = 0; i < 2000; ++i) {
                  if (MsiViewFetch(view, rec.out()) != ERROR_SUCCESS) return "fetch failed";
                  if (MsiRecordGetInteger(rec, c.a_field) != i || MsiRecordGetInteger(rec, c.b_field) != 0) {
                    return "row out of order";
                  }
                }
                return StatmBytes(1) - before > kFirstRowsBudget ? "the first rows cost too much" : nullptr;
              }),
              "")
        << c.sql;
  }
}

// What cannot fit is ERROR_NOT_ENOUGH_MEMORY, and the database, the view
// and the record go on working.
TEST_F(ResultMemory, WhatCannotFitIsNotEnoughMemory) {
  const ts::fs::path huge = dir_ / "huge.bin";
  std::ofstream(huge).close();
  ts::fs::resize_file(huge, 4ull << 30);  // sparse: takes no disk
  const MSIHANDLE db = db_;
  const struct {
    const char* what;
    std::function<UINT(MSIHANDLE rec)> big;
  } cases[] = {
      {"a sorted join far beyond the limit",
       [&](MSIHANDLE) {
         Handle view, rec;
         UINT r = MsiDatabaseOpenViewA(db, "SELECT A.K, B.K FROM A, B ORDER BY A.K", view.out());
         if (r == ERROR_SUCCESS) r = MsiViewExecute(view, 0);
         if (MsiViewFetch(view, rec.out()) == ERROR_SUCCESS) return 0xBADu;  // a failed view gave a row
         return MsiViewExecute(view, 0) == r ? r : 0xBADu;  // executing again fails alike
       }},
      {"a stream field from a file of 4 GiB",
       [&](MSIHANDLE rec) { return MsiRecordSetStreamA(rec, 1, huge.c_str()); }},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(InLimitedChild([&]() -> const char* {
                Handle rec(MsiCreateRecord(2));
                if (c.big(rec) != ERROR_NOT_ENOUGH_MEMORY) return "the answer is not ERROR_NOT_ENOUGH_MEMORY";
                if (Rows(db, "SELECT K FROM B WHERE K = 77") != Strings{"77"}) return "the database fails";
                if (Rows(db, "SELECT K FROM B ORDER BY K").size() != size_t{kRowsB}) return "a sort fails";
                if (Exec(db, "INSERT INTO B (K) VALUES (-1)") != ERROR_SUCCESS) return "a change fails";
                MsiRecordSetStringA(rec, 2, "still works");
                return ts::FieldText(rec, 2) == "still works" ? nullptr : "the record no longer works";
              }),
              "")
        << c.what;
  }
}

}  // namespace
}  // namespace enginetest
