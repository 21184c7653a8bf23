// msisql --summary and --summary-set: the printed lines, the names and
// value forms accepted, and that a failed run writes nothing.
#include "summary_support.h"

namespace summary_test {
namespace {

ts::RunResult Msisql(const std::vector<std::string>& args) {
  std::vector<std::string> argv = {ts::Msisql()};
  argv.insert(argv.end(), args.begin(), args.end());
  return ts::Run(argv);
}

TEST(SummaryCli, PrintsEveryPropertySet) {
  ts::TempDir dir;
  const fs::path package = dir / "p.msi";
  MakePackage(package);
  {
    Handle si;
    ASSERT_EQ(MsiGetSummaryInformationA(0, package.c_str(), 5, si.out()), ERROR_SUCCESS);
    FILETIME ft = MakeFileTime(128943864000000000);  // 2009-08-10T14:00:00Z
    ASSERT_EQ(MsiSummaryInfoSetPropertyA(si, PID_REVNUMBER, VT_LPSTR, 0, nullptr, "{R}"), 0u);
    ASSERT_EQ(MsiSummaryInfoSetPropertyA(si, PID_COMMENTS, VT_LPSTR, 0, nullptr, "a\tb\\c\nd"), 0u);
    ASSERT_EQ(MsiSummaryInfoSetPropertyA(si, PID_CREATE_DTM, VT_FILETIME, 0, &ft, nullptr), 0u);
    ASSERT_EQ(MsiSummaryInfoPersist(si), ERROR_SUCCESS);
  }
  ts::RunResult r = Msisql({"--summary", package.string()});
  ASSERT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(r.out,
            "Codepage\t1252\n"
            "Title\tInstallation Database\n"
            "Subject\t\n"
            "Author\t\n"
            "Comments\ta\\tb\\\\c\\nd\n"
            "Template\tIntel;1033\n"
            "RevisionNumber\t{R}\n"
            "CreateTime\t2009-08-10T14:00:00Z\n"
            "PageCount\t200\n"
            "WordCount\t2\n"
            "Security\t2\n");
}

TEST(SummaryCli, SetsByNameAndRefusesWhatItCannotStore) {
  const struct {
    const char* name;
    std::vector<std::string> assignments;
    int exit_code;
    const char* message;     // in standard error
    const char* line_after;  // in --summary afterwards, when it succeeded
  } cases[] = {
      {"text", {"Title=Brimble Notes"}, 0, "", "Title\tBrimble Notes\n"},
      {"any letter case", {"aUtHoR=Me"}, 0, "", "Author\tMe\n"},
      {"several, one write", {"Subject=S", "PageCount=500", "Security=4"}, 0, "", "PageCount\t500\n"},
      {"value with =", {"Comments=a=b"}, 0, "", "Comments\ta=b\n"},
      {"file time", {"LastPrinted=1999-07-01T05:17:00Z"}, 0, "", "LastPrinted\t1999-07-01T05:17:00Z\n"},
      {"file time with fraction", {"EditTime=2024-02-29 23:59:59.25"}, 0, "",
       "EditTime\t2024-02-29T23:59:59.2500000Z\n"},
      {"UTF-8 codepage and text", {"Codepage=65001", "Title=\xe2\x98\x83"}, 0, "",
       "Codepage\t65001\n"},
      {"unknown name", {"Title=x", "Colour=red"}, 1, "error 1608", nullptr},
      {"number that is none", {"Title=x", "WordCount=two"}, 1, "error 1629", nullptr},
      {"number too large", {"WordCount=4294967296"}, 1, "error 1629", nullptr},
      {"no such date", {"CreateTime=2023-02-29T00:00:00Z"}, 1, "error 1629", nullptr},
      {"date with junk", {"CreateTime=2023-02-01T00:00:00Zulu"}, 1, "error 1629", nullptr},
      {"thumbnail", {"Thumbnail=x"}, 1, "error 1629", nullptr},
      {"text outside the codepage", {"Title=x", "Subject=\xe6\x97\xa5"}, 1, "error 87", nullptr},
      {"not an assignment", {"Title"}, 2, "NAME=VALUE", nullptr},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ts::TempDir dir;
    const fs::path package = dir / "p.msi";
    MakePackage(package);
    const ts::Bytes before = ts::ReadBytes(package);
    std::vector<std::string> args = {"--summary-set", package.string()};
    args.insert(args.end(), c.assignments.begin(), c.assignments.end());
    ts::RunResult r = Msisql(args);
    EXPECT_EQ(r.exit_code, c.exit_code) << r.err;
    EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
    if (c.line_after == nullptr) {
      EXPECT_EQ(ts::ReadBytes(package), before) << "a failed run must write nothing";
      continue;
    }
    ts::RunResult shown = Msisql({"--summary", package.string()});
    EXPECT_NE(shown.out.find(c.line_after), std::string::npos) << shown.out;
  }
}

TEST(SummaryCli, UsageAndFileErrors) {
  ts::TempDir dir;
  const fs::path readonly = dir / "ro.msi";
  MakePackage(readonly);
  fs::permissions(readonly, fs::perms::owner_read);
  const struct {
    std::vector<std::string> args;
    int exit_code;
    const char* message;
  } cases[] = {
      {{"--summary"}, 2, "Usage"},
      {{"--summary", "a", "b"}, 2, "Usage"},
      {{"--summary-set", readonly.string()}, 2, "Usage"},
      {{"--summary", (dir / "none.msi").string()}, 1, "error 110"},
      {{"--summary-set", readonly.string(), "Title=x"}, 1, "error 110"},
  };
  for (const auto& c : cases) {
    ts::RunResult r = Msisql(c.args);
    EXPECT_EQ(r.exit_code, c.exit_code) << c.args[0];
    EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
  }
  ts::RunResult help = Msisql({"--help"});
  EXPECT_NE(help.out.find("--summary-set PACKAGE NAME=VALUE"), std::string::npos);
}

}  // namespace
}  // namespace summary_test
