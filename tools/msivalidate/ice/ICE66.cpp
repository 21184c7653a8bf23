// ICE66: the schema (summary PageCount) is recent enough for the tables the
// package uses; an older installer ignores a table it does not know.
#include "evaluator.h"

namespace msivalidate {
namespace {

struct Needed {
  const char* table;
  int schema;
  const char* version;
};

constexpr Needed kTables[] = {
    {"IsolatedComponent", 110, "1.1"},     {"MsiAssembly", 150, "1.5"},
    {"MsiAssemblyName", 150, "1.5"},       {"MsiDigitalCertificate", 200, "2.0"},
    {"MsiDigitalSignature", 200, "2.0"},   {"MsiFileHash", 200, "2.0"},
    {"MsiPatchHeaders", 200, "2.0"},       {"MsiPackageCertificate", 300, "3.0"},
    {"MsiPatchCertificate", 300, "3.0"},   {"MsiPatchMetadata", 300, "3.0"},
    {"MsiPatchSequence", 300, "3.0"},      {"MsiEmbeddedUI", 450, "4.5"},
    {"MsiEmbeddedChainer", 450, "4.5"},    {"MsiLockPermissionsEx", 500, "5.0"},
    {"MsiServiceConfig", 500, "5.0"},      {"MsiServiceConfigFailureActions", 500, "5.0"},
    {"MsiShortcutProperty", 500, "5.0"},
};

void Run(Context& ctx) {
  MSIHANDLE info = 0;
  if (const UINT r = MsiGetSummaryInformationA(ctx.package().handle(), nullptr, 0, &info); r != ERROR_SUCCESS) {
    ctx.Fail("Cannot read the summary information: " + DescribeResult(r));
    return;
  }
  UINT type = VT_EMPTY;
  INT schema = 0;
  DWORD size = 0;
  const UINT r = MsiSummaryInfoGetPropertyA(info, PID_PAGECOUNT, &type, &schema, nullptr, nullptr, &size);
  MsiCloseHandle(info);
  if (r != ERROR_SUCCESS || type != VT_I4) return;  // ICE80 reports a missing or bad schema
  for (const Needed& n : kTables)
    if (schema < n.schema && ctx.package().HasTable(n.table))
      ctx.ReportAt(Severity::Warning, n.table, "", {},
                   std::string("Complete functionality of the ") + n.table +
                       " table is only available with Windows Installer versions " + n.version +
                       " or greater. Your schema is " + std::to_string(schema) + ".");
}

const Registration kICE66("ICE66", Run);

}  // namespace
}  // namespace msivalidate
