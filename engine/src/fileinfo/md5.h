// MD5 (RFC 1321), the digest the installer's MsiFileHash table keeps.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace msi {

class Md5 {
 public:
  void Update(const uint8_t* data, size_t size);
  std::array<uint8_t, 16> Finish();

 private:
  void Block(const uint8_t* block);

  uint32_t state_[4] = {0x67452301, 0xefcdab89, 0x98badcfe, 0x10325476};
  uint8_t pending_[64] = {};
  size_t pending_size_ = 0;
  uint64_t total_ = 0;  // bytes
};

}  // namespace msi
