// DISTINCT: remembers the output values of the rows kept so far, so the
// first of equal rows is kept. Only the stored values are held (one flat
// array), found through an open-addressing table of their positions.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace msi::sql {

class DistinctFilter {
 public:
  explicit DistinctFilter(size_t width) : width_(width) {}

  // True the first time these `width` values are seen. Throws
  // std::bad_alloc when they cannot be remembered.
  bool Insert(const uint32_t* values);

 private:
  uint64_t Hash(const uint32_t* values) const;
  bool Equal(uint32_t entry, const uint32_t* values) const;
  void Grow();

  size_t width_;
  std::vector<uint32_t> keys_;   // `width_` values per kept row
  std::vector<uint32_t> slots_;  // 0 empty, else kept row + 1
  size_t count_ = 0;
};

}  // namespace msi::sql
