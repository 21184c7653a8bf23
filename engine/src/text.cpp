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

// Converts the whole input with `cd` and flushes the converter at the end.
// The flush matters: the converters of codepages with combining marks
// (1255 Hebrew, 1258 Vietnamese) hold each letter back until they know
// whether a mark follows, and give it only when flushed. Input the
// converter rejects is skipped one byte at a time, each byte becoming
// `replacement` (after a flush, so the order of the text is kept); with an
// empty replacement a rejection fails the whole conversion.
std::optional<std::string> Convert(void* handle, std::string_view input,
                                   std::string_view replacement) {
  auto cd = static_cast<iconv_t>(handle);
  iconv(cd, nullptr, nullptr, nullptr, nullptr);  // the initial state
  std::string out(input.size() * 2 + 16, '\0');
  size_t used = 0;
  char* in = const_cast<char*>(input.data());
  size_t in_left = input.size();
  bool flushing = false;   // all input given (or a rejected byte reached)
  bool rejected = false;   // the byte at `in` must be replaced after the flush
  for (;;) {
    char* dst = out.data() + used;
    size_t room = out.size() - used;
    const size_t r = flushing ? iconv(cd, nullptr, nullptr, &dst, &room)
                              : iconv(cd, &in, &in_left, &dst, &room);
    const int err = errno;
    used = static_cast<size_t>(dst - out.data());
    if (r == static_cast<size_t>(-1) && err == E2BIG) {
      out.resize(out.size() * 2);
      continue;
    }
    if (flushing) {
      if (!rejected) break;  // everything converted and flushed
      out.resize(used);
      out.append(replacement);
      used = out.size();
      out.resize(used + in_left * 2 + 16);
      ++in;
      --in_left;
      flushing = rejected = false;
      continue;
    }
    if (r != static_cast<size_t>(-1)) {
      flushing = true;  // in_left is 0: flush what the converter holds
      continue;
    }
    // EILSEQ or EINVAL: an unmapped byte, or a sequence cut short.
    if (replacement.empty()) return std::nullopt;
    flushing = rejected = true;
  }
  out.resize(used);
  return out;
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
  std::string replacement;
  AppendUtf8(replacement, kReplacement);
  return *Convert(to_utf8_, bytes, replacement);
}

std::optional<std::string> CodepageConverter::FromUtf8(std::string_view utf8) {
  if (IsAscii(utf8)) return std::string(utf8);
  if (codepage_ == 65001) return std::string(utf8);
  if (from_utf8_ == nullptr) {
    iconv_t cd = iconv_open(IconvName(codepage_).c_str(), "UTF-8");
    if (cd == reinterpret_cast<iconv_t>(-1)) return std::nullopt;
    from_utf8_ = cd;
  }
  return Convert(from_utf8_, utf8, std::string_view());
}

bool IsSupportedCodepage(int codepage) {
  iconv_t cd = iconv_open("UTF-8", IconvName(codepage).c_str());
  if (cd == reinterpret_cast<iconv_t>(-1)) return false;
  iconv_close(cd);
  return true;
}

}  // namespace msi
