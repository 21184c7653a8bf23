// The references a Formatted text makes to the package's keys: [#file],
// [!file], [$component], [%variable], [property].
#pragma once

#include <string_view>
#include <vector>

namespace msivalidate {

struct FormattedReference {
  char kind = 0;          // '#', '!', '$', '%', or 0 for a property
  std::string_view name;  // what follows the kind, up to ']'
  size_t offset = 0;      // of the '['
};

// The innermost bracket pairs of `text` that name something, in order. A
// pair holding another '[' or an escape ("[\x]", "[~]") names nothing.
std::vector<FormattedReference> FormattedReferences(std::string_view text);

}  // namespace msivalidate
