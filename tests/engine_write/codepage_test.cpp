// Every codepage real packages use, whole, against libmsi: a package per
// codepage written by libmsi (msibuild) and read by the engine, a package
// written by the engine and read by libmsi, and libmsi's package changed
// and committed by the engine, then read by libmsi again. Converters that
// hold a letter back to combine it with a following mark (1255 Hebrew,
// 1258 Vietnamese) give it only when flushed: the texts end in such
// letters, and one row holds a single letter of the script alone. The
// engine's package in each codepage also goes through the archive round
// trip (which compares the exported codepage too).
#include "package_bytes.h"
#include "statement_support.h"

namespace ts {
namespace {

struct CodepageCase {
  int codepage;
  const char* text;    // UTF-8
  const char* letter;  // one letter of its script, which alone makes a row
};

const CodepageCase kCases[] = {
    {1250, "Příliš žluťoučký kůň úpěl ďábelské ódy", "ř"},
    {1250, "Zażółć gęślą jaźń", "ń"},
    {1251, "Съешь же ещё этих мягких французских булок", "к"},
    {1252, "Façade naïve déjà vu – 100 € à Zürich", "ü"},
    {1252, "Ça coûte dix €", "€"},
    {1253, "Ξεσκεπάζω την ψυχοφθόρα βδελυγμία", "α"},
    {1254, "Pijamalı hasta yağız şoföre çabucak güvendi", "ğ"},
    {1254, "Ağaç dalı eğriliği", "ı"},
    {1255, "שלום עולם", "ם"},
    {1255, "עברית בכתב מלא", "א"},
    {1256, "مرحبا بالعالم", "م"},
    {1257, "Įlinkdama fechtuotojo špaga sublykčiojusi pragręžė apvalų arbūzą", "ą"},
    {1258, "Tiếng Việt có dấu", "ấ"},
    {1258, "Xin chào thế giới", "ớ"},
    {1258, "Đây là tiếng Việt", "Đ"},
    {1258, "Cà phê sữa đá ngọt", "ọ"},
    {874, "สวัสดีชาวโลก", "ก"},
    {932, "日本語のテキスト、半角ｶﾀｶﾅ", "ﾅ"},
    {936, "简体中文测试文本", "本"},
    {949, "한국어 텍스트 시험", "험"},
    {950, "繁體中文測試資料", "料"},
    {65001, "Ünïcødé ✓ 日本 Ελληνικά 😀", "😀"},
};

// The rows every package of the test holds, in msisql's output format.
std::string ExpectedRows(const CodepageCase& c) {
  return std::string("Id\tValue\n") + "1\t" + c.text + "\n" + "2\t" + c.letter + "\n" + "3\tplain\n";
}

std::string CaseName(const CodepageCase& c) {
  return "codepage " + std::to_string(c.codepage) + " \"" + c.text + "\"";
}

// libmsi builds the package from archives (it reads them as UTF-8 and
// stores the strings in the codepage _ForceCodepage sets).
void LibmsiBuild(const fs::path& dir, const CodepageCase& c, const fs::path& out) {
  WriteText(dir / "cp.idt", "\r\n\r\n" + std::to_string(c.codepage) + "\t_ForceCodepage\r\n");
  WriteText(dir / "Text.idt", std::string("Id\tValue\r\ni2\tL0\r\nText\tId\r\n") + "1\t" + c.text +
                                  "\r\n" + "2\t" + c.letter + "\r\n" + "3\tplain\r\n");
  RunResult r = Run({MsiBuild(), out.string(), "-i", (dir / "cp.idt").string(), "-i",
                     (dir / "Text.idt").string()});
  ASSERT_EQ(r.exit_code, 0) << r.out << r.err;
}

// The engine builds the same package through the C API, with a table of
// integer columns of width 1 as real merge modules have them.
void EngineBuild(const fs::path& dir, const CodepageCase& c, const fs::path& out) {
  WriteText(dir / "cp.idt", "\r\n\r\n" + std::to_string(c.codepage) + "\t_ForceCodepage\r\n");
  WriteText(dir / "Flags.idt",
            "Flag\tSmall\tTiny\r\ns72\ti1\tI1\r\nFlags\tFlag\r\nTcp\t6\t-3\r\nNone\t0\t\r\n");
  Handle db;
  ASSERT_EQ(Open(out, MSIDBOPEN_CREATE_A, db), ERROR_SUCCESS);
  ASSERT_EQ(MsiDatabaseImportA(db, dir.c_str(), "cp.idt"), ERROR_SUCCESS);
  ASSERT_EQ(MsiDatabaseImportA(db, dir.c_str(), "Flags.idt"), ERROR_SUCCESS);
  ASSERT_EQ(Exec(db, "CREATE TABLE `Text` (`Id` SHORT NOT NULL, `Value` LONGCHAR LOCALIZABLE "
                     "PRIMARY KEY `Id`)"),
            ERROR_SUCCESS);
  for (const auto& [id, value] : std::vector<std::pair<std::string, std::string>>{
           {"#1", c.text}, {"#2", c.letter}, {"#3", "plain"}}) {
    Handle rec = MakeRecord({id, value});
    ASSERT_EQ(Exec(db, "INSERT INTO `Text` (`Id`, `Value`) VALUES (?, ?)", rec), ERROR_SUCCESS);
  }
  ASSERT_EQ(MsiDatabaseCommit(db), ERROR_SUCCESS);
}

std::string EngineRows(const fs::path& package, const std::string& where = "") {
  return Rows(package, "SELECT `Id`, `Value` FROM `Text`" + where);
}

std::string OracleRows(const fs::path& package) {
  return OracleSelect(package, {"SELECT `Id`, `Value` FROM `Text`"});
}

TEST(Codepages, EveryCodepageWholeBothWaysAgainstLibmsi) {
  if (MsiBuild().empty() || LibmsiOracle().empty()) {
    if (RunningInCi()) FAIL() << "msibuild or libmsi_oracle missing and CI is true";
    GTEST_SKIP() << "msibuild (msitools) or libmsi_oracle is not available";
  }
  for (const CodepageCase& c : kCases) {
    SCOPED_TRACE(CaseName(c));
    TempDir dir;
    const std::string expected = ExpectedRows(c);

    // libmsi writes; both read.
    const fs::path by_libmsi = dir / "libmsi.msi";
    LibmsiBuild(dir.path(), c, by_libmsi);
    ASSERT_EQ(OracleRows(by_libmsi), expected) << "libmsi misreads its own package";
    EXPECT_EQ(EngineRows(by_libmsi), expected) << "the engine misreads libmsi's package";

    // The engine writes; both read, and its archives keep the codepage.
    const fs::path by_engine = dir / "engine.msi";
    EngineBuild(dir.path(), c, by_engine);
    EXPECT_EQ(OracleRows(by_engine), expected) << "libmsi misreads the engine's package";
    EXPECT_EQ(EngineRows(by_engine), expected) << "the engine misreads its own package";
    EXPECT_EQ(ExpectSound(by_engine).codepage, static_cast<uint32_t>(c.codepage));
    EXPECT_EQ(Rows(by_engine, "SELECT * FROM `Flags`"), "Flag\tSmall\tTiny\nTcp\t6\t-3\nNone\t0\t\n");
    ExpectArchiveRoundTrip(by_engine);

    // The engine changes libmsi's package: new strings are encoded, the old
    // ones carried over; libmsi reads all of them.
    Change(by_libmsi, {"INSERT INTO `Text` (`Id`, `Value`) VALUES (4, '" + std::string(c.letter) + c.text + "')",
                       "UPDATE `Text` SET `Value` = 'plain too' WHERE `Id` = 3"});
    const std::string changed = std::string("Id\tValue\n") + "1\t" + c.text + "\n" + "2\t" + c.letter +
                                "\n" + "3\tplain too\n" + "4\t" + c.letter + c.text + "\n";
    EXPECT_EQ(OracleRows(by_libmsi), changed) << "libmsi misreads the engine's change";
    EXPECT_EQ(EngineRows(by_libmsi), changed);

    // The same text found by value: the pool's lookup converts to the
    // codepage, flushed, so the stored bytes match.
    EXPECT_EQ(EngineRows(by_engine, std::string(" WHERE `Value` = '") + c.text + "'"),
              "Id\tValue\n1\t" + std::string(c.text) + "\n");
  }
}

}  // namespace
}  // namespace ts
