#include "cli_support.h"

#include <cstdio>

namespace msisql {

int Fail(UINT code, const std::string& context) {
  const char* d = MsiExtLastErrorDescriptionA(code);
  std::fprintf(stderr, "msisql: error %u: %s%s%s\n", code, d ? d : "unknown error",
               context.empty() ? "" : " ", context.c_str());
  return 1;
}

int Usage(const char* what) {
  std::fprintf(stderr, "msisql: %s (see msisql --help)\n", what);
  return 2;
}

void AppendEscaped(std::string& out, const std::string& text) {
  for (char c : text) {
    switch (c) {
      case '\\': out += "\\\\"; break;
      case '\t': out += "\\t"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      default: out.push_back(c);
    }
  }
}

std::string Escaped(const std::string& text) {
  std::string out;
  AppendEscaped(out, text);
  return out;
}

}  // namespace msisql
