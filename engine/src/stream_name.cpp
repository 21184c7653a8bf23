#include "stream_name.h"

namespace msi {
namespace {

int CharValue(char16_t c) {
  if (c >= u'0' && c <= u'9') return c - u'0';
  if (c >= u'A' && c <= u'Z') return c - u'A' + 10;
  if (c >= u'a' && c <= u'z') return c - u'a' + 36;
  if (c == u'.') return 62;
  if (c == u'_') return 63;
  return -1;
}

char16_t ValueChar(int v) {
  if (v < 10) return static_cast<char16_t>(u'0' + v);
  if (v < 36) return static_cast<char16_t>(u'A' + v - 10);
  if (v < 62) return static_cast<char16_t>(u'a' + v - 36);
  return v == 62 ? u'.' : u'_';
}

}  // namespace

std::u16string EncodeStreamName(std::u16string_view name, bool is_table) {
  std::u16string out;
  if (is_table) out.push_back(kTableStreamMarker);
  for (size_t i = 0; i < name.size(); ++i) {
    const int v1 = CharValue(name[i]);
    if (v1 < 0) {
      out.push_back(name[i]);
      continue;
    }
    const int v2 = i + 1 < name.size() ? CharValue(name[i + 1]) : -1;
    if (v2 >= 0) {
      out.push_back(static_cast<char16_t>(0x3800 + v1 + (v2 << 6)));
      ++i;
    } else {
      out.push_back(static_cast<char16_t>(0x4800 + v1));
    }
  }
  return out;
}

std::u16string DecodeStreamName(std::u16string_view stored, bool* is_table) {
  std::u16string out;
  size_t i = 0;
  const bool table = !stored.empty() && stored[0] == kTableStreamMarker;
  if (table) i = 1;
  if (is_table != nullptr) *is_table = table;
  for (; i < stored.size(); ++i) {
    const char16_t c = stored[i];
    if (c >= 0x3800 && c < 0x4800) {
      out.push_back(ValueChar((c - 0x3800) & 0x3F));
      out.push_back(ValueChar(((c - 0x3800) >> 6) & 0x3F));
    } else if (c >= 0x4800 && c < 0x4840) {
      out.push_back(ValueChar(c - 0x4800));
    } else {
      out.push_back(c);
    }
  }
  return out;
}

}  // namespace msi
