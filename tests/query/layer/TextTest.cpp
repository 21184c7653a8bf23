// Texts the tool writes: statements and messages filled in, error messages
// and their boxes, and package texts on their way into the result page.
#include <gtest/gtest.h>

#include <QString>
#include <string>

#include "Recorders.h"
#include "ResultPage.h"
#include "msi/FormatText.h"
#include "msi/InstallerError.h"

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

constexpr UINT kCodeWithoutDescription = 4242;

TEST(InstallerErrorText, DescribesKnownCodesWithoutTrailingWhiteSpace) {
  for (UINT code : {ERROR_BAD_QUERY_SYNTAX, ERROR_OPEN_FAILED, ERROR_NO_MORE_ITEMS}) {
    const std::u16string text = GetInstallerErrorText(code);
    ASSERT_FALSE(text.empty()) << code;
    EXPECT_FALSE(text.back() == u' ' || text.back() == u'\n' || text.back() == u'\r' || text.back() == u'\t')
        << code;
    EXPECT_EQ(text, std::u16string(MsiExtResultDescriptionW(code)).substr(0, text.size()));
  }
  EXPECT_TRUE(GetInstallerErrorText(kCodeWithoutDescription).empty());
}

TEST(InstallerErrorMessage, DetailedFormNamesFunctionCodeAndDescription) {
  const std::u16string description = GetInstallerErrorText(ERROR_BAD_QUERY_SYNTAX);
  EXPECT_EQ(InstallerErrorMessage(true, u"CopyRecords Source View", 1615, u""),
            u"Function: CopyRecords Source View\nError: 1615 (0x0000064F)\nDescription: " + description + u"\n");
  EXPECT_EQ(InstallerErrorMessage(true, u"CopyRecords Target View", 1615, u"SELECT `A` FROM T"),
            u"Function: CopyRecords Target View\nError: 1615 (0x0000064F)\nDescription: " + description +
                u"\n\nAdditional information:\n\nSELECT `A` FROM T");
}

TEST(InstallerErrorMessage, ShortFormIsTheDescriptionOrTheCode) {
  EXPECT_EQ(InstallerErrorMessage(false, u"F", 1615, u"info"), GetInstallerErrorText(1615));
  EXPECT_EQ(InstallerErrorMessage(false, u"F", kCodeWithoutDescription, u""), u"Error: 4242 (0x00001092)");
}

TEST(ShowInstallerError, CaptionAndIconFollowTheCode) {
  RecordingMessageBox box;
  ShowInstallerError(box, true, u"F", ERROR_SUCCESS, u"");
  ShowInstallerError(box, false, u"F", ERROR_SUCCESS_REBOOT_REQUIRED, u"");
  ShowInstallerError(box, false, u"F", ERROR_SUCCESS_REBOOT_INITIATED, u"");
  ShowInstallerError(box, true, u"F", ERROR_BAD_QUERY_SYNTAX, u"");
  ShowInstallerError(box, false, u"F", kCodeWithoutDescription, u"");
  ASSERT_EQ(box.shown.size(), 5u);
  for (const ShownMessage& shown : box.shown) EXPECT_EQ(shown.caption, QStringLiteral("Windows Installer"));
  EXPECT_EQ(box.shown[0].icon, MessageIcon::Information);
  EXPECT_EQ(box.shown[1].icon, MessageIcon::Information);
  EXPECT_EQ(box.shown[2].icon, MessageIcon::Information);
  EXPECT_EQ(box.shown[3].icon, MessageIcon::Error);
  EXPECT_EQ(box.shown[4].icon, MessageIcon::Error);
  EXPECT_EQ(box.shown[4].text, QStringLiteral("Error: 4242 (0x00001092)"));
  EXPECT_TRUE(box.shown[0].text.startsWith(QStringLiteral("Function: F\nError: 0 (0x00000000)\n")));
}

TEST(PageText, EachTextAndItsBytes) {
  const std::pair<std::u16string, std::string> cases[] = {
      {u"<script>alert('x')</script>", "&lt;script&gt;alert(&#39;x&#39;)&lt;/script&gt;"},
      {u"Tom & \"Jerry\"", "Tom &amp; &quot;Jerry&quot;"},
      {u"&nbsp;", "&amp;nbsp;"},  // a value that looks like an entity stays text
      {u"SELECT `Property`,`Value` FROM `Property`", "SELECT `Property`,`Value` FROM `Property`"},
      {u"C:\\p.msi", "C:\\p.msi"},
      {u"", ""},
      {u"caf\u00e9 \u00ff", "caf\xe9 \xff"},
      {u"\u0100", "&#256;"},
      {u"\u6f22\u5b57", "&#28450;&#23383;"},
      {u"\U0001F600", "&#128512;"},  // a surrogate pair is one character
      {u"a\xD800" u"b", "a&#65533;b"},  // a lone surrogate is no character
      {std::u16string(1, u'\xDC00'), "&#65533;"},
      {u"a\nb", "a\r\nb"},
      {u"a\r\nb", "a\r\r\nb"},
  };
  for (const auto& [text, bytes] : cases) EXPECT_EQ(EncodePageText(text), bytes);
}

}  // namespace
