// MsiFormatRecord without an install session: field references, groups,
// and everything else kept as written (Windows' answers as the installer's
// conformance tests record them).
#include <gtest/gtest.h>

#include <tuple>

#include "support.h"

namespace api_test {
namespace {

std::string Format(MSIHANDLE rec) {
  char buf[256] = "";
  DWORD size = sizeof buf;
  const UINT r = MsiFormatRecordA(0, rec, buf, &size);
  return r == ERROR_SUCCESS ? std::string(buf, size) : "error " + std::to_string(r);
}

TEST(FormatRecord, TemplatesWithoutAnInstallSession) {
  // Fields 1-4 "2", "hey", "1", null and 12 "big" unless a case names its own.
  const std::vector<std::string> standard = {"2", "hey", "1", "", "", "", "", "", "", "", "", "big"};
  const struct {
    const char* tmpl;
    std::vector<std::string> fields;
    const char* expected;
  } cases[] = {
      {"[1] [2]", {"boo", "hoo"}, "boo hoo"},
      {"[1]", {"#123456"}, "123456"},
      {"[1] [2]", {"#100", "#-100"}, "100 -100"},
      {"%1", {}, "%1"},
      {"[1]", {""}, ""},
      {"[100]", {}, ""},
      {"[01]", {"hoo"}, "hoo"},
      {"[0]", {}, "[0]"},
      {"[[1]] [2]", {}, "hey hey"},
      {"[[1]] [2]", {"[2]", "hey"}, "[[2]] hey"},
      {"[1]", {"[2]", "foo"}, "[2]"},
      {"[[3][1]] [2]", {}, "big hey"},
      {"[[3][[4]][1]] [2]", {}, "[1[]2] hey"},
      {"[[3][[4]][1]] [2]]", {}, "[1[]2] hey]"},
      {"[[[3][[4]][1]] [2]", {}, "[[[3][[4]][1]] [2]"},
      {"[a[1]b", {}, "[a[1]b"},
      {"a[1]b]", {}, "a2b]"},
      {"]a[1]b", {}, "]a2b"},
      // References no field resolves stay as written.
      {"[1] [2] [property]", {"boo", "hoo"}, "boo hoo [property]"},
      {"[1] [~] [2]", {"boo", "hoo"}, "boo [~] hoo"},
      {"[1] [2] [\\x]", {"boo", "hoo"}, "boo hoo [\\x]"},
      {"[\\[]Bracket Text[\\]]", {}, "[\\[]Bracket Text[\\]]"},
      {"[%FOO] [#File] [$Comp] [!File]", {}, "[%FOO] [#File] [$Comp] [!File]"},
      {"[] [-1] [ 1] [01.]", {"hoo"}, "[] [-1] [ 1] [01.]"},
      {"\\[1]", {}, "\\2"},
      // Groups.
      {"{[3][1]} [2]", {}, "12 hey"},
      {"{[1][2][3][4]} [2]", {}, " hey"},
      {"a{b[1]c}d", {""}, "ad"},
      {"{a[0]b}", {"foo"}, "a{a[0]b}b"},
      {"{test} {} { } {\\x}", {}, "{test}  { } {\\x}"},
      {"{[1][2][3][4][dummy]} [2]", {}, "{2hey1[dummy]} hey"},
      {"[1] {[noprop] [twoprop]} {abcdef}", {"one"}, "one {[noprop] [twoprop]} {abcdef}"},
      {"[{[3][1]}] [2]", {}, "[12] hey"},
      {"[1{{boo}}]", {"hoo"}, "[1]"},
      {"{[1.} [1]", {"hoo"}, "{[1.} hoo"},
      {"\\{[1]}", {}, "\\2"},
      {"[1]}", {"hoo"}, "hoo}"},
      // Nested groups.
      {"{{[1]}}", {"hoo"}, ""},
      {"{{a}{b}{c }{ d}{any text}}", {}, ""},
      {" {{a}}}", {}, " }"},
      {"{abc}{{def}hi{j[one]k}}", {}, "{abc}"},
      {"{a{b}c} {a{b}} {{b}c}", {}, "{a{b}c} {a{b}} {{b}c}"},
      {"{{a} }", {}, "{{a} }"},
      {"{{[1]} }", {"hoo"}, "{{hoo} }"},
      {"{{[1]}", {"hoo"}, "{{hoo}"},
      {"{{ {{[1]}", {"hoo"}, "{{ {{hoo}"},
      {"{abc{d[one]ef}", {}, "{abc{d[one]ef}"},
      {"{{[1][2]}[3][4][dummy]}", {}, "{{2hey}1[dummy]}"},
      {"{{[1]}[2]} {[4]}{[1][2]}", {"1", "2", "3"}, "{{1}2} {}{12}"},
      {"{[4]}{[1][2]} {{[1][2]}[3]} {[1][2]}", {"1", "2", "3"}, "12 {{12}3} {12}"},
      {"{{[1]}} {[4]}{[1][2]}", {"1", "2", "3"}, " 12"},
      {"{[1{{bo}o}}]}", {"hoo"}, "{[1{{bo}o}}]}"},
      {"{{test}} [01", {"hoo"}, " [01"},
      // A group ends at its first }; {{ at the first }}.
      {"0{1{2{3{4[1]5}6}7}8}9", {"hoo"}, "01{2{3{4hoo56}7}8}9"},
      {"{ {[1]}}", {"hoo"}, " {hoo}"},
      {"{[1]{{boo} }}", {"hoo"}, "hoo{{boo }}"},
      {"{[{[1]}]}", {"2", "foo"}, "{[{[1]}]}"},
      {"{[1][}", {"2", "foo"}, "2["},
      {"{{{def}}hi{jk}} {{def}hi{{jk}}}", {}, "hi{jk}} }"},
      {"{{{{}}}} {{a} b}}", {}, "}} "},
      {"{{ almost {{ any }} text }}", {}, " text }}"},
      // An empty group inside brackets leaves what stands before it unread.
      {"[[1]{}] [[1]{}[1]]", {"2"}, "[[1]] [[1]2]"},
      {"[a[1]b[1]c{}d[1]e]", {"2"}, "[a[1]b[1]cd2e]"},
      // A null or empty template lists the fields.
      {nullptr, {"", "", "", ""}, "1:  2:  3:  4:  "},
      {"", {"boo", "hoo", "", "", "", ""}, "1: boo 2: hoo 3:  4:  5:  6:  "},
      {nullptr, {}, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.tmpl ? c.tmpl : "(null)");
    ts::Handle rec = ts::MakeRecord(c.fields.empty() && c.tmpl ? standard : c.fields);
    if (c.tmpl) MsiRecordSetStringA(rec, 0, c.tmpl);
    EXPECT_EQ(Format(rec), c.expected);
  }
  // Deep nesting and long templates end, whatever they hold.
  ts::Handle rec = ts::MakeRecord({"x"});
  MsiRecordSetStringA(rec, 0, (std::string(5000, '[') + "1" + std::string(5000, ']')).c_str());
  DWORD size = 0;
  EXPECT_EQ(MsiFormatRecordA(0, rec, nullptr, &size), ERROR_SUCCESS);
  MsiRecordSetStringA(rec, 0, (std::string(5000, '{') + "[1]" + std::string(5000, '}')).c_str());
  EXPECT_EQ(MsiFormatRecordA(0, rec, nullptr, &size), ERROR_SUCCESS);
}

TEST(FormatRecord, BuffersHandlesAndWideText) {
  ts::Handle rec = ts::MakeRecord({"x"});
  MsiRecordSetStringA(rec, 0, "%1");
  // install, record, buffer size (0: a null buffer, -1: no size either), result, size, text
  const std::tuple<MSIHANDLE, MSIHANDLE, int, UINT, DWORD, const char*> cases[] = {
      {0, 0, -1, ERROR_INVALID_HANDLE, 0, "x"}, {rec, rec, 8, ERROR_INVALID_HANDLE, 8, "x"},
      {0, rec, -1, ERROR_SUCCESS, 0, "x"},      {0, rec, 0, ERROR_SUCCESS, 2, "x"},
      {0, rec, 1, ERROR_MORE_DATA, 2, ""},      {0, rec, 2, ERROR_MORE_DATA, 2, "%"},
      {0, rec, 3, ERROR_SUCCESS, 2, "%1"},      {0, rec, 8, ERROR_SUCCESS, 2, "%1"}};
  for (const auto& [install, record, room, result, size_after, text] : cases) {
    char buf[8] = "x";
    DWORD size = room < 0 ? 0 : static_cast<DWORD>(room);
    EXPECT_EQ(MsiFormatRecordA(install, record, room > 0 ? buf : nullptr, room < 0 ? nullptr : &size), result) << room;
    EXPECT_EQ(size, size_after) << room;
    EXPECT_STREQ(buf, text) << room;
  }
  DWORD size = 0;
  char buf[4] = "x";
  EXPECT_EQ(MsiFormatRecordA(0, rec, buf, nullptr), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(MsiFormatRecordA(0, rec, buf, &size), ERROR_MORE_DATA);  // measured, buffer untouched
  EXPECT_STREQ(buf, "x");
  MsiRecordSetStringA(rec, 0, "[1]\xE2\x82\xAC");  // the euro sign: one UTF-16 unit
  MsiRecordSetStringA(rec, 1, "\xC3\xA9");
  WCHAR wide[8] = {};
  size = 8;
  EXPECT_EQ(MsiFormatRecordW(0, rec, wide, &size), ERROR_SUCCESS);
  EXPECT_EQ(size, 2u);
  EXPECT_EQ(std::u16string(wide), u"\u00E9\u20AC");
}

}  // namespace
}  // namespace api_test
