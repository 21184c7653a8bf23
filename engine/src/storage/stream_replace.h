// Changing one stream of a package file without touching anything else:
// every other stream and storage is carried over byte for byte, and the
// file is replaced atomically.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "status.h"

namespace msi {

// Adds or replaces the root stream stored under `stored_name`.
Status ReplaceRootStreamInFile(const std::string& path, const std::u16string& stored_name,
                               std::vector<uint8_t> bytes);

}  // namespace msi
