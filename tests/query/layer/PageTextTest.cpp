// How texts from packages are written into the result page: markup
// characters escaped, Latin-1 as one byte, the rest as references.
#include <gtest/gtest.h>

#include "ResultPage.h"

namespace {

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
