// The summary information through _SummaryInformation.idt: exported and
// imported again it is the same summary, for every corpus package.
#include <gtest/gtest.h>

#include "support.h"

namespace api_test {
namespace {

namespace fs = std::filesystem;

// Every property as text; file times to the second, the archive's unit.
std::string SummaryText(MSIHANDLE db) {
  ts::Handle si;
  if (UINT r = MsiGetSummaryInformationA(db, nullptr, 0, si.out()); r != ERROR_SUCCESS) {
    return "error " + std::to_string(r);
  }
  std::string text;
  for (UINT pid = 1; pid <= PID_SECURITY; ++pid) {
    UINT type = 0;
    INT value = 0;
    FILETIME ft{};
    char buf[1024] = "";
    DWORD size = sizeof buf;
    MsiSummaryInfoGetPropertyA(si, pid, &type, &value, &ft, buf, &size);
    const uint64_t ticks = ft.dwLowDateTime | (uint64_t{ft.dwHighDateTime} << 32);
    text += std::to_string(pid) + ":" + std::to_string(type) + "=";
    if (type == VT_I2 || type == VT_I4) text += std::to_string(value);
    if (type == VT_LPSTR) text += buf;
    if (type == VT_FILETIME) text += std::to_string(ticks / 10000000);
    text += "\n";
  }
  return text;
}

// Every corpus package's summary exported as libmsi exports it, and
// imported into a new package the same summary again.
TEST(SummaryArchive, EveryCorpusPackageComesBackWithItsSummary) {
  REQUIRE_CORPUS();
  REQUIRE_ORACLE();
  for (const fs::path& package : ts::CorpusPackages()) {
    SCOPED_TRACE(package.filename().string());
    ts::TempDir dir;
    ts::Handle db, copy;
    ASSERT_EQ(ts::Open(package, MSIDBOPEN_READONLY_A, db), ERROR_SUCCESS);
    ASSERT_EQ(MsiDatabaseExportA(db, "_SummaryInformation", dir.path().c_str(), "s.idt"), ERROR_SUCCESS);
    const ts::RunResult oracle = ts::Run({ts::MsiInfo(), "export", package.string(), "_SummaryInformation"});
    ASSERT_EQ(oracle.exit_code, 0) << oracle.Describe();
    EXPECT_EQ(ts::ReadText(dir / "s.idt"), oracle.out);
    ASSERT_EQ(ts::Open(dir / "copy.msi", MSIDBOPEN_CREATE_A, copy), ERROR_SUCCESS);
    ASSERT_EQ(MsiDatabaseImportA(copy, dir.path().c_str(), "s.idt"), ERROR_SUCCESS);
    ASSERT_EQ(MsiDatabaseCommit(copy), ERROR_SUCCESS);
    copy.reset();
    ASSERT_EQ(ts::Open(dir / "copy.msi", MSIDBOPEN_READONLY_A, copy), ERROR_SUCCESS);
    EXPECT_EQ(SummaryText(copy), SummaryText(db));
  }
}

// Rows imported into a new database holding title "Old" and codepage 1252.
TEST(SummaryArchive, ImportSetsTheRowsPropertiesAndRefusesBadRows) {
  const struct {
    const char* rows;
    UINT result;
    const char* expected;  // properties 1, 2, 3, 12 after the import
  } cases[] = {
      {"2\tNew\r\n", ERROR_SUCCESS, "1:2=1252\n2:30=New\n3:0=\n12:0=\n"},
      {"3\ttab\x10here\r\n12\t1999/06/21\r\n", ERROR_SUCCESS,
       "1:2=1252\n2:30=Old\n3:30=tab\there\n12:64=12574396800\n"},
      {"12\t2009/04/12 15:46:11\n", ERROR_SUCCESS, "1:2=1252\n2:30=Old\n3:0=\n12:64=12884024771\n"},
      // The codepage row decides how the text reads, wherever it stands.
      {"2\tK\xF6ln\r\n1\t1250\r\n", ERROR_SUCCESS, "1:2=1250\n2:30=K\xC3\xB6ln\n3:0=\n12:0=\n"},
      {"17\tthumb\r\n", ERROR_FUNCTION_FAILED, ""},
      {"20\tx\r\n", ERROR_FUNCTION_FAILED, ""},
      {"x\ty\r\n", ERROR_FUNCTION_FAILED, ""},
      {"14\tmany\r\n", ERROR_FUNCTION_FAILED, ""},
      {"12\t2009/02/29 00:00:00\r\n", ERROR_FUNCTION_FAILED, ""},
      {"12\t2009-04-12T15:46:11Z\r\n", ERROR_FUNCTION_FAILED, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.rows);
    ts::TempDir dir;
    ts::WriteText(dir / "s.idt", std::string("PropertyId\tValue\r\ni2\tl255\r\n_SummaryInformation\tPropertyId\r\n") + c.rows);
    ts::Handle db, si;
    ASSERT_EQ(ts::Open(dir / "p.msi", MSIDBOPEN_CREATE_A, db), ERROR_SUCCESS);
    ASSERT_EQ(MsiGetSummaryInformationA(db, nullptr, 2, si.out()), ERROR_SUCCESS);
    MsiSummaryInfoSetPropertyA(si, PID_CODEPAGE, VT_I2, 1252, nullptr, nullptr);
    MsiSummaryInfoSetPropertyA(si, PID_TITLE, VT_LPSTR, 0, nullptr, "Old");
    ASSERT_EQ(MsiSummaryInfoPersist(si), ERROR_SUCCESS);
    EXPECT_EQ(MsiDatabaseImportA(db, dir.path().c_str(), "s.idt"), c.result);
    if (c.result != ERROR_SUCCESS) {
      EXPECT_NE(MsiGetLastErrorRecord(), 0u) << "a refused row is described";
      continue;
    }
    std::string got, all = SummaryText(db);
    for (const char* pid : {"1:", "2:", "3:", "12:"}) {
      const size_t at = all.find(std::string("\n") + pid);
      got += all.substr(at + 1, all.find('\n', at + 1) - at);
    }
    EXPECT_EQ(got, c.expected);
  }
}

TEST(SummaryArchive, TextTravelsInTheSummarysCodepage) {
  ts::TempDir dir;
  const std::string head = "PropertyId\tValue\r\ni2\tl255\r\n_SummaryInformation\tPropertyId\r\n";
  for (const std::string rows : {"1\t1250\r\n2\tK\xF6ln \x10 tab\r\n", "1\t65001\r\n2\tK\xC3\xB6ln \x10 tab\r\n"}) {
    ts::WriteText(dir / "in.idt", head + rows);
    ts::Handle db;
    ASSERT_EQ(ts::Open(dir / "p.msi", MSIDBOPEN_CREATE_A, db), ERROR_SUCCESS);
    ASSERT_EQ(MsiDatabaseImportA(db, dir.path().c_str(), "in.idt"), ERROR_SUCCESS);
    ASSERT_EQ(MsiDatabaseExportA(db, "_SummaryInformation", dir.path().c_str(), "out.idt"), ERROR_SUCCESS);
    EXPECT_EQ(ts::ReadText(dir / "out.idt"), head + rows);
  }
}

TEST(SummaryArchive, ExportWithoutTablesNamedIncludesTheSummary) {
  REQUIRE_CORPUS();
  ts::TempDir dir;
  const ts::RunResult run =
      ts::Run({ts::Msisql(), "--export", (ts::CorpusDir() / "putty-0.68-installer.msi").string(), dir.path().string()});
  ASSERT_EQ(run.exit_code, 0) << run.Describe() << run.err;
  EXPECT_NE(ts::ReadText(dir / "_SummaryInformation.idt").find("\r\n7\tIntel;1033\r\n"), std::string::npos);
}

}  // namespace
}  // namespace api_test
