// Cabinets, embedded or beside the package, opened and decompressed by
// libmspack. Our side only hands it bytes to read and a file to write to;
// a cabinet set is joined in the order the Media table lists its parts.
#pragma once

#include <cstdint>
#include <ctime>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "outcome.h"

namespace msiunpack {

struct CabinetEntry {
  std::string name;  // the File table key, for installer cabinets
  uint32_t size = 0;
  timespec modified{};  // the cabinet's DOS date and time, as local time
  const void* handle = nullptr;  // the library's file, for Extract
};

// A cabinet stored in the package, read where it lies: `read` copies up to
// n bytes from an offset (fewer only at the end) or answers -1.
struct EmbeddedCabinet {
  uint64_t size = 0;
  std::function<long(uint64_t offset, void* out, size_t n)> read;
};

class CabinetLibrary {
 public:
  // Called with the bytes written so far to one output file.
  using ProgressCallback = std::function<void(uint64_t bytes)>;

  static Outcome<std::unique_ptr<CabinetLibrary>> Create();
  ~CabinetLibrary();
  CabinetLibrary(const CabinetLibrary&) = delete;
  CabinetLibrary& operator=(const CabinetLibrary&) = delete;

  // Adds the next part of the cabinet list; `label` names it in messages.
  // A part that the previous one says continues there is joined to it.
  Status AddEmbedded(const std::string& label, EmbeddedCabinet cabinet);
  Status AddFile(const std::string& label, const std::string& path);

  // Every file of every cabinet, in cabinet order.
  std::vector<CabinetEntry> Entries() const;

  // Decompresses one entry into the open file descriptor `fd`.
  Status Extract(const CabinetEntry& entry, int fd, const ProgressCallback& progress);

  struct State;  // the library's handles, opaque outside cabinet_source.cpp

 private:
  explicit CabinetLibrary(std::unique_ptr<State> state);
  Status Add(const std::string& label, const std::string& library_name);
  std::unique_ptr<State> state_;
};

}  // namespace msiunpack
