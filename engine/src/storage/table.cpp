#include "storage/table.h"

namespace msi {

Result<std::unique_ptr<Table>> Table::Decode(TableSchema schema, const std::vector<uint8_t>& data,
                                             unsigned ref_width_hint) {
  auto table = std::make_unique<Table>(std::move(schema));
  const auto& cols = table->schema_.columns;
  if (cols.empty() || data.empty()) return table;
  auto row_width = [&](unsigned ref) {
    size_t w = 0;
    for (const Column& c : cols) w += c.StoredWidth(ref);
    return w;
  };
  unsigned ref = ref_width_hint == 3 ? 3 : 2;
  const unsigned other = ref == 3 ? 2 : 3;
  if (data.size() % row_width(ref) != 0 && data.size() % row_width(other) == 0) ref = other;
  const size_t width = row_width(ref);
  const size_t rows = data.size() / width;
  table->cells_.resize(rows * cols.size());
  size_t offset = 0;
  for (size_t c = 0; c < cols.size(); ++c) {
    const unsigned w = cols[c].StoredWidth(ref);
    const uint8_t* p = data.data() + offset;
    for (size_t r = 0; r < rows; ++r, p += w) {
      uint32_t v = p[0] | (static_cast<uint32_t>(p[1]) << 8);
      if (w >= 3) v |= static_cast<uint32_t>(p[2]) << 16;
      if (w == 4) v |= static_cast<uint32_t>(p[3]) << 24;
      table->cells_[r * cols.size() + c] = v;
    }
    offset += static_cast<size_t>(w) * rows;
  }
  return table;
}

const std::vector<uint32_t>& Table::RowsWithValue(size_t col, uint32_t stored) {
  static const std::vector<uint32_t> kNone;
  auto it = indexes_.find(col);
  if (it == indexes_.end()) {
    auto& index = indexes_[col];
    const size_t n = row_count();
    for (size_t r = 0; r < n; ++r) index[cell(r, col)].push_back(static_cast<uint32_t>(r));
    it = indexes_.find(col);
  }
  auto hit = it->second.find(stored);
  return hit == it->second.end() ? kNone : hit->second;
}

}  // namespace msi
