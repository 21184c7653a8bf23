// ICE87: properties that pick features or components for one run belong on
// the command line; stored in Property they apply again at uninstall.
#include "evaluator.h"

namespace msivalidate {
namespace {

constexpr const char* kCommandLineOnly[] = {
    "ADDLOCAL",     "REMOVE",        "ADDSOURCE",    "ADDDEFAULT",    "REINSTALL",     "ADVERTISE",
    "COMPADDLOCAL", "COMPADDSOURCE", "FILEADDLOCAL", "FILEADDSOURCE", "FILEADDDEFAULT"};

void Run(Context& ctx) {
  const Table* property = ctx.Read("Property");
  if (!property) return;
  for (const char* name : kCommandLineOnly)
    if (const Row* row = property->Find(name))
      ctx.Report(Severity::Warning, *property, "Property", *row,
                 std::string("The property '") + name +
                     "' shouldn't be authored into the Property table. Doing so might cause the "
                     "product to not be uninstalled correctly");
}

const Registration kICE87("ICE87", Run);

}  // namespace
}  // namespace msivalidate
