// ICE33: Registry rows that write what the Class, ProgId, Extension, Verb,
// AppId, MIME or TypeLib tables are for (obsolete warnings: the installer
// does not need those tables, but rows written both ways overwrite each
// other and are not advertised).
#include <set>

#include "evaluator.h"
#include "text_case.h"

namespace msivalidate {
namespace {

std::vector<std::string> Segments(std::string_view key) {
  std::vector<std::string> out;
  size_t start = 0;
  while (start <= key.size()) {
    size_t slash = key.find('\\', start);
    if (slash == std::string_view::npos) slash = key.size();
    if (slash > start) out.emplace_back(key.substr(start, slash - start));
    start = slash + 1;
  }
  return out;
}

// The key below HKEY_CLASSES_ROOT the row writes, or nullopt when it
// writes elsewhere. Root 0 is HKCR; the others reach it through
// Software\Classes.
std::optional<std::vector<std::string>> ClassesKey(const Table& registry, const Row& row) {
  const std::optional<int> root = registry.Integer(row, "Root");
  if (!root) return std::nullopt;
  std::vector<std::string> key = Segments(registry.Text(row, "Key"));
  if (*root == 0) return key;
  if (key.size() >= 2 && Lower(key[0]) == "software" && Lower(key[1]) == "classes")
    return std::vector<std::string>(key.begin() + 2, key.end());
  return std::nullopt;
}

// Keys below HKCR that belong to the system or to things the tables cannot
// express (interfaces, verbs on all files or folders).
bool IsSystemClassesKey(const std::string& lower) {
  static const std::set<std::string> kKeys = {
      "*", "allfilesystemobjects", "applications", "component categories", "directory",
      "drive", "folder", "interface", "systemfileassociations"};
  return kKeys.count(lower) != 0;
}

bool IsGuid(const std::string& s) { return s.size() == 38 && s.front() == '{' && s.back() == '}'; }

void Run(Context& ctx) {
  const Table* registry = ctx.Read("Registry");
  if (!registry) return;
  // ProgIds: those of the ProgId table and the keys that carry a ProgId's
  // subkeys (its class, version, icon or verbs).
  std::set<std::string> progids;
  if (const Table* progid = ctx.Read("ProgId"))
    for (const Row& row : progid->rows) progids.insert(Lower(progid->Text(row, "ProgId")));
  for (const Row& row : registry->rows) {
    const auto key = ClassesKey(*registry, row);
    if (!key || key->size() < 2) continue;
    const std::string first = Lower((*key)[0]);
    const std::string second = Lower((*key)[1]);
    if (first.empty() || first[0] == '.' || IsSystemClassesKey(first)) continue;
    if (second == "clsid" || second == "curver" || second == "defaulticon" || second == "shell")
      progids.insert(first);
  }

  for (const Row& row : registry->rows) {
    const auto key = ClassesKey(*registry, row);
    if (!key || key->empty()) continue;
    const std::string first = Lower((*key)[0]);
    const bool has_shell = key->size() >= 3 && Lower((*key)[1]) == "shell";
    const char* kind = nullptr;
    const char* table = nullptr;
    if (first == "clsid" && key->size() >= 2 && IsGuid((*key)[1])) {
      kind = "COM class";
      table = "Class";
    } else if (first == "appid" && key->size() >= 2 && IsGuid((*key)[1])) {
      kind = "remote server AppID";
      table = "AppId";
    } else if (first == "typelib" && key->size() >= 2 && IsGuid((*key)[1])) {
      kind = "type library";
      table = "TypeLib";
    } else if (first == "mime" && key->size() >= 4 && Lower((*key)[1]) == "database" &&
               Lower((*key)[2]) == "content type") {
      kind = "MIME type";
      table = "MIME";
    } else if (!first.empty() && first[0] == '.') {
      kind = has_shell ? "shell verb" : "file name extension";
      table = has_shell ? "Verb" : "Extension";
    } else if (progids.count(first)) {
      kind = has_shell ? "shell verb" : "ProgId";
      table = has_shell ? "Verb" : "ProgId";
    }
    if (!kind) continue;
    ctx.Report(Severity::Warning, *registry, "Key", row,
               "Reg Key " + registry->Text(row, "Registry") + " registers a " + kind +
                   " through the Registry table; it should be registered through the " + table +
                   " table. This entry may overwrite a value written through that table.");
  }
}

const Registration kICE33("ICE33", Run);

}  // namespace
}  // namespace msivalidate
