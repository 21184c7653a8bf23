// Where each file of a package lands in an administrative image, and where
// an uncompressed file is found in the source image beside the package.
// Only names taken from the package decide anything here, and every name is
// made a single harmless path component first.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "package_tables.h"

namespace msiunpack {

struct PlannedFile {
  std::string key;                   // File table key, the name inside cabinets
  std::vector<std::string> folders;  // below DIR, e.g. {"SourceDir", "PFiles"}
  std::string name;
  int64_t size = 0;
  int sequence = 0;
  bool compressed = true;
  std::vector<std::string> source_folders;  // below the package's folder
  std::string source_name;
};

struct Layout {
  std::vector<PlannedFile> files;     // in sequence order
  std::vector<std::string> refused;   // one message per file left out
};

Layout PlanLayout(const PackageTables& tables);

// "short|long" -> long (short when long is empty).
std::string LongName(const std::string& names);
// One path component that cannot leave its folder: separators and control
// characters become '_', a name of dots only becomes underscores.
std::string HarmlessName(const std::string& name);
// folders and name joined with '/'.
std::string RelativePath(const PlannedFile& file);

}  // namespace msiunpack
