#include "summary_info.h"

#include <cstdint>

namespace msiunpack {
namespace {

constexpr uint32_t kPropertyWordCount = 15;
constexpr uint32_t kTypeInt32 = 3;   // VT_I4
constexpr size_t kFirstSectionOffset = 44;  // after header and first FMTID

std::optional<uint32_t> Read32(const std::vector<unsigned char>& b, size_t at) {
  if (at > b.size() || b.size() - at < 4) return std::nullopt;
  return static_cast<uint32_t>(b[at]) | static_cast<uint32_t>(b[at + 1]) << 8 |
         static_cast<uint32_t>(b[at + 2]) << 16 | static_cast<uint32_t>(b[at + 3]) << 24;
}

}  // namespace

std::optional<int> SummaryWordCount(const std::vector<unsigned char>& stream) {
  const auto section = Read32(stream, kFirstSectionOffset);
  if (!section) return std::nullopt;
  const auto count = Read32(stream, size_t{*section} + 4);
  if (!count) return std::nullopt;
  for (uint32_t i = 0; i < *count; ++i) {
    const size_t entry = size_t{*section} + 8 + size_t{i} * 8;
    const auto id = Read32(stream, entry);
    const auto offset = Read32(stream, entry + 4);
    if (!id || !offset) return std::nullopt;
    if (*id != kPropertyWordCount) continue;
    const size_t at = size_t{*section} + *offset;
    const auto type = Read32(stream, at);
    const auto value = Read32(stream, at + 4);
    if (!type || !value || *type != kTypeInt32) return std::nullopt;
    return static_cast<int>(*value);
  }
  return std::nullopt;
}

}  // namespace msiunpack
