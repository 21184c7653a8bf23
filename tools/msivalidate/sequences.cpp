#include "sequences.h"

#include <algorithm>
#include <iterator>

namespace msivalidate {
namespace {

struct ActionInfo {
  std::string_view name;
  unsigned sections;
  bool script;
};

// Sorted by name (byte order) for the binary search; the static_assert
// below keeps it so.
constexpr ActionInfo kActions[] = {
    {"ADMIN", kAnywhere, false},
    {"ADVERTISE", kAnywhere, false},
    {"AllocateRegistrySpace", kExecution, true},
    {"AppSearch", kSearch, false},
    {"BindImage", kExecution, true},
    {"CCPSearch", kSearch, false},
    {"CostFinalize", kAnywhere, false},
    {"CostInitialize", kAnywhere, false},
    {"CreateFolders", kExecution, true},
    {"CreateShortcuts", kExecution, true},
    {"DeleteServices", kExecution, true},
    {"DisableRollback", kAnywhere, false},
    {"DuplicateFiles", kExecution, true},
    {"ExecuteAction", kAnywhere, false},
    {"FileCost", kCosting, false},
    {"FindRelatedProducts", kAnywhere, false},
    {"ForceReboot", kAnywhere, false},
    {"INSTALL", kAnywhere, false},
    {"InstallAdminPackage", kExecution, true},
    {"InstallExecute", kExecution, false},
    {"InstallExecuteAgain", kExecution, false},
    {"InstallFiles", kExecution, true},
    {"InstallFinalize", kAnywhere, false},
    {"InstallInitialize", kExecution, false},
    {"InstallODBC", kExecution, true},
    {"InstallSFPCatalogFile", kExecution, true},
    {"InstallServices", kExecution, true},
    {"InstallValidate", kAnywhere, false},
    {"IsolateComponents", kCosting, false},
    {"LaunchConditions", kAnywhere, false},
    {"MigrateFeatureStates", kSelection, false},
    {"MoveFiles", kExecution, true},
    {"MsiConfigureServices", kExecution, true},
    {"MsiPublishAssemblies", kExecution, true},
    {"MsiUnpublishAssemblies", kExecution, true},
    {"PatchFiles", kExecution, true},
    {"ProcessComponents", kExecution, true},
    {"PublishComponents", kExecution, true},
    {"PublishFeatures", kExecution, true},
    {"PublishProduct", kExecution, true},
    {"RMCCPSearch", kSearch, false},
    {"RegisterClassInfo", kExecution, true},
    {"RegisterComPlus", kExecution, true},
    {"RegisterExtensionInfo", kExecution, true},
    {"RegisterFonts", kExecution, true},
    {"RegisterMIMEInfo", kExecution, true},
    {"RegisterProduct", kExecution, true},
    {"RegisterProgIdInfo", kExecution, true},
    {"RegisterTypeLibraries", kExecution, true},
    {"RegisterUser", kExecution, true},
    {"RemoveDuplicateFiles", kExecution, true},
    {"RemoveEnvironmentStrings", kExecution, true},
    {"RemoveExistingProducts", kExecution | kPostExecution, false},
    {"RemoveFiles", kExecution, true},
    {"RemoveFolders", kExecution, true},
    {"RemoveIniValues", kExecution, true},
    {"RemoveODBC", kExecution, true},
    {"RemoveRegistryValues", kExecution, true},
    {"RemoveShortcuts", kExecution, true},
    {"ResolveSource", kAnywhere, false},
    {"SEQUENCE", kAnywhere, false},
    {"ScheduleReboot", kAnywhere, false},
    {"SelfRegModules", kExecution, true},
    {"SelfUnregModules", kExecution, true},
    {"SetODBCFolders", kSelection, false},
    {"StartServices", kExecution, true},
    {"StopServices", kExecution, true},
    {"UnpublishComponents", kExecution, true},
    {"UnpublishFeatures", kExecution, true},
    {"UnregisterClassInfo", kExecution, true},
    {"UnregisterComPlus", kExecution, true},
    {"UnregisterExtensionInfo", kExecution, true},
    {"UnregisterFonts", kExecution, true},
    {"UnregisterMIMEInfo", kExecution, true},
    {"UnregisterProgIdInfo", kExecution, true},
    {"UnregisterTypeLibraries", kExecution, true},
    {"ValidateProductID", kAnywhere, false},
    {"WriteEnvironmentStrings", kExecution, true},
    {"WriteIniValues", kExecution, true},
    {"WriteRegistryValues", kExecution, true},
};

const ActionInfo* Lookup(std::string_view action) {
  auto it = std::lower_bound(std::begin(kActions), std::end(kActions), action,
                             [](const ActionInfo& a, std::string_view n) { return a.name < n; });
  return it != std::end(kActions) && it->name == action ? &*it : nullptr;
}

static_assert([] {
  for (size_t i = 1; i < std::size(kActions); ++i)
    if (!(kActions[i - 1].name < kActions[i].name)) return false;
  return true;
}());

}  // namespace

const char* SectionName(Section s) {
  switch (s) {
    case kSearch: return "Search";
    case kCosting: return "Costing";
    case kSelection: return "Selection";
    case kExecution: return "Execution";
    case kPostExecution: return "PostExecution";
    default: return "Any";
  }
}

bool IsStandardAction(std::string_view action) { return Lookup(action) != nullptr; }

unsigned AllowedSections(std::string_view action) {
  const ActionInfo* a = Lookup(action);
  return a ? a->sections : kAnywhere;
}

bool IsScriptAction(std::string_view action) {
  const ActionInfo* a = Lookup(action);
  return a && a->script;
}

}  // namespace msivalidate
