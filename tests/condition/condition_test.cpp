// The condition syntax check through MsiExtCheckCondition and msisql: the
// statements of the SDK's condition pages and the ones whose answers
// Windows' conformance tests record, every Condition column of the corpus.
#include <sstream>
#include <string>

#include "support.h"

namespace {

constexpr int kValid = -1;

const struct Case {
  const char* text;
  int offset;           // kValid, or where the text stops parsing
  const char* message;  // part of the message for an invalid text
} kCases[] = {
    // The SDK's examples and descriptions.
    {"NOT Installed", kValid, ""},
    {"(&FeatureName=3) AND NOT(!FeatureName=3) OR (&FeatureName=2) AND (!FeatureName=3)", kValid, ""},
    {"(?ComponentName=3) AND ($ComponentName=2 OR $ComponentName=4)", kValid, ""},
    {"?ComponentName=$ComponentName OR PATCH AND PATCH >< MEDIASRCPROPNAME", kValid, ""},
    {"REMOVE=\"ALL\" Or NOT SERVERNAME><QUOTES", kValid, ""},
    {"%Path ~>< \"system32\" Xor %TEMP", kValid, ""},
    {"VersionNT >= 600 And\r\n\tMsiNTProductType = 1", kValid, ""},
    // Answers Windows gives.
    {" ", kValid, ""},
    {"-1 and _1 = _1 and bandalmael~<>0", kValid, ""},
    {"0 ~>= 1 or 1 ~<= 1 OR 0 ~< 1 oR 0 ~> 1", kValid, ""},
    {"Not LicView ~<< \"Testing\" AND LicView <> LicView", kValid, ""},
    {"(((((1))))) AND \"A\" ~= \"a\"", kValid, ""},
    {"1 IMP 1 OR 0 EQV 0 XOR 1 imp 0", kValid, ""},
    {"\"ASFD\" ~>< \"\" AND 3 >< 1 AND one << two AND one >> two", kValid, ""},
    {"NOT A AND (BBBBBBBBBB=2 OR CCC=1) AND Ddddddddd", kValid, ""},
    {"(X =\"5.0\" or X =\"5.1\") AND MsiNetAssemblySupport >= \"1.1.4322\"", kValid, ""},
    {"\"a\xe3\x82\x8a\"<\"\xc3\xa5\"", kValid, ""},
    {"0 >=", 4, "expected a value after '>='"},
    {"~not \"A\"", 0, "'~' must be followed directly"},
    {"(((((1))))))", 11, "unbalanced parenthesis"},
    {"0 < > 0", 4, "expected a value after '<'"},
    {"(1<<1) == 2", 7, "not a parenthesized expression"},
    {"( 1 AND 1 ) = 2", 12, "not a parenthesized expression"},
    {" \"A\" ~ = \"a\" ", 5, "'~' must be followed directly"},
    {"1 IMPL 1", 2, "text after the end"},
    {"\"2\" < \"1.1", 6, "unterminated string"},
    {"X !=\"\" and (X =\"5.0\" or X =\"5.1\")", 2, "'<>'"},
    // Other faults, each where the text stops parsing.
    {"NOT Installed AND", 17, "expected a value after 'AND'"},
    {"A AND OR B", 6, "expected a value after 'AND'"},
    {"((A)", 4, "'(' at offset 0 is not closed"},
    {"(A B)", 3, "expected an operator or ')'"},
    {"()", 1, "expected a value after '('"},
    {"A = B = C", 6, "cannot be chained"},
    {"A = 'x'", 4, "unexpected character '''"},
    {"[ProductVersion] > 1", 0, "unexpected character '['"},
    {"VersionNT > 5\xc2\xa0", 13, "unexpected character '\xc2\xa0'"},
    {"A - 1", 2, "expected digits after '-'"},
    {"&", 0, "feature name"},
    {"Installed Or % Path", 13, "environment variable name"},
    {"$1Component=3", 0, "component name"},
    {"A = NOT B", 4, "expected a value after '='"},
};

struct Checked { UINT result; DWORD offset; std::string message; };

Checked Check(const std::string& text) {
  Checked c{0, 99999, std::string(512, 'x')};
  DWORD size = static_cast<DWORD>(c.message.size());
  c.result = MsiExtCheckConditionA(text.c_str(), &c.offset, c.message.data(), &size);
  c.message.resize(size);
  return c;
}

TEST(ConditionSyntax, StatementsAnswerAsTheInstallerReadsThem) {
  for (const Case& k : kCases) {
    SCOPED_TRACE(k.text);
    const Checked c = Check(k.text);
    const bool valid = k.offset == kValid;
    EXPECT_EQ(c.result, valid ? ERROR_SUCCESS : ERROR_BAD_QUERY_SYNTAX) << c.message;
    EXPECT_EQ(c.offset, static_cast<DWORD>(valid ? 0 : k.offset)) << c.message;
    if (valid) EXPECT_EQ(c.message, "");
    else EXPECT_NE(c.message.find(k.message), std::string::npos) << c.message;
  }
}

TEST(ConditionSyntax, NestingIsBoundedOffsetsCountTheCallersUnits) {
  const std::string ok = std::string(200, '(') + "1" + std::string(200, ')');
  EXPECT_EQ(Check(ok).result, ERROR_SUCCESS);
  EXPECT_EQ(Check("(" + ok + ")").offset, 200u);
  // "é" is two UTF-8 bytes and one UTF-16 unit.
  EXPECT_EQ(Check("\"\xc3\xa9\" ~= \xc3\xa9").offset, 8u);
  DWORD offset = 0, size = 0;
  EXPECT_EQ(MsiExtCheckConditionW(u"\"\u00e9\" ~= \u00e9", &offset, nullptr, nullptr),
            ERROR_BAD_QUERY_SYNTAX);
  EXPECT_EQ(offset, 7u);
  EXPECT_EQ(MsiExtCheckConditionW(nullptr, &offset, nullptr, nullptr), ERROR_SUCCESS);
  // The message follows the BUFFERS rule: a short buffer gives 234 and the length.
  char small[8];
  EXPECT_EQ(MsiExtCheckConditionA("A AND", &offset, nullptr, &size), ERROR_BAD_QUERY_SYNTAX);
  EXPECT_EQ(size, 28u);
  size = sizeof small;
  EXPECT_EQ(MsiExtCheckConditionA("A AND", &offset, small, &size), ERROR_MORE_DATA);
  EXPECT_EQ(std::string(small) + ":" + std::to_string(size), "expecte:28");
  EXPECT_EQ(MsiExtCheckConditionA("A AND", &offset, small, nullptr), ERROR_INVALID_PARAMETER);
}

TEST(ConditionSyntax, EveryCorpusConditionIsValid) {
  REQUIRE_CORPUS();
  int checked = 0;
  for (const ts::fs::path& package : ts::CorpusPackages()) {
    ts::Handle db;
    ASSERT_EQ(ts::Open(package, MSIDBOPEN_READONLY_A, db), ERROR_SUCCESS) << package;
    // The Condition columns of the package's own tables (a validation
    // database's tables hold SQL there).
    std::istringstream tables(ts::Select(db, "SELECT `Table` FROM `_Columns` WHERE `Name` = 'Condition'"));
    std::string table;
    for (std::getline(tables, table); std::getline(tables, table);) {  // the header first
      if (table.starts_with('_')) continue;
      ts::Handle view, row;
      const std::string sql = "SELECT `Condition` FROM `" + table + "`";
      ASSERT_EQ(MsiDatabaseOpenViewA(db, sql.c_str(), view.out()), ERROR_SUCCESS) << sql;
      ASSERT_EQ(MsiViewExecute(view, 0), ERROR_SUCCESS) << sql;
      for (; MsiViewFetch(view, row.out()) == ERROR_SUCCESS; ++checked) {
        const Checked c = Check(ts::FieldText(row, 1));
        EXPECT_EQ(c.result, ERROR_SUCCESS) << package.filename() << " " << table << ": "
                                           << ts::FieldText(row, 1) << " at " << c.offset;
      }
    }
  }
  EXPECT_GT(checked, 100);
}

TEST(ConditionSyntax, MsisqlPrintsValidOrACaretUnderTheFault) {
  const struct { const char* text; int exit_code; const char* out; } runs[] = {
      {"NOT Installed", 0, "valid\n"},
      {"A AND", 1, "A AND\n     ^\noffset 5: expected a value after 'AND'\n"},
      {"\"\xc3\xa9\"\t= (", 1, "\"\xc3\xa9\" = (\n      ^\noffset 7: expected a value after '='\n"},
  };
  for (const auto& run : runs) {
    const ts::RunResult r = ts::Run({ts::Msisql(), "--check-condition", run.text});
    EXPECT_EQ(r.exit_code, run.exit_code) << r.Describe() << r.err;
    EXPECT_EQ(r.out, run.out);
  }
  EXPECT_EQ(ts::Run({ts::Msisql(), "--check-condition"}).exit_code, 2);
}

}  // namespace
