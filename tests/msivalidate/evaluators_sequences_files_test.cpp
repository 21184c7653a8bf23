// Sequence, file, registry, dialog, property, summary and upgrade evaluators: each finding tripped once
// on an altered corpus package, and sound authoring that looks wrong left unreported.
#include "validate_support.h"

namespace vt {
namespace {

// Links `n` more components to `feature`.
std::vector<std::string> ManyComponents(const std::string& feature, int n) {
  std::vector<std::string> out;
  for (int i = 0; i < n; ++i)
    out.push_back("INSERT INTO `FeatureComponents` (`Feature_`, `Component_`) VALUES ('" + feature +
                  "', 'Extra" + std::to_string(i) + "')");
  return out;
}

const EvaluatorCase kCases[] = {
    // ICE26: required and prohibited actions; a row without a positive sequence number is absent.
    {"ICE26", "putty-0.68-installer.msi",
     {"UPDATE `InstallUISequence` SET `Sequence` = NULL WHERE `Action` = 'ExecuteAction'"},
     "ICE26  ERROR    InstallUISequence  Action: 'ExecuteAction' is required in the InstallUISequence "
     "Sequence table."},
    {"ICE26", "example.msi",
     {"INSERT INTO `InstallExecuteSequence` (`Action`, `Sequence`) VALUES ('ExecuteAction', 1300)"},
     "ICE26  ERROR    InstallExecuteSequence.Action [ExecuteAction]  Action: 'ExecuteAction' is prohibited "
     "in the InstallExecuteSequence Sequence table."},
    {"ICE26", "nunit-2.5.2.msi",
     {"INSERT INTO `InstallUISequence` (`Action`, `Sequence`) VALUES ('WriteRegistryValues', 1250)"},
     "ICE26  ERROR    InstallUISequence.Action [WriteRegistryValues]  Action: 'WriteRegistryValues' is "
     "prohibited in the InstallUISequence Sequence table."},
    {"ICE26", "putty-0.68-installer.msi",
     {"INSERT INTO `InstallUISequence` (`Action`, `Sequence`) VALUES ('InstallFiles', 0)"},
     "ICE26", {}, Expect::Absent},
    // ICE27: sequence tables' actions, sections and order.
    {"ICE27", "example.msi",
     {"INSERT INTO `InstallExecuteSequence` (`Action`, `Sequence`) VALUES ('Bogus', 1450)"},
     "ICE27  ERROR    InstallExecuteSequence.Action [Bogus]  Unknown action: 'Bogus' of "
     "InstallExecuteSequence table. Not a standard action and not found in CustomAction or Dialog tables"},
    {"ICE27", "example.msi",
     {"UPDATE `InstallExecuteSequence` SET `Sequence` = 850 WHERE `Action` = 'InstallFiles'"},
     "ICE27  ERROR    InstallExecuteSequence.Sequence [InstallFiles]  'InstallFiles' in "
     "InstallExecuteSequence table in wrong place. Current: Costing, Correct: Execution"},
    {"ICE27", "example.msi",
     {"DELETE FROM `AdminExecuteSequence` "
      "WHERE `Action` = 'InstallFiles' OR `Action` = 'InstallAdminPackage'"},
     "ICE27  ERROR    AdminExecuteSequence.Action [InstallFinalize]  'InstallFinalize' Action in "
     "AdminExecuteSequence table can only be called when script operations exist to be executed"},
    {"ICE27", "example.msi",
     {"DELETE FROM `AdvtExecuteSequence` WHERE `Action` = 'InstallFinalize'"},
     "ICE27  ERROR    AdvtExecuteSequence  InstallFinalize must be called in AdvtExecuteSequence table as "
     "script operations exist to be executed"},
    {"ICE27", "example.msi",
     {"UPDATE `InstallExecuteSequence` SET `Sequence` = 6200 WHERE `Action` = 'PublishProduct'"},
     "ICE27  ERROR    InstallExecuteSequence.Sequence [PublishProduct]  Action: 'PublishProduct' in "
     "InstallExecuteSequence table must come after the 'PublishFeatures' action."},
    {"ICE27", "example.msi",
     {"INSERT INTO `InstallExecuteSequence` (`Action`, `Sequence`) VALUES ('MoveFiles', 4100)"},
     "ICE27  ERROR    InstallExecuteSequence.Sequence [MoveFiles]  Action: 'MoveFiles' in "
     "InstallExecuteSequence table must come before the 'InstallFiles' action. Current seq#: 4100. "
     "Dependent seq#: 4000"},
    // A property-setting action early, RemoveExistingProducts after InstallFinalize: allowed.
    {"ICE27", "example.msi",
     {"INSERT INTO `CustomAction` (`Action`, `Type`, `Source`, `Target`) VALUES ('SetX', 51, 'X', '1')",
      "INSERT INTO `InstallExecuteSequence` (`Action`, `Sequence`) VALUES ('SetX', 10)",
      "INSERT INTO `InstallExecuteSequence` (`Action`, `Sequence`) VALUES ('RemoveExistingProducts', 6700)"},
     "ICE27", {}, Expect::Absent},
    // ICE28: ForceReboot inside the registration group.
    {"ICE28", "example.msi",
     {"INSERT INTO `InstallExecuteSequence` (`Action`, `Condition`, `Sequence`) VALUES ('ForceReboot', "
      "'NOT AFTERREBOOT', 6200)"},
     "ICE28  ERROR    InstallExecuteSequence.Sequence [ForceReboot]  Action: 'ForceReboot' of table "
     "InstallExecuteSequence is not permitted in the range 6000 to 6400 because it cannot separate a set "
     "of actions contained in this range."},
    // ICE29: stream names alike once cut to 62 characters (the first exactly 62 long).
    {"ICE29", "example.msi",
     {"CREATE TABLE `Blobs` (`Name` CHAR(80) NOT NULL, `Data` OBJECT PRIMARY KEY `Name`)",
      "INSERT INTO `Blobs` (`Name`) VALUES ('BBBBBBBBBBBBBBBBBBBBBBBBBBBBBBBBBBBBBBBBBBBBBBBBBBBBBBBB')",
      "INSERT INTO `Blobs` (`Name`) VALUES ('BBBBBBBBBBBBBBBBBBBBBBBBBBBBBBBBBBBBBBBBBBBBBBBBBBBBBBBBZ')"},
     "ICE29  ERROR    Blobs.Data [BBBBBBBBBBBBBBBBBBBBBBBBBBBBBBBBBBBBBBBBBBBBBBBBBBBBBBBBZ]  The stream "
     "name 'Blobs.BBBBBBBBBBBBBBBBBBBBBBBBBBBBBBBBBBBBBBBBBBBBBBBBBBBBBBBBZ' is longer than 62 characters; "
     "cut to that length it is the same as the stream name "
     "'Blobs.BBBBBBBBBBBBBBBBBBBBBBBBBBBBBBBBBBBBBBBBBBBBBBBBBBBBBBBB'."},
    // ICE30: two components, one file name, one place (here through two directory rows).
    {"ICE30", "putty-0.68-installer.msi",
     {"INSERT INTO `Directory` (`Directory`, `Directory_Parent`, `DefaultDir`) VALUES "
      "('INSTALLDIR2', 'ProgramFilesFolder', 'PUTTY~1|putty')",
      "UPDATE `Component` SET `Directory_` = 'INSTALLDIR2' WHERE `Component` = 'Pageant_Component'",
      "UPDATE `File` SET `FileName` = 'putty.exe' WHERE `File` = 'Pageant_File'"},
     R"(ICE30  ERROR    File.FileName [Pageant_File]  The target file 'putty.exe' is installed in )"
     R"('[ProgramFilesFolder]\\PuTTY\\' by two different components on an LFN system: 'PuTTY_Component' and )"
     R"('Pageant_Component'. This breaks component reference counting.)"},
    {"ICE30", "putty-0.68-installer.msi",
     {"UPDATE `File` SET `FileName` = 'pageant.exe|putty.exe' WHERE `File` = 'Pageant_File'",
      "UPDATE `Component` SET `Condition` = 'VersionNT' WHERE `Component` = 'Pageant_Component'"},
     R"(ICE30  ERROR    File.FileName [PuTTY_File]  Installation of a conditionalized component would )"
     R"(cause the target file 'putty.exe' to be installed in '[ProgramFilesFolder]\\PuTTY\\' by two )"
     R"(different components on an LFN system: 'PuTTY_Component' and 'Pageant_Component'. This would break )"
     R"(component reference counting.)"},
    {"ICE30", "putty-0.68-installer.msi",
     {"UPDATE `File` SET `FileName` = 'putty.exe' WHERE `File` = 'Pageant_File'",
      "UPDATE `Component` SET `Condition` = 'VersionNT' WHERE `Component` = 'Pageant_Component'",
      "UPDATE `Component` SET `Condition` = 'Version9X' WHERE `Component` = 'PuTTY_Component'"},
     R"(ICE30  WARNING  File.FileName [Pageant_File]  The target file 'putty.exe' might be installed in )"
     R"('[ProgramFilesFolder]\\PuTTY\\' by two different conditionalized components on an SFN system: )"
     R"('PuTTY_Component' and 'Pageant_Component'. If the conditions are not mutually exclusive, this will )"
     R"(break the component reference counting system.)"},
    // A folder the installer sets goes where its property points, not under its parent.
    {"ICE30", "putty-0.68-installer.msi",
     {"INSERT INTO `Directory` (`Directory`, `Directory_Parent`, `DefaultDir`) VALUES "
      "('MyPF', 'TARGETDIR', 'PFiles')",
      "UPDATE `Component` SET `Directory_` = 'MyPF' WHERE `Component` = 'Pageant_Component'",
      "UPDATE `Component` SET `Directory_` = 'ProgramFilesFolder' WHERE `Component` = 'PuTTY_Component'",
      "UPDATE `File` SET `FileName` = 'putty.exe' WHERE `File` = 'Pageant_File'"},
     "ICE30", {}, Expect::Absent},
    // ICE36: icons nothing uses; ARPPRODUCTICON is a use.
    {"ICE36", "nunit-2.5.2.msi",
     {"UPDATE `Shortcut` SET `Icon_` = NULL",
      "UPDATE `Property` SET `Value` = 'other.ico' WHERE `Property` = 'ARPPRODUCTICON'"},
     "ICE36  WARNING  Icon.Name [nunit_icon.exe]  Icon Bloat. Icon nunit_icon.exe is not used in the "
     "Class, Shortcut, or ProgID table. This adversely affects performance."},
    {"ICE36", "nunit-2.5.2.msi", {"UPDATE `Shortcut` SET `Icon_` = NULL"}, "ICE36", {}, Expect::Absent},
    // ICE47: a feature of 1600 components or more.
    {"ICE47", "example.msi", ManyComponents("Complete", 1599),
     "ICE47  ERROR    Feature.Feature [Complete]  Feature 'Complete' has 1600 components. This could cause "
     "problems on Win9X systems. You should try to have less than 800 components per feature."},
    {"ICE47", "example.msi", ManyComponents("Complete", 1598), "ICE47", {}, Expect::Absent},
    // ICE33: class registration written as raw registry rows.
    {"ICE33", "example.msi",
     {"INSERT INTO `Registry` (`Registry`, `Root`, `Key`, `Component_`) VALUES "
      "('RegClsid', 0, 'CLSID\\{0A2C4E6F-1B3D-4F5A-8C7E-9D0B1A2C3E4F}\\InprocServer32', 'MainExecutable')"},
     "ICE33  WARNING  Registry.Key [RegClsid]  Reg Key RegClsid registers a COM class through the Registry "
     "table; it should be registered through the Class table. This entry may overwrite a value written "
     "through that table."},
    // A ProgId known only by its CurVer subkey, under HKLM\Software\Classes.
    {"ICE33", "example.msi",
     {"INSERT INTO `Registry` (`Registry`, `Root`, `Key`, `Value`, `Component_`) VALUES "
      "('RegCurVer', 2, 'Software\\Classes\\Hello.Document\\CurVer', 'Hello.Document.1', 'MainExecutable')"},
     "ICE33  WARNING  Registry.Key [RegCurVer]  Reg Key RegCurVer registers a ProgId through the Registry "
     "table; it should be registered through the ProgId table. This entry may overwrite a value written "
     "through that table."},
    {"ICE33", "putty-0.68-installer.msi",
     {"INSERT INTO `Registry` (`Registry`, `Root`, `Key`, `Component_`) VALUES "
      "('RegMime', 0, 'MIME\\Database\\Content Type\\application/x-ppk', 'PPK_Assoc_Component')"},
     "ICE33  WARNING  Registry.Key [RegMime]  Reg Key RegMime registers a MIME type through the Registry "
     "table; it should be registered through the MIME table. This entry may overwrite a value written "
     "through that table."},
    // Verbs on all folders have no table; a CLSID under the product's own key registers nothing.
    {"ICE33", "example.msi",
     {"INSERT INTO `Registry` (`Registry`, `Root`, `Key`, `Component_`) VALUES "
      "('RegDirVerb', 0, 'Directory\\shell\\hello', 'MainExecutable')",
      "INSERT INTO `Registry` (`Registry`, `Root`, `Key`, `Component_`) VALUES "
      "('RegOwn', 2, 'Software\\Hello\\CLSID\\{0A2C4E6F-1B3D-4F5A-8C7E-9D0B1A2C3E4F}', 'MainExecutable')"},
     "ICE33", {}, Expect::Absent},
    // ICE34: radio button groups, their property and its default (directly or indirectly).
    {"ICE34", "putty-0.68-installer.msi",
     {"UPDATE `Control` SET `Property` = NULL WHERE `Control` = 'ShutdownOption'"},
     "ICE34  ERROR    Control.Property [MsiRMFilesInUse, ShutdownOption]  Control "
     "MsiRMFilesInUse.ShutdownOption must have a property because it is of type RadioButtonGroup."},
    {"ICE34", "putty-0.68-installer.msi",
     {"UPDATE `Property` SET `Value` = 'Maybe' WHERE `Property` = 'WixUIRMOption'"},
     "ICE34  ERROR    Property.Value [WixUIRMOption]  Maybe is not a valid default value for the "
     "RadioButtonGroup using property WixUIRMOption. The value must be listed as an option in the "
     "RadioButtonGroup table."},
    {"ICE34", "putty-0.68-installer.msi",
     {"DELETE FROM `Property` WHERE `Property` = 'WixUIRMOption'"},
     "ICE34  ERROR    Control.Property [MsiRMFilesInUse, ShutdownOption]  Property WixUIRMOption must be "
     "defined because it is the property of a RadioButtonGroup control MsiRMFilesInUse.ShutdownOption"},
    {"ICE34", "nunit-2.5.2.msi",
     {"DELETE FROM `RadioButton` WHERE `Property` = 'WixUIRMOption'"},
     "ICE34  ERROR    Control.Property [MsiRMFilesInUse, ShutdownOption]  RadioButtonGroup control "
     "MsiRMFilesInUse.ShutdownOption uses property WixUIRMOption, which has no buttons in the RadioButton "
     "table."},
    {"ICE34", "putty-0.68-installer.msi",
     {"UPDATE `Control` SET `Attributes` = 11, `Property` = 'RMChoice' WHERE `Control` = 'ShutdownOption'"},
     "ICE34  ERROR    Control.Property [MsiRMFilesInUse, ShutdownOption]  Property RMChoice must be "
     "defined because it is an indirect property of a RadioButtonGroup control "
     "MsiRMFilesInUse.ShutdownOption"},
    {"ICE34", "putty-0.68-installer.msi",
     {"UPDATE `Control` SET `Attributes` = 11, `Property` = 'RMChoice' WHERE `Control` = 'ShutdownOption'",
      "INSERT INTO `Property` (`Property`, `Value`) VALUES ('RMChoice', 'WixUIRMOption')",
      "UPDATE `Property` SET `Value` = 'Maybe' WHERE `Property` = 'WixUIRMOption'"},
     "ICE34  ERROR    Property.Value [WixUIRMOption]  Maybe is not a valid default value for the property "
     "WixUIRMOption. The property is an indirect RadioButtonGroup property of control "
     "MsiRMFilesInUse.ShutdownOption (via property RMChoice)."},
    // ICE44: dialog events naming missing dialogs; a formatted one is known only at run time.
    {"ICE44", "nunit-2.5.2.msi",
     {"DELETE FROM `Dialog` WHERE `Dialog` = 'CancelDlg'"},
     "ICE44  ERROR    ControlEvent.Argument [WelcomeDlg, Cancel, SpawnDialog, CancelDlg, 1]  Control Event "
     "for Control 'WelcomeDlg'.'Cancel' is of type SpawnDialog, but its argument CancelDlg is not a valid "
     "entry in the Dialog Table."},
    {"ICE44", "putty-0.68-installer.msi",
     {"INSERT INTO `ControlEvent` (`Dialog_`, `Control_`, `Event`, `Argument`, `Condition`, `Ordering`) "
      "VALUES ('InstallDirDlg', 'ChangeFolder', 'NewDialog', '[WixUI_NextDlg]', '1', 9)"},
     "ICE44", {}, Expect::Absent},
    // ICE24: product identity properties; "2.1" is a version the installer accepts.
    {"ICE24", "example.msi",
     {"UPDATE `Property` SET `Value` = '{8fc70c33-91a1-4a6c-8b6e-6ba6fa1dba33}' "
      "WHERE `Property` = 'ProductCode'"},
     "ICE24  ERROR    Property.Value [ProductCode]  ProductCode: '{8fc70c33-91a1-4a6c-8b6e-6ba6fa1dba33}' "
     "is not a valid GUID (upper-case hex digits in braces)."},
    {"ICE24", "example.msi",
     {"UPDATE `Property` SET `Value` = '1.256.0' WHERE `Property` = 'ProductVersion'"},
     "ICE24  ERROR    Property.Value [ProductVersion]  ProductVersion: '1.256.0' is not a valid product "
     "version."},
    {"ICE24", "example.msi",
     {"UPDATE `Property` SET `Value` = '1033;1031' WHERE `Property` = 'ProductLanguage'"},
     "ICE24  ERROR    Property.Value [ProductLanguage]  ProductLanguage: '1033;1031' is not a valid "
     "language ID."},
    {"ICE24", "example.msi", {"UPDATE `Property` SET `Value` = '2.1' WHERE `Property` = 'ProductVersion'"},
     "ProductVersion", {}, Expect::Absent},
    // ICE39: the summary information's form, and its flags against the tables.
    {"ICE39", "example.msi", {},
     "ICE39  ERROR    _SummaryInformation.Value [7]  Invalid Template summary property: 'Intel;en-US'. It "
     "must be one platform, a semicolon and decimal language IDs separated by commas (Intel;1033).",
     {"Template=Intel;en-US"}},
    {"ICE39", "putty-0.68-installer.msi", {},
     "ICE39  ERROR    _SummaryInformation.Value [7]  Invalid Template summary property: 'Mips;1033'. It "
     "must be one platform, a semicolon and decimal language IDs separated by commas (Intel;1033).",
     {"Template=Mips;1033"}},
    {"ICE39", "example.msi", {},
     "ICE39  ERROR    _SummaryInformation.Value [9]  Invalid Revision Number summary property: '1.0.0'. "
     "The package code must be a GUID.",
     {"RevisionNumber=1.0.0"}},
    {"ICE39", "example.msi", {},
     "ICE39  ERROR    _SummaryInformation.Value [15]  Invalid Word Count summary property: 18. Only the "
     "bits 1, 2, 4 and 8 are defined.",
     {"WordCount=18"}},
    {"ICE39", "putty-0.68-installer.msi",
     {"UPDATE `File` SET `Attributes` = 16384 WHERE `File` = 'README_File'"},
     "ICE39  WARNING  File.Attributes [README_File]  File README_File is marked compressed, but the Word "
     "Count summary property already marks the whole source compressed."},
    {"ICE39", "example.msi",
     {"CREATE TABLE `MsiPackageCertificate` (`PackageCertificate` CHAR(72) NOT NULL, "
      "`DigitalCertificate_` CHAR(72) NOT NULL PRIMARY KEY `PackageCertificate`)",
      "INSERT INTO `MsiPackageCertificate` (`PackageCertificate`, `DigitalCertificate_`) VALUES ('C', 'C')"},
     "ICE39  WARNING  MsiPackageCertificate  The Word Count summary property marks the package UAC "
     "compliant, but the MsiPackageCertificate table is not empty.",
     {"WordCount=8"}},
    // Spaces around the platform and all four flags: sound.
    {"ICE39", "example.msi", {}, "Template", {"Template=Intel ;1033,2046"}, Expect::Absent},
    {"ICE39", "putty-0.68-installer.msi", {}, "ICE39", {"WordCount=15"}, Expect::Absent},
    // ICE40: REINSTALLMODE, tag deletions and the Error table.
    {"ICE40", "example.msi",
     {"INSERT INTO `Property` (`Property`, `Value`) VALUES ('REINSTALLMODE', 'amus')"},
     "ICE40  WARNING  Property.Property [REINSTALLMODE]  REINSTALLMODE is defined in the Property table. "
     "This may cause difficulties."},
    {"ICE40", "example.msi",
     {"CREATE TABLE `RemoveIniFile` (`RemoveIniFile` CHAR(72) NOT NULL, `FileName` CHAR(255) NOT NULL, "
      "`DirProperty` CHAR(72), `Section` CHAR(96) NOT NULL, `Key` CHAR(128) NOT NULL, `Value` CHAR(255), "
      "`Action` SHORT NOT NULL, `Component_` CHAR(72) NOT NULL PRIMARY KEY `RemoveIniFile`)",
      "INSERT INTO `RemoveIniFile` (`RemoveIniFile`, `FileName`, `Section`, `Key`, `Action`, `Component_`) "
      "VALUES ('Remove1', 'hello.ini', 'Main', 'Tags', 4, 'MainExecutable')"},
     "ICE40  WARNING  RemoveIniFile.Value [Remove1]  RemoveIniFile entry Remove1 must have a value, "
     "because the Action is \"Delete Tag\" (4)."},
    {"ICE40", "example.msi",
     {"DROP TABLE `Error`"},
     "ICE40  WARNING  Error  Error Table is missing. Only numerical error messages will be generated."},
    // ICE46: names differing only by case, in the Property table, conditions and formatted text.
    {"ICE46", "example.msi",
     {"INSERT INTO `Property` (`Property`, `Value`) VALUES ('ReinstallMode', 'omus')"},
     "ICE46  WARNING  Property.Property [ReinstallMode]  Property ReinstallMode defined in property table "
     "differs from another defined property only by case."},
    {"ICE46", "example.msi",
     {"UPDATE `InstallExecuteSequence` SET `Condition` = 'NOT installed AND \"Installed\" <> ProductName' "
      "WHERE `Action` = 'InstallFinalize'"},
     "ICE46  WARNING  InstallExecuteSequence.Condition [InstallFinalize]  Property 'installed' referenced "
     "in column 'InstallExecuteSequence'.'Condition' of row 'InstallFinalize' differs from a defined "
     "property by case only."},
    {"ICE46", "putty-0.68-installer.msi",
     {"INSERT INTO `CustomAction` (`Action`, `Type`, `Source`, `Target`) VALUES "
      "('SetPath', 51, 'PUTTYPATH', '[installdir]putty.exe')"},
     "ICE46  WARNING  CustomAction.Target [SetPath]  Property 'installdir' referenced in column "
     "'CustomAction'.'Target' of row 'SetPath' differs from a defined property by case only."},
    // Quoted text, component states and a script's code hold no property references.
    {"ICE46", "example.msi",
     {"UPDATE `InstallExecuteSequence` SET `Condition` = "
      "'\"installed\" = ProductName OR $MainExecutable = 3' WHERE `Action` = 'InstallFinalize'"},
     "ICE46", {}, Expect::Absent},
    {"ICE46", "putty-0.68-installer.msi",
     {"INSERT INTO `CustomAction` (`Action`, `Type`, `Source`, `Target`) VALUES "
      "('Script', 37, '', 'var a = x[installdir];')"},
     "ICE46", {}, Expect::Absent},
    // ICE61: upgrade rows' found-properties and version ranges.
    {"ICE61", "SequenceTables.msi",
     {"INSERT INTO `Property` (`Property`, `Value`) VALUES ('WIX_UPGRADE_DETECTED', '1')"},
     "ICE61  ERROR    Upgrade.ActionProperty [{12E4699F-E774-4D05-8A01-5BDD41BBA127}, , 1.0.0.0, , 1]  "
     "Upgrade.ActionProperty WIX_UPGRADE_DETECTED must not be authored in the Property table: "
     "FindRelatedProducts sets it."},
    {"ICE61", "SequenceTables.msi",
     {"INSERT INTO `Upgrade` (`UpgradeCode`, `VersionMin`, `VersionMax`, `Attributes`, `ActionProperty`) "
      "VALUES ('{12E4699F-E774-4D05-8A01-5BDD41BBA127}', '2.0.0', '1.0.0', 0, 'Old_Found')"},
     "ICE61  ERROR    Upgrade.ActionProperty [{12E4699F-E774-4D05-8A01-5BDD41BBA127}, 2.0.0, 1.0.0, , 0]  "
     "Upgrade.ActionProperty Old_Found must not contain lowercase letters."},
    {"ICE61", "SequenceTables.msi",
     {"INSERT INTO `Upgrade` (`UpgradeCode`, `VersionMin`, `VersionMax`, `Attributes`, `ActionProperty`) "
      "VALUES ('{12E4699F-E774-4D05-8A01-5BDD41BBA127}', '2.0.0', '1.0.0', 0, 'OLDFOUND')"},
     "ICE61  ERROR    Upgrade.VersionMax [{12E4699F-E774-4D05-8A01-5BDD41BBA127}, 2.0.0, 1.0.0, , 0]  "
     "Upgrade.VersionMax cannot be less than Upgrade.VersionMin. (OLDFOUND)"},
    {"ICE61", "SequenceTables.msi",
     {"INSERT INTO `Upgrade` (`UpgradeCode`, `VersionMax`, `Attributes`, `ActionProperty`) "
      "VALUES ('{12E4699F-E774-4D05-8A01-5BDD41BBA127}', '1.0.0.0', 512, 'SAMEFOUND')"},
     "ICE61  ERROR    Upgrade.ActionProperty [{12E4699F-E774-4D05-8A01-5BDD41BBA127}, , 1.0.0.0, , 512]  "
     "Upgrade.ActionProperty SAMEFOUND must be added to the SecureCustomProperties property."},
    {"ICE61", "SequenceTables.msi",
     {"UPDATE `Upgrade` SET `ActionProperty` = 'WIX_DOWNGRADE_DETECTED' WHERE `Attributes` = 1"},
     "ICE61  ERROR    Upgrade.ActionProperty [{12E4699F-E774-4D05-8A01-5BDD41BBA127}, 1.0.0.0, , , 2]  "
     "Upgrade.ActionProperty WIX_DOWNGRADE_DETECTED may be used in only one record of the Upgrade table."},
    {"ICE61", "SequenceTables.msi",
     {"INSERT INTO `Upgrade` (`UpgradeCode`, `VersionMin`, `Attributes`, `ActionProperty`) "
      "VALUES ('{12E4699F-E774-4D05-8A01-5BDD41BBA127}', '1.0.x', 0, 'WIX_UPGRADE_DETECTED')"},
     "ICE61  ERROR    Upgrade.VersionMin [{12E4699F-E774-4D05-8A01-5BDD41BBA127}, 1.0.x, , , 0]  "
     "Upgrade.VersionMin '1.0.x' is not a valid product version. (WIX_UPGRADE_DETECTED)"},
    // This product removing versions up to its own: above it, or equal when the maximum is inclusive.
    {"ICE61", "SequenceTables.msi",
     {"INSERT INTO `Upgrade` (`UpgradeCode`, `VersionMax`, `Attributes`, `ActionProperty`) "
      "VALUES ('{12E4699F-E774-4D05-8A01-5BDD41BBA127}', '1.2', 0, 'NEWERFOUND')"},
     "ICE61  WARNING  Upgrade.VersionMax [{12E4699F-E774-4D05-8A01-5BDD41BBA127}, , 1.2, , 0]  This "
     "product should remove only older versions of itself. The Maximum version is not less than the "
     "current product. (1.2 1.0.0.0)"},
    {"ICE61", "SequenceTables.msi",
     {"INSERT INTO `Upgrade` (`UpgradeCode`, `VersionMax`, `Attributes`, `ActionProperty`) "
      "VALUES ('{12E4699F-E774-4D05-8A01-5BDD41BBA127}', '1.0.0.0', 512, 'SAMEFOUND')"},
     "ICE61  WARNING  Upgrade.VersionMax [{12E4699F-E774-4D05-8A01-5BDD41BBA127}, , 1.0.0.0, , 512]  This "
     "product should remove only older versions of itself. The Maximum version is not less than the "
     "current product. (1.0.0.0 1.0.0.0)"},
    // Only detecting, or up to its own version exclusive: fine.
    {"ICE61", "SequenceTables.msi",
     {"INSERT INTO `Upgrade` (`UpgradeCode`, `VersionMax`, `Attributes`, `ActionProperty`) "
      "VALUES ('{12E4699F-E774-4D05-8A01-5BDD41BBA127}', '2.0', 2, 'WIX_UPGRADE_DETECTED')",
      "INSERT INTO `Upgrade` (`UpgradeCode`, `VersionMax`, `Attributes`, `ActionProperty`) "
      "VALUES ('{12E4699F-E774-4D05-8A01-5BDD41BBA127}', '1.0.0.0', 0, 'WIX_DOWNGRADE_DETECTED')"},
     "should remove only older", {}, Expect::Absent},
};

EVALUATOR_CASES(SequencesFilesEvaluators, kCases);

}  // namespace
}  // namespace vt
