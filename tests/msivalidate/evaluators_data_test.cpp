// The data rules, each tripped on an altered corpus package: the schema
// checks (ICE03, ICE06, ICE32), reserved bits (ICE45), cross-component
// references (ICE67, ICE69), media and product properties (ICE04, ICE05,
// ICE16).
#include "validate_support.h"

namespace vt {
namespace {

// A text one character wider than Shortcut.Description (255).
const std::string kWide(256, 'x');
const std::string kOverflowLine =
    "ICE03  ERROR    Shortcut.Description [DesktopPuTTY]  String overflow (greater than length permitted in "
    "column): " + kWide;

// A product name of 64 characters.
const std::string kLongName = "PuTTY release 0.68 (64-bit), with every tool and the full manual";
const std::string kLongNameLine = "ICE16  ERROR    Property.Value [ProductName]  ProductName: '" + kLongName +
                                  "' is greater than 63 characters in length. Current length: 64";

const EvaluatorCase kCases[] = {
    // ICE03: each kind of value the _Validation table refuses.
    {"ICE03", "putty-0.68-installer.msi",
     {"UPDATE `Component` SET `ComponentId` = '{abc}' WHERE `Component` = 'HelpFile_Component'"},
     "ICE03  ERROR    Component.ComponentId [HelpFile_Component]  Invalid GUID string: {abc}"},
    {"ICE03", "putty-0.68-installer.msi",
     {"UPDATE `File` SET `Component_` = 'Nowhere' WHERE `File` = 'README_File'"},
     "ICE03  ERROR    File.Component_ [README_File]  Not A Valid Foreign Key: Nowhere"},
    {"ICE03", "putty-0.68-installer.msi",
     {"UPDATE `_Validation` SET `Nullable` = 'N' WHERE `Table` = 'Shortcut' AND `Column` = 'WkDir'"},
     "ICE03  ERROR    Shortcut.WkDir [startmenuManual]  Not A Nullable Column"},
    {"ICE03", "putty-0.68-installer.msi",
     {"UPDATE `_Validation` SET `MaxValue` = 5 WHERE `Table` = 'File' AND `Column` = 'Sequence'"},
     "ICE03  ERROR    File.Sequence [PuTTY_File]  Value exceeds MaxValue: 7"},
    {"ICE03", "putty-0.68-installer.msi",
     {"UPDATE `File` SET `FileSize` = -5 WHERE `File` = 'LICENCE_File'"},
     "ICE03  ERROR    File.FileSize [LICENCE_File]  Value below MinValue: -5"},
    {"ICE03", "putty-0.68-installer.msi",
     {"UPDATE `Shortcut` SET `ShowCmd` = 2 WHERE `Shortcut` = 'DesktopPuTTY'"},
     "ICE03  ERROR    Shortcut.ShowCmd [DesktopPuTTY]  Value not a member of the set: 2"},
    {"ICE03", "putty-0.68-installer.msi",
     {"UPDATE `File` SET `FileName` = 'bad<name.exe' WHERE `File` = 'PSCP_File'"},
     "ICE03  ERROR    File.FileName [PSCP_File]  Invalid Filename: bad<name.exe"},
    {"ICE03", "putty-0.68-installer.msi",
     {"UPDATE `Component` SET `Condition` = 'NOT (' WHERE `Component` = 'PSCP_Component'"},
     "ICE03  ERROR    Component.Condition [PSCP_Component]  Bad conditional string: NOT ("},
    {"ICE03", "putty-0.68-installer.msi",
     {"UPDATE `Shortcut` SET `Description` = '" + kWide + "' WHERE `Shortcut` = 'DesktopPuTTY'"},
     kOverflowLine.c_str()},
    // ... and faults of the _Validation table itself, on the rows it governs.
    {"ICE03", "putty-0.68-installer.msi",
     {"UPDATE `_Validation` SET `Category` = 'Bogus' WHERE `Table` = 'Property' AND `Column` = 'Value'"},
     "ICE03  ERROR    Property.Value [Manufacturer]  _Validation table: Invalid category string"},
    {"ICE03", "putty-0.68-installer.msi",
     {"UPDATE `_Validation` SET `KeyTable` = 'Nowhere' WHERE `Table` = 'Component' AND `Column` = 'Directory_'"},
     "ICE03  ERROR    Component.Directory_ [PSCP_Component]  _Validation table: Data in KeyTable column is "
     "incorrect"},
    {"ICE03", "putty-0.68-installer.msi",
     {"UPDATE `_Validation` SET `MinValue` = 10, `MaxValue` = 1 WHERE `Table` = 'File' AND `Column` = 'Sequence'"},
     "ICE03  ERROR    File.Sequence [PuTTY_File]  _Validation table: Value in MaxValue column < that in "
     "MinValue column"},
    // A column _Validation does not describe is reported once, not per row;
    // without _Validation every column is.
    {"ICE03", "putty-0.68-installer.msi",
     {"DELETE FROM `_Validation` WHERE `Table` = 'Shortcut' AND `Column` = 'Hotkey'"},
     "ICE03  ERROR    Shortcut.Hotkey  Missing specifications in _Validation Table"},
    {"ICE03", "putty-0.68-installer.msi",
     {"CREATE TABLE `Extra` (`Id` CHAR(72) NOT NULL PRIMARY KEY `Id`)"},
     "ICE03  ERROR    Extra.Id  Missing specifications in _Validation Table"},
    {"ICE03", "SequenceTables.msi", {"DROP TABLE `_Validation`"},
     "ICE03  ERROR    Property.Value  Missing specifications in _Validation Table"},
    {"ICE03", "SequenceTables.msi",
     {"DROP TABLE `_Validation`",
      "CREATE TABLE `_Validation` (`Table` CHAR(32) NOT NULL PRIMARY KEY `Table`)"},
     "ICE03  FAILURE  The _Validation table has no Table or Column column"},

    // ICE06: a column _Validation lists that the table lacks.
    {"ICE06", "putty-0.68-installer.msi",
     {"INSERT INTO `_Validation` (`Table`, `Column`, `Nullable`, `Description`) "
      "VALUES ('File', 'Checksum', 'Y', 'A column of no schema')"},
     "ICE06  ERROR    _Validation.Column [File, Checksum]  Column: Checksum of Table: File is not defined "
     "in database."},

    // ICE32: foreign keys of another type or size than their key.
    {"ICE32", "putty-0.68-installer.msi",
     {"UPDATE `_Validation` SET `KeyTable` = 'Feature', `KeyColumn` = 1 "
      "WHERE `Table` = 'File' AND `Column` = 'Sequence'"},
     "ICE32  ERROR    _Validation.KeyTable [File, Sequence]  Foreign key File.Sequence (i4) and the key it "
     "refers to, Feature.Feature (s38), differ in type."},
    {"ICE32", "putty-0.68-installer.msi",
     {"UPDATE `_Validation` SET `KeyTable` = 'Component' WHERE `Table` = 'Shortcut' AND `Column` = 'Name'"},
     "ICE32  ERROR    _Validation.KeyTable [Shortcut, Name]  Foreign key Shortcut.Name (l128) and the key it "
     "refers to, Component.Component (s72), differ in size."},
    // KeyColumn names the key table's column (1 when null).
    {"ICE32", "putty-0.68-installer.msi",
     {"UPDATE `_Validation` SET `KeyColumn` = 2 WHERE `Table` = 'File' AND `Column` = 'Component_'"},
     "ICE32  ERROR    _Validation.KeyTable [File, Component_]  Foreign key File.Component_ (s72) and the key "
     "it refers to, Component.ComponentId (S38), differ in size."},
    // The second table of a list is held to the same rule.
    {"ICE32", "putty-0.68-installer.msi",
     {"UPDATE `_Validation` SET `KeyTable` = 'File;Media' WHERE `Table` = 'Shortcut' AND `Column` = 'WkDir'"},
     "ICE32  ERROR    _Validation.KeyTable [Shortcut, WkDir]  Foreign key Shortcut.WkDir (S72) and the key it "
     "refers to, Media.DiskId (i2), differ in type."},

    // ICE45: reserved bits, errors for most tables and warnings for controls;
    // which bits are free depends on the package's schema.
    {"ICE45", "putty-0.68-installer.msi",
     {"UPDATE `File` SET `Attributes` = 768 WHERE `File` = 'PuTTY_File'"},
     "ICE45  ERROR    File.Attributes [PuTTY_File]  Row 'PuTTY_File' in table 'File' has bits set in the "
     "'Attributes' column that are reserved. They must be 0 to ensure compatibility with future installer "
     "versions."},
    // 64-bit components (256) came with schema 121: too new for putty's 100.
    {"ICE45", "putty-0.68-installer.msi",
     {"UPDATE `Component` SET `Attributes` = 260 WHERE `Component` = 'PPK_Assoc_Component'"},
     "ICE45  ERROR    Component.Attributes [PPK_Assoc_Component]  Row 'PPK_Assoc_Component' in table "
     "'Component' has bits set in the 'Attributes' column that are reserved. They must be 0 to ensure "
     "compatibility with future installer versions."},
    {"ICE45", "putty-0.68-installer.msi",
     {"UPDATE `Control` SET `Attributes` = 16777219 WHERE `Dialog_` = 'FatalError' AND `Control` = 'Finish'"},
     "ICE45  WARNING  Control.Attributes [FatalError, Finish]  Row 'FatalError.Finish' in table 'Control' has "
     "bits set in the 'Attributes' column that are reserved. They should be 0 to ensure compatibility with "
     "future installer versions."},

    // ICE67: a shortcut to a file of another component that may move between
    // local and run-from-source ([#file] and [!file] targets alike).
    {"ICE67", "putty-0.68-installer.msi",
     {"UPDATE `Component` SET `Attributes` = 2 WHERE `Component` = 'PuTTY_Component'",
      "UPDATE `Shortcut` SET `Component_` = 'Desktop_Shortcut_Component' WHERE `Shortcut` = 'startmenuPuTTY'"},
     "ICE67  WARNING  Shortcut.Target [startmenuPuTTY]  The shortcut 'startmenuPuTTY' is a non-advertised "
     "shortcut with a file target. The shortcut and target are installed by different components, and the "
     "target component can run locally or from source."},
    {"ICE67", "nunit-2.5.2.msi",
     {"UPDATE `Component` SET `Attributes` = 2 WHERE `Component` = 'nunit.exe_2.0'"},
     "ICE67  WARNING  Shortcut.Target [MenuShortcut_NUnit]  The shortcut 'MenuShortcut_NUnit' is a "
     "non-advertised shortcut with a file target. The shortcut and target are installed by different "
     "components, and the target component can run locally or from source."},

    // ICE69: references to other components and their files.
    {"ICE69", "putty-0.68-installer.msi",
     {"UPDATE `Shortcut` SET `Arguments` = '-v [$Pageant_Component]' WHERE `Shortcut` = 'startmenuPuTTY'"},
     "ICE69  WARNING  Shortcut.Arguments [startmenuPuTTY]  Mismatched component reference. Entry "
     "'startmenuPuTTY' of the Shortcut table belongs to component 'PuTTY_Component'. However, the formatted "
     "string in column 'Arguments' references component 'Pageant_Component'. Components are in the same "
     "feature."},
    {"ICE69", "putty-0.68-installer.msi",
     {"UPDATE `Shortcut` SET `Arguments` = '[$PuTTY_Component] [$Desktop_Shortcut_Component]' "
      "WHERE `Shortcut` = 'startmenuPuTTY'"},
     "ICE69  ERROR    Shortcut.Arguments [startmenuPuTTY]  Mismatched component reference. Entry "
     "'startmenuPuTTY' of the Shortcut table belongs to component 'PuTTY_Component'. However, the formatted "
     "string in column 'Arguments' references component 'Desktop_Shortcut_Component'. Components are not in "
     "the same feature."},
    {"ICE69", "putty-0.68-installer.msi",
     {"UPDATE `Shortcut` SET `Arguments` = '[#PuTTY_File] [#README_File]' WHERE `Shortcut` = 'startmenuPuTTY'"},
     "ICE69  WARNING  Shortcut.Arguments [startmenuPuTTY]  Mismatched component reference. Entry "
     "'startmenuPuTTY' of the Shortcut table belongs to component 'PuTTY_Component'. However, the formatted "
     "string in column 'Arguments' references file 'README_File' which belongs to component "
     "'README_Component'. Components are in the same feature."},
    // A verb belongs to every component of its extension.
    {"ICE69", "putty-0.68-installer.msi",
     {"CREATE TABLE `Extension` (`Extension` CHAR(255) NOT NULL, `Component_` CHAR(72) NOT NULL, "
      "`ProgId_` CHAR(255), `MIME_` CHAR(64), `Feature_` CHAR(38) NOT NULL PRIMARY KEY `Extension`, "
      "`Component_`)",
      "CREATE TABLE `Verb` (`Extension_` CHAR(255) NOT NULL, `Verb` CHAR(32) NOT NULL, `Sequence` SHORT, "
      "`Command` CHAR(255) LOCALIZABLE, `Argument` CHAR(255) LOCALIZABLE PRIMARY KEY `Extension_`, `Verb`)",
      "INSERT INTO `Extension` (`Extension`, `Component_`, `Feature_`) "
      "VALUES ('tst', 'PuTTY_Component', 'FilesFeature')",
      "INSERT INTO `Extension` (`Extension`, `Component_`, `Feature_`) "
      "VALUES ('tst', 'Pageant_Component', 'FilesFeature')",
      "INSERT INTO `Verb` (`Extension_`, `Verb`, `Argument`) "
      "VALUES ('tst', 'open', '-v [$PuTTY_Component][$Pageant_Component] [#Pageant_File]')",
      "INSERT INTO `Verb` (`Extension_`, `Verb`, `Argument`) VALUES ('tst', 'edit', '[$PSCP_Component]')"},
     "ICE69  WARNING  Verb.Argument [tst, edit]  Mismatched component reference. Entry 'tst.edit' of the Verb "
     "table belongs to components 'Pageant_Component', 'PuTTY_Component'. However, the formatted string in "
     "column 'Argument' references component 'PSCP_Component', which is not one of them."},
    // An AppId belongs to the components of its classes; a class to its own.
    {"ICE69", "putty-0.68-installer.msi",
     {"CREATE TABLE `Class` (`CLSID` CHAR(38) NOT NULL, `Context` CHAR(32) NOT NULL, `Component_` CHAR(72) "
      "NOT NULL, `ProgId_Default` CHAR(255), `Description` CHAR(255) LOCALIZABLE, `AppId_` CHAR(38), "
      "`FileTypeMask` CHAR(255), `Icon_` CHAR(72), `IconIndex` SHORT, `DefInprocHandler` CHAR(32), "
      "`Argument` CHAR(255), `Feature_` CHAR(38) NOT NULL, `Attributes` SHORT PRIMARY KEY `CLSID`, "
      "`Context`, `Component_`)",
      "CREATE TABLE `AppId` (`AppId` CHAR(38) NOT NULL, `RemoteServerName` CHAR(255), `LocalService` "
      "CHAR(255), `ServiceParameters` CHAR(255), `DllSurrogate` CHAR(255), `ActivateAtStorage` SHORT, "
      "`RunAsInteractiveUser` SHORT PRIMARY KEY `AppId`)",
      "INSERT INTO `Class` (`CLSID`, `Context`, `Component_`, `AppId_`, `Argument`, `Feature_`) VALUES "
      "('{6F2A1C0E-0000-4000-8000-000000000001}', 'LocalServer32', 'PuTTY_Component', "
      "'{6F2A1C0E-0000-4000-8000-0000000000A1}', '[#PuTTY_File]', 'FilesFeature')",
      "INSERT INTO `Class` (`CLSID`, `Context`, `Component_`, `AppId_`, `Feature_`) VALUES "
      "('{6F2A1C0E-0000-4000-8000-000000000002}', 'LocalServer32', 'Pageant_Component', "
      "'{6F2A1C0E-0000-4000-8000-0000000000A1}', 'FilesFeature')",
      "INSERT INTO `AppId` (`AppId`, `RemoteServerName`, `ServiceParameters`) VALUES "
      "('{6F2A1C0E-0000-4000-8000-0000000000A1}', '[$Pageant_Component]', '-s [#Plink_File]')"},
     "ICE69  WARNING  AppId.ServiceParameters [{6F2A1C0E-0000-4000-8000-0000000000A1}]  Mismatched component "
     "reference. Entry '{6F2A1C0E-0000-4000-8000-0000000000A1}' of the AppId table belongs to components "
     "'Pageant_Component', 'PuTTY_Component'. However, the formatted string in column 'ServiceParameters' "
     "references file 'Plink_File' which belongs to component 'Plink_Component', which is not one of them."},

    // ICE04: a file beyond the last disk.
    {"ICE04", "putty-0.68-installer.msi",
     {"UPDATE `File` SET `Sequence` = 50 WHERE `File` = 'README_File'"},
     "ICE04  ERROR    File.Sequence [README_File]  File: README_File, Sequence: 50 Greater Than Max Allowed by "
     "Media Table."},

    // ICE05: the properties every product needs, the table itself included.
    {"ICE05", "putty-0.68-installer.msi", {"DELETE FROM `Property` WHERE `Property` = 'Manufacturer'"},
     "ICE05  ERROR    Property [Manufacturer]  The entry: 'Manufacturer' is required in the 'Property' table."},
    {"ICE05", "example.msi", {"DROP TABLE `Property`"},
     "ICE05  ERROR    Property [ProductCode]  The entry: 'ProductCode' is required in the 'Property' table."},

    // ICE16: a product name beyond 63 characters (counted as characters).
    {"ICE16", "putty-0.68-installer.msi",
     {"UPDATE `Property` SET `Value` = '" + kLongName + "' WHERE `Property` = 'ProductName'"},
     kLongNameLine.c_str()},
};

EVALUATOR_CASES(DataRules, kCases);

}  // namespace
}  // namespace vt
