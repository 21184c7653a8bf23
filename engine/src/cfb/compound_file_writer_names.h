// How the compound file orders and checks the names of sibling entries.
#pragma once

#include <string_view>

#include "status.h"

namespace msi::cfb {

// Upper-cases one UTF-16 code unit with the simple (one-to-one) Unicode
// mapping; surrogates and units without a mapping come back unchanged.
char16_t UpperCaseUnit(char16_t unit);

// Sibling order of the format: shorter names first, then unit by unit on
// the upper-cased values. Returns <0, 0 or >0; 0 means the names clash.
// Covers the whole BMP, so trees it orders search correctly in readers
// that upper-case beyond Latin-1.
int CompareSiblingNames(std::u16string_view a, std::u16string_view b);

// OK when `name` may name a stream or storage: 1 to 31 units, with no NUL
// and none of the characters the format reserves (/ \ : !).
Status CheckEntryName(std::u16string_view name);

}  // namespace msi::cfb
