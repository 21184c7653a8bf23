// ICE102: service configuration rows run on install, uninstall or
// reinstall of an existing component, and their arguments fit the
// configuration they set; failure actions pair each action with a delay.
#include <cctype>
#include <optional>
#include <vector>

#include "evaluator.h"

namespace msivalidate {
namespace {

constexpr int kEventMask = 0x1 | 0x2 | 0x4;  // install, uninstall, reinstall

constexpr int kDelayedAutoStart = 3;
constexpr int kFailureActionsFlag = 4;
constexpr int kServiceSid = 5;
constexpr int kRequiredPrivileges = 6;
constexpr int kPreshutdown = 7;

bool IsDigits(std::string_view s) {
  if (s.empty() || s.size() > 9) return false;
  for (char c : s)
    if (!std::isdigit(static_cast<unsigned char>(c))) return false;
  return true;
}

// The elements of a "[~]"-separated list; an empty text has none.
std::vector<std::string_view> Elements(std::string_view text) {
  std::vector<std::string_view> out;
  if (text.empty()) return out;
  for (size_t start = 0;;) {
    const size_t sep = text.find("[~]", start);
    out.push_back(text.substr(start, sep == std::string_view::npos ? sep : sep - start));
    if (sep == std::string_view::npos) break;
    start = sep + 3;
  }
  return out;
}

bool IsPrivilegeList(std::string_view text) {
  const auto list = Elements(text);
  if (list.empty()) return false;
  for (std::string_view p : list)
    if (p.size() <= 11 || p.substr(0, 2) != "Se" || p.substr(p.size() - 9) != "Privilege") return false;
  return true;
}

// The rules shared by both tables: the event and the component.
void CheckCommon(Context& ctx, const Table& table, const Row& row, const Table* component) {
  const std::string key = table.Text(row, table.name);
  const std::optional<int> event = table.Integer(row, "Event");
  if (!event || *event == 0 || (*event & ~kEventMask) != 0)
    ctx.Report(Severity::Error, table, "Event", row,
               "In the " + table.name + " table entry (" + table.name + " = )" + key + ", Event =" +
                   table.Text(row, "Event") +
                   " is not a valid parameter. It should be a combination of install (1), uninstall (2) "
                   "and reinstall (4).");
  const std::string comp = table.Text(row, "Component_");
  if (!component || !component->Find(comp))
    ctx.Report(Severity::Error, table, "Component_", row,
               "In the " + table.name + " table entry (" + table.name + " = )" + key + ", Component_ =" +
                   comp + " is not a component of the Component table.");
}

void CheckConfig(Context& ctx, const Table& config, const Table* component) {
  for (const Row& row : config.rows) {
    CheckCommon(ctx, config, row, component);
    const std::string entry =
        "In the MsiServiceConfig table entry (MsiServiceConfig = )" + config.Text(row, "MsiServiceConfig");
    const int type = config.Integer(row, "ConfigType").value_or(0);
    const std::string argument = config.Text(row, "Argument");
    const char* name = nullptr;
    const char* should = nullptr;
    bool ok = true;
    switch (type) {
      case kDelayedAutoStart:
        name = "SERVICE_CONFIG_DELAYED_AUTO_START_INFO", should = "0 or 1";
        ok = argument == "0" || argument == "1";
        break;
      case kFailureActionsFlag:
        name = "SERVICE_CONFIG_FAILURE_ACTIONS_FLAG", should = "0 or 1";
        ok = argument == "0" || argument == "1";
        break;
      case kServiceSid:
        name = "SERVICE_CONFIG_SERVICE_SID_INFO",
        should = "SERVICE_SID_TYPE_NONE (0), SERVICE_SID_TYPE_UNRESTRICTED (1) or SERVICE_SID_TYPE_RESTRICTED (3)";
        ok = argument == "0" || argument == "1" || argument == "3";
        break;
      case kRequiredPrivileges:
        name = "SERVICE_CONFIG_REQUIRED_PRIVILEGES_INFO", should = "a [~]-separated list of privilege constants";
        ok = IsPrivilegeList(argument);
        break;
      case kPreshutdown:
        name = "SERVICE_CONFIG_PRESHUTDOWN_INFO", should = "a positive number or empty";
        if (config.IsNull(row, "Argument"))
          ctx.Report(Severity::Warning, config, "Argument", row,
                     entry + ", Argument field is left blank. Default preshutdown value of 180000 will be used");
        else
          ok = IsDigits(argument) && argument.find_first_not_of('0') != std::string::npos;
        break;
      default:
        ctx.Report(Severity::Error, config, "ConfigType", row,
                   entry + ", ConfigType =" + config.Text(row, "ConfigType") +
                       " is not a valid parameter. It should be between 3 and 7.");
        continue;
    }
    if (!ok)
      ctx.Report(Severity::Error, config, "Argument", row,
                 entry + ", Argument =" + argument + " is not a valid " + name + " parameter. It should be " +
                     should + ".");
  }
}

void CheckFailureActions(Context& ctx, const Table& failure, const Table* component) {
  for (const Row& row : failure.rows) {
    CheckCommon(ctx, failure, row, component);
    const std::string entry = "In the MsiServiceConfigFailureActions table entry (MsiServiceConfigFailureActions = )" +
                              failure.Text(row, "MsiServiceConfigFailureActions");
    if (failure.IsNull(row, "ResetPeriod"))
      ctx.Report(Severity::Warning, failure, "ResetPeriod", row,
                 entry + ", ResetPeriod is left blank. It will be replaced with INFINITE.");
    bool lists_ok = true;
    std::vector<size_t> counts;
    for (const char* column : {"Actions", "DelayActions"}) {
      const std::string text = failure.Text(row, column);
      const auto list = Elements(text);
      counts.push_back(list.size());
      bool ok = true;
      for (std::string_view v : list) ok = ok && IsDigits(v);
      if (ok) continue;
      lists_ok = false;
      ctx.Report(Severity::Error, failure, column, row,
                 entry + ", " + column + "=" + text +
                     " is not a valid parameter. It should be a list of null-separated non-negative integers.");
    }
    if (lists_ok && counts[0] != counts[1])
      ctx.Report(Severity::Error, failure, "DelayActions", row,
                 entry + ", number of Actions (=" + std::to_string(counts[0]) +
                     ") is not equal to the number of DelayActions (=" + std::to_string(counts[1]) +
                     "). They should be equal.");
  }
}

void Run(Context& ctx) {
  const Table* config = ctx.Read("MsiServiceConfig");
  const Table* failure = ctx.Read("MsiServiceConfigFailureActions");
  if (!config && !failure) return;
  const Table* component = ctx.Read("Component");
  if (config) CheckConfig(ctx, *config, component);
  if (failure) CheckFailureActions(ctx, *failure, component);
}

const Registration kICE102("ICE102", Run);

}  // namespace
}  // namespace msivalidate
