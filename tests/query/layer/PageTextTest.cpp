// How texts from packages are written into the result page.
#include <gtest/gtest.h>

#include "ResultPage.h"

namespace {

TEST(PageText, MarkupCharactersAreEscaped) {
  EXPECT_EQ(EncodePageText(u"<script>alert('x')</script>"),
            "&lt;script&gt;alert(&#39;x&#39;)&lt;/script&gt;");
  EXPECT_EQ(EncodePageText(u"Tom & \"Jerry\""), "Tom &amp; &quot;Jerry&quot;");
  EXPECT_EQ(EncodePageText(u"&nbsp;"), "&amp;nbsp;") << "a value that looks like an entity stays text";
}

TEST(PageText, PlainTextIsUnchanged) {
  EXPECT_EQ(EncodePageText(u"SELECT `Property`,`Value` FROM `Property`"),
            "SELECT `Property`,`Value` FROM `Property`");
  EXPECT_EQ(EncodePageText(u"C:\\p.msi"), "C:\\p.msi");
  EXPECT_EQ(EncodePageText(u""), "");
}

TEST(PageText, LatinOneIsOneByteAndTheRestAreReferences) {
  EXPECT_EQ(EncodePageText(u"caf\u00e9 \u00ff"), std::string("caf\xe9 \xff"));
  EXPECT_EQ(EncodePageText(u"\u0100"), "&#256;");
  EXPECT_EQ(EncodePageText(u"\u6f22\u5b57"), "&#28450;&#23383;");
  EXPECT_EQ(EncodePageText(u"\U0001F600"), "&#128512;") << "a surrogate pair is one character";
  EXPECT_EQ(EncodePageText(u"a\xD800" u"b"), "a&#65533;b") << "a lone surrogate is no character";
  EXPECT_EQ(EncodePageText(std::u16string(1, u'\xDC00')), "&#65533;");
}

TEST(PageText, LineFeedsBecomeLineEnds) {
  EXPECT_EQ(EncodePageText(u"a\nb"), "a\r\nb");
  EXPECT_EQ(EncodePageText(u"a\r\nb"), "a\r\r\nb");
}

}  // namespace
