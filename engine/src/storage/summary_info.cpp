#include "storage/summary_info.h"

#include <cstdio>
#include <random>

namespace msi {
namespace {

// Property identifiers and types of the summary property set.
constexpr uint32_t kPidCodepage = 1, kPidTitle = 2, kPidSubject = 3, kPidAuthor = 4,
                   kPidTemplate = 7, kPidRevision = 9, kPidPageCount = 14, kPidWordCount = 15,
                   kPidSecurity = 19;
constexpr uint32_t kVtI2 = 2, kVtI4 = 3, kVtString = 0x1E;

void Put16(std::vector<uint8_t>& out, uint16_t v) {
  out.push_back(static_cast<uint8_t>(v));
  out.push_back(static_cast<uint8_t>(v >> 8));
}
void Put32(std::vector<uint8_t>& out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}
void Set32(std::vector<uint8_t>& out, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) out[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

struct Property {
  uint32_t id;
  uint32_t type;
  int32_t number;
  std::string text;
};

}  // namespace

std::vector<uint8_t> DefaultSummaryInformation(const std::string& package_code) {
  const std::vector<Property> props = {
      {kPidCodepage, kVtI2, 1252, {}},
      {kPidTitle, kVtString, 0, "Installation Database"},
      {kPidSubject, kVtString, 0, ""},
      {kPidAuthor, kVtString, 0, ""},
      {kPidTemplate, kVtString, 0, "Intel;1033"},
      {kPidRevision, kVtString, 0, package_code},
      {kPidPageCount, kVtI4, 200, {}},
      {kPidWordCount, kVtI4, 2, {}},
      {kPidSecurity, kVtI4, 2, {}},
  };
  std::vector<uint8_t> out;
  Put16(out, 0xFFFE);  // byte order
  Put16(out, 0);       // version
  Put32(out, 0x00020006);  // system identifier
  out.insert(out.end(), 16, 0);  // class id
  Put32(out, 1);  // one property set
  // FMTID_SummaryInformation {F29F85E0-4FF9-1068-AB91-08002B27B3D9}
  const uint8_t fmtid[16] = {0xE0, 0x85, 0x9F, 0xF2, 0xF9, 0x4F, 0x68, 0x10,
                             0xAB, 0x91, 0x08, 0x00, 0x2B, 0x27, 0xB3, 0xD9};
  out.insert(out.end(), fmtid, fmtid + 16);
  Put32(out, 48);  // the section starts right after this header
  const size_t section = out.size();
  Put32(out, 0);  // section size, set below
  Put32(out, static_cast<uint32_t>(props.size()));
  const size_t table = out.size();
  out.insert(out.end(), props.size() * 8, 0);
  for (size_t i = 0; i < props.size(); ++i) {
    const Property& p = props[i];
    Set32(out, table + 8 * i, p.id);
    Set32(out, table + 8 * i + 4, static_cast<uint32_t>(out.size() - section));
    Put32(out, p.type);
    if (p.type == kVtI2) {
      Put16(out, static_cast<uint16_t>(p.number));
      Put16(out, 0);
    } else if (p.type == kVtI4) {
      Put32(out, static_cast<uint32_t>(p.number));
    } else {
      Put32(out, static_cast<uint32_t>(p.text.size() + 1));
      out.insert(out.end(), p.text.begin(), p.text.end());
      out.push_back(0);
      while (out.size() % 4 != 0) out.push_back(0);
    }
  }
  Set32(out, section, static_cast<uint32_t>(out.size() - section));
  return out;
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
