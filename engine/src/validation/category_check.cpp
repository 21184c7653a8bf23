#include "validation/category_check.h"

#include <array>
#include <cstdint>
#include <string>
#include <utility>

#include "condition/condition_syntax.h"
#include "msiquery.h"

namespace msi::validation {
namespace {

bool IsAsciiLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsHexUpper(char c) { return IsDigit(c) || (c >= 'A' && c <= 'F'); }

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool SameNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (Lower(a[i]) != Lower(b[i])) return false;
  }
  return true;
}

// A decimal integer, sign allowed; nullopt for anything else or a number
// beyond 64 bits' worth of care (more than 18 digits).
std::optional<int64_t> ParseDecimal(std::string_view s) {
  size_t i = 0;
  bool negative = false;
  if (i < s.size() && (s[i] == '-' || s[i] == '+')) negative = s[i++] == '-';
  if (i == s.size() || s.size() - i > 18) return std::nullopt;
  int64_t v = 0;
  for (; i < s.size(); ++i) {
    if (!IsDigit(s[i])) return std::nullopt;
    v = v * 10 + (s[i] - '0');
  }
  return negative ? -v : v;
}

// Characters no file name may hold, short or long.
bool ForbiddenInAnyName(char c) {
  return c == '\\' || c == '/' || c == '?' || c == '|' || c == '>' || c == '<' || c == ':' ||
         c == '*' || c == '"' || (static_cast<unsigned char>(c) < 0x20);
}
bool ForbiddenInShortName(char c) {
  return ForbiddenInAnyName(c) || c == '+' || c == ',' || c == ';' || c == '=' || c == '[' ||
         c == ']' || c == ' ';
}

// 8.3: a name of 1 to 8 characters, then optionally a period and an
// extension of up to 3. `wildcards` lets '?' and '*' stand for characters.
bool IsShortName(std::string_view s, bool wildcards) {
  if (s.empty()) return false;
  const size_t dot = s.find('.');
  const std::string_view base = s.substr(0, dot);
  const std::string_view ext = dot == std::string_view::npos ? std::string_view() : s.substr(dot + 1);
  if (base.empty() || base.size() > 8 || ext.size() > 3) return false;
  if (ext.find('.') != std::string_view::npos) return false;
  for (char c : s) {
    if (c == '.') continue;
    if (wildcards && (c == '?' || c == '*')) continue;
    if (ForbiddenInShortName(c)) return false;
  }
  return true;
}

bool IsLongName(std::string_view s, bool wildcards) {
  if (s.empty()) return false;
  for (char c : s) {
    if (wildcards && (c == '?' || c == '*')) continue;
    if (ForbiddenInAnyName(c)) return false;
  }
  return true;
}

// "short" or "short|long".
bool IsFilename(std::string_view s, bool wildcards) {
  const size_t bar = s.find('|');
  if (bar == std::string_view::npos) return IsShortName(s, wildcards);
  return IsShortName(s.substr(0, bar), wildcards) && IsLongName(s.substr(bar + 1), wildcards);
}

// Formatted text: unmatched brackets stay text, and an unknown property
// reads as empty, so what can be wrong is only inside a bracket pair with
// no bracket within: a file or component key ([#k], [!k], [$k]) that is no
// identifier, an environment variable ([%v]) with no name, and (unless
// `template_fields`) a record field number [n], which only templates have.
bool IsFormatted(std::string_view s, bool template_fields) {
  size_t open = std::string_view::npos;
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '[') {
      open = i;
    } else if (s[i] == ']' && open != std::string_view::npos) {
      const std::string_view inner = s.substr(open + 1, i - open - 1);
      open = std::string_view::npos;
      if (inner.empty()) continue;
      const char lead = inner[0];
      if (lead == '#' || lead == '!' || lead == '$') {
        if (!IsIdentifier(inner.substr(1))) return false;
      } else if (lead == '%') {
        if (inner.size() == 1) return false;
      } else if (lead != '\\' && lead != '~') {
        bool digits = true;
        for (char c : inner) digits = digits && IsDigit(c);
        if (digits && !template_fields) return false;
      }
    }
  }
  return true;
}

// Whether the characters outside bracketed property references may be in
// a path: none of < > " | ? *, and ':' only after a drive letter.
bool PathCharacters(std::string_view s) {
  int depth = 0;
  for (size_t i = 0; i < s.size(); ++i) {
    const char c = s[i];
    if (c == '[') { ++depth; continue; }
    if (c == ']' && depth > 0) { --depth; continue; }
    if (depth > 0) continue;
    if (c == '<' || c == '>' || c == '"' || c == '|' || c == '?' || c == '*' ||
        static_cast<unsigned char>(c) < 0x20) {
      return false;
    }
    if (c == ':' && !(i == 1 && IsAsciiLetter(s[0]))) return false;
  }
  return depth == 0;
}

// A full path: a drive ("c:" or "c:\..."), a UNC path ("\\server\share"),
// or one that starts with a property reference ("[DRIVE]\temp").
bool IsFullPath(std::string_view s) {
  if (s.empty() || !PathCharacters(s)) return false;
  if (s[0] == '[') return true;
  if (s.size() >= 2 && IsAsciiLetter(s[0]) && s[1] == ':') return s.size() == 2 || s[2] == '\\';
  return s.size() > 2 && s[0] == '\\' && s[1] == '\\' && s[2] != '\\';
}

bool IsAnyPath(std::string_view s) {
  // short|long names one relative level only: no separators anywhere.
  if (s.find('|') != std::string_view::npos) return IsFilename(s, false);
  return !s.empty() && PathCharacters(s);
}

bool IsVersion(std::string_view s) {
  int fields = 0;
  size_t start = 0;
  while (true) {
    const size_t dot = s.find('.', start);
    const std::string_view f = s.substr(start, dot == std::string_view::npos ? s.npos : dot - start);
    if (f.empty() || f.size() > 5 || ++fields > 4) return false;
    for (char c : f) if (!IsDigit(c)) return false;
    if (*ParseDecimal(f) > 65535) return false;
    if (dot == std::string_view::npos) return true;
    start = dot + 1;
  }
}

bool IsLanguageList(std::string_view s) {
  size_t start = 0;
  while (true) {
    const size_t comma = s.find(',', start);
    const std::string_view f = s.substr(start, comma == std::string_view::npos ? s.npos : comma - start);
    if (f.empty() || f.size() > 5) return false;
    for (char c : f) if (!IsDigit(c)) return false;
    if (*ParseDecimal(f) > 65535) return false;
    if (comma == std::string_view::npos) return true;
    start = comma + 1;
  }
}

bool IsGuid(std::string_view s) {
  static constexpr std::string_view kShape = "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}";
  if (s.size() != kShape.size()) return false;
  for (size_t i = 0; i < s.size(); ++i) {
    if (kShape[i] == 'X' ? !IsHexUpper(s[i]) : s[i] != kShape[i]) return false;
  }
  return true;
}

// "[target:]source", each "." or a file name; a root directory's is an
// identifier (SourceDir).
bool IsDefaultDir(std::string_view s) {
  if (IsIdentifier(s)) return true;
  auto part = [](std::string_view p) { return p == "." || IsFilename(p, false); };
  const size_t colon = s.find(':');
  if (colon == std::string_view::npos) return part(s);
  return part(s.substr(0, colon)) && part(s.substr(colon + 1));
}

bool IsCabinet(std::string_view s) {
  if (!s.empty() && s[0] == '#') return IsIdentifier(s.substr(1));
  return IsShortName(s, false);
}

// Numeric categories on a text column: the text must be a number of the
// category's range; Time/Date packs a date (high word) and a time (low
// word), each field within its range.
int CheckNumber(Category category, std::string_view s) {
  const auto v = ParseDecimal(s);
  if (!v) return MSIDBERROR_BADCATEGORY;
  const int64_t limit = category == Category::kInteger ? 32767 : 2147483647;
  if (*v > limit) return MSIDBERROR_OVERFLOW;
  if (*v < -limit) return MSIDBERROR_UNDERFLOW;
  if (category == Category::kTimeDate) {
    const auto packed = static_cast<uint32_t>(static_cast<int32_t>(*v));
    const uint32_t date = packed >> 16, time = packed & 0xFFFF;
    const uint32_t day = date & 31, month = (date >> 5) & 15, year = date >> 9;
    const uint32_t half_seconds = time & 31, minutes = (time >> 5) & 63, hours = time >> 11;
    if (year > 119 || month < 1 || month > 12 || day < 1 || hours > 23 || minutes > 59 ||
        half_seconds > 29) {
      return MSIDBERROR_OVERFLOW;
    }
  }
  return MSIDBERROR_NOERROR;
}

}  // namespace

bool IsIdentifier(std::string_view s) {
  if (s.empty() || !(IsAsciiLetter(s[0]) || s[0] == '_')) return false;
  for (char c : s) {
    if (!(IsAsciiLetter(c) || IsDigit(c) || c == '_' || c == '.')) return false;
  }
  return true;
}

std::optional<Category> ParseCategory(std::string_view name) {
  static constexpr std::array<std::pair<std::string_view, Category>, 26> kNames{{
      {"Text", Category::kText}, {"UpperCase", Category::kUpperCase},
      {"LowerCase", Category::kLowerCase}, {"Integer", Category::kInteger},
      {"DoubleInteger", Category::kDoubleInteger}, {"Time/Date", Category::kTimeDate},
      {"Identifier", Category::kIdentifier}, {"Property", Category::kProperty},
      {"Filename", Category::kFilename}, {"WildCardFilename", Category::kWildCardFilename},
      {"Path", Category::kPath}, {"Paths", Category::kPaths}, {"AnyPath", Category::kAnyPath},
      {"DefaultDir", Category::kDefaultDir}, {"RegPath", Category::kRegPath},
      {"Formatted", Category::kFormatted}, {"FormattedSDDLText", Category::kFormattedSddlText},
      {"Template", Category::kTemplate}, {"Condition", Category::kCondition},
      {"GUID", Category::kGuid}, {"Version", Category::kVersion},
      {"Language", Category::kLanguage}, {"Binary", Category::kBinary},
      {"CustomSource", Category::kCustomSource}, {"Cabinet", Category::kCabinet},
      {"Shortcut", Category::kShortcut},
  }};
  for (const auto& [n, c] : kNames) {
    if (SameNoCase(n, name)) return c;
  }
  return std::nullopt;
}

int CheckText(Category category, std::string_view s) {
  auto verdict = [](bool good, int code) { return good ? MSIDBERROR_NOERROR : code; };
  if (s.empty()) return MSIDBERROR_NOERROR;  // null: Nullable's business
  switch (category) {
    case Category::kText:
      return MSIDBERROR_NOERROR;
    case Category::kUpperCase:
      for (char c : s) if (c >= 'a' && c <= 'z') return MSIDBERROR_BADCASE;
      return MSIDBERROR_NOERROR;
    case Category::kLowerCase:
      for (char c : s) if (c >= 'A' && c <= 'Z') return MSIDBERROR_BADCASE;
      return MSIDBERROR_NOERROR;
    case Category::kInteger:
    case Category::kDoubleInteger:
    case Category::kTimeDate:
      return CheckNumber(category, s);
    case Category::kIdentifier:
      return verdict(IsIdentifier(s), MSIDBERROR_BADIDENTIFIER);
    case Category::kProperty:
      return verdict(IsIdentifier(!s.empty() && s[0] == '%' ? s.substr(1) : s),
                     MSIDBERROR_BADPROPERTY);
    case Category::kFilename:
      return verdict(IsFilename(s, false), MSIDBERROR_BADFILENAME);
    case Category::kWildCardFilename:
      return verdict(IsFilename(s, true), MSIDBERROR_BADWILDCARD);
    case Category::kPath:
      return verdict(IsFullPath(s), MSIDBERROR_BADPATH);
    case Category::kPaths: {
      size_t start = 0;
      while (true) {
        const size_t semi = s.find(';', start);
        if (!IsFullPath(s.substr(start, semi == s.npos ? s.npos : semi - start))) {
          return MSIDBERROR_BADPATH;
        }
        if (semi == s.npos) return MSIDBERROR_NOERROR;
        start = semi + 1;
      }
    }
    case Category::kAnyPath:
      return verdict(IsAnyPath(s), MSIDBERROR_BADPATH);
    case Category::kDefaultDir:
      return verdict(IsDefaultDir(s), MSIDBERROR_BADDEFAULTDIR);
    case Category::kRegPath:
      return verdict(s.front() != '\\' && s.back() != '\\' && IsFormatted(s, false),
                     MSIDBERROR_BADREGPATH);
    case Category::kFormatted:
    case Category::kFormattedSddlText:
      return verdict(IsFormatted(s, false), MSIDBERROR_BADFORMATTED);
    case Category::kTemplate:
      return verdict(IsFormatted(s, true), MSIDBERROR_BADTEMPLATE);
    case Category::kCondition:
      return verdict(condition::CheckSyntax(s).ok, MSIDBERROR_BADCONDITION);
    case Category::kGuid:
      return verdict(IsGuid(s), MSIDBERROR_BADGUID);
    case Category::kVersion:
      return verdict(IsVersion(s), MSIDBERROR_BADVERSION);
    case Category::kLanguage:
      return verdict(IsLanguageList(s), MSIDBERROR_BADLANGUAGE);
    case Category::kBinary:
      // Text is never binary data.
      return MSIDBERROR_BADCATEGORY;
    case Category::kCustomSource:
      return verdict(IsIdentifier(s), MSIDBERROR_BADCUSTOMSOURCE);
    case Category::kCabinet:
      return verdict(IsCabinet(s), MSIDBERROR_BADCABINET);
    case Category::kShortcut:
      if (s.find('[') != s.npos) return verdict(IsFormatted(s, false), MSIDBERROR_BADSHORTCUT);
      return verdict(IsIdentifier(s), MSIDBERROR_BADSHORTCUT);
  }
  return MSIDBERROR_BADCATEGORY;
}

}  // namespace msi::validation
