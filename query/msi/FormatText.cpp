#include "FormatText.h"

#include <new>
#include <vector>

namespace {

constexpr std::size_t kStackBufferChars = 256;
constexpr std::size_t kFirstHeapBufferChars = 512;

struct Directive {
  bool leftAlign = false;
  bool zeroPad = false;
  std::size_t width = 0;
  char16_t conversion = 0;
};

// Bounded writer: remembers when something did not fit.
class Output {
 public:
  explicit Output(std::span<char16_t> buffer) : m_buffer(buffer) {}
  void Put(char16_t c) {
    if (m_used + 1 < m_buffer.size())
      m_buffer[m_used++] = c;
    else
      m_overflow = true;
  }
  void Put(std::u16string_view text) {
    for (char16_t c : text) Put(c);
  }
  void Pad(std::size_t count, char16_t c) {
    for (std::size_t i = 0; i < count; ++i) Put(c);
  }
  std::ptrdiff_t Finish() {
    if (m_buffer.empty()) return -1;
    m_buffer[m_used] = 0;
    return m_overflow ? -1 : static_cast<std::ptrdiff_t>(m_used);
  }

 private:
  std::span<char16_t> m_buffer;
  std::size_t m_used = 0;
  bool m_overflow = false;
};

std::u16string NumberText(const FormatArg& arg, char16_t conversion) {
  int64_t value = arg.IsNumber() ? arg.Number() : 0;
  bool negative = false;
  uint64_t magnitude = 0;
  if (conversion == u'd' || conversion == u'i') {
    const int32_t v = static_cast<int32_t>(value);
    negative = v < 0;
    magnitude = negative ? static_cast<uint64_t>(-static_cast<int64_t>(v)) : static_cast<uint64_t>(v);
  } else {
    magnitude = static_cast<uint32_t>(value);
  }
  const unsigned base = (conversion == u'x' || conversion == u'X') ? 16 : 10;
  const char16_t* digits = conversion == u'x' ? u"0123456789abcdef" : u"0123456789ABCDEF";
  std::u16string text;
  do {
    text.insert(text.begin(), digits[magnitude % base]);
    magnitude /= base;
  } while (magnitude != 0);
  if (negative) text.insert(text.begin(), u'-');
  return text;
}

void PutField(Output& out, const Directive& directive, std::u16string_view text) {
  const std::size_t padding = text.size() < directive.width ? directive.width - text.size() : 0;
  if (directive.leftAlign) {
    out.Put(text);
    out.Pad(padding, u' ');
  } else if (directive.zeroPad && directive.conversion != u's' && directive.conversion != u'c') {
    std::size_t signLength = (!text.empty() && text.front() == u'-') ? 1 : 0;
    out.Put(text.substr(0, signLength));
    out.Pad(padding, u'0');
    out.Put(text.substr(signLength));
  } else {
    out.Pad(padding, u' ');
    out.Put(text);
  }
}

}  // namespace

std::ptrdiff_t FormatIntoBuffer(std::span<char16_t> buffer, std::u16string_view format,
                                std::span<const FormatArg> args) {
  Output out(buffer);
  std::size_t nextArg = 0;
  for (std::size_t i = 0; i < format.size(); ++i) {
    if (format[i] != u'%') {
      out.Put(format[i]);
      continue;
    }
    Directive directive;
    const std::size_t start = i;
    std::size_t j = i + 1;
    for (; j < format.size() && (format[j] == u'-' || format[j] == u'0'); ++j) {
      if (format[j] == u'-') directive.leftAlign = true;
      else directive.zeroPad = true;
    }
    for (; j < format.size() && format[j] >= u'0' && format[j] <= u'9'; ++j)
      directive.width = directive.width * 10 + static_cast<std::size_t>(format[j] - u'0');
    if (j >= format.size()) {  // a lone '%' at the end is kept as written
      out.Put(format.substr(i));
      break;
    }
    directive.conversion = format[j];
    i = j;
    if (directive.conversion == u'%') {
      out.Put(u'%');
      continue;
    }
    static const FormatArg kMissing(u"");
    const FormatArg& arg = nextArg < args.size() ? args[nextArg] : kMissing;
    switch (directive.conversion) {
      case u's':
        ++nextArg;
        PutField(out, directive, arg.IsNumber() ? NumberText(arg, u'd') : std::u16string(arg.Text()));
        break;
      case u'c': {
        ++nextArg;
        const char16_t c = arg.IsNumber() ? static_cast<char16_t>(arg.Number()) : u'\0';
        PutField(out, directive, std::u16string_view(&c, c ? 1 : 0));
        break;
      }
      case u'd': case u'i': case u'u': case u'x': case u'X':
        ++nextArg;
        PutField(out, directive, NumberText(arg, directive.conversion));
        break;
      default:  // unknown conversion: written unchanged
        out.Put(format.substr(start, j - start + 1));
        break;
    }
  }
  return out.Finish();
}

std::u16string FormatToString(std::u16string_view format, std::span<const FormatArg> args) {
  std::array<char16_t, kStackBufferChars> stackBuffer{};
  std::ptrdiff_t length = FormatIntoBuffer(stackBuffer, format, args);
  if (length >= 0) return std::u16string(stackBuffer.data(), static_cast<std::size_t>(length));
  try {
    for (std::size_t size = kFirstHeapBufferChars;; size *= 2) {
      std::vector<char16_t> heapBuffer(size);
      length = FormatIntoBuffer(heapBuffer, format, args);
      if (length >= 0) return std::u16string(heapBuffer.data(), static_cast<std::size_t>(length));
    }
  } catch (const std::bad_alloc&) {
    return std::u16string();
  }
}
