// A value given for a '?' marker.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace msi::sql {

struct ParamValue {
  enum class Kind { kNull, kInteger, kString, kStream } kind = Kind::kNull;
  int32_t integer = 0;
  std::string text;  // UTF-8
  std::shared_ptr<const std::vector<uint8_t>> stream;
};

}  // namespace msi::sql
