#include "storage/table_stream.h"

namespace msi {

size_t StoredRowWidth(const TableSchema& schema, unsigned ref_width) {
  size_t w = 0;
  for (const Column& c : schema.columns) w += c.StoredWidth(ref_width);
  return w;
}

unsigned StreamRefWidth(const TableSchema& schema, size_t size, unsigned hint) {
  const unsigned ref = hint == 3 ? 3 : 2;
  const unsigned other = ref == 3 ? 2 : 3;
  const size_t width = StoredRowWidth(schema, ref), other_width = StoredRowWidth(schema, other);
  if (width == 0 || other_width == 0) return ref;
  return size % width != 0 && size % other_width == 0 ? other : ref;
}

std::vector<uint8_t> RewidthTableStream(const TableSchema& schema, std::span<const uint8_t> data,
                                        unsigned from, unsigned to) {
  const size_t width = StoredRowWidth(schema, from);
  const size_t rows = width == 0 ? 0 : data.size() / width;
  std::vector<uint8_t> out;
  out.reserve(rows * StoredRowWidth(schema, to));
  const uint8_t* p = data.data();
  for (const Column& c : schema.columns) {
    const unsigned w = c.StoredWidth(from);
    if (c.kind() != ValueKind::kString) {
      out.insert(out.end(), p, p + static_cast<size_t>(w) * rows);
      p += static_cast<size_t>(w) * rows;
      continue;
    }
    for (size_t r = 0; r < rows; ++r, p += w) {
      const uint32_t id = p[0] | (static_cast<uint32_t>(p[1]) << 8) |
                          (w == 3 ? static_cast<uint32_t>(p[2]) << 16 : 0u);
      for (unsigned i = 0; i < to; ++i) out.push_back(static_cast<uint8_t>(id >> (8 * i)));
    }
  }
  return out;
}

}  // namespace msi
