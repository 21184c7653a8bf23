// Small Windows libraries (PE32 or PE32+) carrying a version resource, with
// the offsets of their parts so tests can damage them.
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace api_test {

struct PeFile {
  std::string bytes;
  struct {
    size_t optional_header;   // magic word
    size_t resource_entry;    // data directory entry 2 (RVA, size)
    size_t section_table;     // the one section header
    size_t resource_section;  // resource directory root, in the file
    size_t version_block;     // VS_VERSIONINFO, in the file
  } layout;
};

// `language` 0 leaves out the translation table (VarFileInfo).
PeFile BuildPe(std::array<uint16_t, 4> version, bool pe32_plus = false, uint16_t language = 0);

}  // namespace api_test
