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

template <class... Args>
std::u16string Format(std::u16string_view format, const Args&... args) {
  std::u16string out;
  FormatText(out, format, args...);
  return out;
}

TEST(FormatText, FillsStatementsAndMessages) {
  const std::pair<std::u16string, std::u16string> cases[] = {
      {Format(u"SELECT %s FROM %s %s", u"*", std::u16string(u"Control"), u"WHERE Dialog_=?"),
       u"SELECT * FROM Control WHERE Dialog_=?"},
      {Format(u"Error: %d (0x%08X)", 1615u, 1615u), u"Error: 1615 (0x0000064F)"},
      {Format(u"%d|%u|%x|%-4s|%4s|%05d|%%", -42, 7u, 255, u"ab", u"cd", -3), u"-42|7|ff|ab  |  cd|-0003|%"},
      // Percent signs inside arguments stay.
      {Format(u"%s", u"WHERE Value='100%d %s'"), u"WHERE Value='100%d %s'"},
      // More conversions than arguments, an unknown conversion, a lone '%'.
      {Format(u"a%sb%dc%qd%"), u"ab0c%qd%"},
  };
  for (const auto& [got, expected] : cases) EXPECT_EQ(got, expected);
  // Around the first buffer's size and its doublings the text comes out whole.
  for (std::size_t length : {254u, 255u, 256u, 257u, 511u, 512u, 513u, 1023u, 1024u, 5000u}) {
    const std::u16string text(length - 1, u'x');
    EXPECT_EQ(Format(u"%s!", text), text + u"!") << "length " << length;
  }
}

constexpr UINT kCodeWithoutDescription = 4242;

TEST(InstallerErrorText, DescribesKnownCodesWithoutTrailingWhiteSpace) {
  for (UINT code : {ERROR_BAD_QUERY_SYNTAX, ERROR_OPEN_FAILED, ERROR_NO_MORE_ITEMS}) {
    const std::u16string text = GetInstallerErrorText(code);
    ASSERT_FALSE(text.empty()) << code;
    EXPECT_EQ(std::u16string(u" \n\r\t").find(text.back()), std::u16string::npos) << code;
    EXPECT_EQ(text, std::u16string(MsiExtResultDescriptionW(code)).substr(0, text.size()));
  }
  EXPECT_TRUE(GetInstallerErrorText(kCodeWithoutDescription).empty());
}

// The detailed box names function, code and description; the short one is
// the description or, without one, the code. Successes inform.
TEST(ShowInstallerError, TextIconAndCaptionFollowTheCode) {
  const std::u16string syntax = u"Description: " + GetInstallerErrorText(ERROR_BAD_QUERY_SYNTAX) + u"\n";
  struct Case {
    bool detail;
    UINT code;
    std::u16string information, text;
    MessageIcon icon;
  };
  const Case cases[] = {
      {true, 1615, u"", u"Function: F\nError: 1615 (0x0000064F)\n" + syntax, MessageIcon::Error},
      {true, 1615, u"SELECT `A` FROM T",
       u"Function: F\nError: 1615 (0x0000064F)\n" + syntax + u"\nAdditional information:\n\nSELECT `A` FROM T",
       MessageIcon::Error},
      {false, 1615, u"info", GetInstallerErrorText(1615), MessageIcon::Error},
      {false, kCodeWithoutDescription, u"", u"Error: 4242 (0x00001092)", MessageIcon::Error},
      {true, ERROR_SUCCESS, u"",
       u"Function: F\nError: 0 (0x00000000)\nDescription: " + GetInstallerErrorText(0) + u"\n",
       MessageIcon::Information},
      {false, ERROR_SUCCESS_REBOOT_REQUIRED, u"", GetInstallerErrorText(3010), MessageIcon::Information},
      {false, ERROR_SUCCESS_REBOOT_INITIATED, u"", GetInstallerErrorText(1641), MessageIcon::Information},
  };
  for (const Case& c : cases) {
    RecordingMessageBox box;
    ShowInstallerError(box, c.detail, u"F", c.code, c.information);
    ASSERT_EQ(box.shown.size(), 1u);
    EXPECT_EQ(box.shown[0].text, QString::fromStdU16String(c.text)) << c.code;
    EXPECT_EQ(box.shown[0].icon, c.icon) << c.code;
    EXPECT_EQ(box.shown[0].caption, QStringLiteral("Windows Installer"));
  }
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
