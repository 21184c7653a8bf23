#include <gtest/gtest.h>

#include "stream_name.h"

namespace msi {
namespace {

TEST(StreamName, PairsOfMappableCharactersShareOneUnit) {
  // '0' is value 0 and 'A' value 10: 0x3800 + 0 + (10 << 6).
  EXPECT_EQ(EncodeStreamName(u"0A", false), std::u16string(1, char16_t(0x3800 + (10 << 6))));
  // A lone trailing character gets the single-character form.
  EXPECT_EQ(EncodeStreamName(u"_", false), std::u16string(1, char16_t(0x4800 + 63)));
  // Characters outside the alphabet stay as they are and break pairs.
  const std::u16string encoded = EncodeStreamName(u"a-b", false);
  ASSERT_EQ(encoded.size(), 3u);
  EXPECT_EQ(encoded[0], char16_t(0x4800 + 36));
  EXPECT_EQ(encoded[1], u'-');
  EXPECT_EQ(encoded[2], char16_t(0x4800 + 37));
}

TEST(StreamName, TableStreamsCarryTheMarker) {
  bool is_table = false;
  const std::u16string stored = EncodeStreamName(u"_StringPool", true);
  EXPECT_EQ(stored[0], kTableStreamMarker);
  EXPECT_EQ(DecodeStreamName(stored, &is_table), u"_StringPool");
  EXPECT_TRUE(is_table);
  EXPECT_EQ(DecodeStreamName(EncodeStreamName(u"Binary.x", false), &is_table), u"Binary.x");
  EXPECT_FALSE(is_table);
}

TEST(StreamName, RoundTripsEveryShapeOfName) {
  const std::u16string names[] = {u"", u"a", u"ab", u"abc", u"Binary.WixUI_Bmp_Banner",
                                  u"Icon.installericon.exe", u"\u0005SummaryInformation",
                                  u"caf\u00e9.cab", u"x y", u"...", u"31charactersxxxxxxxxxxxxxxxxxxx"};
  for (const auto& name : names) {
    bool is_table = true;
    EXPECT_EQ(DecodeStreamName(EncodeStreamName(name, false), &is_table), name);
    EXPECT_FALSE(is_table);
  }
  // Compression halves names made of the alphabet: 62 characters fit the
  // 31 units a compound file allows.
  EXPECT_EQ(EncodeStreamName(std::u16string(62, u'x'), false).size(), 31u);
}

}  // namespace
}  // namespace msi
