// Describes where two program outputs part.
#pragma once

#include <string>

// Empty when equal; otherwise the number of the first differing line and
// that line of each side (or "(no line)" when one side ended earlier).
std::string first_difference(const std::string& ours, const std::string& theirs,
                             const std::string& our_name, const std::string& their_name);
