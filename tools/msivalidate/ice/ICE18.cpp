// ICE18: a component whose key path is its directory, and that puts nothing
// in it, must list that directory in CreateFolder: the installer removes
// empty folders, and the component would then never look installed.
#include <set>
#include <utility>

#include "evaluator.h"
#include "key_paths.h"

namespace msivalidate {
namespace {

using Pair = std::pair<std::string, std::string>;  // component, directory

void Run(Context& ctx) {
  const Table* component = ctx.Read("Component");
  if (!component) return;

  std::set<std::string> with_files;
  if (const Table* file = ctx.Read("File"))
    for (const Row& row : file->rows) with_files.insert(file->Text(row, "Component_"));
  // Files the component puts in (or takes from) a folder, by folder.
  std::set<Pair> with_folder_files;
  if (const Table* remove = ctx.Read("RemoveFile"))
    for (const Row& row : remove->rows)
      with_folder_files.emplace(remove->Text(row, "Component_"), remove->Text(row, "DirProperty"));
  for (const char* name : {"DuplicateFile", "MoveFile"}) {
    const Table* table = ctx.Read(name);
    if (!table) continue;
    for (const Row& row : table->rows) {
      const std::string comp = table->Text(row, "Component_");
      std::string folder = table->Text(row, "DestFolder");
      // A duplicate without a folder goes to its component's directory.
      if (table->IsNull(row, "DestFolder"))
        if (const Row* c = component->Find(comp)) folder = component->Text(*c, "Directory_");
      with_folder_files.emplace(comp, folder);
    }
  }
  std::set<Pair> created;
  if (const Table* create = ctx.Read("CreateFolder"))
    for (const Row& row : create->rows)
      created.emplace(create->Text(row, "Component_"), create->Text(row, "Directory_"));

  for (const Row& row : component->rows) {
    if (KeyPathKindOf(*component, row) != KeyPathKind::Directory) continue;
    const std::string name = component->Text(row, "Component");
    const std::string dir = component->Text(row, "Directory_");
    if (dir == "SystemFolder")
      ctx.Report(Severity::Error, *component, "KeyPath", row,
                 "KeyPath for Component: '" + name +
                     "' is Directory: 'SystemFolder'. That folder is on every system, so the "
                     "component would always look installed; use a file, registry entry or ODBC "
                     "data source as its key path.");
    if (with_files.count(name) || with_folder_files.count({name, dir}) ||
        created.count({name, dir}))
      continue;
    ctx.Report(Severity::Error, *component, "Directory_", row,
               "KeyPath for Component: '" + name + "' is Directory: '" + dir +
                   "'. The Directory/Component pair must be listed in the CreateFolder table.");
  }
}

const Registration kICE18("ICE18", Run);

}  // namespace
}  // namespace msivalidate
