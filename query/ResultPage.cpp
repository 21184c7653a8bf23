#include "ResultPage.h"

namespace {

constexpr char32_t kReplacementCharacter = 0xFFFD;

void AppendReference(std::string& out, char32_t codePoint) {
  out += "&#";
  out += std::to_string(static_cast<unsigned long>(codePoint));
  out += ';';
}

bool IsHighSurrogate(char16_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool IsLowSurrogate(char16_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

}  // namespace

std::string EncodePageText(std::u16string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char16_t c = text[i];
    switch (c) {
      case u'&': out += "&amp;"; continue;
      case u'<': out += "&lt;"; continue;
      case u'>': out += "&gt;"; continue;
      case u'"': out += "&quot;"; continue;
      case u'\'': out += "&#39;"; continue;
      case u'\n': out += "\r\n"; continue;  // the page is written as text
      default: break;
    }
    if (c <= 0xFF) {
      out += static_cast<char>(static_cast<unsigned char>(c));
    } else if (IsHighSurrogate(c) && i + 1 < text.size() && IsLowSurrogate(text[i + 1])) {
      const char32_t codePoint = 0x10000 + ((static_cast<char32_t>(c) - 0xD800) << 10) +
                                 (static_cast<char32_t>(text[i + 1]) - 0xDC00);
      AppendReference(out, codePoint);
      ++i;
    } else if (IsHighSurrogate(c) || IsLowSurrogate(c)) {
      AppendReference(out, kReplacementCharacter);
    } else {
      AppendReference(out, c);
    }
  }
  return out;
}

bool ResultPageWriter::Open() {
  return m_file.open(QIODevice::WriteOnly | QIODevice::Truncate);
}

void ResultPageWriter::WriteBytes(std::string_view bytes) {
  if (m_failed || bytes.empty()) return;
  if (m_file.write(bytes.data(), static_cast<qint64>(bytes.size())) != static_cast<qint64>(bytes.size()))
    m_failed = true;
}

void ResultPageWriter::WriteMarkup(std::string_view markup) { WriteBytes(markup); }

void ResultPageWriter::WriteText(std::u16string_view text) { WriteBytes(EncodePageText(text)); }

void ResultPageWriter::WriteCellText(std::u16string_view text) {
  if (text.empty())
    WriteMarkup("&nbsp;");
  else
    WriteText(text);
}

bool ResultPageWriter::Finish() {
  if (!m_file.flush()) m_failed = true;
  m_file.close();
  if (m_file.error() != QFileDevice::NoError) m_failed = true;
  return !m_failed;
}
