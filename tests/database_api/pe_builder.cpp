#include "pe_builder.h"

#include <initializer_list>

namespace api_test {

namespace {
// Appends each value as `width` little-endian bytes.
void Put(std::string& s, int width, std::initializer_list<uint64_t> values) {
  for (uint64_t v : values) {
    for (int i = 0; i < width; ++i) s += static_cast<char>((v >> (8 * i)) & 0xFF);
  }
}

// A version block: length, value length, type, key, padding, value, children.
std::string Block(const std::string& key, uint16_t type, const std::string& value,
                  const std::string& children) {
  std::string b;
  Put(b, 2, {0, value.size(), type});
  for (char c : key) Put(b, 2, {static_cast<uint8_t>(c)});
  Put(b, 2, {0});
  b.resize((b.size() + 3) & ~size_t{3}, '\0');
  b += value;
  b.resize((b.size() + 3) & ~size_t{3}, '\0');
  b += children;
  b[0] = static_cast<char>(b.size());
  b[1] = static_cast<char>(b.size() >> 8);
  return b;
}

std::string VersionBlock(uint32_t ms, uint32_t ls, uint16_t language) {
  std::string fixed, translation;
  Put(fixed, 4, {0xFEEF04BDu, 0x10000u, ms, ls, ms, ls, 0x3Fu, 0u, 0x40004u, 2u, 0u, 0u, 0u});
  Put(translation, 2, {language, 1200});
  return Block("VS_VERSION_INFO", 0, fixed,
               language == 0 ? "" : Block("VarFileInfo", 1, "", Block("Translation", 0, translation, "")));
}

}  // namespace

PeFile BuildPe(std::array<uint16_t, 4> version, bool pe32_plus, uint16_t language) {
  constexpr uint32_t kResourceRva = 0x1000, kRawOffset = 0x200;
  std::string block = VersionBlock((uint32_t{version[0]} << 16) | version[1],
                                   (uint32_t{version[2]} << 16) | version[3], language);
  std::string resources;  // type, name and language directories, one entry each
  for (auto [id, target] : {std::pair{16u, 0x80000018u}, {1u, 0x80000030u}, {0x409u, 72u}}) {
    Put(resources, 4, {0, 0, 0});
    Put(resources, 2, {0, 1});
    Put(resources, 4, {id, target});
  }
  Put(resources, 4, {kResourceRva + 88, block.size(), 0, 0});
  resources += block;
  const uint32_t raw_size = static_cast<uint32_t>((resources.size() + 511) & ~size_t{511});
  const int word = pe32_plus ? 8 : 4;  // width of the optional header's sizes

  PeFile pe;
  std::string& f = pe.bytes;
  f = "MZ";
  f.resize(0x3C, '\0');
  Put(f, 4, {0x40});
  f += std::string("PE\0\0", 4);
  Put(f, 2, {pe32_plus ? 0x8664u : 0x14Cu, 1});  // machine, one section
  Put(f, 4, {0, 0, 0});
  Put(f, 2, {pe32_plus ? 240u : 224u, 0x2102});  // optional header size, DLL
  pe.layout.optional_header = f.size();
  Put(f, 2, {pe32_plus ? 0x20Bu : 0x10Bu, 0x0E});
  Put(f, 4, {raw_size, 0, 0, 0, 0});  // code size ... base of code
  if (pe32_plus) Put(f, 8, {0x180000000ull});
  else Put(f, 4, {0, 0x10000000});  // base of data, image base
  Put(f, 4, {0x1000, 0x200});       // section and file alignment
  Put(f, 2, {6, 0, 0, 0, 6, 0});
  Put(f, 4, {0, 0x2000, 0x200, 0});  // image and header sizes, checksum
  Put(f, 2, {2, 0x140});
  Put(f, word, {0x100000, 0x100000, 0x100000, 0x100000});
  Put(f, 4, {0, 16});  // loader flags, data directories
  for (int i = 0; i < 16; ++i) {
    if (i == 2) pe.layout.resource_entry = f.size();
    Put(f, 4, {i == 2 ? kResourceRva : 0u, i == 2 ? resources.size() : 0u});
  }
  pe.layout.section_table = f.size();
  f += std::string(".rsrc\0\0\0", 8);
  Put(f, 4, {resources.size(), kResourceRva, raw_size, kRawOffset, 0, 0});
  Put(f, 2, {0, 0});
  Put(f, 4, {0x40000040});
  f.resize(kRawOffset, '\0');
  pe.layout.resource_section = f.size();
  pe.layout.version_block = f.size() + 88;
  f += resources;
  f.resize(kRawOffset + raw_size, '\0');
  return pe;
}

}  // namespace api_test
