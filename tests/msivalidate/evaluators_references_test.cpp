// The evaluators that follow references between tables (features and the
// components they install, companion files, merge modules, secured
// objects, text styles, the directory root) and the per-row value rules
// of fonts, registry values and media, each tripped on an altered corpus
// package. ICE01 reports only the time it was called: no case here.
#include "validate_support.h"

namespace vt {
namespace {

const char* const kPutty = "putty-0.68-installer.msi";

std::string Title(const std::string& text) {
  return "UPDATE `Control` SET `Text` = '" + text + "' WHERE `Dialog_` = 'ExitDialog' AND `Control` = 'Title'";
}
const std::string kLongStyle(73, 's');  // one over a TextStyle key's 72
const std::string kLongStyleTitle = Title("{&" + kLongStyle + "}Done");

// Disks 2..81 after putty's one cabinet: 81 Media rows.
std::vector<std::string> EightyOneDisks() {
  std::vector<std::string> out;
  for (int disk = 2; disk <= 81; ++disk)
    out.push_back("INSERT INTO `Media` (`DiskId`, `LastSequence`) VALUES (" + std::to_string(disk) + ", " +
                  std::to_string(disk + 10) + ")");
  return out;
}

const std::string kFontTable = "CREATE TABLE `Font` (`File_` CHAR(72) NOT NULL, `FontTitle` CHAR(128) PRIMARY KEY `File_`)";
const std::string kLockTable =
    "CREATE TABLE `LockPermissions` (`LockObject` CHAR(72) NOT NULL, `Table` CHAR(32) NOT NULL, `Domain` "
    "CHAR(255), `User` CHAR(255) NOT NULL, `Permission` LONG PRIMARY KEY `LockObject`, `Table`, `Domain`, `User`)";
const EvaluatorCase kCases[] = {
    // ICE25: a dependency on a module that was never merged.
    {"ICE25", "example.msi",
     {"CREATE TABLE `ModuleDependency` (`ModuleID` CHAR(72) NOT NULL, `ModuleLanguage` INT NOT NULL, `RequiredID` "
      "CHAR(72) NOT NULL, `RequiredLanguage` INT NOT NULL, `RequiredVersion` CHAR(32) PRIMARY KEY `ModuleID`, "
      "`ModuleLanguage`, `RequiredID`, `RequiredLanguage`)",
      "INSERT INTO `ModuleDependency` (`ModuleID`, `ModuleLanguage`, `RequiredID`, `RequiredLanguage`, "
      "`RequiredVersion`) VALUES ('ModuleA', 0, 'ModuleB', 9, '2.0')"},
     "ICE25  ERROR    ModuleDependency.RequiredID [ModuleA, 0, ModuleB, 9]  Dependency failure: Need ModuleB@9 v2.0"},
    // A product with modules merged into it keeps their signatures and is
    // still checked as a product.
    {"ICE25", "example.msi",
     {"CREATE TABLE `ModuleSignature` (`ModuleID` CHAR(72) NOT NULL, `Language` INT NOT NULL, `Version` "
      "CHAR(32) NOT NULL PRIMARY KEY `ModuleID`, `Language`)",
      "INSERT INTO `ModuleSignature` (`ModuleID`, `Language`, `Version`) VALUES ('ModuleA', 0, '1.0')",
      "INSERT INTO `ModuleSignature` (`ModuleID`, `Language`, `Version`) VALUES ('ModuleB', 1033, '1.5')",
      "CREATE TABLE `ModuleExclusion` (`ModuleID` CHAR(72) NOT NULL, `ModuleLanguage` INT NOT NULL, "
      "`ExcludedID` CHAR(72) NOT NULL, `ExcludedLanguage` INT NOT NULL, `ExcludedMinVersion` CHAR(32), "
      "`ExcludedMaxVersion` CHAR(32) PRIMARY KEY `ModuleID`, `ModuleLanguage`, `ExcludedID`, `ExcludedLanguage`)",
      "INSERT INTO `ModuleExclusion` (`ModuleID`, `ModuleLanguage`, `ExcludedID`, `ExcludedLanguage`, "
      "`ExcludedMinVersion`, `ExcludedMaxVersion`) VALUES ('ModuleA', 0, 'ModuleB', 9, '1.0', '1.9')"},
     "ICE25  ERROR    ModuleExclusion.ExcludedID [ModuleA, 0, ModuleB, 9]  Module ModuleB@1033 v1.5 is excluded."},

    // ICE31: each kind of faulty style tag, and DefaultUIFont.
    {"ICE31", kPutty, {Title("{\\Nope}Done")},
     "ICE31  ERROR    Control.Text [ExitDialog, Title]  Control ExitDialog.Title uses undefined TextStyle Nope."},
    {"ICE31", kPutty, {Title("{\\WixUI_Font_Bigger Done")},
     "ICE31  ERROR    Control.Text [ExitDialog, Title]  Control ExitDialog.Title is missing closing brace in text "
     "style."},
    {"ICE31", kPutty, {kLongStyleTitle},
     "ICE31  ERROR    Control.Text [ExitDialog, Title]  Control ExitDialog.Title specifies a text style that is too "
     "long to be valid."},
    {"ICE31", kPutty, {"DROP TABLE `TextStyle`"},
     "ICE31  ERROR    Control.Text [ExitDialog, Title]  Control ExitDialog.Title uses TextStyle WixUI_Font_Bigger, "
     "but the package has no TextStyle table."},
    {"ICE31", kPutty, {"UPDATE `Property` SET `Value` = 'Nope' WHERE `Property` = 'DefaultUIFont'"},
     "ICE31  ERROR    Property.Value [DefaultUIFont]  The DefaultUIFont property names TextStyle Nope, which is not "
     "in the TextStyle table."},
    {"ICE31", kPutty, {Title("Done {\\WixUI_Font_Bigger}")},
     "ICE31  WARNING  Control.Text [ExitDialog, Title]  Text Style tag in ExitDialog.Title has no effect. Do you "
     "really want it to appear as text?"},
    {"ICE31", kPutty, {Title("{\\WixUI_Font_Bigger}{&WixUI_Font_Bigger}Done")},
     "ICE31  WARNING  Control.Text [ExitDialog, Title]  Control ExitDialog.Title has multiple text style tags. "
     "Only the first is used."},

    // ICE35: putty compresses by default (word count 2) into #putty.cab;
    // schema 200 turns the error into a warning.
    {"ICE35", kPutty, {"UPDATE `Component` SET `Attributes` = 1 WHERE `Component` = 'LICENCE_Component'"},
     "ICE35  ERROR    Component.Attributes [LICENCE_Component]  Component LICENCE_Component cannot be Run From "
     "Source only, because its member file 'LICENCE_File' is compressed."},
    {"ICE35", kPutty, {"UPDATE `Component` SET `Attributes` = 1 WHERE `Component` = 'LICENCE_Component'"},
     "ICE35  WARNING  Component.Attributes [LICENCE_Component]  Component LICENCE_Component cannot be Run From "
     "Source only, because its member file 'LICENCE_File' is compressed.",
     {"PageCount=200"}},
    {"ICE35", kPutty, {"UPDATE `Component` SET `Attributes` = 2 WHERE `Component` = 'LICENCE_Component'"},
     "ICE35  WARNING  Component.Attributes [LICENCE_Component]  Component LICENCE_Component can be Run From "
     "Source, but its member file 'LICENCE_File' is compressed."},

    // ICE41: an extension advertised by a feature without its component.
    {"ICE41", kPutty,
     {"CREATE TABLE `Extension` (`Extension` CHAR(255) NOT NULL, `Component_` CHAR(72) NOT NULL, `ProgId_` "
      "CHAR(255), `MIME_` CHAR(64), `Feature_` CHAR(38) NOT NULL PRIMARY KEY `Extension`, `Component_`)",
      "INSERT INTO `Extension` (`Extension`, `Component_`, `Feature_`) VALUES ('ppk', 'PPK_Assoc_Component', "
      "'FilesFeature')"},
     "ICE41  ERROR    Extension.Feature_ [ppk, PPK_Assoc_Component]  Extension ppk references feature FilesFeature "
     "and component PPK_Assoc_Component, but the that Component is not associated with that Feature in the "
     "FeatureComponents table."},

    // ICE49: a key's default value written as a DWORD.
    {"ICE49", kPutty,
     {"UPDATE `Registry` SET `Value` = '#1' WHERE `Registry` = 'reg3BDDF94BF5E4729A19AFF09C60CCDA31'"},
     "ICE49  WARNING  Registry.Value [reg3BDDF94BF5E4729A19AFF09C60CCDA31]  Reg Entry "
     "'reg3BDDF94BF5E4729A19AFF09C60CCDA31' is not of type REG_SZ. Default types must be REG_SZ on Win95 "
     "Systems. Make sure the component is conditionalized to never be installed on Win95 machines."},

    // ICE51: a TrueType font with a title; a font of another kind without.
    {"ICE51", kPutty,
     {kFontTable, "UPDATE `File` SET `FileName` = 'face.ttf' WHERE `File` = 'LICENCE_File'",
      "INSERT INTO `Font` (`File_`, `FontTitle`) VALUES ('LICENCE_File', 'Face')"},
     "ICE51  WARNING  Font.FontTitle [LICENCE_File]  Font 'LICENCE_File' is a TTC\\\\TTF\\\\OTF font, but also has a "
     "title."},
    {"ICE51", kPutty, {kFontTable, "INSERT INTO `Font` (`File_`) VALUES ('README_File')"},
     "ICE51  ERROR    Font.FontTitle [README_File]  Font 'README_File' does not have a title. Only TTC\\\\TTF\\\\OTF "
     "fonts do not need titles."},

    {"ICE52", kPutty,
     {"INSERT INTO `AppSearch` (`Property`, `Signature_`) VALUES ('Found', "
      "'LegacyInnoSetupInstallerNative32RegSearch')"},
     "ICE52  WARNING  AppSearch.Property [Found, LegacyInnoSetupInstallerNative32RegSearch]  Property 'Found' in "
     "AppSearch row 'Found'.'LegacyInnoSetupInstallerNative32RegSearch' is not public. It should be all "
     "uppercase."},

    // ICE53: matched without case, as the registry does.
    {"ICE53", kPutty,
     {"INSERT INTO `Registry` (`Registry`, `Root`, `Key`, `Component_`) VALUES ('Policy', 2, "
      "'SOFTWARE\\Policies\\Microsoft\\Windows\\Installer', 'Path_Component')"},
     "ICE53  WARNING  Registry.Key [Policy]  Registry Key 'Policy' writes Installer internal or policy "
     "information."},

    {"ICE54", kPutty, {"UPDATE `File` SET `Version` = 'PuTTY_File' WHERE `File` = 'PSCP_File'"},
     "ICE54  WARNING  Component.KeyPath [PSCP_Component]  Component 'PSCP_Component' uses file 'PSCP_File' as its "
     "KeyPath, but the file's version is provided by the file 'PuTTY_File'."},

    {"ICE55", kPutty,
     {kLockTable, "INSERT INTO `LockPermissions` (`LockObject`, `Table`, `User`) VALUES ('README_File', 'File', "
                  "'guest')"},
     "ICE55  ERROR    LockPermissions.Permission [README_File, File, , guest]  LockObject "
     "'README_File'.'File'.''.'guest' in the LockPermissions table has a null Permission value."},
    {"ICE55", kPutty,
     {kLockTable, "INSERT INTO `LockPermissions` (`LockObject`, `Table`, `User`, `Permission`) VALUES ('Gone', "
                  "'File', 'guest', 1)"},
     "ICE55  ERROR    LockPermissions.LockObject [Gone, File, , guest]  Could not find item 'Gone' in table 'File' "
     "which is referenced in the LockPermissions table."},

    // ICE56: TARGETDIR not at the source root; a second root that holds a
    // component (one that parents itself).
    {"ICE56", kPutty, {"UPDATE `Directory` SET `DefaultDir` = 'Temp' WHERE `Directory` = 'TARGETDIR'"},
     "ICE56  ERROR    Directory.DefaultDir [TARGETDIR]  Directory 'TARGETDIR' has a bad DefaultDir value."},
    {"ICE56", kPutty,
     {"UPDATE `Directory` SET `Directory_Parent` = 'DesktopFolder' WHERE `Directory` = 'DesktopFolder'"},
     "ICE56  ERROR    Directory.Directory [DesktopFolder]  Directory 'DesktopFolder' is an invalid root "
     "Directory."},

    // ICE58: putty is of schema 100, still held to 80 disks.
    {"ICE58", kPutty, EightyOneDisks(),
     "ICE58  WARNING  Media  This package has 81 media entries. Packages are limited to 80 entries in the media "
     "table."},

    {"ICE59", kPutty, {"UPDATE `Shortcut` SET `Target` = 'DesktopFeature' WHERE `Shortcut` = 'startmenuPuTTY'"},
     "ICE59  ERROR    Shortcut.Target [startmenuPuTTY]  The shortcut startmenuPuTTY activates component "
     "PuTTY_Component and advertises feature DesktopFeature, but there is no mapping between DesktopFeature and "
     "PuTTY_Component in the FeatureComponents table."},

    // ICE60: README is hashed; given a version it has no language either.
    {"ICE60", kPutty, {"UPDATE `File` SET `Version` = '1.0.0.0' WHERE `File` = 'README_File'"},
     "ICE60  WARNING  File.Language [README_File]  The file README_File is not a Font, and its version is not a "
     "companion file reference. It should have a language specified in the Language column."},
    {"ICE60", kPutty, {"UPDATE `File` SET `Version` = '1.0.0.0' WHERE `File` = 'README_File'"},
     "ICE60  ERROR    MsiFileHash.File_ [README_File]  The file README_File is Versioned. It cannot be hashed"},
};

EVALUATOR_CASES(ReferenceRules, kCases);

}  // namespace
}  // namespace vt
