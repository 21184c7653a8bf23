// The summary property set codec: round trips per value type and codepage,
// and damaged bytes that must give an error, never a crash. (Text a
// codepage cannot hold: tests/summary.)
#include <gtest/gtest.h>

#include <functional>

#include "storage/property_set.h"
#include "storage/summary_info.h"

namespace msi {
namespace {

PropertySet Set(std::map<uint32_t, PropertyValue> values) { return PropertySet{std::move(values)}; }

TEST(PropertySet, RoundTripsEveryTypeAndCodepage) {
  const struct {
    const char* name;
    PropertySet set;
  } cases[] = {
      {"no properties", Set({})},
      {"integers", Set({{1, PropertyValue::I2(1252)}, {14, PropertyValue::I4(-7)},
                        {15, PropertyValue::I4(INT32_MAX)}, {16, PropertyValue::I2(-1)}})},
      {"file time", Set({{12, PropertyValue::FileTime(0x01D3'4567'89AB'CDEFull)}})},
      {"empty value", Set({{5, PropertyValue{}}})},
      {"text in 1252", Set({{1, PropertyValue::I2(1252)}, {2, PropertyValue::Text("Caf\u00e9")},
                            {3, PropertyValue::Text("")}})},
      {"text without codepage (1252)", Set({{2, PropertyValue::Text("\u00fcber")}})},
      {"text in 1251", Set({{1, PropertyValue::I2(1251)}, {2, PropertyValue::Text("\u0416")}})},
      {"text in 932", Set({{1, PropertyValue::I2(932)}, {6, PropertyValue::Text("\u65e5\u672c")}})},
      {"text in UTF-8 (stored as -535)",
       Set({{1, PropertyValue::I2(static_cast<int16_t>(65001))},
            {2, PropertyValue::Text("\u2603 snow")}})},
      {"text in UTF-16", Set({{1, PropertyValue::I2(1200)}, {2, PropertyValue::Text("\u4e2d x")}})},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    auto bytes = EncodePropertySet(c.set);
    ASSERT_TRUE(bytes.ok() && bytes->size() % 4 == 0) << bytes.status().message();
    auto back = DecodePropertySet(*bytes);
    ASSERT_TRUE(back.ok()) << back.status().message();
    EXPECT_EQ(back->values, c.set.values);
  }
}

// Offsets in the default stream: header 48, section at 48, table at 56.
TEST(PropertySet, DamagedStreamsGiveAnError) {
  const std::vector<uint8_t> good = DefaultSummaryInformation("{00000000-0000-0000-0000-000000000000}");
  ASSERT_TRUE(DecodePropertySet(good).ok());
  auto put32 = [](std::vector<uint8_t>& b, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + i] = static_cast<uint8_t>(v >> (8 * i));
  };
  const size_t section = 48, first_entry = section + 8;
  const struct {
    const char* name;
    std::function<void(std::vector<uint8_t>&)> damage;
  } cases[] = {
      {"empty stream", [](auto& b) { b.clear(); }},
      {"cut in the header", [](auto& b) { b.resize(30); }},
      {"cut in the section", [&](auto& b) { b.resize(section + 20); }},
      {"wrong byte order", [](auto& b) { b[0] = 0xFF; }},
      {"no property sets", [&](auto& b) { put32(b, 24, 0); }},
      {"many property sets", [&](auto& b) { put32(b, 24, 0xFFFFFFFF); }},
      {"other format id", [](auto& b) { b[28] ^= 1; }},
      {"section offset beyond the stream", [&](auto& b) { put32(b, 44, 0xFFFFFFF0); }},
      {"section size beyond the stream", [&](auto& b) { put32(b, section, 0x7FFFFFFF); }},
      {"section size too small", [&](auto& b) { put32(b, section, 4); }},
      {"huge property count", [&](auto& b) { put32(b, section + 4, 0x20000000); }},
      {"value offset beyond the section", [&](auto& b) { put32(b, first_entry + 4, 0xFFFFFFFC); }},
      {"unknown value type", [&](auto& b) { b[section + 8 + 8 * 9] = 0x1F; }},
      {"codepage of another type", [&](auto& b) { b[section + 8 + 8 * 9] = 3; }},
      {"text size beyond the section", [&](auto& b) { put32(b, section + 8 + 8 * 9 + 8 + 4, 0xFFFFFFFF); }},
      {"property listed twice", [&](auto& b) { put32(b, first_entry + 8, 1); }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<uint8_t> bytes = good;
    c.damage(bytes);
    auto decoded = DecodePropertySet(bytes);
    EXPECT_EQ(decoded.ok() ? 0 : decoded.status().code(), 13u);
  }
}

}  // namespace
}  // namespace msi
