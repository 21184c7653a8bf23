// ICE24: ProductCode is an installer GUID, ProductVersion a product version
// and ProductLanguage a language ID list.
#include <cctype>

#include "evaluator.h"

namespace msivalidate {
namespace {

// "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}", hex digits in upper case: the
// installer rejects lower-case GUIDs.
bool IsInstallerGuid(const std::string& s) {
  if (s.size() != 38 || s.front() != '{' || s.back() != '}') return false;
  for (size_t i = 1; i < 37; ++i) {
    const char c = s[i];
    if (i == 9 || i == 14 || i == 19 || i == 24) {
      if (c != '-') return false;
    } else if (!std::isdigit(static_cast<unsigned char>(c)) && !(c >= 'A' && c <= 'F')) {
      return false;
    }
  }
  return true;
}

// Decimal digits only, at most `max`.
bool IsNumberUpTo(std::string_view s, long max) {
  if (s.empty() || s.size() > 6) return false;
  long n = 0;
  for (char c : s) {
    if (!std::isdigit(static_cast<unsigned char>(c))) return false;
    n = n * 10 + (c - '0');
  }
  return n <= max;
}

// major.minor.build with an optional fourth field the installer ignores:
// 255.255.65535 at most. Shorter forms ("1.0") are accepted by the installer.
bool IsProductVersion(const std::string& s) {
  static const long kMax[] = {255, 255, 65535, 65535};
  size_t field = 0, start = 0;
  for (;;) {
    const size_t dot = s.find('.', start);
    const std::string_view part =
        std::string_view(s).substr(start, dot == std::string::npos ? std::string::npos : dot - start);
    if (field >= 4 || !IsNumberUpTo(part, kMax[field])) return false;
    ++field;
    if (dot == std::string::npos) return true;
    start = dot + 1;
  }
}

// Language: decimal language IDs separated by commas.
bool IsLanguage(const std::string& s) {
  size_t start = 0;
  for (;;) {
    const size_t comma = s.find(',', start);
    const std::string_view part = std::string_view(s).substr(
        start, comma == std::string::npos ? std::string::npos : comma - start);
    if (!IsNumberUpTo(part, 65535)) return false;
    if (comma == std::string::npos) return true;
    start = comma + 1;
  }
}

void Run(Context& ctx) {
  const Table* property = ctx.Read("Property");
  if (!property) return;
  struct Check {
    const char* name;
    bool (*valid)(const std::string&);
    const char* what;
  };
  static const Check kChecks[] = {
      {"ProductCode", IsInstallerGuid, "is not a valid GUID (upper-case hex digits in braces)"},
      {"ProductVersion", IsProductVersion, "is not a valid product version"},
      {"ProductLanguage", IsLanguage, "is not a valid language ID"},
  };
  for (const Check& check : kChecks) {
    const Row* row = property->Find(check.name);
    if (!row) continue;
    const std::string value = property->Text(*row, "Value");
    if (!check.valid(value))
      ctx.Report(Severity::Error, *property, "Value", *row,
                 std::string(check.name) + ": '" + value + "' " + check.what + ".");
  }
}

const Registration kICE24("ICE24", Run);

}  // namespace
}  // namespace msivalidate
