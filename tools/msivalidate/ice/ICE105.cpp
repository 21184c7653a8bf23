// ICE105: a package that can install in the per-user context (ALLUSERS=2,
// MSIINSTALLPERUSER=1, or a summary that asks for no elevation, and not
// ALLUSERS=1) does nothing a user without elevation cannot: no elevated
// custom actions, no system folders, no assemblies in the global cache, no
// data sources, no services, no HKLM registry entries.
#include <array>
#include <string_view>

#include "evaluator.h"
#include "registry.h"

namespace msivalidate {
namespace {

constexpr int kCustomActionInScript = 0x400;
constexpr int kCustomActionNoImpersonate = 0x800;
constexpr int kWordCountNoElevation = 8;  // PID_WORDCOUNT: elevated privileges are not required

constexpr std::array<std::string_view, 9> kSystemFolders = {
    "AdminToolsFolder", "CommonAppDataFolder", "FontsFolder",   "System16Folder", "System64Folder",
    "SystemFolder",     "TempFolder",          "WindowsFolder", "WindowsVolume"};

std::string PropertyValue(const Table* property, std::string_view name) {
  const Row* row = property ? property->Find(name) : nullptr;
  return row ? property->Text(*row, "Value") : std::string();
}

bool AsksNoElevation(Context& ctx) {
  MSIHANDLE info = 0;
  if (MsiGetSummaryInformationA(ctx.package().handle(), nullptr, 0, &info) != ERROR_SUCCESS) return false;
  UINT type = VT_EMPTY;
  INT value = 0;
  const UINT r = MsiSummaryInfoGetPropertyA(info, PID_WORDCOUNT, &type, &value, nullptr, nullptr, nullptr);
  MsiCloseHandle(info);
  return r == ERROR_SUCCESS && type == VT_I4 && (value & kWordCountNoElevation);
}

bool InstallsPerUser(Context& ctx) {
  const Table* property = ctx.Read("Property");
  const std::string all_users = PropertyValue(property, "ALLUSERS");
  if (all_users == "1") return false;
  return all_users == "2" || PropertyValue(property, "MSIINSTALLPERUSER") == "1" || AsksNoElevation(ctx);
}

void Run(Context& ctx) {
  if (!InstallsPerUser(ctx)) return;
  if (const Table* action = ctx.Read("CustomAction"); action)
    for (const Row& row : action->rows) {
      const int type = action->Integer(row, "Type").value_or(0);
      if ((type & kCustomActionInScript) && (type & kCustomActionNoImpersonate))
        ctx.Report(Severity::Error, *action, "Type", row,
                   "The custom action '" + action->Text(row, "Action") + "' is marked to run with elevated privileges (in-script, "
                   "no impersonation); a per-user installation has none.");
    }
  if (const Table* directory = ctx.Read("Directory"); directory)
    for (const Row& row : directory->rows) {
      const std::string dir = directory->Text(row, "Directory");
      for (std::string_view folder : kSystemFolders)
        if (dir == folder)
          ctx.Report(Severity::Error, *directory, "Directory", row,
                     "The directory '" + dir + "' is a system folder; a per-user installation cannot write to it.");
    }
  if (const Table* assembly = ctx.Read("MsiAssembly"); assembly)
    for (const Row& row : assembly->rows)
      // A .NET assembly (Attributes 0) without File_Application goes to the global cache.
      if (assembly->Integer(row, "Attributes").value_or(0) == 0 && assembly->IsNull(row, "File_Application"))
        ctx.Report(Severity::Error, *assembly, "Component_", row,
                   "The component '" + assembly->Text(row, "Component_") +
                       "' installs a common language runtime assembly to the global assembly cache; a per-user "
                       "installation cannot write to it.");
  if (const Table* source = ctx.Read("ODBCDataSource"); source)
    for (const Row& row : source->rows)
      ctx.Report(Severity::Error, *source, "DataSource", row,
                 "The ODBC data source '" + source->Text(row, "DataSource") + "' is installed; a per-user package installs no data sources.");
  if (const Table* service = ctx.Read("ServiceInstall"); service)
    for (const Row& row : service->rows)
      ctx.Report(Severity::Error, *service, "Name", row,
                 "The service '" + service->Text(row, "Name") + "' is installed; a per-user package installs no services.");
  if (const Table* registry = ctx.Read("Registry"); registry)
    for (const Row& row : registry->rows)
      if (registry->Integer(row, "Root") == kRootLocalMachine)
        ctx.Report(Severity::Error, *registry, "Root", row,
                   "The registry entry '" + registry->Text(row, "Registry") + "' is written under HKEY_LOCAL_MACHINE; a per-user installation cannot write there.");
}

const Registration kICE105("ICE105", Run);

}  // namespace
}  // namespace msivalidate
