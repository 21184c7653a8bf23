// ICE73: the package does not reuse the package, product or upgrade code of
// one of the installer SDK's sample packages.

#include "evaluator.h"
#include "text_case.h"

namespace msivalidate {
namespace {

struct Sample {
  const char* guid;
  const char* code;  // "ProductCode", "Package Code", "Upgrade Code"
  const char* package;
};

constexpr Sample kSamples[] = {
    {"{80F7E030-A751-11D2-A7D4-006097C99860}", "ProductCode", "orca.msi 1.0"},
    {"{000C1101-0000-0000-C000-000000000047}", "Package Code", "msispy.msi 1.0"},
};

// GUIDs {8FC7xxxx-88A0-4B41-82B8-8905D4AA904C} are kept for later SDK packages.
bool InSdkRange(const std::string& upper) {
  return upper.size() == 38 && upper.compare(0, 5, "{8FC7") == 0 &&
         upper.compare(9, 29, "-88A0-4B41-82B8-8905D4AA904C}") == 0;
}

void Check(const std::string& guid, const char* code, const std::function<void(std::string)>& report) {
  const std::string upper = Upper(guid);
  for (const Sample& s : kSamples)
    if (upper == s.guid && std::string(code) == s.code) {
      report("This package reuses the '" + guid + "' " + code + " of the " + s.package +
             " Windows Installer SDK package.");
      return;
    }
  if (InSdkRange(upper))
    report("This package reuses the '" + guid + "' " + code + " of a 1.1 Windows Installer SDK package.");
}

void Run(Context& ctx) {
  if (const Table* property = ctx.Read("Property"))
    for (const auto& [name, code] : {std::pair{"ProductCode", "ProductCode"}, {"UpgradeCode", "Upgrade Code"}})
      if (const Row* row = property->Find(name))
        Check(property->Text(*row, "Value"), code, [&](std::string message) {
          ctx.Report(Severity::Warning, *property, "Value", *row, std::move(message));
        });
  MSIHANDLE info = 0;
  if (MsiGetSummaryInformationA(ctx.package().handle(), nullptr, 0, &info) != ERROR_SUCCESS) return;
  UINT type = VT_EMPTY;
  char text[64];
  DWORD size = sizeof text;
  const UINT r = MsiSummaryInfoGetPropertyA(info, PID_REVNUMBER, &type, nullptr, nullptr, text, &size);
  MsiCloseHandle(info);
  // A package code is a GUID; a longer text cannot be one of the samples'.
  if (r != ERROR_SUCCESS || type != VT_LPSTR) return;
  Check(std::string(text, size), "Package Code", [&](std::string message) {
    ctx.ReportAt(Severity::Warning, "_SummaryInformation", "RevNumber", {}, std::move(message));
  });
}

const Registration kICE73("ICE73", Run);

}  // namespace
}  // namespace msivalidate
