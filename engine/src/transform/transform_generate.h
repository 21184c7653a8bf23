// The differences that turn a reference database into another one, as a
// transform (see docs/transform-format.md for the layout written).
#pragma once

#include <string>

#include "cfb/compound_file.h"
#include "status.h"
#include "storage/database.h"

namespace msi {

struct GeneratedTransform {
  bool differs = false;  // false: the two hold the same data
  cfb::StorageTree file;
};

Result<GeneratedTransform> GenerateTransform(Database& newer, Database& reference);

// Writes a transform (or any storage tree) to `path`, atomically.
Status WriteStorageFile(const cfb::StorageTree& tree, const std::string& path);

}  // namespace msi
