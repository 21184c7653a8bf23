#include "transform/transform_summary.h"

#include <algorithm>

#include "storage/property_set.h"

namespace msi {
namespace {

constexpr uint32_t kPidTitle = 2, kPidComments = 6, kPidTemplate = 7, kPidLastAuthor = 8,
                   kPidRevision = 9, kPidPageCount = 14, kPidCharCount = 16;

Result<PropertySet> SummaryOf(Database& db) {
  auto where = db.FindStream("\005SummaryInformation");
  if (!where) return PropertySet();
  auto bytes = db.ReadStream(*where);
  if (!bytes.ok()) return bytes.status();
  return DecodePropertySet(**bytes);
}

// A value of the Property table; empty when there is none.
std::string Property(Database& db, const std::string& name) {
  if (db.Schema("Property") == nullptr) return std::string();
  auto t = db.GetTable("Property");
  if (!t.ok() || (*t)->column_count() < 2) return std::string();
  const uint32_t id = db.strings().Find(name);
  if (id == 0) return std::string();
  for (uint32_t row : (*t)->RowsWithValue(0, id)) {
    return std::string(db.strings().Utf8((*t)->cell(row, 1)));
  }
  return std::string();
}

std::string Text(const PropertySet& set, uint32_t pid) {
  auto it = set.values.find(pid);
  return it == set.values.end() ? std::string() : it->second.text;
}

}  // namespace

Result<std::vector<uint8_t>> TransformSummary(Database& newer, Database& reference,
                                              int error_conditions, int validation) {
  auto old_set = SummaryOf(reference);
  if (!old_set.ok()) return old_set.status();
  auto new_set = SummaryOf(newer);
  if (!new_set.ok()) return new_set.status();
  PropertySet out;
  for (const auto& [pid, value] : old_set->values) {
    if (pid == kPidCodepage || (pid >= kPidTitle && pid <= kPidComments)) out.values[pid] = value;
  }
  out.values[kPidTemplate] = PropertyValue::Text(Text(*old_set, kPidTemplate));
  out.values[kPidLastAuthor] = PropertyValue::Text(Text(*new_set, kPidTemplate));
  out.values[kPidRevision] = PropertyValue::Text(
      Property(reference, "ProductCode") + Property(reference, "ProductVersion") + ";" +
      Property(newer, "ProductCode") + Property(newer, "ProductVersion") + ";" +
      Property(reference, "UpgradeCode"));
  auto page = [](const PropertySet& s) {
    auto it = s.values.find(kPidPageCount);
    return it == s.values.end() ? 0 : it->second.integer;
  };
  out.values[kPidPageCount] = PropertyValue::I4(std::max(page(*old_set), page(*new_set)));
  out.values[kPidCharCount] = PropertyValue::I4(static_cast<int32_t>(
      (static_cast<uint32_t>(validation & 0xFFFF) << 16) | static_cast<uint32_t>(error_conditions & 0xFFFF)));
  return EncodePropertySet(out);
}

}  // namespace msi
