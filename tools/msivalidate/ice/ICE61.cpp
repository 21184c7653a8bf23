// ICE61: the Upgrade table's found-properties are public, secured, not
// preset and used once; its version ranges are valid and ordered; and the
// product removes only older versions of itself.
#include <array>
#include <cctype>
#include <map>
#include <set>

#include "evaluator.h"
#include "text_case.h"

namespace msivalidate {
namespace {

constexpr int kOnlyDetect = 0x2;
constexpr int kVersionMaxInclusive = 0x200;

using Version = std::array<long, 4>;

// major.minor.build[.revision], 255.255.65535 at most; fewer fields count
// as zeros.
std::optional<Version> ParseVersion(const std::string& s) {
  static const long kMax[] = {255, 255, 65535, 65535};
  Version v{};
  size_t field = 0, start = 0;
  for (;;) {
    const size_t dot = s.find('.', start);
    const std::string_view part = std::string_view(s).substr(
        start, dot == std::string::npos ? std::string::npos : dot - start);
    if (field >= 4 || part.empty() || part.size() > 6) return std::nullopt;
    long n = 0;
    for (char c : part) {
      if (!std::isdigit(static_cast<unsigned char>(c))) return std::nullopt;
      n = n * 10 + (c - '0');
    }
    if (n > kMax[field]) return std::nullopt;
    v[field++] = n;
    if (dot == std::string::npos) return v;
    start = dot + 1;
  }
}

void Run(Context& ctx) {
  const Table* upgrade = ctx.Read("Upgrade");
  if (!upgrade) return;
  const Table* property = ctx.Read("Property");
  auto value = [&](const char* name) -> std::optional<std::string> {
    const Row* row = property ? property->Find(name) : nullptr;
    if (!row) return std::nullopt;
    return property->Text(*row, "Value");
  };
  std::set<std::string> secure;
  if (const auto list = value("SecureCustomProperties")) {
    size_t start = 0;
    for (;;) {
      const size_t semi = list->find(';', start);
      secure.insert(list->substr(start, semi == std::string::npos ? std::string::npos : semi - start));
      if (semi == std::string::npos) break;
      start = semi + 1;
    }
  }
  const std::string product_upgrade_code = Upper(value("UpgradeCode").value_or(""));
  const std::optional<std::string> product_version_text = value("ProductVersion");
  const std::optional<Version> product_version =
      product_version_text ? ParseVersion(*product_version_text) : std::nullopt;

  std::set<std::string> used;
  for (const Row& row : upgrade->rows) {
    const std::string action = upgrade->Text(row, "ActionProperty");
    if (!action.empty()) {
      if (property && property->Find(action))
        ctx.Report(Severity::Error, *upgrade, "ActionProperty", row,
                   "Upgrade.ActionProperty " + action +
                       " must not be authored in the Property table: FindRelatedProducts sets it.");
      if (action != Upper(action))
        ctx.Report(Severity::Error, *upgrade, "ActionProperty", row,
                   "Upgrade.ActionProperty " + action + " must not contain lowercase letters.");
      if (!secure.count(action))
        ctx.Report(Severity::Error, *upgrade, "ActionProperty", row,
                   "Upgrade.ActionProperty " + action +
                       " must be added to the SecureCustomProperties property.");
      if (!used.insert(action).second)
        ctx.Report(Severity::Error, *upgrade, "ActionProperty", row,
                   "Upgrade.ActionProperty " + action +
                       " may be used in only one record of the Upgrade table.");
    }

    std::optional<Version> min, max;
    bool versions_valid = true;
    for (const char* column : {"VersionMin", "VersionMax"}) {
      if (upgrade->IsNull(row, column)) continue;
      const std::string text = upgrade->Text(row, column);
      const std::optional<Version> v = ParseVersion(text);
      if (!v) {
        versions_valid = false;
        ctx.Report(Severity::Error, *upgrade, column, row,
                   std::string("Upgrade.") + column + " '" + text +
                       "' is not a valid product version. (" + action + ")");
      }
      (std::string_view(column) == "VersionMin" ? min : max) = v;
    }
    if (!versions_valid) continue;
    if (min && max && *max < *min)
      ctx.Report(Severity::Error, *upgrade, "VersionMax", row,
                 "Upgrade.VersionMax cannot be less than Upgrade.VersionMin. (" + action + ")");

    // A row of this product that removes what it finds must stop below the
    // product's own version. Without an upper bound the row is left alone.
    const int attributes = upgrade->Integer(row, "Attributes").value_or(0);
    if (!max || !product_version || (attributes & kOnlyDetect) ||
        Upper(upgrade->Text(row, "UpgradeCode")) != product_upgrade_code)
      continue;
    if (*max > *product_version || (*max == *product_version && (attributes & kVersionMaxInclusive)))
      ctx.Report(Severity::Warning, *upgrade, "VersionMax", row,
                 "This product should remove only older versions of itself. The Maximum version is "
                 "not less than the current product. (" + upgrade->Text(row, "VersionMax") + " " +
                     *product_version_text + ")");
  }
}

const Registration kICE61("ICE61", Run);

}  // namespace
}  // namespace msivalidate
