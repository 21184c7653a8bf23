// The property set stream format (one section, FMTID_SummaryInformation)
// of \005SummaryInformation: bytes <-> property values. It knows the value
// types installers use and nothing about what each property means.
#pragma once

#include <cstdint>
#include <map>
#include <span>
#include <string>
#include <vector>

#include "status.h"

namespace msi {

// Property identifier of the codepage every text value is stored in.
inline constexpr uint32_t kPidCodepage = 1;

// Stored value types.
inline constexpr uint16_t kVtEmpty = 0, kVtI2 = 2, kVtI4 = 3, kVtLpstr = 30, kVtFileTime = 64;

struct PropertyValue {
  enum class Kind { Empty, I2, I4, Text, FileTime } kind = Kind::Empty;
  int32_t integer = 0;    // I2 (sign-extended) and I4
  uint64_t filetime = 0;  // 100 ns ticks since 1601-01-01 UTC
  std::string text;       // UTF-8

  static PropertyValue I2(int16_t v) { return {Kind::I2, v, 0, {}}; }
  static PropertyValue I4(int32_t v) { return {Kind::I4, v, 0, {}}; }
  static PropertyValue Text(std::string v) { return {Kind::Text, 0, 0, std::move(v)}; }
  static PropertyValue FileTime(uint64_t v) { return {Kind::FileTime, 0, v, {}}; }
  bool operator==(const PropertyValue&) const = default;
};

struct PropertySet {
  // PID_CODEPAGE (1) is an I2 and decides the text encoding; without it
  // text is windows-1252.
  std::map<uint32_t, PropertyValue> values;
  // The codepage text is stored in (the low 16 bits of property 1).
  int Codepage() const;
};

// Damaged input gives ERROR_INVALID_DATA (13), never a crash.
Result<PropertySet> DecodePropertySet(std::span<const uint8_t> stream);
// Text the codepage cannot hold gives ERROR_INVALID_PARAMETER (87).
Result<std::vector<uint8_t>> EncodePropertySet(const PropertySet& set);

}  // namespace msi
