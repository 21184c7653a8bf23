// The per-user data evaluators and the sequence, media, platform and
// directory-name checks, each tripped on an altered corpus package.
#include "validate_support.h"

namespace vt {
namespace {

const EvaluatorCase kCases[] = {
    // A component in the profile kept by a file, by its directory, by a
    // missing or foreign registry value, or by one outside HKCU.
    {"ICE38", "putty-0.68-installer.msi",
     {"UPDATE `Component` SET `Directory_` = 'ProgramMenuDir' WHERE `Component` = 'README_Component'"},
     "ICE38  ERROR    Component.KeyPath [README_Component]  Component README_Component installs to user "
     "profile. It must use a registry key under HKCU as its KeyPath, not a file."},
    {"ICE38", "putty-0.68-installer.msi",
     {"UPDATE `Component` SET `Directory_` = 'ProgramMenuDir', `KeyPath` = NULL "
      "WHERE `Component` = 'LICENCE_Component'"},
     "ICE38  ERROR    Component.KeyPath [LICENCE_Component]  Component LICENCE_Component installs to user "
     "profile. It must use a registry key under HKCU as its KeyPath. The KeyPath is currently NULL."},
    {"ICE38", "putty-0.68-installer.msi",
     {"UPDATE `Component` SET `KeyPath` = 'NoSuchValue' WHERE `Component` = 'ProgramMenuDir'"},
     "ICE38  ERROR    Component.KeyPath [ProgramMenuDir]  The KeyPath registry entry for component "
     "ProgramMenuDir does not exist."},
    {"ICE38", "putty-0.68-installer.msi",
     {"UPDATE `Component` SET `KeyPath` = 'reg272718F190FCF3046BE6498259D4B0D7' "
      "WHERE `Component` = 'ProgramMenuDir'"},
     "ICE38  ERROR    Component.KeyPath [ProgramMenuDir]  The Registry Entry "
     "reg272718F190FCF3046BE6498259D4B0D7 is set as the KeyPath for component ProgramMenuDir, but "
     "that registry entry does not belong to ProgramMenuDir."},
    // Two levels below the start menu; a cycle elsewhere in the tree.
    {"ICE38", "nunit-2.5.2.msi",
     {"UPDATE `Component` SET `Directory_` = 'SamplesMenu' WHERE `Component` = 'InstallationRegistryEntry'",
      "UPDATE `Registry` SET `Root` = 2 WHERE `Registry` = 'R__INSTALLDIR'",
      "UPDATE `Directory` SET `Directory_Parent` = 'doc' WHERE `Directory` = 'INSTALLDIR'"},
     "ICE38  ERROR    Component.KeyPath [InstallationRegistryEntry]  Component InstallationRegistryEntry "
     "installs to user profile. It's KeyPath registry key must fall under HKCU."},
};

class E4Evaluators : public testing::TestWithParam<EvaluatorCase> {};

TEST_P(E4Evaluators, TripOnce) {
  REQUIRE_CORPUS();
  CheckEvaluatorCase(GetParam());
}

INSTANTIATE_TEST_SUITE_P(Cases, E4Evaluators, testing::ValuesIn(kCases), CaseName);

}  // namespace
}  // namespace vt
