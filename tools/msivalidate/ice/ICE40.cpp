// ICE40: an authored REINSTALLMODE, RemoveIniFile tag deletions without a
// tag value, and (for old schemas) a missing Error table.
#include "evaluator.h"

namespace msivalidate {
namespace {

constexpr int kIniDeleteTag = 4;

void Run(Context& ctx) {
  if (const Table* property = ctx.Read("Property"))
    if (const Row* row = property->Find("REINSTALLMODE"))
      ctx.Report(Severity::Warning, *property, "Property", *row,
                 "REINSTALLMODE is defined in the Property table. This may cause difficulties.");

  if (const Table* remove = ctx.Read("RemoveIniFile"))
    for (const Row& row : remove->rows)
      if (remove->Integer(row, "Action") == kIniDeleteTag && remove->Text(row, "Value").empty())
        ctx.Report(Severity::Warning, *remove, "Value", row,
                   "RemoveIniFile entry " + remove->Text(row, "RemoveIniFile") +
                       " must have a value, because the Action is \"Delete Tag\" (4).");

  // Installers of schema 100 and later carry their own messages.
  if (!ctx.package().HasTable("Error")) {
    MSIHANDLE summary = 0;
    if (MsiGetSummaryInformationA(ctx.package().handle(), nullptr, 0, &summary) != ERROR_SUCCESS)
      return;
    UINT type = 0;
    INT pages = 0;
    const UINT r =
        MsiSummaryInfoGetPropertyA(summary, PID_PAGECOUNT, &type, &pages, nullptr, nullptr, nullptr);
    MsiCloseHandle(summary);
    if (r == ERROR_SUCCESS && type == VT_I4 && pages <= 100)
      ctx.ReportAt(Severity::Warning, "Error", "", {},
                   "Error Table is missing. Only numerical error messages will be generated.");
  }
}

const Registration kICE40("ICE40", Run);

}  // namespace
}  // namespace msivalidate
