#include "sql/distinct_filter.h"

#include <algorithm>
#include <new>

namespace msi::sql {

uint64_t DistinctFilter::Hash(const uint32_t* values) const {
  uint64_t h = 0x9E3779B97F4A7C15ull;
  for (size_t i = 0; i < width_; ++i) {
    h ^= values[i];
    h *= 0xBF58476D1CE4E5B9ull;
    h ^= h >> 31;
  }
  return h;
}

bool DistinctFilter::Equal(uint32_t entry, const uint32_t* values) const {
  const auto first = keys_.begin() + static_cast<long>(static_cast<size_t>(entry) * width_);
  return std::equal(values, values + width_, first);
}

void DistinctFilter::Grow() {
  std::vector<uint32_t> slots(slots_.empty() ? 64 : slots_.size() * 2, 0);
  const size_t mask = slots.size() - 1;
  for (uint32_t s : slots_) {
    if (s == 0) continue;
    size_t i = Hash(&keys_[(s - 1) * width_]) & mask;
    while (slots[i] != 0) i = (i + 1) & mask;
    slots[i] = s;
  }
  slots_.swap(slots);
}

bool DistinctFilter::Insert(const uint32_t* values) {
  if ((count_ + 1) * 2 > slots_.size()) Grow();
  const size_t mask = slots_.size() - 1;
  size_t i = Hash(values) & mask;
  for (; slots_[i] != 0; i = (i + 1) & mask) {
    if (Equal(slots_[i] - 1, values)) return false;
  }
  if (count_ >= UINT32_MAX - 1u) throw std::bad_alloc();
  keys_.insert(keys_.end(), values, values + width_);
  slots_[i] = static_cast<uint32_t>(++count_);
  return true;
}

}  // namespace msi::sql
