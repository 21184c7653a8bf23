// A strict, test-only compound file parser. It is written apart from the
// engine so that writer tests check files against the format rather than
// against the writer's own idea of it: any rule a file breaks makes the
// parse fail with a description.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace cfbtest {

struct Stream {
  std::u16string name;
  std::vector<uint8_t> data;
};

// Children come in sibling order (the in-order walk of the tree).
struct Storage {
  std::u16string name;
  std::array<uint8_t, 16> clsid{};
  uint32_t state_bits = 0;
  uint64_t created = 0;
  uint64_t modified = 0;
  std::vector<Stream> streams;
  std::vector<Storage> storages;
};

struct ParsedFile {
  unsigned major_version = 0;
  Storage root;
  uint32_t sector_count = 0;      // sectors after the header
  uint32_t fat_sectors = 0;
  uint32_t difat_sectors = 0;
  uint32_t mini_fat_sectors = 0;
  uint32_t directory_sectors = 0;
  uint32_t used_entries = 0;      // directory entries in the tree
  uint64_t mini_stream_size = 0;
};

// Parses `file`, checking every structural rule; returns "" and fills
// `out` when the file is sound, or the first fault found.
std::string ParseStrict(const std::vector<uint8_t>& file, ParsedFile& out);

// Sibling order of the format, computed with the C library's wide-character
// upper-casing in a UTF-8 locale rather than the engine's table.
int ReferenceCompareNames(std::u16string_view a, std::u16string_view b);

// The C library's simple upper-casing of one code unit (UTF-8 locale).
char16_t ReferenceUpperCase(char16_t unit);

}  // namespace cfbtest
