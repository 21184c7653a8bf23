// ICE104: a package locks objects through LockPermissions or through
// MsiLockPermissionsEx, not both; each MsiLockPermissionsEx row names an
// existing object and holds SDDL text of sound syntax. Whether the
// descriptor means anything is left to the installer, as the suite does.
#include <cctype>
#include <map>
#include <set>

#include "evaluator.h"

namespace msivalidate {
namespace {

// Which column of each lockable table names the object.
const std::map<std::string, std::string, std::less<>> kLockable = {
    {"CreateFolder", "Directory_"}, {"File", "File"}, {"Registry", "Registry"},
    {"ServiceInstall", "ServiceInstall"}};

// Property references ([NAME]) stand for a SID or a right; they become "x".
std::string WithoutReferences(std::string_view text, bool* ok) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '[') {
      out += text[i];
      continue;
    }
    const size_t end = text.find(']', i);
    if (end == std::string_view::npos || end == i + 1) {
      *ok = false;
      return out;
    }
    out += 'x';
    i = end;
  }
  return out;
}

// An ACE: "(type;flags;rights;object;inherited object;sid)" (a seventh
// field for resource attributes), with a type and a SID.
bool IsAce(std::string_view ace) {
  std::vector<std::string_view> fields;
  for (size_t start = 0;;) {
    const size_t semi = ace.find(';', start);
    fields.push_back(ace.substr(start, semi == std::string_view::npos ? semi : semi - start));
    if (semi == std::string_view::npos) break;
    start = semi + 1;
  }
  return (fields.size() == 6 || fields.size() == 7) && !fields[0].empty() && !fields[5].empty();
}

// Where a part ("O:", "G:", "D:", "S:") begins.
bool AtPart(const std::string& s, size_t i) {
  return i + 1 < s.size() && s[i + 1] == ':' && std::isupper(static_cast<unsigned char>(s[i]));
}

// O:sid G:sid D:flags(ace)... S:flags(ace)..., each part at most once.
bool IsSddl(std::string_view text) {
  bool ok = true;
  const std::string s = WithoutReferences(text, &ok);
  if (!ok || s.empty()) return false;
  std::set<char> seen;
  size_t i = 0;
  while (i < s.size()) {
    const char part = s[i];
    if (!AtPart(s, i) || std::string_view("OGDS").find(part) == std::string_view::npos ||
        !seen.insert(part).second)
      return false;
    i += 2;
    const size_t start = i;
    if (part == 'O' || part == 'G') {
      while (i < s.size() && !AtPart(s, i)) ++i;
      if (i == start) return false;
      continue;
    }
    // Flags (P, AI, AR, NO_ACCESS_CONTROL), then the ACEs.
    while (i < s.size() && s[i] != '(' && !AtPart(s, i)) {
      if (s[i] != '_' && !std::isupper(static_cast<unsigned char>(s[i]))) return false;
      ++i;
    }
    while (i < s.size() && s[i] == '(') {
      const size_t close = s.find(')', i);
      if (close == std::string::npos || !IsAce(std::string_view(s).substr(i + 1, close - i - 1))) return false;
      i = close + 1;
    }
    if (i < s.size() && !AtPart(s, i)) return false;
  }
  return true;
}

void Run(Context& ctx) {
  const Table* ex = ctx.Read("MsiLockPermissionsEx");
  if (!ex) return;
  if (ctx.package().HasTable("LockPermissions"))
    ctx.ReportAt(Severity::Error, "MsiLockPermissionsEx", "", {},
                 "Both tables LockPermissions and MsiLockPermissionsEx exist in the database. Only one "
                 "such table should be present.");
  std::map<std::string, std::set<std::string, std::less<>>, std::less<>> objects;
  for (const auto& [table, column] : kLockable)
    if (const Table* t = ctx.Read(table))
      for (const Row& row : t->rows) objects[table].insert(t->Text(row, column));
  for (const Row& row : ex->rows) {
    const std::string key = ex->Text(row, "MsiLockPermissionsEx");
    const std::string object = ex->Text(row, "LockObject");
    const std::string table = ex->Text(row, "Table");
    auto found = objects.find(table);
    if (found == objects.end() || !found->second.count(object))
      ctx.Report(Severity::Error, *ex, "LockObject", row,
                 "Could not find item '" + object + "' in table '" + table +
                     "' which is referenced in the MsiLockPermissionsEx table entry "
                     "(MsiLockPermissionsEx = )" + key);
    const std::string sddl = ex->Text(row, "SDDLText");
    if (!IsSddl(sddl))
      ctx.Report(Severity::Error, *ex, "SDDLText", row,
                 "In the MsiLockPermissionsEx table entry (MsiLockPermissionsEx = )" + key +
                     ", SDDLText = " + sddl + " appears to be an invalid FormattedSDDLText value");
  }
}

const Registration kICE104("ICE104", Run);

}  // namespace
}  // namespace msivalidate
