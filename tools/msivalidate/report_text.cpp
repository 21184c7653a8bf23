#include "report_text.h"

#include <cstdio>

namespace msivalidate {

const char* SeverityName(Severity s) {
  switch (s) {
    case Severity::Failure: return "FAILURE";
    case Severity::Error: return "ERROR";
    case Severity::Warning: return "WARNING";
    case Severity::Info: return "INFO";
  }
  return "ERROR";
}

std::string Escape(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (const char ch : text) {
    const auto c = static_cast<unsigned char>(ch);
    switch (c) {
      case '\\': out += "\\\\"; break;
      case '\t': out += "\\t"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      default:
        if (c < 0x20 || c == 0x7f) {
          char hex[5];
          std::snprintf(hex, sizeof hex, "\\x%02x", c);
          out += hex;
        } else {
          out += ch;
        }
    }
  }
  return out;
}

std::string Location(const Finding& f) {
  std::string where = Escape(f.table);
  if (!f.column.empty()) where += (where.empty() ? "" : ".") + Escape(f.column);
  if (!f.keys.empty()) {
    where += where.empty() ? "[" : " [";
    for (size_t i = 0; i < f.keys.size(); ++i) where += (i ? ", " : "") + Escape(f.keys[i]);
    where += "]";
  }
  return where;
}

std::string FormatFinding(const Finding& f) {
  char head[32];
  std::snprintf(head, sizeof head, "%-5s  %-7s  ", f.ice.c_str(), SeverityName(f.severity));
  std::string line = head;
  const std::string where = Location(f);
  if (!where.empty()) line += where + "  ";
  return line + Escape(f.message);
}

}  // namespace msivalidate
