// Reads the fixed file version of a Windows executable or library (PE32 and
// PE32+, the VS_VERSIONINFO resource) as four numbers joined by ".". Any
// other, damaged or unreadable file gives the empty text. Only the bytes the
// answer needs are read, each read checked against the file's end, so file
// size costs nothing and no read goes outside the file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace pellacor {

// Random access to a file's bytes.
class ByteSource {
 public:
  virtual ~ByteSource() = default;
  virtual uint64_t size() const = 0;
  // Reads exactly `length` bytes at `offset`; false when they are not all
  // there (the caller has already checked the range against size()).
  virtual bool Read(uint64_t offset, void* out, size_t length) const = 0;
};

std::string FileVersionOf(const ByteSource& source);
std::string FileVersionOfBytes(std::string_view bytes);
std::string FileVersionOfFile(const std::string& path);

}  // namespace pellacor
