// A table stream as stored: column-major cells, each as wide as its column
// type and the string reference width say. A commit carries the streams of
// tables nobody changed over this way, without decoding their rows.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "storage/table.h"

namespace msi {

// The reference width a stream of `size` bytes was written with: the
// string pool's request (2 or 3), or the other width when only that one
// divides the stream into whole rows, as the installer reads it.
unsigned StreamRefWidth(const TableSchema& schema, size_t size, unsigned hint);

// Bytes of one row at this reference width.
size_t StoredRowWidth(const TableSchema& schema, unsigned ref_width);

// Calls `visit(id)` for every non-null string reference of the stream.
template <typename Visit>
void ForEachStringRef(const TableSchema& schema, std::span<const uint8_t> data, unsigned ref_width,
                      Visit visit) {
  const size_t width = StoredRowWidth(schema, ref_width);
  const size_t rows = width == 0 ? 0 : data.size() / width;
  const uint8_t* p = data.data();
  for (const Column& c : schema.columns) {
    const unsigned w = c.StoredWidth(ref_width);
    if (c.kind() == ValueKind::kString) {
      for (size_t r = 0; r < rows; ++r, p += w) {
        uint32_t id = p[0] | (static_cast<uint32_t>(p[1]) << 8);
        if (w == 3) id |= static_cast<uint32_t>(p[2]) << 16;
        if (id != 0) visit(id);
      }
    } else {
      p += static_cast<size_t>(w) * rows;
    }
  }
}

// The same rows with string references `to` bytes wide.
std::vector<uint8_t> RewidthTableStream(const TableSchema& schema, std::span<const uint8_t> data,
                                        unsigned from, unsigned to);

}  // namespace msi
