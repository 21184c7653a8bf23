// Summary information through the C API and msisql: every corpus package
// read as libmsi reads it, changes persisted and read back through libmsi,
// the answers Windows gives, the stream's own codepage, damaged streams, and
// msisql's --summary and --summary-set (a failed run writes nothing).
#include <algorithm>
#include <functional>
#include <string_view>

#include "cfb/compound_file_reader.h"
#include "storage/property_set.h"
#include "storage/stream_replace.h"
#include "storage/summary_info.h"
#include "stream_name.h"
#include "support.h"
#include "text.h"

namespace {

namespace fs = std::filesystem;
using ts::Handle;

constexpr uint64_t kTicks2009 = 128943864000000000;  // 2009-08-10T14:00:00Z
const std::u16string kStreamName = u"\005SummaryInformation";

FILETIME MakeFileTime(uint64_t ticks) { return FILETIME{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)}; }

// Properties 1..19 that are set, one a line: "PID<TAB>KIND<TAB>VALUE" with
// KIND I (integer), S (text, escaped as msisql does) or F (file time
// ticks), as the oracle program prints them.
std::string EngineProperties(MSIHANDLE summary) {
  std::string out;
  for (UINT pid = 1; pid <= 19; ++pid) {
    UINT type = 0;
    INT value = 0;
    FILETIME ft{};
    char buf[4096];
    DWORD size = sizeof buf;
    const UINT r = MsiSummaryInfoGetPropertyA(summary, pid, &type, &value, &ft, buf, &size);
    if (r != ERROR_SUCCESS) return "error " + std::to_string(r);
    std::string line = std::to_string(pid) + "\t";
    line += type == VT_LPSTR ? "S\t" : type == VT_FILETIME ? "F\t" : "I\t";
    for (char ch : std::string(buf, type == VT_LPSTR ? size : 0)) {
      line += ch == '\\' ? "\\\\" : ch == '\t' ? "\\t" : ch == '\n' ? "\\n" : ch == '\r' ? "\\r"
                                                                          : std::string(1, ch);
    }
    if (type == VT_I2 || type == VT_I4) line += std::to_string(value);
    if (type == VT_FILETIME) line += std::to_string(ft.dwLowDateTime | (uint64_t{ft.dwHighDateTime} << 32));
    if (type == VT_I2 || type == VT_I4 || type == VT_LPSTR || type == VT_FILETIME) out += line + "\n";
  }
  return out;
}

// Through the path form (handle 0).
std::string EngineProperties(const fs::path& package) {
  Handle si;
  const UINT r = MsiGetSummaryInformationA(0, package.c_str(), 0, si.out());
  return r != ERROR_SUCCESS ? "error " + std::to_string(r) : EngineProperties(si);
}

std::string OracleProperties(const fs::path& package) {
  const ts::RunResult r = ts::Oracle({"summary", package.string()});
  return r.exit_code != 0 ? r.Describe() + ": " + r.err : r.out;
}

// A new package made by the engine, committed, with one table.
void MakePackage(const fs::path& path) {
  Handle db;
  ASSERT_EQ(MsiOpenDatabaseA(path.c_str(), MSIDBOPEN_CREATE_A, db.out()), ERROR_SUCCESS);
  ASSERT_EQ(ts::Exec(db, "CREATE TABLE `Property` (`Property` CHAR(72) NOT NULL, "
                         "`Value` CHAR(0) NOT NULL LOCALIZABLE PRIMARY KEY `Property`)"), ERROR_SUCCESS);
  ASSERT_EQ(ts::Exec(db, "INSERT INTO `Property` (`Property`, `Value`) VALUES ('A', 'x')"), ERROR_SUCCESS);
  ASSERT_EQ(MsiDatabaseCommit(db), ERROR_SUCCESS);
}

// Every stream and storage of a package file: path -> bytes (storages as
// "<s>").
std::map<std::string, std::vector<uint8_t>> Entries(const fs::path& package) {
  std::map<std::string, std::vector<uint8_t>> out;
  auto image = msi::cfb::FileImage::Map(package.string());
  if (!image.ok()) return out;
  auto file = msi::cfb::CompoundFileReader::Open(*image);
  if (!file.ok()) return out;
  std::function<void(uint32_t, const std::string&)> collect = [&](uint32_t storage, const std::string& prefix) {
    for (uint32_t id : (*file)->Children(storage)) {
      const auto& e = (*file)->entry(id);
      const std::string name = prefix + msi::Utf16ToUtf8(e.name);
      if (e.type == msi::cfb::EntryType::kStorage) {
        out[name] = {'<', 's', '>'};
        collect(id, name + "/");
      } else if (e.type == msi::cfb::EntryType::kStream) {
        auto bytes = (*file)->ReadStream(id);
        out[name] = bytes.ok() ? *bytes : std::vector<uint8_t>{'e', 'r', 'r'};
      }
    }
  };
  collect(msi::cfb::CompoundFileReader::kRootId, "");
  return out;
}

std::vector<uint8_t> SummaryStream(const fs::path& package) { return Entries(package)[msi::Utf16ToUtf8(kStreamName)]; }

std::map<std::string, std::vector<uint8_t>> OtherEntries(const fs::path& package) {
  auto entries = Entries(package);
  entries.erase(msi::Utf16ToUtf8(kStreamName));
  return entries;
}

// Every corpus package read as libmsi reads it, through either form; a
// change persisted through a path touches only the summary stream.
TEST(SummaryCorpus, EveryPropertyMatchesLibmsi) {
  REQUIRE_CORPUS();
  REQUIRE_ORACLE();
  ts::TempDir dir;
  for (const fs::path& source : ts::CorpusPackages()) {
    SCOPED_TRACE(source.filename().string());
    const std::string engine = EngineProperties(source);
    EXPECT_EQ(engine, OracleProperties(source));
    EXPECT_NE(engine, "") << "every corpus package has summary information";
    Handle db, si;
    ASSERT_EQ(MsiOpenDatabaseA(source.c_str(), MSIDBOPEN_READONLY_A, db.out()), ERROR_SUCCESS);
    ASSERT_EQ(MsiGetSummaryInformationA(db, nullptr, 0, si.out()), ERROR_SUCCESS);
    EXPECT_EQ(EngineProperties(si), engine);

    const fs::path package = dir / source.filename();
    ts::CopyPackage(source, package);
    const auto others = OtherEntries(package);
    ASSERT_FALSE(others.empty());
    ASSERT_EQ(MsiGetSummaryInformationA(0, package.c_str(), 1, si.out()), ERROR_SUCCESS);
    ASSERT_EQ(MsiSummaryInfoSetPropertyA(si, PID_COMMENTS, VT_LPSTR, 0, nullptr, "changed"), 0u);
    ASSERT_EQ(MsiSummaryInfoPersist(si), ERROR_SUCCESS);
    EXPECT_TRUE(OtherEntries(package) == others);
    EXPECT_NE(EngineProperties(package).find("6\tS\tchanged\n"), std::string::npos);
  }
}

// Set through the path form or a database handle and persisted: libmsi
// reads every change and the properties left alone. Through a path only the
// summary stream changes; through a database the change is one of the
// database's: seen there at once, in the file with the commit and only then.
TEST(SummaryPersist, ChangesReachLibmsiThroughEitherForm) {
  REQUIRE_ORACLE();
  FILETIME ft = MakeFileTime(kTicks2009);
  const struct {
    UINT pid, type;
    INT number;
    const char* text;
    const char* oracle_line;  // how libmsi shows it afterwards
  } assignments[] = {
      {PID_TITLE, VT_LPSTR, 0, "New title", "2\tS\tNew title"},
      {PID_AUTHOR, VT_LPSTR, 0, "Tab\there", "4\tS\tTab\\there"},
      {PID_PAGECOUNT, VT_I4, 500, nullptr, "14\tI\t500"},
      {PID_CREATE_DTM, VT_FILETIME, 0, nullptr, "12\tF\t128943864000000000"},
      {PID_KEYWORDS, VT_LPSTR, 0, "", "5\tS\t"},
      {PID_TEMPLATE, 0, 0, nullptr, "7\tS\tIntel;1033"},  // left alone
  };
  for (const char* form : {"path", "database, committed", "database, closed without commit"}) {
    SCOPED_TRACE(form);
    const std::string_view how = form;
    const bool through_path = how == "path", commit = how == "database, committed";
    const ts::TempDir dir;
    const fs::path package = dir / "p.msi";
    MakePackage(package);
    // Some packages carry a second copy of the stream under the encoded
    // name; the system reads the plain one, and a write keeps the other.
    const std::vector<uint8_t> copy = SummaryStream(package);
    const std::u16string encoded = msi::EncodeStreamName(kStreamName, false);
    ASSERT_TRUE(msi::ReplaceRootStreamInFile(package.string(), encoded, copy).ok());
    const ts::Bytes before = ts::ReadBytes(package);
    const auto others = OtherEntries(package);
    {
      Handle db, si, again;
      if (!through_path) {
        ASSERT_EQ(MsiOpenDatabaseA(package.c_str(), MSIDBOPEN_TRANSACT_A, db.out()), 0u);
      }
      ASSERT_EQ(MsiGetSummaryInformationA(db, through_path ? package.c_str() : nullptr, 10, si.out()), 0u);
      for (const auto& a : assignments) {
        if (a.type != 0) {
          ASSERT_EQ(MsiSummaryInfoSetPropertyA(si, a.pid, a.type, a.number, &ft, a.text), 0u) << a.pid;
        }
      }
      ASSERT_EQ(MsiSummaryInfoPersist(si), ERROR_SUCCESS);
      if (!through_path) {
        ASSERT_EQ(MsiGetSummaryInformationA(db, nullptr, 0, again.out()), ERROR_SUCCESS);
        EXPECT_EQ(EngineProperties(again), EngineProperties(si));
        ASSERT_EQ(ts::Exec(db, "INSERT INTO `Property` (`Property`, `Value`) VALUES ('B', 'y')"), 0u);
        if (commit) {
          ASSERT_EQ(MsiDatabaseCommit(db), ERROR_SUCCESS);
        }
      }
    }
    if (!through_path && !commit) {
      EXPECT_EQ(ts::ReadBytes(package), before);
      continue;
    }
    const std::string oracle = OracleProperties(package);
    for (const auto& a : assignments)
      EXPECT_NE(oracle.find(std::string(a.oracle_line) + "\n"), std::string::npos) << a.oracle_line << " in\n" << oracle;
    EXPECT_EQ(EngineProperties(package), oracle);
    if (through_path) {
      EXPECT_TRUE(OtherEntries(package) == others);
    } else {
      EXPECT_EQ(ts::OracleSelect(package, {"SELECT `Property` FROM `Property` ORDER BY `Property`"}),
                "Property\nA\nB\n");
      EXPECT_TRUE(Entries(package)[msi::Utf16ToUtf8(encoded)] == copy);
    }
  }
}

// The stream keeps its own codepage: text is stored in it (Zhe, u and ka
// are C6 F3 EA in windows-1251, then the terminator) and read back through
// either form as the same text; the database's own codepage is untouched.
TEST(SummaryPersist, StreamKeepsItsOwnCodepageAndBothFormsConvert) {
  ts::TempDir dir;
  const fs::path package = dir / "p.msi";
  MakePackage(package);
  const std::string narrow = package.string();
  {
    Handle si;
    ASSERT_EQ(MsiGetSummaryInformationW(0, std::u16string(narrow.begin(), narrow.end()).c_str(), 2, si.out()),
              ERROR_SUCCESS);
    ASSERT_EQ(MsiSummaryInfoSetPropertyA(si, PID_CODEPAGE, VT_I2, 1251, nullptr, nullptr), 0u);
    ASSERT_EQ(MsiSummaryInfoSetPropertyW(si, PID_TITLE, VT_LPSTR, 0, nullptr, u"\u0416\u0443\u043a"), 0u);
    ASSERT_EQ(MsiSummaryInfoPersist(si), ERROR_SUCCESS);
  }
  const std::vector<uint8_t> stream = SummaryStream(package);
  const std::vector<uint8_t> bytes = {4, 0, 0, 0, 0xC6, 0xF3, 0xEA, 0};
  EXPECT_NE(std::search(stream.begin(), stream.end(), bytes.begin(), bytes.end()), stream.end());
  Handle db, si;
  ASSERT_EQ(MsiOpenDatabaseA(package.c_str(), MSIDBOPEN_READONLY_A, db.out()), ERROR_SUCCESS);
  ASSERT_EQ(MsiGetSummaryInformationA(db, nullptr, 0, si.out()), ERROR_SUCCESS);
  WCHAR wide[3];
  DWORD size = 3;
  UINT type = 0;
  EXPECT_EQ(MsiSummaryInfoGetPropertyW(si, PID_TITLE, &type, nullptr, nullptr, wide, &size), ERROR_MORE_DATA);
  EXPECT_EQ(type, static_cast<UINT>(VT_LPSTR));
  EXPECT_EQ(size, 3u);
  EXPECT_EQ(std::u16string(wide), u"\u0416\u0443");
  char utf8[16];
  size = sizeof utf8;
  ASSERT_EQ(MsiSummaryInfoGetPropertyA(si, PID_TITLE, nullptr, nullptr, nullptr, utf8, &size), 0u);
  EXPECT_EQ(std::string(utf8, size), "\xd0\x96\xd1\x83\xd0\xba");
  EXPECT_EQ(ts::Select(db, "SELECT `Value` FROM `Property`"), "Value\nx\n");
}

// Text that the stream's codepage cannot hold is refused, not mangled,
// whether it comes before or after the codepage.
TEST(SummaryPersist, TextMustFitTheStreamCodepage) {
  ts::TempDir dir;
  const fs::path package = dir / "p.msi";
  MakePackage(package);
  Handle si;
  ASSERT_EQ(MsiGetSummaryInformationA(0, package.c_str(), 5, si.out()), ERROR_SUCCESS);
  const auto set = [&si](UINT pid, const char* text, INT codepage) {
    return MsiSummaryInfoSetPropertyA(si, pid, pid == PID_CODEPAGE ? VT_I2 : VT_LPSTR, codepage, nullptr, text);
  };
  EXPECT_EQ(set(PID_TITLE, "\xd0\x96", 0), ERROR_INVALID_PARAMETER);  // Cyrillic in 1252
  EXPECT_EQ(set(PID_TITLE, "caf\xc3\xa9", 0), ERROR_SUCCESS);        // Latin-1 in 1252
  EXPECT_EQ(set(PID_CODEPAGE, nullptr, 1251), ERROR_INVALID_PARAMETER);  // cannot hold the title
  EXPECT_EQ(set(PID_CODEPAGE, nullptr, 65001), ERROR_SUCCESS);           // UTF-8 holds anything
  EXPECT_EQ(set(PID_AUTHOR, "\xe2\x98\x83", 0), ERROR_SUCCESS);
}

// Windows' answers as the installer's conformance tests record them.
TEST(SummaryApi, AnswersAsWindowsGivesThem) {
  ts::TempDir dir;
  const fs::path path = dir / "new.msi";
  Handle db, si;
  FILETIME ft = MakeFileTime(kTicks2009);
  ASSERT_EQ(MsiOpenDatabaseA(path.c_str(), MSIDBOPEN_CREATE_A, db.out()), ERROR_SUCCESS);
  UINT type = 99, count = 99;
  INT value = 1234;
  char buf[16] = "x";
  DWORD size = sizeof buf;
  const struct {
    const char* step;
    std::function<UINT()> call;
    UINT expected;
  } steps[] = {
      {"no handle pointer", [&] { return MsiGetSummaryInformationA(db, nullptr, 0, nullptr); },
       ERROR_INVALID_PARAMETER},
      {"no database, empty path", [&] { return MsiGetSummaryInformationA(0, "", 0, si.out()); },
       ERROR_INSTALL_PACKAGE_INVALID},
      {"bad database handle", [&] { return MsiGetSummaryInformationA(4242, nullptr, 0, si.out()); },
       ERROR_INVALID_HANDLE},
      {"open, update count 0", [&] { return MsiGetSummaryInformationA(db, "", 0, si.out()); }, 0},
      {"count of a bad handle", [&] { return MsiSummaryInfoGetPropertyCount(0, &count); },
       ERROR_INVALID_HANDLE},
      {"count, no pointer", [&] { return MsiSummaryInfoGetPropertyCount(si, nullptr); }, 0},
      {"count", [&] { return MsiSummaryInfoGetPropertyCount(si, &count) + count; }, 0},
      {"property 0", [&] { return MsiSummaryInfoGetPropertyA(si, 0, &type, &value, nullptr, nullptr, nullptr) + type; }, 0},
      {"property 0 leaves the number", [&] { return static_cast<UINT>(value); }, 1234},
      {"property -1", [&] { return MsiSummaryInfoGetPropertyA(si, UINT(-1), nullptr, nullptr, nullptr, nullptr, nullptr); },
       ERROR_UNKNOWN_PROPERTY},
      {"property 20", [&] { return MsiSummaryInfoGetPropertyA(si, 20, nullptr, nullptr, nullptr, nullptr, nullptr); },
       ERROR_UNKNOWN_PROPERTY},
      {"unset text leaves the buffer", [&] { return MsiSummaryInfoGetPropertyA(si, PID_REVNUMBER, &type, &value, nullptr, buf, &size) + type + (size == 16 ? 0 : 100) + (buf[0] == 'x' ? 0 : 1000); }, 0},
      {"set with update count 0", [&] { return MsiSummaryInfoSetPropertyA(si, PID_TITLE, VT_LPSTR, 0, nullptr, "Mike"); },
       ERROR_FUNCTION_FAILED},
      {"set codepage with update count 0", [&] { return MsiSummaryInfoSetPropertyA(si, PID_CODEPAGE, VT_I2, 1, &ft, "x"); },
       ERROR_FUNCTION_FAILED},
      {"persist with update count 0", [&] { return MsiSummaryInfoPersist(si); }, ERROR_FUNCTION_FAILED},
      {"reopen, update count 1", [&] { return MsiGetSummaryInformationA(db, nullptr, 1, si.out()); }, 0},
      {"dictionary", [&] { return MsiSummaryInfoSetPropertyA(si, 0, VT_LPSTR, 1, nullptr, nullptr); }, ERROR_DATATYPE_MISMATCH},
      {"codepage as text", [&] { return MsiSummaryInfoSetPropertyA(si, PID_CODEPAGE, VT_LPSTR, 1, nullptr, nullptr); }, ERROR_DATATYPE_MISMATCH},
      {"title as I4", [&] { return MsiSummaryInfoSetPropertyA(si, PID_TITLE, VT_I4, 0, nullptr, "M"); }, ERROR_DATATYPE_MISMATCH},
      {"keywords as I2", [&] { return MsiSummaryInfoSetPropertyA(si, PID_KEYWORDS, VT_I2, 0, nullptr, "M"); }, ERROR_DATATYPE_MISMATCH},
      {"comments as file time", [&] { return MsiSummaryInfoSetPropertyA(si, PID_COMMENTS, VT_FILETIME, 0, nullptr, "M"); }, ERROR_DATATYPE_MISMATCH},
      {"revision as I4", [&] { return MsiSummaryInfoSetPropertyA(si, PID_REVNUMBER, VT_I4, 0, nullptr, "M"); }, ERROR_DATATYPE_MISMATCH},
      {"page count as text", [&] { return MsiSummaryInfoSetPropertyA(si, PID_PAGECOUNT, VT_LPSTR, 1, nullptr, nullptr); }, ERROR_DATATYPE_MISMATCH},
      {"wide text type", [&] { return MsiSummaryInfoSetPropertyA(si, PID_LASTAUTHOR, 31, 0, nullptr, "h"); }, ERROR_DATATYPE_MISMATCH},
      {"thumbnail", [&] { return MsiSummaryInfoSetPropertyA(si, PID_THUMBNAIL, VT_LPSTR, 0, nullptr, "h"); }, ERROR_DATATYPE_MISMATCH},
      {"property 20", [&] { return MsiSummaryInfoSetPropertyA(si, 20, VT_I4, 0, nullptr, nullptr); }, ERROR_UNKNOWN_PROPERTY},
      {"null text", [&] { return MsiSummaryInfoSetPropertyA(si, PID_LASTAUTHOR, VT_LPSTR, 0, nullptr, nullptr); }, ERROR_INVALID_PARAMETER},
      {"null file time", [&] { return MsiSummaryInfoSetPropertyA(si, PID_LASTSAVE_DTM, VT_FILETIME, 0, nullptr, nullptr); }, ERROR_INVALID_PARAMETER},
      {"title", [&] { return MsiSummaryInfoSetPropertyA(si, PID_TITLE, VT_LPSTR, 0, nullptr, "Mike"); }, 0},
      {"short buffer", [&] { size = 2; return MsiSummaryInfoGetPropertyA(si, PID_TITLE, &type, nullptr, nullptr, buf, &size); }, ERROR_MORE_DATA},
      {"short buffer: length, type, text", [&] { return size + type * 10 + (std::string(buf) == "M" ? 0 : 1000); }, 4 + VT_LPSTR * 10},
      {"title again: same property", [&] { return MsiSummaryInfoSetPropertyA(si, PID_TITLE, VT_LPSTR, 0, nullptr, "JungAh"); }, 0},
      {"a second property", [&] { return MsiSummaryInfoSetPropertyA(si, PID_CODEPAGE, VT_I2, 1, &ft, "Mike"); }, ERROR_FUNCTION_FAILED},
      {"reopen, update count 10", [&] { return MsiGetSummaryInformationA(db, nullptr, 10, si.out()); }, 0},
      {"codepage", [&] { return MsiSummaryInfoSetPropertyA(si, PID_CODEPAGE, VT_I2, 1252, nullptr, nullptr); }, 0},
      {"author", [&] { return MsiSummaryInfoSetPropertyA(si, PID_AUTHOR, VT_LPSTR, 1, &ft, "Mike"); }, 0},
      {"edit time", [&] { return MsiSummaryInfoSetPropertyA(si, PID_EDITTIME, VT_FILETIME, 0, &ft, nullptr); }, 0},
      {"security", [&] { return MsiSummaryInfoSetPropertyA(si, PID_SECURITY, VT_I4, 4, nullptr, nullptr); }, 0},
      {"count of four", [&] { return MsiSummaryInfoGetPropertyCount(si, &count) + count; }, 4},
      {"persist", [&] { return MsiSummaryInfoPersist(si); }, 0},
      {"commit", [&] { return MsiDatabaseCommit(db); }, 0},
      {"path, update count 1", [&] { return MsiGetSummaryInformationA(0, path.c_str(), 1, si.out()); }, 0},
      {"path: kept the codepage", [&] { return MsiSummaryInfoGetPropertyA(si, PID_CODEPAGE, &type, &value, nullptr, nullptr, nullptr) + type * 100000 + static_cast<UINT>(value); }, VT_I2 * 100000 + 1252},
      {"path: file time", [&] { FILETIME got{}; MsiSummaryInfoGetPropertyA(si, PID_EDITTIME, &type, nullptr, &got, nullptr, nullptr); return (got.dwLowDateTime == ft.dwLowDateTime && got.dwHighDateTime == ft.dwHighDateTime ? 0 : 1) + type; }, VT_FILETIME},
      {"path: set", [&] { return MsiSummaryInfoSetPropertyA(si, PID_AUTHOR, VT_LPSTR, 1, &ft, "Mike"); }, 0},
      {"path: persist", [&] { return MsiSummaryInfoPersist(si); }, 0},
      {"path, update count 0: set", [&] { MsiGetSummaryInformationA(0, path.c_str(), 0, si.out()); return MsiSummaryInfoSetPropertyA(si, PID_AUTHOR, VT_LPSTR, 1, &ft, "Mike"); }, ERROR_FUNCTION_FAILED},
      {"path, update count 0: persist", [&] { return MsiSummaryInfoPersist(si); }, ERROR_FUNCTION_FAILED},
      {"summary handle is no database", [&] { return MsiDatabaseCommit(si); }, ERROR_INVALID_HANDLE},
  };
  for (const auto& s : steps) EXPECT_EQ(s.call(), s.expected) << s.step;
}

// A damaged stream is reported when the summary is opened; the rest of
// the package stays readable and nothing is written.
TEST(SummaryDamage, DamagedStreamsGiveInvalidData) {
  const std::vector<uint8_t> good = msi::DefaultSummaryInformation("{00000000-0000-0000-0000-000000000000}");
  const struct {
    const char* name;
    std::vector<uint8_t> bytes;
  } cases[] = {
      {"empty", {}},
      {"cut short", std::vector<uint8_t>(good.begin(), good.begin() + 60)},
      {"section beyond the stream", [&] { auto b = good; b[47] = 0x7F; return b; }()},
      {"value of unknown type", [&] { auto b = good; b[128] = 0x42; return b; }()},
  };
  ts::TempDir dir;
  const fs::path package = dir / "p.msi";
  MakePackage(package);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_TRUE(msi::ReplaceRootStreamInFile(package.string(), kStreamName, c.bytes).ok());
    const ts::Bytes before = ts::ReadBytes(package);
    Handle db, si;
    EXPECT_EQ(MsiGetSummaryInformationA(0, package.c_str(), 1, si.out()), ERROR_INVALID_DATA);
    EXPECT_EQ(si.get(), 0u);
    ASSERT_EQ(MsiOpenDatabaseA(package.c_str(), MSIDBOPEN_TRANSACT_A, db.out()), ERROR_SUCCESS);
    EXPECT_EQ(MsiGetSummaryInformationA(db, nullptr, 1, si.out()), ERROR_INVALID_DATA);
    EXPECT_EQ(ts::Select(db, "SELECT `Value` FROM `Property`"), "Value\nx\n");
    ts::RunResult r = ts::Run({ts::Msisql(), "--summary", package.string()});
    EXPECT_EQ(r.exit_code, 1) << r.Describe();
    EXPECT_NE(r.err.find("error 13:"), std::string::npos) << r.err;
    db.reset();
    EXPECT_EQ(ts::ReadBytes(package), before);
  }
}

ts::RunResult Msisql(const std::vector<std::string>& args) {
  std::vector<std::string> argv = {ts::Msisql()};
  argv.insert(argv.end(), args.begin(), args.end());
  return ts::Run(argv);
}

TEST(SummaryCli, SetsByNameAndRefusesWhatItCannotStore) {
  const struct {
    const char* name;
    std::vector<std::string> assignments;
    int exit_code;
    const char* message;     // in standard error
    const char* line_after;  // in --summary afterwards, when it succeeded
  } cases[] = {
      {"every property set shown, escaped",
       {"RevisionNumber={R}", "Comments=a\tb\\c\nd", "CreateTime=2009-08-10T14:00:00Z"}, 0, "",
       "Codepage\t1252\nTitle\tInstallation Database\nSubject\t\nAuthor\t\nComments\ta\\tb\\\\c\\nd\n"
       "Template\tIntel;1033\nRevisionNumber\t{R}\nCreateTime\t2009-08-10T14:00:00Z\nPageCount\t200\n"
       "WordCount\t2\nSecurity\t2\n"},
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
    EXPECT_EQ(r.exit_code, c.exit_code) << r.Describe() << " " << r.err;
    EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
    if (c.line_after == nullptr) {
      EXPECT_EQ(ts::ReadBytes(package), before) << "a failed run must write nothing";
      continue;
    }
    ts::RunResult shown = Msisql({"--summary", package.string()});
    EXPECT_NE(shown.out.find(c.line_after), std::string::npos) << shown.Describe() << "\n" << shown.out;
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
      {{"--summary", readonly.string()}, 0, ""},  // read-only: opened without updates
      {{"--summary-set", readonly.string(), "Title=x"}, 1, "error 110"},
  };
  for (const auto& c : cases) {
    ts::RunResult r = Msisql(c.args);
    EXPECT_EQ(r.exit_code, c.exit_code) << c.args[0] << ": " << r.Describe();
    EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
  }
  ts::RunResult help = Msisql({"--help"});
  EXPECT_NE(help.out.find("--summary-set PACKAGE NAME=VALUE"), std::string::npos);
}

}  // namespace
