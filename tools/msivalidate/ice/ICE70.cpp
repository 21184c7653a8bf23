// ICE70: a registry value written as an integer ("#123", "#x1F") holds only
// digits (hex digits after #x) or properties that may supply them.
// "##text" and "#%text" are strings and are not checked.
#include <cctype>

#include "evaluator.h"

namespace msivalidate {
namespace {

// The text after "#" or "#x" is a number, allowing [property] references.
// A property right at the start may expand to "#text", so whatever follows
// it is accepted.
bool ValidNumber(std::string_view text, bool hex) {
  for (size_t i = 0; i < text.size();) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    if (hex ? std::isxdigit(c) : std::isdigit(c)) {
      ++i;
      continue;
    }
    if (c != '[') return false;
    const size_t close = text.find(']', i);
    if (close == std::string_view::npos) return false;
    if (i == 0) return true;
    // Components and files give paths, never numbers.
    const char kind = close > i + 1 ? text[i + 1] : 0;
    if (kind == '$' || kind == '#' || kind == '!') return false;
    i = close + 1;
  }
  return true;
}

void Run(Context& ctx) {
  const Table* registry = ctx.Read("Registry");
  if (!registry) return;
  for (const Row& row : registry->rows) {
    const std::string value = registry->Text(row, "Value");
    if (value.size() < 2 || value[0] != '#' || value[1] == '#' || value[1] == '%') continue;
    const std::string name = registry->Text(row, "Registry");
    if (value[1] == 'x' || value[1] == 'X') {
      if (!ValidNumber(std::string_view(value).substr(2), true))
        ctx.Report(Severity::Error, *registry, "Value", row,
                   "The value " + value + " is an invalid hexadecimal value for registry entry " + name + ".");
      continue;
    }
    std::string_view number = std::string_view(value).substr(1);
    if (number[0] == '+' || number[0] == '-') number.remove_prefix(1);
    if (!ValidNumber(number, false))
      ctx.Report(Severity::Error, *registry, "Value", row,
                 "The value " + value + " is an invalid numeric value for registry entry " + name +
                     ". If you meant to use a string, then the string value entry must be preceded by ## not #.");
  }
}

const Registration kICE70("ICE70", Run);

}  // namespace
}  // namespace msivalidate
