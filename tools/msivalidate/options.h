// The command line of msivalidate.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace msivalidate {

struct Options {
  enum class Format { Text, Sarif };
  std::vector<std::string> packages;
  std::vector<std::string> only;  // --ice, upper case ("ICE30")
  std::vector<std::string> skip;  // --skip
  Format format = Format::Text;
  bool warnings_as_errors = false;
  bool list = false;
  bool help = false;
  bool version = false;
};

// Parses argv; on a usage error returns nullopt with the reason in *error.
std::optional<Options> ParseOptions(int argc, char** argv, std::string* error);

// Reads "ICE30,ice03 105" into ["ICE30", "ICE03", "ICE105"]; an item that
// is not an evaluator name fails with the item in *bad.
bool ParseIceList(const std::string& list, std::vector<std::string>* out, std::string* bad);

extern const char kUsage[];

}  // namespace msivalidate
