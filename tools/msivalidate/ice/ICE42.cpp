// ICE42: an in-process COM server is not an EXE, and only local servers
// take arguments or a default in-process handler.

#include "directories.h"
#include "evaluator.h"
#include "text_case.h"
#include "key_paths.h"

namespace msivalidate {
namespace {

bool EndsWith(std::string_view text, std::string_view tail) {
  return text.size() >= tail.size() && text.substr(text.size() - tail.size()) == tail;
}

void Run(Context& ctx) {
  const Table* klass = ctx.Read("Class");
  if (!klass) return;
  const Table* component = ctx.Read("Component");
  const Table* file = ctx.Read("File");
  for (const Row& row : klass->rows) {
    const std::string clsid = klass->Text(row, "CLSID");
    const std::string context = klass->Text(row, "Context");
    const std::string lower = Lower(context);
    const bool local = lower == "localserver" || lower == "localserver32";
    if (lower == "inprocserver" || lower == "inprocserver32") {
      const std::string name = klass->Text(row, "Component_");
      const Row* c = component ? component->Find(name) : nullptr;
      const Row* key = c && file && KeyPathKindOf(*component, *c) == KeyPathKind::File
                           ? file->Find(component->Text(*c, "KeyPath"))
                           : nullptr;
      const std::string file_name = key ? std::string(LongName(file->Text(*key, "FileName"))) : std::string();
      if (EndsWith(Lower(file_name), ".exe"))
        ctx.Report(Severity::Error, *klass, "Component_", row,
                   "CLSID '" + clsid + "' is an InProc server, but the implementing component '" + name +
                       "' has an EXE ('" + file_name + "') as its KeyFile.");
    }
    if (local) continue;
    if (!klass->IsNull(row, "Argument"))
      ctx.Report(Severity::Error, *klass, "Argument", row,
                 "CLSID '" + clsid + "' in context '" + context +
                     "' has an argument. Only LocalServer contexts can have arguments.");
    if (!klass->IsNull(row, "DefInprocHandler"))
      ctx.Report(Severity::Error, *klass, "DefInprocHandler", row,
                 "CLSID '" + clsid + "' in context '" + context +
                     "' specifies a default InProc value. Only LocalServer contexts can have default InProc "
                     "values.");
  }
}

const Registration kICE42("ICE42", Run);

}  // namespace
}  // namespace msivalidate
