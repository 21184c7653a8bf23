#include "HtmlText.h"

#include <array>
#include <cstdint>

namespace pellacor {

std::string HtmlText(std::string_view text) {
  if (text.find_first_of("&<>\"'") == std::string_view::npos) {
    return std::string(text);
  }
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      case '\'': out += "&#39;"; break;
      default: out += c;
    }
  }
  return out;
}

namespace {

// Code points of windows-1252 bytes 0x80..0x9F; 0 where the byte is unused.
constexpr std::array<uint16_t, 32> kHighControls = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
    0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0};

constexpr char32_t kReplacement = 0xFFFD;

// Decodes one UTF-8 sequence at `pos`, advancing it; malformed input
// (overlong forms, surrogates, truncation) yields U+FFFD for one byte.
char32_t DecodeOne(std::string_view s, size_t& pos) {
  auto byte = [&](size_t i) { return static_cast<unsigned char>(s[i]); };
  unsigned char lead = byte(pos);
  if (lead < 0x80) {
    ++pos;
    return lead;
  }
  size_t length = 0;
  char32_t value = 0;
  char32_t minimum = 0;
  if ((lead & 0xE0) == 0xC0) {
    length = 2, value = lead & 0x1F, minimum = 0x80;
  } else if ((lead & 0xF0) == 0xE0) {
    length = 3, value = lead & 0x0F, minimum = 0x800;
  } else if ((lead & 0xF8) == 0xF0) {
    length = 4, value = lead & 0x07, minimum = 0x10000;
  } else {
    ++pos;
    return kReplacement;
  }
  if (pos + length > s.size()) {
    ++pos;
    return kReplacement;
  }
  for (size_t i = 1; i < length; ++i) {
    unsigned char next = byte(pos + i);
    if ((next & 0xC0) != 0x80) {
      ++pos;
      return kReplacement;
    }
    value = (value << 6) | (next & 0x3F);
  }
  if (value < minimum || value > 0x10FFFF ||
      (value >= 0xD800 && value <= 0xDFFF)) {
    ++pos;
    return kReplacement;
  }
  pos += length;
  return value;
}

int Windows1252Byte(char32_t c) {
  if (c < 0x80) return static_cast<int>(c);
  if (c >= 0xA0 && c <= 0xFF) return static_cast<int>(c);
  for (size_t i = 0; i < kHighControls.size(); ++i) {
    if (kHighControls[i] != 0 && kHighControls[i] == c) {
      return static_cast<int>(0x80 + i);
    }
  }
  return -1;
}

}  // namespace

std::string EncodeWindows1252(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size());
  size_t pos = 0;
  while (pos < utf8.size()) {
    unsigned char byte = static_cast<unsigned char>(utf8[pos]);
    if (byte >= 0x20 && byte < 0x7F) {  // the common case: printable ASCII
      out += static_cast<char>(byte);
      ++pos;
      continue;
    }
    char32_t c = DecodeOne(utf8, pos);
    if (c == 0) c = kReplacement;  // &#0; is no character a page may hold
    int b = (c < 0x20 && c != '\t') || c == 0x7F ? -1 : Windows1252Byte(c);
    if (b >= 0) {
      out += static_cast<char>(b);
    } else {
      out += "&#";
      out += std::to_string(static_cast<uint32_t>(c));
      out += ';';
    }
  }
  return out;
}

}  // namespace pellacor
