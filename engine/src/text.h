// Text conversions: UTF-8 inside the engine, UTF-16 at the W functions,
// and the package codepage on disk (through the C library's iconv).
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace msi {

// Malformed input becomes U+FFFD; never fails.
std::u16string Utf8ToUtf16(std::string_view utf8);
std::string Utf16ToUtf8(std::u16string_view utf16);

// Converts between one package codepage and UTF-8. Codepage 0 reads as
// 1252. Not thread-safe: each string pool owns its own.
class CodepageConverter {
 public:
  explicit CodepageConverter(int codepage);
  ~CodepageConverter();
  CodepageConverter(const CodepageConverter&) = delete;
  CodepageConverter& operator=(const CodepageConverter&) = delete;

  int codepage() const { return codepage_; }
  // Bytes that are no text in the codepage become U+FFFD.
  std::string ToUtf8(std::string_view bytes);
  // nullopt when a character has no form in the codepage.
  std::optional<std::string> FromUtf8(std::string_view utf8);

 private:
  int codepage_;
  void* to_utf8_ = nullptr;    // iconv_t, opened on first use
  void* from_utf8_ = nullptr;
};

// True when iconv knows the codepage (so a package in it can be read).
bool IsSupportedCodepage(int codepage);

}  // namespace msi
