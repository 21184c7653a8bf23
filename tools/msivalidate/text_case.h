// Letter case in package text. Names, types and events compare without
// case in the installer; only ASCII letters fold, as in its tables.
#pragma once

#include <string>
#include <string_view>

namespace msivalidate {

std::string Lower(std::string_view text);
std::string Upper(std::string_view text);
bool SameNoCase(std::string_view a, std::string_view b);

}  // namespace msivalidate
