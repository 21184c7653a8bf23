// Evaluators of components, features, custom actions and the dialogs,
// each tripped on an altered corpus package.
#include "validate_support.h"

namespace vt {
namespace {

constexpr const char* kPutty = "putty-0.68-installer.msi";
constexpr const char* kNunit = "nunit-2.5.2.msi";

const char* const kCreateFont =
    "CREATE TABLE `Font` (`File_` CHAR(72) NOT NULL, `FontTitle` CHAR(128) PRIMARY KEY `File_`)";

const EvaluatorCase kCases[] = {
    // A key path that belongs to another component, or to nothing.
    {"ICE02", kPutty,
     {"UPDATE `Component` SET `KeyPath` = 'PuTTY_File' WHERE `Component` = 'Plink_Component'"},
     "ICE02  ERROR    Component.KeyPath [Plink_Component]  File: 'PuTTY_File' cannot be the key file for "
     "Component: 'Plink_Component'. The file belongs to Component: 'PuTTY_Component'"},
    {"ICE02", kPutty,
     {"UPDATE `Component` SET `KeyPath` = 'regA0B7A3C013764F0100B49682FBF6C717' "
      "WHERE `Component` = 'Path_Component'"},
     "ICE02  ERROR    Component.KeyPath [Path_Component]  Registry: 'regA0B7A3C013764F0100B49682FBF6C717' "
     "cannot be the key registry key for Component: 'Path_Component'. The RegKey belongs to Component: "
     "'PPK_Assoc_Component'"},
    {"ICE02", kPutty,
     {"UPDATE `Component` SET `KeyPath` = 'NoSuchFile' WHERE `Component` = 'PSFTP_Component'"},
     "ICE02  ERROR    Component.KeyPath [PSFTP_Component]  File: 'NoSuchFile' cannot be the key file for "
     "Component: 'PSFTP_Component'. It is not in the File table"},
    // The registry bit decides which table the key names.
    {"ICE02", kPutty,
     {"UPDATE `Component` SET `Attributes` = 4 WHERE `Component` = 'README_Component'"},
     "ICE02  ERROR    Component.KeyPath [README_Component]  Registry: 'README_File' cannot be the key "
     "registry key for Component: 'README_Component'. It is not in the Registry table"},

    // Fonts outside the FontsFolder, named by title or, without one, by file.
    {"ICE07", kPutty,
     {kCreateFont, "INSERT INTO `Font` (`File_`, `FontTitle`) VALUES ('README_File', 'Tahoma')"},
     "ICE07  ERROR    Font.File_ [README_File]  'Tahoma' is a font and must be installed to the FontsFolder "
     "directory. Current Install Directory: 'INSTALLDIR'."},
    {"ICE07", kPutty,
     {kCreateFont, "INSERT INTO `Font` (`File_`) VALUES ('LICENCE_File')",
      "INSERT INTO `Font` (`File_`) VALUES ('NoSuchFile')"},
     "ICE07  ERROR    Font.File_ [LICENCE_File]  'LICENCE_File' is a font and must be installed to the "
     "FontsFolder directory. Current Install Directory: 'INSTALLDIR'."},

    // A component in the SystemFolder that is not permanent.
    {"ICE09", kPutty,
     {"UPDATE `Component` SET `Directory_` = 'SystemFolder' WHERE `Component` = 'PSCP_Component'",
      "UPDATE `Component` SET `Directory_` = 'SystemFolder', `Attributes` = 16 "
      "WHERE `Component` = 'Plink_Component'"},
     "ICE09  WARNING  Component.Attributes [PSCP_Component]  Component: 'PSCP_Component' is a non-permanent "
     "system component: it installs into the SystemFolder but its Permanent attribute is not set."},
};

class E2Evaluators : public testing::TestWithParam<EvaluatorCase> {};

TEST_P(E2Evaluators, TripOnce) {
  REQUIRE_CORPUS();
  CheckEvaluatorCase(GetParam());
}

INSTANTIATE_TEST_SUITE_P(Cases, E2Evaluators, testing::ValuesIn(kCases), CaseName);

}  // namespace
}  // namespace vt
