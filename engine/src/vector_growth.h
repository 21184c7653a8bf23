// Making room before a change that must not fail half-way.
#pragma once

#include <cstddef>

namespace msi {

// Room for one more element, so that the push or insert that follows
// cannot throw. Grows geometrically: reserve(size() + 1) would reallocate
// on every call and make a run of appends quadratic.
template <typename Vector>
void ReserveOneMore(Vector& v) {
  if (v.size() < v.capacity()) return;
  v.reserve(v.size() < 8 ? 8 : v.size() * 2);
}

}  // namespace msi
