#include <gtest/gtest.h>

#include <string>

#include "msi/FormatText.h"

namespace {

std::u16string Repeat(char16_t c, std::size_t count) { return std::u16string(count, c); }

TEST(FormatText, FillsStatementsWithNamesAndNumbers) {
  std::u16string out;
  FormatText(out, u"SELECT %s FROM %s %s", u"*", std::u16string(u"Control"), u"WHERE Dialog_=?");
  EXPECT_EQ(out, u"SELECT * FROM Control WHERE Dialog_=?");
  FormatText(out, u"Error: %d (0x%08X)", 1615u, 1615u);
  EXPECT_EQ(out, u"Error: 1615 (0x0000064F)");
  FormatText(out, u"%d|%u|%x|%-4s|%4s|%05d|%%", -42, 7u, 255, u"ab", u"cd", -3);
  EXPECT_EQ(out, u"-42|7|ff|ab  |  cd|-0003|%");
}

TEST(FormatText, KeepsPercentSignsInsideArgumentsAndOddFormats) {
  std::u16string out;
  FormatText(out, u"%s", u"WHERE Value='100%d %s'");
  EXPECT_EQ(out, u"WHERE Value='100%d %s'");
  // More conversions than arguments, an unknown conversion, a lone '%'.
  FormatText(out, u"a%sb%dc%qd%");
  EXPECT_EQ(out, u"ab0c%qd%");
}

TEST(FormatText, TextsAroundTheFirstBufferSizeComeOutWhole) {
  for (std::size_t length : {254u, 255u, 256u, 257u, 511u, 512u, 513u, 1023u, 1024u, 5000u}) {
    const std::u16string text = Repeat(u'x', length - 1);
    std::u16string out;
    FormatText(out, u"%s!", text);
    ASSERT_EQ(out.size(), length) << "length " << length;
    EXPECT_EQ(out, text + u"!");
  }
}

}  // namespace
