// The compression of stream names inside a package: pairs of characters
// from a 64-character alphabet share one UTF-16 unit, and table streams
// carry a marker unit in front.
#pragma once

#include <string>
#include <string_view>

namespace msi {

inline constexpr char16_t kTableStreamMarker = 0x4840;

std::u16string EncodeStreamName(std::u16string_view name, bool is_table);
// Decodes a stored name; sets *is_table when it carried the table marker.
std::u16string DecodeStreamName(std::u16string_view stored, bool* is_table);

}  // namespace msi
