#include "report_sarif.h"

#include <map>
#include <nlohmann/json.hpp>

namespace msivalidate {
namespace {

using Json = nlohmann::ordered_json;

const char* Level(Severity s) {
  switch (s) {
    case Severity::Failure:
    case Severity::Error: return "error";
    case Severity::Warning: return "warning";
    case Severity::Info: return "note";
  }
  return "error";
}

// A path as a URI reference: unreserved characters and '/' stay, the rest
// is percent-encoded (spaces, '#', '%', non-ASCII bytes).
std::string PathUri(const std::string& path) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string uri;
  for (const char ch : path) {
    const auto c = static_cast<unsigned char>(ch);
    if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
        c == '-' || c == '.' || c == '_' || c == '~' || c == '/') {
      uri += ch;
    } else {
      uri += '%';
      uri += kHex[c >> 4];
      uri += kHex[c & 15];
    }
  }
  return uri;
}

}  // namespace

std::string FormatSarif(const std::vector<PackageFindings>& packages,
                        const std::vector<std::pair<std::string, std::string>>& rules,
                        const std::string& version) {
  Json rule_list = Json::array();
  std::map<std::string, size_t> rule_index;
  for (const auto& [id, description] : rules) {
    rule_index[id] = rule_list.size();
    rule_list.push_back({{"id", id}, {"shortDescription", {{"text", description}}}});
  }
  Json artifacts = Json::array();
  Json results = Json::array();
  Json notifications = Json::array();
  for (size_t p = 0; p < packages.size(); ++p) {
    const PackageFindings& package = packages[p];
    const Json artifact = {{"uri", PathUri(package.path)}, {"index", p}};
    artifacts.push_back({{"location", {{"uri", PathUri(package.path)}}}});
    if (!package.opened) {
      notifications.push_back(
          {{"level", "error"},
           {"message", {{"text", package.path + ": " + package.open_error}}},
           {"locations", {{{"physicalLocation", {{"artifactLocation", artifact}}}}}}});
      continue;
    }
    for (const Finding& f : package.findings) {
      Json location = {{"physicalLocation", {{"artifactLocation", artifact}}}};
      if (!f.table.empty()) {
        const std::string name = f.column.empty() ? f.table : f.table + "." + f.column;
        location["logicalLocations"] = {{{"fullyQualifiedName", name}, {"kind", "member"}}};
      }
      Json result = {{"ruleId", f.ice}};
      if (auto it = rule_index.find(f.ice); it != rule_index.end()) result["ruleIndex"] = it->second;
      result["level"] = Level(f.severity);
      result["message"] = {{"text", f.message}};
      result["locations"] = Json::array({location});
      result["properties"] = {{"type", SeverityName(f.severity)},
                              {"table", f.table},
                              {"column", f.column},
                              {"keys", f.keys}};
      results.push_back(std::move(result));
    }
  }
  Json invocation = {{"executionSuccessful", notifications.empty()}};
  if (!notifications.empty()) invocation["toolExecutionNotifications"] = notifications;
  Json run = {{"tool",
               {{"driver",
                 {{"name", "msivalidate"}, {"version", version}, {"rules", rule_list}}}}},
              {"invocations", Json::array({invocation})},
              {"artifacts", artifacts},
              {"results", results}};
  const Json log = {{"$schema", "https://json.schemastore.org/sarif-2.1.0.json"},
                    {"version", "2.1.0"},
                    {"runs", Json::array({run})}};
  // Texts from a damaged package may not be valid UTF-8; JSON must be.
  return log.dump(2, ' ', false, Json::error_handler_t::replace) + "\n";
}

}  // namespace msivalidate
