// The summary information stream (\005SummaryInformation) every new
// package gets: a property set with the properties installers require.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace msi {

// `package_code` is the revision number property, a GUID in braces.
std::vector<uint8_t> DefaultSummaryInformation(const std::string& package_code);
// A new random GUID in the installer's upper-case braced form.
std::string NewGuid();

}  // namespace msi
