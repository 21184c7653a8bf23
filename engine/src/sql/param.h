// A value given for a '?' marker.
#pragma once

#include <cstdint>
#include <string>

namespace msi::sql {

struct ParamValue {
  enum class Kind { kNull, kInteger, kString } kind = Kind::kNull;
  int32_t integer = 0;
  std::string text;  // UTF-8
};

}  // namespace msi::sql
