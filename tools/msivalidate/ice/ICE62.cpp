// ICE62: isolated components (IsolatedComponent table) are authored so the
// isolation holds: the application's key path is a file, the shared
// component is reference counted, unconditioned and installed with (or
// above) the application's feature, and no two applications sharing it live
// in one directory.
#include <map>
#include <set>

#include "evaluator.h"
#include "key_paths.h"

namespace msivalidate {
namespace {

void Run(Context& ctx) {
  const Table* isolated = ctx.Read("IsolatedComponent");
  const Table* component = ctx.Read("Component");
  if (!isolated || !component) return;
  const Table* feature_components = ctx.Read("FeatureComponents");
  const Table* feature = ctx.Read("Feature");

  std::map<std::string, std::vector<std::string>> features_of;  // component -> features
  if (feature_components)
    for (const Row& row : feature_components->rows)
      features_of[feature_components->Text(row, "Component_")].push_back(
          feature_components->Text(row, "Feature_"));
  // `ancestor` is `f` or a parent of it; the walk stops after as many steps
  // as there are features, so a cycle cannot hold it.
  auto is_at_or_above = [&](std::string f, const std::string& ancestor) {
    const size_t limit = feature ? feature->rows.size() + 1 : 1;
    for (size_t step = 0; step < limit && !f.empty(); ++step) {
      if (f == ancestor) return true;
      const Row* row = feature ? feature->Find(f) : nullptr;
      if (!row) break;
      std::string parent = feature->Text(*row, "Feature_Parent");
      if (parent == f) break;
      f = std::move(parent);
    }
    return false;
  };

  std::map<std::pair<std::string, std::string>, int> apps_per_dir;  // (shared, directory) -> count
  for (const Row& row : isolated->rows) {
    const Row* app = component->Find(isolated->Text(row, "Component_Application"));
    if (app)
      ++apps_per_dir[{isolated->Text(row, "Component_Shared"), component->Text(*app, "Directory_")}];
  }

  std::set<std::string> shared_reported;  // the shared component's own faults, once each
  for (const Row& row : isolated->rows) {
    const std::string shared_name = isolated->Text(row, "Component_Shared");
    const std::string app_name = isolated->Text(row, "Component_Application");
    const Row* shared = component->Find(shared_name);
    const Row* app = component->Find(app_name);
    if (app && (component->IsNull(*app, "KeyPath") || KeyPathKindOf(*component, *app) != KeyPathKind::File))
      ctx.Report(Severity::Error, *isolated, "Component_Application", row,
                 "The component '" + app_name +
                     "' is listed as an isolated application component in the IsolatedComponent table, but the "
                     "key path is not a file.");
    if (shared && shared_reported.insert(shared_name).second) {
      if (!(component->Integer(*shared, "Attributes").value_or(0) & kComponentSharedDllRefCount))
        ctx.Report(Severity::Error, *isolated, "Component_Shared", row,
                   "The component '" + shared_name +
                       "' is listed as an isolated shared component in the IsolatedComponent table, but is not "
                       "marked with the SharedDllRefCount component attribute.");
      if (!component->Text(*shared, "Condition").empty())
        ctx.Report(Severity::Warning, *isolated, "Component_Shared", row,
                   "The isolated shared component '" + shared_name +
                       "' (referenced in the IsolatedComponent table) is conditionalized. Isolated shared "
                       "component conditions should never change from TRUE to FALSE after the first install of "
                       "the product.");
    }
    if (!shared || !app) continue;
    const auto& shared_features = features_of[shared_name];
    for (const std::string& app_feature : features_of[app_name]) {
      bool covered = false;
      for (const std::string& f : shared_features)
        if (is_at_or_above(app_feature, f)) covered = true;
      if (!covered)
        ctx.Report(Severity::Error, *isolated, "Component_Shared", row,
                   "The isolated shared component '" + shared_name +
                       "' is not installed by the same feature as (or a parent feature of) its isolated "
                       "application component '" + app_name + "' (which is installed by feature '" +
                       app_feature + "').");
    }
    const std::string dir = component->Text(*app, "Directory_");
    if (apps_per_dir[{shared_name, dir}] > 1)
      ctx.Report(Severity::Warning, *isolated, "Component_Application", row,
                 "The isolated shared component '" + shared_name + "' is shared by multiple applications "
                 "(including '" + app_name + "') that are installed to the directory '" + dir + "'.");
  }
}

const Registration kICE62("ICE62", Run);

}  // namespace
}  // namespace msivalidate
