// The custom action and sequencing rules (ICE63, ICE68, ICE72, ICE75,
// ICE77, ICE78, ICE79) and their neighbours: isolated components (ICE62),
// environment separators (ICE65), schema (ICE66), integer registry values
// (ICE70), product codes (ICE73, ICE74), SFP catalogs (ICE76) and digital
// signatures (ICE81), each tripped on an altered corpus package.
#include "validate_support.h"

namespace vt {
namespace {

const char* const kPutty = "putty-0.68-installer.msi";

const std::string kIsolated =
    "CREATE TABLE `IsolatedComponent` (`Component_Shared` CHAR(72) NOT NULL, `Component_Application` CHAR(72) "
    "NOT NULL PRIMARY KEY `Component_Shared`, `Component_Application`)";
std::string Isolate(const std::string& shared, const std::string& app) {
  return "INSERT INTO `IsolatedComponent` (`Component_Shared`, `Component_Application`) VALUES ('" + shared +
         "', '" + app + "')";
}
// LaunchApplication (a DLL action, not sequenced) turned into `type`.
std::string CustomType(int type) {
  return "UPDATE `CustomAction` SET `Type` = " + std::to_string(type) + " WHERE `Action` = 'LaunchApplication'";
}
std::string Sequence(const std::string& table, int at) {
  return "INSERT INTO `" + table + "` (`Action`, `Sequence`) VALUES ('LaunchApplication', " + std::to_string(at) +
         ")";
}
std::string MoveRemoveExisting(int at) {
  return "UPDATE `InstallExecuteSequence` SET `Sequence` = " + std::to_string(at) +
         " WHERE `Action` = 'RemoveExistingProducts'";
}
std::string SetProperty(const std::string& name, const std::string& value) {
  return "UPDATE `Property` SET `Value` = '" + value + "' WHERE `Property` = '" + name + "'";
}
std::string SetRegistryValue(const std::string& value) {
  return "UPDATE `Registry` SET `Value` = '" + value + "' WHERE `Registry` = 'reg3FCAA068168E319BF8D01D0348886CB4'";
}
std::string SetCondition(const std::string& condition) {
  return "UPDATE `InstallExecuteSequence` SET `Condition` = '" + condition + "' WHERE `Action` = 'RegisterUser'";
}
const std::string kSfpCatalog =
    "CREATE TABLE `FileSFPCatalog` (`File_` CHAR(72) NOT NULL, `SFPCatalog_` CHAR(255) NOT NULL "
    "PRIMARY KEY `File_`, `SFPCatalog_`)";
const std::string kSfpPutty = "INSERT INTO `FileSFPCatalog` (`File_`, `SFPCatalog_`) VALUES ('PuTTY_File', 'putty.cat')";
const std::string kCertificates =
    "CREATE TABLE `MsiDigitalCertificate` (`DigitalCertificate` CHAR(72) NOT NULL, `CertData` OBJECT "
    "PRIMARY KEY `DigitalCertificate`)";
const std::string kSignatures =
    "CREATE TABLE `MsiDigitalSignature` (`Table` CHAR(32) NOT NULL, `SignObject` CHAR(72) NOT NULL, "
    "`DigitalCertificate_` CHAR(72) NOT NULL, `Hash` OBJECT PRIMARY KEY `Table`, `SignObject`)";
std::string Certificate(const std::string& name) {
  return "INSERT INTO `MsiDigitalCertificate` (`DigitalCertificate`) VALUES ('" + name + "')";
}
std::string SignMedia(const std::string& disk) {
  return "INSERT INTO `MsiDigitalSignature` (`Table`, `SignObject`, `DigitalCertificate_`) VALUES ('Media', '" +
         disk + "', 'Cert1')";
}

const EvaluatorCase kCases[] = {
    // ICE62: Path_Component is kept by a registry value, in another feature,
    // and PuTTY_Component is not reference counted.
    {"ICE62", kPutty, {kIsolated, Isolate("PuTTY_Component", "Path_Component")},
     "ICE62  ERROR    IsolatedComponent.Component_Application [PuTTY_Component, Path_Component]  The component "
     "'Path_Component' is listed as an isolated application component in the IsolatedComponent table, but the key "
     "path is not a file."},
    {"ICE62", kPutty, {kIsolated, Isolate("PuTTY_Component", "Path_Component")},
     "ICE62  ERROR    IsolatedComponent.Component_Shared [PuTTY_Component, Path_Component]  The component "
     "'PuTTY_Component' is listed as an isolated shared component in the IsolatedComponent table, but is not "
     "marked with the SharedDllRefCount component attribute."},
    {"ICE62", kPutty, {kIsolated, Isolate("PuTTY_Component", "Path_Component")},
     "ICE62  ERROR    IsolatedComponent.Component_Shared [PuTTY_Component, Path_Component]  The isolated shared "
     "component 'PuTTY_Component' is not installed by the same feature as (or a parent feature of) its isolated "
     "application component 'Path_Component' (which is installed by feature 'PathFeature')."},
    // Two applications in INSTALLDIR share a conditioned component.
    {"ICE62", kPutty,
     {kIsolated, Isolate("PuTTY_Component", "Pageant_Component"), Isolate("PuTTY_Component", "PSFTP_Component"),
      "UPDATE `Component` SET `Condition` = 'VersionNT', `Attributes` = 8 WHERE `Component` = 'PuTTY_Component'"},
     "ICE62  WARNING  IsolatedComponent.Component_Shared [PuTTY_Component, Pageant_Component]  The isolated shared "
     "component 'PuTTY_Component' (referenced in the IsolatedComponent table) is conditionalized. Isolated shared "
     "component conditions should never change from TRUE to FALSE after the first install of the product."},
    {"ICE62", kPutty,
     {kIsolated, Isolate("PuTTY_Component", "Pageant_Component"), Isolate("PuTTY_Component", "PSFTP_Component")},
     "ICE62  WARNING  IsolatedComponent.Component_Application [PuTTY_Component, PSFTP_Component]  The isolated "
     "shared component 'PuTTY_Component' is shared by multiple applications (including 'PSFTP_Component') that are "
     "installed to the directory 'INSTALLDIR'."},

    // ICE63: ProcessComponents (1600) writes to the script before it; and
    // before InstallValidate.
    {"ICE63", kPutty, {MoveRemoveExisting(1700)},
     "ICE63  WARNING  InstallExecuteSequence.Sequence [RemoveExistingProducts]  Some action falls between "
     "InstallInitialize and RemoveExistingProducts."},
    {"ICE63", kPutty,
     {"INSERT INTO `InstallExecuteSequence` (`Action`, `Sequence`) VALUES ('InstallExecute', 6500)",
      Sequence("InstallExecuteSequence", 6520), MoveRemoveExisting(6550)},
     "ICE63  WARNING  InstallExecuteSequence.Sequence [RemoveExistingProducts]  Some action falls between "
     "InstallExecute and RemoveExistingProducts."},
    {"ICE63", kPutty, {MoveRemoveExisting(1300)},
     "ICE63  ERROR    InstallExecuteSequence.Sequence [RemoveExistingProducts]  RemoveExistingProducts action is "
     "sequenced before InstallValidate."},

    // ICE65: the PATH entry appended with 'e', or with ';' doubled.
    {"ICE65", kPutty, {"UPDATE `Environment` SET `Value` = '[~]e[INSTALLDIR]'"},
     "ICE65  WARNING  Environment.Value [Path_Environment]  The environment variable 'Path_Environment' has an "
     "alphanumeric separator"},
    {"ICE65", kPutty, {"UPDATE `Environment` SET `Value` = '[INSTALLDIR];;[~]'"},
     "ICE65  ERROR    Environment.Value [Path_Environment]  The environment variable 'Path_Environment' has a "
     "separator beginning or ending its value."},

    // ICE66: the package's schema is 100.
    {"ICE66", kPutty, {kIsolated},
     "ICE66  WARNING  IsolatedComponent  Complete functionality of the IsolatedComponent table is only available "
     "with Windows Installer versions 1.1 or greater. Your schema is 100."},

    // ICE68: base type 3 does not exist.
    {"ICE68", kPutty, {CustomType(1027)},
     "ICE68  ERROR    CustomAction.Type [LaunchApplication]  Invalid custom action type for action "
     "'LaunchApplication'."},
    {"ICE68", kPutty, {CustomType(0x800 | 1)},
     "ICE68  WARNING  CustomAction.Type [LaunchApplication]  Even though custom action 'LaunchApplication' is marked "
     "to be elevated (with attribute msidbCustomActionTypeNoImpersonate), it will not be run with elevated "
     "privileges because it's not deferred (with attribute msidbCustomActionTypeInScript)."},

    // ICE70
    {"ICE70", kPutty, {SetRegistryValue("#12xz34")},
     "ICE70  ERROR    Registry.Value [reg3FCAA068168E319BF8D01D0348886CB4]  The value #12xz34 is an invalid numeric "
     "value for registry entry reg3FCAA068168E319BF8D01D0348886CB4. If you meant to use a string, then the string "
     "value entry must be preceded by ## not #."},
    {"ICE70", kPutty, {SetRegistryValue("#xz34")},
     "ICE70  ERROR    Registry.Value [reg3FCAA068168E319BF8D01D0348886CB4]  The value #xz34 is an invalid "
     "hexadecimal value for registry entry reg3FCAA068168E319BF8D01D0348886CB4."},

    // ICE72
    {"ICE72", kPutty, {Sequence("AdvtExecuteSequence", 1600)},
     "ICE72  ERROR    AdvtExecuteSequence.Action [LaunchApplication]  Custom Action 'LaunchApplication' in the "
     "AdvtExecuteSequence table is not allowed. Only built-in custom actions are allowed."},

    // ICE73: a sample's own code, and one of the range kept for later samples.
    {"ICE73", kPutty, {SetProperty("ProductCode", "{80F7E030-A751-11D2-A7D4-006097C99860}")},
     "ICE73  WARNING  Property.Value [ProductCode]  This package reuses the '{80F7E030-A751-11D2-A7D4-006097C99860}' "
     "ProductCode of the orca.msi 1.0 Windows Installer SDK package."},
    {"ICE73", kPutty, {SetProperty("UpgradeCode", "{8FC71234-88A0-4b41-82B8-8905D4AA904C}")},
     "ICE73  WARNING  Property.Value [UpgradeCode]  This package reuses the '{8FC71234-88A0-4b41-82B8-8905D4AA904C}' "
     "Upgrade Code of a 1.1 Windows Installer SDK package."},
    {"ICE73", kPutty, {}, "ICE73  WARNING  _SummaryInformation.RevNumber  This package reuses the "
     "'{000C1101-0000-0000-C000-000000000047}' Package Code of the msispy.msi 1.0 Windows Installer SDK package.",
     {"RevisionNumber={000C1101-0000-0000-C000-000000000047}"}},

    // ICE74
    {"ICE74", kPutty, {"INSERT INTO `Property` (`Property`, `Value`) VALUES ('FASTOEM', '1')"},
     "ICE74  ERROR    Property.Property [FASTOEM]  The FASTOEM property cannot be authored in the Property table."},
    {"ICE74", kPutty, {"DELETE FROM `Property` WHERE `Property` = 'UpgradeCode'"},
     "ICE74  WARNING  Property  The UpgradeCode property is not authored in the Property table. It is strongly "
     "recommended that authors of installation packages specify an UpgradeCode for their application."},
    {"ICE74", kPutty, {SetProperty("UpgradeCode", "{00000000-0000-0000-0000-000000000000}")},
     "ICE74  ERROR    Property.Value [UpgradeCode]  '{00000000-0000-0000-0000-000000000000}' is not a valid "
     "UpgradeCode."},

    // ICE75: an EXE from an installed file before CostFinalize (1000); a DLL
    // where CostFinalize is missing.
    {"ICE75", kPutty, {CustomType(18), Sequence("InstallUISequence", 950)},
     "ICE75  ERROR    InstallUISequence.Sequence [LaunchApplication]  LaunchApplication is a custom action whose "
     "source is an installed file. It must be sequenced after the CostFinalize action in the InstallUISequence "
     "table"},
    {"ICE75", kPutty,
     {CustomType(17), "DELETE FROM `AdminUISequence` WHERE `Action` = 'CostFinalize'",
      Sequence("AdminUISequence", 1100)},
     "ICE75  ERROR    AdminUISequence.Sequence [LaunchApplication]  CostFinalize is missing from 'AdminUISequence'. "
     "LaunchApplication is a custom action whose source is an installed file. It must be sequenced after the "
     "CostFinalize action."},

    // ICE76
    {"ICE76", kPutty,
     {kSfpCatalog, kSfpPutty, "CREATE TABLE `BindImage` (`File_` CHAR(72) NOT NULL, `Path` CHAR(255) PRIMARY KEY `File_`)",
      "INSERT INTO `BindImage` (`File_`) VALUES ('PuTTY_File')"},
     "ICE76  ERROR    FileSFPCatalog.File_ [PuTTY_File, putty.cat]  File 'PuTTY_File' references a SFP catalog. "
     "Therefore it cannot be in the BindImage table."},
    // Permanent, but optional (run from source).
    {"ICE76", kPutty, {kSfpCatalog, kSfpPutty, "UPDATE `Component` SET `Attributes` = 18"},
     "ICE76  ERROR    FileSFPCatalog.File_ [PuTTY_File, putty.cat]  File 'PuTTY_File' references a SFP catalog. "
     "Therefore its component 'PuTTY_Component' must be permanent and installed locally only."},

    // ICE77: deferred at 1450, before InstallInitialize (1500); and in
    // sequences lacking InstallFinalize or InstallInitialize.
    {"ICE77", kPutty, {CustomType(1025), Sequence("InstallExecuteSequence", 1450)},
     "ICE77  ERROR    InstallExecuteSequence.Sequence [LaunchApplication]  LaunchApplication is a in-script custom "
     "action. It must be sequenced in between the InstallInitialize action and the InstallFinalize action in the "
     "InstallExecuteSequence Sequence table."},
    {"ICE77", kPutty,
     {CustomType(1025), Sequence("InstallExecuteSequence", 2000),
      "DELETE FROM `InstallExecuteSequence` WHERE `Action` = 'InstallFinalize'"},
     "ICE77  ERROR    InstallExecuteSequence.Sequence [LaunchApplication]  InstallFinalize is missing from "
     "'InstallExecuteSequence'. LaunchApplication is a in-script custom action. It must be sequenced before the "
     "InstallFinalize action."},
    {"ICE77", kPutty,
     {CustomType(1025), Sequence("AdminExecuteSequence", 2000),
      "DELETE FROM `AdminExecuteSequence` WHERE `Action` = 'InstallInitialize'"},
     "ICE77  ERROR    AdminExecuteSequence.Sequence [LaunchApplication]  InstallInitialize is missing from "
     "'AdminExecuteSequence'. LaunchApplication is a in-script custom action. It must be sequenced after the "
     "InstallInitialize action."},

    // ICE78
    {"ICE78", kPutty,
     {"CREATE TABLE `AdvtUISequence` (`Action` CHAR(72) NOT NULL, `Condition` CHAR(255), `Sequence` SHORT "
      "PRIMARY KEY `Action`)",
      "INSERT INTO `AdvtUISequence` (`Action`, `Sequence`) VALUES ('WelcomeDlg', 1)"},
     "ICE78  ERROR    AdvtUISequence.Action [WelcomeDlg]  Action 'WelcomeDlg' found in AdvtUISequence table. No UI "
     "is allowed during advertising. Therefore AdvtUISequence table must be empty or not present."},

    // ICE79
    {"ICE79", kPutty, {SetCondition("NOT Installed AND &NoSuchFeature>2")},
     "ICE79  ERROR    InstallExecuteSequence.Condition [RegisterUser]  Feature 'NoSuchFeature' referenced in column "
     "'InstallExecuteSequence'.'Condition' of row RegisterUser is invalid."},
    {"ICE79", kPutty, {SetCondition("$NoSuchComponent>2")},
     "ICE79  ERROR    InstallExecuteSequence.Condition [RegisterUser]  Component 'NoSuchComponent' referenced in "
     "column 'InstallExecuteSequence'.'Condition' of row RegisterUser is invalid."},
    {"ICE79", "SequenceTables.msi", {"DROP TABLE `_Validation`"},
     "ICE79  WARNING  _Validation  Database is missing _Validation table. Could not completely check property "
     "names."},

    // ICE81: putty's one medium is its embedded cabinet #putty.cab.
    {"ICE81", kPutty, {kCertificates, Certificate("Cert1")},
     "ICE81  WARNING  MsiDigitalCertificate  No reference to any of the records in the MsiDigitalCertificate table "
     "could be found in MsiDigitalSignature, MsiPackageCertificate, or MsiPatchCertificate tables."},
    {"ICE81", kPutty, {kCertificates, kSignatures, Certificate("Cert1"), Certificate("Cert2"), SignMedia("1")},
     "ICE81  WARNING  MsiDigitalCertificate.DigitalCertificate [Cert2]  No reference to the Digital Certificate "
     "Cert2 could be found in MsiDigitalSignature, MsiPackageCertificate, or MsiPatchCertificate tables."},
    {"ICE81", kPutty, {kSignatures, SignMedia("1")},
     "ICE81  ERROR    Media.Cabinet [1]  The entry in table Media with key 1 is signed. Hence the cabinet should "
     "point to an object outside the package (the value of Cabinet should NOT be prefixed with #)"},
    {"ICE81", kPutty, {kSignatures, SignMedia("7")},
     "ICE81  ERROR    MsiDigitalSignature.SignObject [Media, 7]  Missing signed object 7 in Media Table"},
    {"ICE81", kPutty, {kSignatures, SignMedia("1"), "DROP TABLE `Media`"},
     "ICE81  ERROR    MsiDigitalSignature  Media Table does not exist. Hence all the entries in MsiDigitalSignature "
     "are incorrect"},
};

EVALUATOR_CASES(ActionRules, kCases);

}  // namespace
}  // namespace vt
