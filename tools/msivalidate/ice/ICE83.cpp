// ICE83: a Win32 assembly's component is not kept by its manifest, and a
// package with assemblies sequences both MsiPublishAssemblies and
// MsiUnpublishAssemblies.
#include "evaluator.h"

namespace msivalidate {
namespace {

constexpr int kAssemblyWin32 = 1;  // MsiAssembly.Attributes; 0 or null: .NET

void Run(Context& ctx) {
  const Table* assembly = ctx.Read("MsiAssembly");
  if (!assembly || assembly->rows.empty()) return;
  const Table* component = ctx.Read("Component");
  for (const Row& row : assembly->rows) {
    if (assembly->Integer(row, "Attributes").value_or(0) != kAssemblyWin32 ||
        assembly->IsNull(row, "File_Manifest") || !component)
      continue;
    const std::string name = assembly->Text(row, "Component_");
    const Row* c = component->Find(name);
    if (c && !component->IsNull(*c, "KeyPath") &&
        component->Text(*c, "KeyPath") == assembly->Text(row, "File_Manifest"))
      ctx.Report(Severity::Error, *assembly, "File_Manifest", row,
                 "The key path for Win32 SXS Assembly (Component_=" + name + ") SHOULD NOT be its manifest file");
  }
  const Table* execute = ctx.Read("InstallExecuteSequence");
  if (!execute || !execute->Find("MsiPublishAssemblies") || !execute->Find("MsiUnpublishAssemblies"))
    ctx.ReportAt(Severity::Error, "InstallExecuteSequence", "Action", {},
                 "Both MsiPublishAssemblies AND MsiUnpublishAssemblies actions MUST be present in "
                 "InstallExecuteSequence table.");
}

const Registration kICE83("ICE83", Run);

}  // namespace
}  // namespace msivalidate
