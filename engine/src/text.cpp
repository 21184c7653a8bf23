#include "text.h"

#include <iconv.h>

#include <cerrno>

namespace msi {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

void AppendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out.push_back(static_cast<char>(c));
  } else if (c < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (c >> 6)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else if (c < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (c >> 12)));
    out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (c >> 18)));
    out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  }
}

// Decodes one code point at s[i], advancing i; malformed gives U+FFFD.
char32_t NextUtf8(std::string_view s, size_t& i) {
  const auto b0 = static_cast<unsigned char>(s[i++]);
  if (b0 < 0x80) return b0;
  int extra;
  char32_t c;
  if ((b0 & 0xE0) == 0xC0) { extra = 1; c = b0 & 0x1F; }
  else if ((b0 & 0xF0) == 0xE0) { extra = 2; c = b0 & 0x0F; }
  else if ((b0 & 0xF8) == 0xF0) { extra = 3; c = b0 & 0x07; }
  else return kReplacement;
  if (i + extra > s.size()) { i = s.size(); return kReplacement; }
  for (int k = 0; k < extra; ++k) {
    const auto b = static_cast<unsigned char>(s[i]);
    if ((b & 0xC0) != 0x80) return kReplacement;
    c = (c << 6) | (b & 0x3F);
    ++i;
  }
  static constexpr char32_t kMin[] = {0, 0x80, 0x800, 0x10000};
  if (c < kMin[extra] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return kReplacement;
  return c;
}

std::string IconvName(int codepage) {
  if (codepage == 0) return "CP1252";
  if (codepage == 65001) return "UTF-8";
  return "CP" + std::to_string(codepage);
}

bool IsAscii(std::string_view s) {
  for (char c : s) {
    if (static_cast<unsigned char>(c) >= 0x80) return false;
  }
  return true;
}

}  // namespace

std::u16string Utf8ToUtf16(std::string_view utf8) {
  std::u16string out;
  out.reserve(utf8.size());
  size_t i = 0;
  while (i < utf8.size()) {
    const char32_t c = NextUtf8(utf8, i);
    if (c >= 0x10000) {
      out.push_back(static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10)));
      out.push_back(static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF)));
    } else {
      out.push_back(static_cast<char16_t>(c));
    }
  }
  return out;
}

std::string Utf16ToUtf8(std::u16string_view utf16) {
  std::string out;
  out.reserve(utf16.size());
  for (size_t i = 0; i < utf16.size(); ++i) {
    char32_t c = utf16[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < utf16.size() && utf16[i + 1] >= 0xDC00 &&
        utf16[i + 1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (utf16[i + 1] - 0xDC00);
      ++i;
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      c = kReplacement;
    }
    AppendUtf8(out, c);
  }
  return out;
}

CodepageConverter::CodepageConverter(int codepage) : codepage_(codepage) {}

CodepageConverter::~CodepageConverter() {
  if (to_utf8_ != nullptr) iconv_close(static_cast<iconv_t>(to_utf8_));
  if (from_utf8_ != nullptr) iconv_close(static_cast<iconv_t>(from_utf8_));
}

std::string CodepageConverter::ToUtf8(std::string_view bytes) {
  if (IsAscii(bytes)) return std::string(bytes);
  if (codepage_ == 65001) {
    std::string out;
    size_t i = 0;
    while (i < bytes.size()) AppendUtf8(out, NextUtf8(bytes, i));
    return out;
  }
  if (to_utf8_ == nullptr) {
    iconv_t cd = iconv_open("UTF-8", IconvName(codepage_).c_str());
    if (cd == reinterpret_cast<iconv_t>(-1)) cd = iconv_open("UTF-8", "CP1252");
    if (cd == reinterpret_cast<iconv_t>(-1)) {
      // No converter at all: keep ASCII, mark the rest.
      std::string out;
      for (char c : bytes) {
        if (static_cast<unsigned char>(c) < 0x80) out.push_back(c);
        else AppendUtf8(out, kReplacement);
      }
      return out;
    }
    to_utf8_ = cd;
  }
  auto cd = static_cast<iconv_t>(to_utf8_);
  iconv(cd, nullptr, nullptr, nullptr, nullptr);
  std::string out(bytes.size() * 4 + 4, '\0');
  char* in = const_cast<char*>(bytes.data());
  size_t in_left = bytes.size();
  char* dst = out.data();
  size_t dst_left = out.size();
  while (in_left > 0) {
    if (iconv(cd, &in, &in_left, &dst, &dst_left) != static_cast<size_t>(-1)) break;
    if (errno == E2BIG) break;  // cannot happen with 4 bytes per byte
    // An unmapped or incomplete sequence: one replacement, skip one byte.
    const size_t used = static_cast<size_t>(dst - out.data());
    std::string rep;
    AppendUtf8(rep, kReplacement);
    if (dst_left < rep.size()) break;
    out.replace(used, rep.size(), rep);
    dst += rep.size();
    dst_left -= rep.size();
    ++in;
    --in_left;
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
  }
  // Codepages with combining marks (1255, 1258) hold back the last
  // character until told the input ended.
  iconv(cd, nullptr, nullptr, &dst, &dst_left);
  out.resize(static_cast<size_t>(dst - out.data()));
  return out;
}

std::optional<std::string> CodepageConverter::FromUtf8(std::string_view utf8) {
  if (IsAscii(utf8)) return std::string(utf8);
  if (codepage_ == 65001) return std::string(utf8);
  if (from_utf8_ == nullptr) {
    iconv_t cd = iconv_open(IconvName(codepage_).c_str(), "UTF-8");
    if (cd == reinterpret_cast<iconv_t>(-1)) return std::nullopt;
    from_utf8_ = cd;
  }
  auto cd = static_cast<iconv_t>(from_utf8_);
  iconv(cd, nullptr, nullptr, nullptr, nullptr);
  std::string out(utf8.size() * 2 + 8, '\0');
  char* in = const_cast<char*>(utf8.data());
  size_t in_left = utf8.size();
  char* dst = out.data();
  size_t dst_left = out.size();
  if (iconv(cd, &in, &in_left, &dst, &dst_left) == static_cast<size_t>(-1)) return std::nullopt;
  if (iconv(cd, nullptr, nullptr, &dst, &dst_left) == static_cast<size_t>(-1)) return std::nullopt;
  out.resize(static_cast<size_t>(dst - out.data()));
  return out;
}

bool IsSupportedCodepage(int codepage) {
  iconv_t cd = iconv_open("UTF-8", IconvName(codepage).c_str());
  if (cd == reinterpret_cast<iconv_t>(-1)) return false;
  iconv_close(cd);
  return true;
}

}  // namespace msi
