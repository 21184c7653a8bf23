// ICE80: the platform in the summary's Template agrees with what the
// package holds (64-bit components, 64-bit scripts, 64-bit folders and
// registry searches), a 64-bit platform comes with a schema that knows it,
// and ProductLanguage is one of the Template's languages.
#include <optional>
#include <sstream>

#include "evaluator.h"
#include "text_case.h"
#include "key_paths.h"
#include "per_user.h"

namespace msivalidate {
namespace {

constexpr int kCustomActionScript64 = 0x1000;
constexpr int kLocatorType64 = 0x10;

struct SummaryValue {
  UINT type = VT_EMPTY;
  int integer = 0;
  std::string text;
};

std::optional<SummaryValue> ReadSummary(MSIHANDLE info, UINT pid) {
  SummaryValue v;
  char small[256];
  DWORD size = sizeof small;
  UINT r = MsiSummaryInfoGetPropertyA(info, pid, &v.type, &v.integer, nullptr, small, &size);
  if (r == ERROR_MORE_DATA) {
    std::string big(size + 1, '\0');
    size = static_cast<DWORD>(big.size());
    r = MsiSummaryInfoGetPropertyA(info, pid, &v.type, &v.integer, nullptr, big.data(), &size);
    if (r == ERROR_SUCCESS) v.text = big.substr(0, size);
  } else if (r == ERROR_SUCCESS) {
    v.text.assign(small, size);
  }
  if (r != ERROR_SUCCESS) return std::nullopt;
  return v;
}

std::vector<std::string> Split(const std::string& text, char by) {
  std::vector<std::string> parts;
  std::istringstream in(text);
  for (std::string part; std::getline(in, part, by);) parts.push_back(part);
  return parts;
}

std::string_view BitnessFolder(std::string_view name) {
  static constexpr std::string_view kFolders[] = {"ProgramFilesFolder",   "CommonFilesFolder",
                                                  "SystemFolder",         "ProgramFiles64Folder",
                                                  "CommonFiles64Folder",  "System64Folder"};
  for (std::string_view f : kFolders)
    if (f == name) return f;
  return {};
}

bool Is64Folder(std::string_view folder) { return folder.find("64") != std::string_view::npos; }

void Run(Context& ctx) {
  MSIHANDLE info = 0;
  if (const UINT r = MsiGetSummaryInformationA(ctx.package().handle(), nullptr, 0, &info); r != ERROR_SUCCESS) {
    ctx.Fail("Cannot read the summary information: " + DescribeResult(r));
    return;
  }
  const auto template_value = ReadSummary(info, PID_TEMPLATE);
  const auto page_count = ReadSummary(info, PID_PAGECOUNT);
  MsiCloseHandle(info);
  if (!template_value || template_value->type != VT_LPSTR || template_value->text.empty()) {
    ctx.ReportAt(Severity::Error, "_SummaryInformation", "Template", {},
                 "Bad value in Summary Information Stream for PID_TEMPLATE.");
    return;
  }
  std::optional<int> schema;
  if (!page_count || page_count->type != VT_I4)
    ctx.ReportAt(Severity::Error, "_SummaryInformation", "PageCount", {},
                 "Bad value in Summary Information Stream for PID_PAGECOUNT.");
  else
    schema = page_count->integer;

  const std::string& text = template_value->text;
  const size_t semicolon = text.find(';');
  const std::string platforms = text.substr(0, semicolon);
  bool is64 = false;
  for (const std::string& platform : Split(platforms, ',')) {
    int needed = 0;
    if (SameNoCase(platform, "Intel64")) needed = 150;
    else if (SameNoCase(platform, "x64")) needed = 200;
    else if (SameNoCase(platform, "Arm64")) needed = 500;
    else continue;
    is64 = true;
    if (schema && *schema < needed)
      ctx.ReportAt(Severity::Error, "_SummaryInformation", "PageCount", {},
                   "This package is marked with " + platform + " but it has a schema less than " +
                       std::to_string(needed) + ".");
  }

  const Table* directory = ctx.Read("Directory");
  const NearestFolder bitness(directory, BitnessFolder);
  if (const Table* component = ctx.Read("Component"); component)
    for (const Row& row : component->rows) {
      const bool component64 = component->Integer(row, "Attributes").value_or(0) & kComponent64bit;
      const std::string name = component->Text(row, "Component");
      if (component64 && !is64)
        ctx.Report(Severity::Error, *component, "Attributes", row,
                   "This package contains 64 bit component '" + name +
                       "' but the Template Summary Property does not contain Intel64, x64, or Arm64.");
      const std::string dir = component->Text(row, "Directory_");
      const std::string_view folder = bitness.Of(dir);
      if (folder.empty()) continue;
      if (component64 && !Is64Folder(folder))
        ctx.Report(Severity::Error, *component, "Directory_", row,
                   "This 64BitComponent " + name + " uses 32BitDirectory " + dir);
      else if (!component64 && Is64Folder(folder))
        ctx.Report(Severity::Error, *component, "Directory_", row,
                   "This 32BitComponent " + name + " uses 64BitDirectory " + dir);
    }
  if (!is64) {
    if (const Table* action = ctx.Read("CustomAction"); action)
      for (const Row& row : action->rows) {
        const int type = action->Integer(row, "Type").value_or(0);
        const int base = type & 7;  // 5 JScript, 6 VBScript
        if ((base == 5 || base == 6) && (type & kCustomActionScript64))
          ctx.Report(Severity::Error, *action, "Type", row,
                     "This package contains 64 bit custom action script '" + action->Text(row, "Action") +
                         "' but the Template Summary Property does not contain Intel64, x64, or Arm64.");
      }
    if (directory)
      for (const Row& row : directory->rows) {
        const std::string dir = directory->Text(row, "Directory");
        if (Is64Folder(BitnessFolder(dir)))
          ctx.Report(Severity::Error, *directory, "Directory", row,
                     "This 32Bit Package is using 64 bit property " + dir);
      }
    if (const Table* locator = ctx.Read("RegLocator"); locator)
      for (const Row& row : locator->rows)
        if (locator->Integer(row, "Type").value_or(0) & kLocatorType64)
          ctx.Report(Severity::Error, *locator, "Type", row,
                     "This 32Bit Package is using 64 bit Locator Type in RegLocator table entry " +
                         locator->Text(row, "Signature_"));
  }

  const Table* property = ctx.Read("Property");
  const Row* language = property ? property->Find("ProductLanguage") : nullptr;
  if (!language) return;
  const std::string product_language = property->Text(*language, "Value");
  const std::string languages = semicolon == std::string::npos ? "" : text.substr(semicolon + 1);
  for (const std::string& l : Split(languages, ','))
    if (l == product_language) return;
  ctx.Report(Severity::Error, *property, "Value", *language,
             "The 'ProductLanguage' property in the Property table has a value of '" + product_language +
                 "', which is not contained in the Template Summary Property stream.");
}

const Registration kICE80("ICE80", Run);

}  // namespace
}  // namespace msivalidate
