// Helpers the statement tests share.
#pragma once

#include "support.h"

namespace ts {

// A small package made from nothing: Property (string key) and Item (key
// Id, Group; a binary column Data) with a few rows.
void MakeSmallPackage(const fs::path& path);
std::string Rows(const fs::path& package, const std::string& sql);

struct Script {
  const char* name;
  std::vector<std::string> statements;
};
// Runs the script through the engine and libmsi on copies of the small
// package; result codes and every table must agree.
void CompareWithLibmsi(const Script& script);

}  // namespace ts
