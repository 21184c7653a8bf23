// Results are produced as they are fetched: the first rows of a join of
// 100 million rows come at once and cost a few megabytes, in a child whose
// address space may grow by little more than that. A sorted result that
// cannot fit is ERROR_NOT_ENOUGH_MEMORY, and the database stays usable.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <functional>

#include "engine_test_util.h"
#include "program.h"

#if defined(__SANITIZE_ADDRESS__)
#define MSI_HAVE_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define MSI_HAVE_SANITIZER 1
#endif
#endif

namespace enginetest {
namespace {

constexpr int kRowsA = 20000, kRowsB = 5000;  // their join: 100 million rows
constexpr size_t kHeadroom = 64u << 20;      // address space the child may add
constexpr size_t kFirstRowsBudget = 8u << 20;  // resident memory the first rows may cost

size_t StatmPages(int field) {
  std::ifstream statm("/proc/self/statm");
  size_t v = 0;
  for (int i = 0; i <= field; ++i) statm >> v;
  return v * static_cast<size_t>(::sysconf(_SC_PAGESIZE));
}
size_t AddressSpace() { return StatmPages(0); }
size_t Resident() { return StatmPages(1); }

// Runs `body` in a child limited to its present address space plus
// `headroom`; the child's exit status (0 when the body holds, 99 when it
// hung and was killed).
int InLimitedChild(size_t headroom, const std::function<int()>& body) {
  std::fflush(nullptr);
  const pid_t pid = ::fork();
  if (pid == 0) {
    const rlim_t limit = AddressSpace() + headroom;
    const rlimit rl{limit, limit};
    if (::setrlimit(RLIMIT_AS, &rl) != 0) ::_exit(90);
    ::_exit(body());
  }
  int status = 0;
  if (!ts::WaitChild(pid, &status)) return 99;  // hung: killed
  return WIFEXITED(status) ? WEXITSTATUS(status) : 100 + WTERMSIG(status);
}

int Fail(const char* what, UINT code = 0) {
  std::fprintf(stderr, "child: %s (%u)\n", what, code);
  return 1;
}

class ResultMemory : public ::testing::Test {
 protected:
  void SetUp() override {
#ifdef MSI_HAVE_SANITIZER
    GTEST_SKIP() << "address-space limits do not apply under AddressSanitizer (its shadow memory is reserved up front)";
#endif
    ASSERT_EQ(MsiOpenDatabaseA(dir_.File("j.msi").c_str(), MSIDBOPEN_CREATE_A, db_.out()), ERROR_SUCCESS);
    ASSERT_EQ(Exec(db_.get(), "CREATE TABLE A (K LONG NOT NULL, S CHAR(20) PRIMARY KEY K)"), ERROR_SUCCESS);
    ASSERT_EQ(Exec(db_.get(), "CREATE TABLE B (K LONG NOT NULL PRIMARY KEY K)"), ERROR_SUCCESS);
    for (auto [sql, rows] : {std::pair{"INSERT INTO A (K, S) VALUES (?, 'text')", kRowsA},
                             std::pair{"INSERT INTO B (K) VALUES (?)", kRowsB}}) {
      Handle view, rec(MsiCreateRecord(1));
      ASSERT_EQ(MsiDatabaseOpenViewA(db_.get(), sql, view.out()), ERROR_SUCCESS);
      for (int i = 0; i < rows; ++i) {
        MsiRecordSetInteger(rec.get(), 1, i);
        ASSERT_EQ(MsiViewExecute(view.get(), rec.get()), ERROR_SUCCESS);
      }
    }
  }
  ScratchDir dir_;
  Handle db_;
};

TEST_F(ResultMemory, FirstRowsOfAHugeJoinComeAtOnceAndCostLittle) {
  struct Case {
    const char* sql;
    int a_field, b_field;  // where A.K and B.K are in the record
  } const cases[] = {
      {"SELECT A.K, B.K FROM A, B", 1, 2},
      {"SELECT B.K, A.K, A.S FROM A, B WHERE A.S = 'text'", 2, 1},
      {"SELECT DISTINCT A.K, B.K FROM A, B", 1, 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.sql);
    const MSIHANDLE db = db_.get();
    EXPECT_EQ(InLimitedChild(kHeadroom, [&] {
                const size_t before = Resident();
                Handle view;
                UINT r = MsiDatabaseOpenViewA(db, c.sql, view.out());
                if (r == ERROR_SUCCESS) r = MsiViewExecute(view.get(), 0);
                if (r != ERROR_SUCCESS) return Fail("execute", r);
                // The last table of FROM decides first: B's first row with
                // every row of A in turn.
                for (int i = 0; i < 2000; ++i) {
                  Handle rec;
                  r = MsiViewFetch(view.get(), rec.out());
                  if (r != ERROR_SUCCESS) return Fail("fetch", r);
                  if (MsiRecordGetInteger(rec.get(), c.a_field) != i ||
                      MsiRecordGetInteger(rec.get(), c.b_field) != 0) {
                    return Fail("row out of order");
                  }
                }
                if (Resident() - before > kFirstRowsBudget) return Fail("the first rows cost too much memory");
                return 0;
              }),
              0);
  }
}

TEST_F(ResultMemory, ASortedJoinBeyondTheLimitIsNotEnoughMemory) {
  const MSIHANDLE db = db_.get();
  EXPECT_EQ(InLimitedChild(kHeadroom, [&] {
              Handle view;
              UINT r = MsiDatabaseOpenViewA(db, "SELECT A.K, B.K FROM A, B ORDER BY A.K", view.out());
              if (r != ERROR_SUCCESS) return Fail("open", r);
              r = MsiViewExecute(view.get(), 0);
              if (r != ERROR_NOT_ENOUGH_MEMORY) return Fail("execute should fail with 8", r);
              if (MsiViewFetch(view.get(), Handle().out()) == ERROR_SUCCESS) return Fail("a failed view gave a row");
              // The database and the same view still work.
              if (Rows(db, "SELECT K FROM B WHERE K = 77") != std::vector<std::string>{"77"}) {
                return Fail("the database no longer answers");
              }
              if (Rows(db, "SELECT K FROM B ORDER BY K").size() != static_cast<size_t>(kRowsB)) {
                return Fail("a small sorted result fails");
              }
              if (Exec(db, "INSERT INTO B (K) VALUES (-1)") != ERROR_SUCCESS) return Fail("a change fails");
              r = MsiViewExecute(view.get(), 0);
              return r == ERROR_NOT_ENOUGH_MEMORY ? 0 : Fail("executing again", r);
            }),
            0);
}

}  // namespace
}  // namespace enginetest
