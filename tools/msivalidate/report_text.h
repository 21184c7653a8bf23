// Findings as lines for people and scripts:
//   ICE03  ERROR    Component.ComponentId [Comp1]  Not a valid GUID.
// Text from the package is printed escaped, so a hostile key cannot forge
// a line or move the terminal's cursor.
#pragma once

#include <string>
#include <string_view>

#include "finding.h"

namespace msivalidate {

// Backslash, tab, line feed and carriage return as \\ \t \n \r; other
// control characters as \xHH.
std::string Escape(std::string_view text);

// "Table.Column [key1, key2]", or what of it the finding names.
std::string Location(const Finding& f);

std::string FormatFinding(const Finding& f);

}  // namespace msivalidate
