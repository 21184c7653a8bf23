// printf-style formatting of wide text, with the arguments checked by type
// so that a wrong argument can only give wrong text, never undefined
// behaviour. Conversions: %s, %d, %i, %u, %x, %X, %c and %%, with the flags
// '-' and '0' and a width.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

class FormatArg {
 public:
  FormatArg(const char16_t* text) : m_text(text ? text : u"") {}
  FormatArg(const std::u16string& text) : m_text(text) {}
  FormatArg(std::u16string_view text) : m_text(text) {}
  FormatArg(int value) : m_isNumber(true), m_number(value) {}
  FormatArg(unsigned value) : m_isNumber(true), m_number(value) {}
  FormatArg(long value) : m_isNumber(true), m_number(value) {}
  FormatArg(unsigned long value) : m_isNumber(true), m_number(static_cast<int64_t>(value)) {}

  bool IsNumber() const { return m_isNumber; }
  std::u16string_view Text() const { return m_text; }
  int64_t Number() const { return m_number; }

 private:
  bool m_isNumber = false;
  std::u16string_view m_text;
  int64_t m_number = 0;
};

// Formats into `buffer`, writing at most buffer.size() - 1 characters and a
// terminator. Returns the count written, or -1 when the output did not fit.
std::ptrdiff_t FormatIntoBuffer(std::span<char16_t> buffer, std::u16string_view format,
                                std::span<const FormatArg> args);

// The whole formatted text: first in a 256-character buffer on the stack,
// then in heap buffers of 512 characters doubling until it fits. An
// allocation failure gives the empty text.
std::u16string FormatToString(std::u16string_view format, std::span<const FormatArg> args);

template <class... Args>
void FormatText(std::u16string& output, std::u16string_view format, const Args&... args) {
  const std::array<FormatArg, sizeof...(Args)> list{FormatArg(args)...};
  output = FormatToString(format, list);
}
