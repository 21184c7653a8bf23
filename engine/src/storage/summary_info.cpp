#include "storage/summary_info.h"

#include <cstdio>
#include <random>

#include "storage/property_set.h"

namespace msi {

std::vector<uint8_t> DefaultSummaryInformation(const std::string& package_code) {
  PropertySet set;
  set.values = {
      {kPidCodepage, PropertyValue::I2(1252)},
      {2, PropertyValue::Text("Installation Database")},  // title
      {3, PropertyValue::Text("")},                       // subject
      {4, PropertyValue::Text("")},                       // author
      {7, PropertyValue::Text("Intel;1033")},             // template
      {9, PropertyValue::Text(package_code)},             // revision number
      {14, PropertyValue::I4(200)},                       // page count
      {15, PropertyValue::I4(2)},                         // word count
      {19, PropertyValue::I4(2)},                         // security
  };
  // Plain ASCII in codepage 1252 always encodes.
  return std::move(*EncodePropertySet(set));
}

std::string NewGuid() {
  std::random_device rd;
  uint8_t b[16];
  for (int i = 0; i < 16; i += 4) {
    const uint32_t r = rd();
    for (int k = 0; k < 4; ++k) b[i + k] = static_cast<uint8_t>(r >> (8 * k));
  }
  b[6] = static_cast<uint8_t>((b[6] & 0x0F) | 0x40);  // version 4
  b[8] = static_cast<uint8_t>((b[8] & 0x3F) | 0x80);  // variant
  char text[40];
  std::snprintf(text, sizeof text,
                "{%02X%02X%02X%02X-%02X%02X-%02X%02X-%02X%02X-%02X%02X%02X%02X%02X%02X}", b[0],
                b[1], b[2], b[3], b[4], b[5], b[6], b[7], b[8], b[9], b[10], b[11], b[12], b[13],
                b[14], b[15]);
  return text;
}

}  // namespace msi
