// The fixed file version and the languages of a Windows executable or
// library (PE32 and PE32+, the VS_VERSIONINFO resource). Only the bytes the
// answer needs are read, each read checked against the file's end, so file
// size costs nothing and no read goes outside the file.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "status.h"

namespace msi {

struct FileVersionInfo {
  uint32_t ms = 0, ls = 0;          // major.minor, build.revision
  std::vector<uint16_t> languages;  // from VarFileInfo\Translation
  // "1.2.3.4", and the languages in decimal joined by commas.
  std::string VersionText() const;
  std::string LanguageText() const;
};

// ERROR_FILE_INVALID (1006) for a file that is no library or has no
// version resource, ERROR_INVALID_DATA (13) for a version resource that is
// damaged, ERROR_FILE_NOT_FOUND (2) / ERROR_ACCESS_DENIED (5) when the
// file cannot be opened.
Result<FileVersionInfo> FileVersionOfBytes(std::string_view bytes);
Result<FileVersionInfo> FileVersionOfFile(const std::string& path);

}  // namespace msi
