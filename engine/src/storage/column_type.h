// The column type word of _Columns and what follows from it.
#pragma once

#include <cstdint>
#include <string>

namespace msi {

namespace coltype {
inline constexpr uint16_t kWidthMask = 0x00FF;
inline constexpr uint16_t kValid = 0x0100;
inline constexpr uint16_t kLocalizable = 0x0200;
inline constexpr uint16_t kAscii = 0x0400;  // text, or a 2-byte integer
inline constexpr uint16_t kString = 0x0800;
inline constexpr uint16_t kNullable = 0x1000;
inline constexpr uint16_t kKey = 0x2000;
inline constexpr uint16_t kTemporary = 0x4000;
}  // namespace coltype

enum class ValueKind { kInteger, kString, kBinary };

struct Column {
  std::string name;
  uint16_t type = 0;

  ValueKind kind() const {
    if ((type & coltype::kString) == 0) return ValueKind::kInteger;
    return (type & coltype::kAscii) != 0 ? ValueKind::kString : ValueKind::kBinary;
  }
  bool is_key() const { return (type & coltype::kKey) != 0; }
  bool nullable() const { return (type & coltype::kNullable) != 0; }
  bool temporary() const { return (type & coltype::kTemporary) != 0; }
  // Integers of width 1 or 2 are stored in two bytes.
  bool short_int() const { return (type & coltype::kWidthMask) <= 2; }
  // Bytes one value takes in a table stream.
  unsigned StoredWidth(unsigned string_ref_width) const {
    switch (kind()) {
      case ValueKind::kString: return string_ref_width;
      case ValueKind::kBinary: return 2;
      case ValueKind::kInteger: return short_int() ? 2 : 4;
    }
    return 4;
  }
  // The installer's type text, e.g. s72, S255, L0, i2, I4, v0.
  std::string TypeText() const;
};

// Stored integers are offset so that a stored 0 can mean null.
inline uint32_t StoreInt(int32_t value, bool short_int) {
  return short_int ? (static_cast<uint32_t>(value) + 0x8000u) & 0xFFFFu
                   : static_cast<uint32_t>(value) ^ 0x80000000u;
}
inline int32_t LoadInt(uint32_t stored, bool short_int) {
  return short_int ? static_cast<int32_t>(stored) - 0x8000
                   : static_cast<int32_t>(stored ^ 0x80000000u);
}

}  // namespace msi
