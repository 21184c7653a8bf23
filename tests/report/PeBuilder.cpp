#include "PeBuilder.h"

namespace pellacor::testing {

namespace {
void Put16(std::string& s, uint16_t v) {
  s += static_cast<char>(v & 0xFF);
  s += static_cast<char>(v >> 8);
}
void Put32(std::string& s, uint32_t v) {
  Put16(s, static_cast<uint16_t>(v & 0xFFFF));
  Put16(s, static_cast<uint16_t>(v >> 16));
}
void Put64(std::string& s, uint64_t v) {
  Put32(s, static_cast<uint32_t>(v));
  Put32(s, static_cast<uint32_t>(v >> 32));
}
void PadTo(std::string& s, size_t size) { s.resize(size, '\0'); }

std::string VersionBlock(uint32_t ms, uint32_t ls) {
  std::string body;
  Put16(body, 0);   // length, filled in below
  Put16(body, 52);  // value length: VS_FIXEDFILEINFO
  Put16(body, 0);   // binary value
  for (char c : std::string("VS_VERSION_INFO")) Put16(body, static_cast<uint8_t>(c));
  Put16(body, 0);
  PadTo(body, (body.size() + 3) & ~size_t{3});
  for (uint32_t v : {0xFEEF04BDu, 0x10000u, ms, ls, ms, ls, 0x3Fu, 0u, 0x40004u,
                     2u, 0u, 0u, 0u}) {
    Put32(body, v);
  }
  body[0] = static_cast<char>(body.size() & 0xFF);
  body[1] = static_cast<char>(body.size() >> 8);
  return body;
}

std::string Directory(uint32_t id, uint32_t target) {
  std::string d;
  for (int i = 0; i < 3; ++i) Put32(d, 0);  // characteristics, stamp, version
  Put16(d, 0);                             // named entries
  Put16(d, 1);                             // id entries
  Put32(d, id);
  Put32(d, target);
  return d;
}
}  // namespace

PeFile BuildPe(std::array<uint16_t, 4> version, bool pe32_plus) {
  constexpr uint32_t kResourceRva = 0x1000;
  constexpr uint32_t kRawOffset = 0x200;
  std::string block = VersionBlock((uint32_t{version[0]} << 16) | version[1],
                                   (uint32_t{version[2]} << 16) | version[3]);
  std::string resources = Directory(16, 0x80000000u | 24) +
                          Directory(1, 0x80000000u | 48) + Directory(0x409, 72);
  Put32(resources, kResourceRva + 88);
  Put32(resources, static_cast<uint32_t>(block.size()));
  Put32(resources, 0);
  Put32(resources, 0);
  resources += block;
  uint32_t raw_size = static_cast<uint32_t>((resources.size() + 511) & ~size_t{511});

  PeFile pe;
  std::string& f = pe.bytes;
  f = "MZ";
  PadTo(f, 0x3C);
  Put32(f, 0x40);
  pe.layout.pe_header = f.size();
  f += std::string("PE\0\0", 4);
  uint16_t optional_size = pe32_plus ? 240 : 224;
  Put16(f, pe32_plus ? 0x8664 : 0x14C);
  Put16(f, 1);  // sections
  Put32(f, 0);
  Put32(f, 0);
  Put32(f, 0);
  Put16(f, optional_size);
  Put16(f, 0x2102);  // DLL, executable
  pe.layout.optional_header = f.size();
  Put16(f, pe32_plus ? 0x20B : 0x10B);
  f += '\x0E';
  f += '\0';
  Put32(f, raw_size);  // size of code
  Put32(f, 0);
  Put32(f, 0);
  Put32(f, 0);  // entry point
  Put32(f, 0);  // base of code
  if (pe32_plus) {
    Put64(f, 0x180000000ull);
  } else {
    Put32(f, 0);  // base of data
    Put32(f, 0x10000000);
  }
  Put32(f, 0x1000);  // section alignment
  Put32(f, 0x200);   // file alignment
  for (uint16_t v : {6, 0, 0, 0, 6, 0}) Put16(f, v);
  Put32(f, 0);
  Put32(f, 0x2000);  // size of image
  Put32(f, 0x200);   // size of headers
  Put32(f, 0);       // checksum
  Put16(f, 2);
  Put16(f, 0x140);
  for (int i = 0; i < 4; ++i) {
    if (pe32_plus) {
      Put64(f, 0x100000);
    } else {
      Put32(f, 0x100000);
    }
  }
  Put32(f, 0);   // loader flags
  Put32(f, 16);  // data directories
  for (int i = 0; i < 16; ++i) {
    if (i == 2) pe.layout.resource_entry = f.size();
    Put32(f, i == 2 ? kResourceRva : 0);
    Put32(f, i == 2 ? static_cast<uint32_t>(resources.size()) : 0);
  }
  pe.layout.section_table = f.size();
  f += std::string(".rsrc\0\0\0", 8);
  Put32(f, static_cast<uint32_t>(resources.size()));
  Put32(f, kResourceRva);
  Put32(f, raw_size);
  Put32(f, kRawOffset);
  Put32(f, 0);
  Put32(f, 0);
  Put16(f, 0);
  Put16(f, 0);
  Put32(f, 0x40000040);
  PadTo(f, kRawOffset);
  pe.layout.resource_section = f.size();
  pe.layout.version_block = f.size() + 88;
  f += resources;
  PadTo(f, kRawOffset + raw_size);
  return pe;
}

}  // namespace pellacor::testing
