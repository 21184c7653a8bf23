// ICE05: the Property table holds the properties every product needs.
// A package without the table lacks them all.
#include "evaluator.h"

namespace msivalidate {
namespace {

const char* const kRequired[] = {"ProductName", "ProductLanguage", "ProductVersion", "ProductCode",
                                 "Manufacturer"};

void Run(Context& ctx) {
  const Table* property = ctx.Read("Property");
  if (!property && ctx.failed()) return;
  for (const char* name : kRequired) {
    if (property && property->Find(name)) continue;
    ctx.ReportAt(Severity::Error, "Property", "", {name},
                 std::string("The entry: '") + name + "' is required in the 'Property' table.");
  }
}

const Registration kICE05("ICE05", Run);

}  // namespace
}  // namespace msivalidate
