// Helpers for the msiunpack tests: running the program, making packages
// from table rows and cabinets from files, and reading back what landed.
#pragma once

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "support.h"

namespace unpack_test {

namespace fs = std::filesystem;

using ts::RunResult;
using ts::TempDir;

constexpr long long kCabTime = 1000000000;  // 2001-09-09 01:46:40 UTC, gcab cabinets' time

// Bytes as text; WriteBytes makes the missing folders.
inline std::string ReadBytes(const fs::path& path) { return ts::ReadText(path); }
void WriteBytes(const fs::path& path, const std::string& bytes);

// Runs msiunpack with `args` in `cwd`, TZ=UTC, under a time limit; on a
// pseudo-terminal (100 columns) when `terminal`, where everything it
// printed comes back in `out`.
RunResult RunUnpack(const std::vector<std::string>& args, const fs::path& cwd, bool terminal = false);

// Rows of the four tables msiunpack reads, tab-separated, short forms:
//   directories "KEY\tPARENT\tDEFAULTDIR"       (PARENT empty: a root)
//   components  "KEY\tDIRECTORY"
//   files       "KEY\tCOMPONENT\tFILENAME\tSIZE\tATTRIBUTES\tSEQUENCE"
//   media       "DISKID\tLASTSEQUENCE\tCABINET"
struct PackageRows {
  std::vector<std::string> directories;
  std::vector<std::string> components;
  std::vector<std::string> files;
  std::vector<std::string> media;
  std::map<std::string, std::string> streams;  // name -> bytes
  int word_count = -1;  // the summary information's word count; -1: the engine's default (2)
};

// Writes the rows as .idt files and imports them with the engine.
void MakePackage(const fs::path& package, const PackageRows& rows);

// A cabinet made by gcab with MSZIP compression; each file is named by
// its key and carries `modified` (seconds since 1970, UTC) as its time.
std::string GcabCabinet(const std::map<std::string, std::string>& files, long long modified);

using NamedFiles = std::vector<std::pair<std::string, std::string>>;

// A set of stored (uncompressed) cabinets holding one folder, cut after the
// folder's bytes `cuts` (ascending): a data block that a cut falls into is
// split between the cabinets. The `tail` files make a second folder in the
// last cabinet, as cabinet makers close a folder at a set boundary. Every
// file is dated 2001-02-03 04:05:06.
std::vector<std::string> CabinetSet(const NamedFiles& files, const std::vector<size_t>& cuts,
                                    const std::vector<std::string>& names, const NamedFiles& tail = {});

// Bytes that do not compress.
std::string Noise(size_t size, uint64_t seed = 1);

// Every entry below `root`, sorted: "path\tsize\tYYYY-MM-DD HH:MM:SS" for
// files (time in UTC), "path/" for folders, "path -> target" for links.
std::vector<std::string> TreeListing(const fs::path& root);

}  // namespace unpack_test
