// ICE69: [$component] and [#file] references in formatted columns name the
// row's own component. A reference to another component (or to its file)
// resolves to nothing when that component is not being changed: a warning
// when both share a feature, an error otherwise. Verb and AppId rows belong
// to every component of their extension or class, and a reference to any
// other is a warning.
#include <map>
#include <set>
#include <string>
#include <vector>

#include "evaluator.h"
#include "formatted_text.h"

namespace msivalidate {
namespace {

struct FormattedColumns {
  const char* table;
  std::vector<const char*> columns;
};

// The Formatted (and RegPath, Shortcut) columns of each table's page.
const FormattedColumns kTables[] = {
    {"IniFile", {"Section", "Key", "Value"}},
    {"RemoveIniFile", {"Section", "Key", "Value"}},
    {"Registry", {"Key", "Name", "Value"}},
    {"RemoveRegistry", {"Key", "Name"}},
    {"ServiceControl", {"Name", "Arguments"}},
    {"ServiceInstall",
     {"Name", "DisplayName", "Dependencies", "StartName", "Password", "Arguments", "Description"}},
    {"Shortcut", {"Target", "Arguments", "DisplayResourceDLL", "DescriptionResourceDLL"}},
    {"Class", {"Argument"}},
    {"Environment", {"Name", "Value"}},
    {"Verb", {"Argument"}},
    {"AppId", {"RemoteServerName", "ServiceParameters"}},
};

using Names = std::set<std::string, std::less<>>;

class Checker {
 public:
  explicit Checker(Context& ctx) : ctx_(ctx) {
    if (const Table* fc = ctx.Read("FeatureComponents"))
      for (const Row& row : fc->rows)
        features_[fc->Text(row, "Component_")].insert(fc->Text(row, "Feature_"));
    file_ = ctx.Read("File");
  }

  // `owners` are the components the row belongs to (one, except for Verb
  // and AppId rows, which are `shared`).
  void Check(const Table& table, const Row& row, const char* column, const Names& owners, bool shared) {
    if (owners.empty()) return;
    const std::string text = table.Text(row, column);
    if (text.find('[') == std::string::npos) return;
    for (const FormattedReference& ref : FormattedReferences(text)) {
      std::string other, what;
      if (ref.kind == '$') {
        if (owners.count(ref.name)) continue;
        other = std::string(ref.name);
        what = "references component '" + other + "'";
      } else if (ref.kind == '#' && file_) {
        const Row* file = file_->Find(ref.name);
        if (!file) continue;
        other = file_->Text(*file, "Component_");
        if (owners.count(other)) continue;
        what = "references file '" + std::string(ref.name) + "' which belongs to component '" + other + "'";
      } else {
        continue;
      }
      if (shared) {
        Report(table, row, column, owners, true, Severity::Warning,
               what + ", which is not one of them.");
        continue;
      }
      const bool same = ShareFeature(*owners.begin(), other);
      Report(table, row, column, owners, false, same ? Severity::Warning : Severity::Error,
             what + ". Components are " + (same ? "" : "not ") + "in the same feature.");
    }
  }

 private:
  bool ShareFeature(const std::string& a, const std::string& b) const {
    const auto fa = features_.find(a), fb = features_.find(b);
    if (fa == features_.end() || fb == features_.end()) return false;
    for (const std::string& f : fa->second)
      if (fb->second.count(f)) return true;
    return false;
  }

  void Report(const Table& table, const Row& row, const char* column, const Names& owners, bool shared,
              Severity severity, const std::string& what) {
    std::string entry;
    for (const std::string& key : table.Keys(row)) entry += (entry.empty() ? "" : ".") + key;
    std::string belongs;
    if (shared) {
      for (const std::string& o : owners) belongs += (belongs.empty() ? "'" : ", '") + o + "'";
      belongs = "components " + belongs;
    } else {
      belongs = "component '" + *owners.begin() + "'";
    }
    ctx_.Report(severity, table, column, row,
                "Mismatched component reference. Entry '" + entry + "' of the " + table.name +
                    " table belongs to " + belongs + ". However, the formatted string in column '" + column +
                    "' " + what);
  }

  Context& ctx_;
  std::map<std::string, Names, std::less<>> features_;
  const Table* file_ = nullptr;
};

void Run(Context& ctx) {
  Checker checker(ctx);
  // Extensions and classes to the components that install them.
  std::map<std::string, Names, std::less<>> extension_components, appid_components;
  if (const Table* extension = ctx.Read("Extension"))
    for (const Row& row : extension->rows)
      extension_components[extension->Text(row, "Extension")].insert(extension->Text(row, "Component_"));
  if (const Table* cls = ctx.Read("Class"))
    for (const Row& row : cls->rows)
      if (!cls->IsNull(row, "AppId_"))
        appid_components[cls->Text(row, "AppId_")].insert(cls->Text(row, "Component_"));

  const Names none;
  for (const FormattedColumns& spec : kTables) {
    if (!ctx.package().HasTable(spec.table)) continue;
    const Table* table = ctx.Read(spec.table);
    if (!table) continue;
    const std::string name = spec.table;
    const bool via_extension = name == "Verb", via_class = name == "AppId";
    for (const Row& row : table->rows) {
      Names own;
      const Names* owners = &own;
      if (via_extension || via_class) {
        const auto& map = via_extension ? extension_components : appid_components;
        const auto it = map.find(table->Text(row, via_extension ? "Extension_" : "AppId"));
        owners = it == map.end() ? &none : &it->second;
      } else if (!table->IsNull(row, "Component_")) {
        own.insert(table->Text(row, "Component_"));
      }
      for (const char* column : spec.columns)
        if (table->Has(column)) checker.Check(*table, row, column, *owners, via_extension || via_class);
    }
  }
}

const Registration kICE69("ICE69", Run);

}  // namespace
}  // namespace msivalidate
