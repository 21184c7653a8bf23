// Per-user data (profile key paths, mixed user and machine data, profile
// folders, per-user installs) and the media, platform, sequence, assembly,
// COM class, local path and shortcut icon checks, tripped and kept quiet.
#include "validate_support.h"

namespace vt {
namespace {

const char* const kCreateMsiAssembly =
    "CREATE TABLE `MsiAssembly` (`Component_` CHAR(72) NOT NULL, `Feature_` CHAR(38) NOT NULL, "
    "`File_Manifest` CHAR(72), `File_Application` CHAR(72), `Attributes` SHORT PRIMARY KEY `Component_`)";

const char* const kCreateClass =
    "CREATE TABLE `Class` (`CLSID` CHAR(38) NOT NULL, `Context` CHAR(32) NOT NULL, "
    "`Component_` CHAR(72) NOT NULL, `DefInprocHandler` CHAR(32), `Argument` CHAR(255), "
    "`Feature_` CHAR(38) NOT NULL PRIMARY KEY `CLSID`, `Context`, `Component_`)";

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
    // Non-advertised shortcuts in the profile (a desktop the Directory
    // table lacks still counts) whose component has no HKCU key path.
    {"ICE43", "example.msi",
     {"INSERT INTO `Shortcut` (`Shortcut`, `Directory_`, `Name`, `Component_`, `Target`) "
      "VALUES ('HelloDesktop', 'DesktopFolder', 'Hello', 'MainExecutable', '[#Hello]')"},
     "ICE43  ERROR    Component.KeyPath [MainExecutable]  Component MainExecutable has non-advertised "
     "shortcuts. It should use a registry key under HKCU as its KeyPath, not a file."},
    {"ICE43", "putty-0.68-installer.msi",
     {"UPDATE `Component` SET `KeyPath` = NULL WHERE `Component` = 'Desktop_Shortcut_Component'"},
     "ICE43  ERROR    Component.KeyPath [Desktop_Shortcut_Component]  Component Desktop_Shortcut_Component "
     "has non-advertised shortcuts. It should use a registry key under HKCU as its KeyPath. The KeyPath is "
     "currently null."},
    {"ICE43", "putty-0.68-installer.msi",
     {"UPDATE `Component` SET `KeyPath` = 'Gone' WHERE `Component` = 'Desktop_Shortcut_Component'"},
     "ICE43  ERROR    Component.KeyPath [Desktop_Shortcut_Component]  The KeyPath registry entry for "
     "component Desktop_Shortcut_Component does not exist."},
    {"ICE43", "putty-0.68-installer.msi",
     {"UPDATE `Component` SET `KeyPath` = 'reg6EEACE7B35D767EDE86C1502379D7B75' "
      "WHERE `Component` = 'Desktop_Shortcut_Component'"},
     "ICE43  ERROR    Component.KeyPath [Desktop_Shortcut_Component]  The Registry Entry "
     "reg6EEACE7B35D767EDE86C1502379D7B75 is set as the KeyPath for component Desktop_Shortcut_Component, "
     "but that registry entry does not belong to Desktop_Shortcut_Component."},
    {"ICE43", "nunit-2.5.2.msi",
     {"UPDATE `Shortcut` SET `Component_` = 'InstallationRegistryEntry' WHERE `Shortcut` = 'S__csharp'",
      "UPDATE `Registry` SET `Root` = 3 WHERE `Registry` = 'R__INSTALLDIR'"},
     "ICE43  ERROR    Component.KeyPath [InstallationRegistryEntry]  Component InstallationRegistryEntry "
     "has non-advertised shortcuts. It's KeyPath registry key should fall under HKCU."},
    // An advertised shortcut names a feature; the installer makes it per user.
    {"ICE43", "example.msi",
     {"INSERT INTO `Shortcut` (`Shortcut`, `Directory_`, `Name`, `Component_`, `Target`) "
      "VALUES ('HelloDesktop', 'DesktopFolder', 'Hello', 'MainExecutable', 'Complete')"},
     "[MainExecutable]", {}, Expect::Absent},
    // Per-user and per-machine data together, by the key path's side; an
    // HKMU entry (-1) can be either.
    {"ICE57", "putty-0.68-installer.msi",
     {"INSERT INTO `Registry` (`Registry`, `Root`, `Key`, `Name`, `Value`, `Component_`) "
      "VALUES ('UserSetting', 1, 'Software\\\\SimonTatham\\\\PuTTY', 'Seen', '1', 'Plink_Component')"},
     "ICE57  ERROR    Component.Component [Plink_Component]  Component 'Plink_Component' has both "
     "per-user and per-machine data with a per-machine KeyPath."},
    {"ICE57", "putty-0.68-installer.msi",
     {"UPDATE `Registry` SET `Root` = 1 WHERE `Registry` = 'regA0B7A3C013764F0100B49682FBF6C717'"},
     "ICE57  WARNING  Component.Component [PPK_Assoc_Component]  Component 'PPK_Assoc_Component' has "
     "both per-user and per-machine data with an HKCU Registry KeyPath."},
    {"ICE57", "putty-0.68-installer.msi",
     {"UPDATE `Component` SET `Directory_` = 'AppDataFolder' WHERE `Component` = 'README_Component'",
      "INSERT INTO `Registry` (`Registry`, `Root`, `Key`, `Name`, `Value`, `Component_`) "
      "VALUES ('MachineSetting', 2, 'Software\\\\SimonTatham\\\\PuTTY', 'Readme', '1', 'README_Component')"},
     "ICE57  WARNING  Component.Component [README_Component]  Component 'README_Component' has both "
     "per-user and per-machine data with a per-user KeyPath."},
    {"ICE57", "nunit-2.5.2.msi",
     {"UPDATE `Registry` SET `Component_` = 'DllFileAssociation_2.0' WHERE `Registry` = 'R__ProductVersion'"},
     "ICE57  ERROR    Component.Component [DllFileAssociation_2.0]  Component 'DllFileAssociation_2.0' has "
     "a registry entry that can be either per-user or per-machine and a per-machine KeyPath."},
    {"ICE57", "nunit-2.5.2.msi",
     {"UPDATE `Registry` SET `Root` = 1 WHERE `Registry` = 'R__ProductVersion'"},
     "ICE57  ERROR    Component.Component [InstallationRegistryEntry]  Component 'InstallationRegistryEntry' "
     "has both per-user data and a keypath that can be either per-user or per-machine."},
    // Advertised shortcuts are the installer's to place; HKCR counts for the machine.
    {"ICE57", "putty-0.68-installer.msi",
     {"UPDATE `Shortcut` SET `Target` = 'FilesFeature' WHERE `Shortcut` = 'startmenuPuTTY'"},
     "[PuTTY_Component]", {}, Expect::Absent},
    {"ICE57", "putty-0.68-installer.msi",
     {"UPDATE `Registry` SET `Component_` = 'Plink_Component' "
      "WHERE `Registry` = 'reg3FCAA068168E319BF8D01D0348886CB4'"},
     "[Plink_Component]", {}, Expect::Absent},
    // A profile folder of the package's own whose RemoveFile row is gone,
    // or whose RemoveFile rows remove only files in it.
    {"ICE64", "putty-0.68-installer.msi",
     {"DELETE FROM `RemoveFile` WHERE `FileKey` = 'ProgramMenuDir'"},
     "ICE64  ERROR    Directory.Directory [ProgramMenuDir]  The directory ProgramMenuDir is in the user "
     "profile but is not listed in the RemoveFile table."},
    {"ICE64", "putty-0.68-installer.msi",
     {"UPDATE `RemoveFile` SET `FileName` = '*.lnk' WHERE `FileKey` = 'ProgramMenuDir'"},
     "ICE64  ERROR    Directory.Directory [ProgramMenuDir]  The directory ProgramMenuDir is in the user "
     "profile but is not listed in the RemoveFile table."},
    // Files, INI files and shortcuts in folders that ignore ALLUSERS.
    {"ICE91", "putty-0.68-installer.msi",
     {"UPDATE `Component` SET `Directory_` = 'AppDataFolder' WHERE `Component` = 'README_Component'"},
     "ICE91  WARNING  File.Component_ [README_File]  The file 'README_File' will be installed to the per "
     "user directory 'AppDataFolder' that does not vary based on ALLUSERS value. This file won't be copied "
     "to each user's profile even if a per machine installation is desired."},
    {"ICE91", "example.msi",
     {"CREATE TABLE `IniFile` (`IniFile` CHAR(72) NOT NULL, `FileName` CHAR(255) NOT NULL, "
      "`DirProperty` CHAR(72), `Section` CHAR(96) NOT NULL, `Key` CHAR(128) NOT NULL, "
      "`Value` CHAR(255) NOT NULL, `Action` SHORT NOT NULL, `Component_` CHAR(72) NOT NULL "
      "PRIMARY KEY `IniFile`)",
      "INSERT INTO `IniFile` (`IniFile`, `FileName`, `DirProperty`, `Section`, `Key`, `Value`, `Action`, "
      "`Component_`) VALUES ('HelloIni', 'hello.ini', 'LocalAppDataFolder', 'Main', 'Seen', '1', 0, "
      "'MainExecutable')"},
     "ICE91  WARNING  IniFile.DirProperty [HelloIni]  The IniFile 'HelloIni' will be installed to the per "
     "user directory 'LocalAppDataFolder' that does not vary based on ALLUSERS value. This file won't be "
     "copied to each user's profile even if a per machine installation is desired."},
    {"ICE91", "putty-0.68-installer.msi",
     {"UPDATE `Shortcut` SET `Directory_` = 'FavoritesFolder' WHERE `Shortcut` = 'startmenuWebsite'"},
     "ICE91  WARNING  Shortcut.Directory_ [startmenuWebsite]  The shortcut 'startmenuWebsite' will be "
     "installed to the per user directory 'FavoritesFolder' that does not vary based on ALLUSERS value. "
     "This file won't be copied to each user's profile even if a per machine installation is desired."},
    // The desktop follows ALLUSERS.
    {"ICE91", "putty-0.68-installer.msi",
     {"UPDATE `Component` SET `Directory_` = 'DesktopFolder' WHERE `Component` = 'README_Component'"},
     "[README_File]", {}, Expect::Absent},
    // No disk 1: the lowest disk is named, not the first row; an empty table.
    {"ICE71", "nunit-2.5.2.msi",
     {"DELETE FROM `Media`", "INSERT INTO `Media` (`DiskId`, `LastSequence`) VALUES (5, 296)",
      "INSERT INTO `Media` (`DiskId`, `LastSequence`) VALUES (3, 100)"},
     "ICE71  ERROR    Media.DiskId [3]  The Media table requires an entry with DiskId=1. First DiskId "
     "is '3'."},
    {"ICE71", "example.msi",
     {"DELETE FROM `Media`"},
     "ICE71  ERROR    Media.DiskId  The Media table requires an entry with DiskId=1. The table is empty."},
    // A 32-bit package with 64-bit components, scripts, folders, registry
    // searches; a ProductLanguage the Template does not list.
    {"ICE80", "putty-0.68-installer.msi",
     {"UPDATE `Component` SET `Attributes` = 256 WHERE `Component` = 'README_Component'"},
     "ICE80  ERROR    Component.Attributes [README_Component]  This package contains 64 bit component "
     "'README_Component' but the Template Summary Property does not contain Intel64, x64, or Arm64."},
    {"ICE80", "putty-0.68-installer.msi",
     {"UPDATE `Component` SET `Attributes` = 256 WHERE `Component` = 'README_Component'"},
     "ICE80  ERROR    Component.Directory_ [README_Component]  This 64BitComponent README_Component uses "
     "32BitDirectory INSTALLDIR"},
    {"ICE80", "nunit-2.5.2.msi",
     {"INSERT INTO `Directory` (`Directory`, `Directory_Parent`, `DefaultDir`) "
      "VALUES ('ProgramFiles64Folder', 'TARGETDIR', '.')",
      "UPDATE `Directory` SET `Directory_Parent` = 'ProgramFiles64Folder' WHERE `Directory` = 'INSTALLDIR'"},
     "ICE80  ERROR    Directory.Directory [ProgramFiles64Folder]  This 32Bit Package is using 64 bit "
     "property ProgramFiles64Folder"},
    {"ICE80", "nunit-2.5.2.msi",
     {"INSERT INTO `Directory` (`Directory`, `Directory_Parent`, `DefaultDir`) "
      "VALUES ('ProgramFiles64Folder', 'TARGETDIR', '.')",
      "UPDATE `Directory` SET `Directory_Parent` = 'ProgramFiles64Folder' WHERE `Directory` = 'INSTALLDIR'"},
     "ICE80  ERROR    Component.Directory_ [HtmlDocs]  This 32BitComponent HtmlDocs uses 64BitDirectory doc"},
    {"ICE80", "nunit-2.5.2.msi",
     {"INSERT INTO `CustomAction` (`Action`, `Type`, `Source`, `Target`) "
      "VALUES ('Check64', 4102, 'WixUIWixca', 'Main')"},
     "ICE80  ERROR    CustomAction.Type [Check64]  This package contains 64 bit custom action script "
     "'Check64' but the Template Summary Property does not contain Intel64, x64, or Arm64."},
    {"ICE80", "nunit-2.5.2.msi",
     {"UPDATE `RegLocator` SET `Type` = 18 WHERE `Signature_` = 'MonoDefaultClr'"},
     "ICE80  ERROR    RegLocator.Type [MonoDefaultClr]  This 32Bit Package is using 64 bit Locator Type in "
     "RegLocator table entry MonoDefaultClr"},
    {"ICE80", "example.msi",
     {"UPDATE `Property` SET `Value` = '1031' WHERE `Property` = 'ProductLanguage'"},
     "ICE80  ERROR    Property.Value [ProductLanguage]  The 'ProductLanguage' property in the Property table "
     "has a value of '1031', which is not contained in the Template Summary Property stream."},
    // Each 64-bit platform needs its own schema; a Template that is empty.
    {"ICE80", "putty-0.68-installer.msi", {},
     "ICE80  ERROR    _SummaryInformation.PageCount  This package is marked with Intel64 but it has a schema "
     "less than 150.", {"Template=Intel64;1033"}},
    {"ICE80", "example.msi", {},
     "ICE80  ERROR    _SummaryInformation.PageCount  This package is marked with x64 but it has a schema "
     "less than 200.", {"Template=x64;1033"}},
    {"ICE80", "nunit-2.5.2.msi", {},
     "ICE80  ERROR    _SummaryInformation.PageCount  This package is marked with Arm64 but it has a schema "
     "less than 500.", {"Template=Arm64;1033"}},
    {"ICE80", "example.msi", {},
     "ICE80  ERROR    _SummaryInformation.Template  Bad value in Summary Information Stream for "
     "PID_TEMPLATE.", {"Template="}},
    // None, or only some, of the registration and publishing actions; two
    // actions on one sequence number (each is named, here the unchanged one).
    {"ICE82", "SequenceTables.msi",
     {"DELETE FROM `InstallExecuteSequence` WHERE `Action` = 'PublishFeatures' "
      "OR `Action` = 'PublishProduct' OR `Action` = 'RegisterProduct' OR `Action` = 'RegisterUser'"},
     "ICE82  WARNING  InstallExecuteSequence.Action  The InstallExecuteSequence table does not contain the "
     "set of actions mentioned below: Actions Missing: PublishFeatures, PublishProduct, RegisterProduct, "
     "RegisterUser"},
    {"ICE82", "SequenceTables.msi",
     {"DELETE FROM `InstallExecuteSequence` WHERE `Action` = 'RegisterUser'"},
     "ICE82  ERROR    InstallExecuteSequence.Action  The InstallExecuteSequence should either contain all of "
     "the actions mentioned below or none of them Actions Present: PublishFeatures, PublishProduct, "
     "RegisterProduct Actions Missing: RegisterUser"},
    {"ICE82", "SequenceTables.msi",
     {"UPDATE `InstallExecuteSequence` SET `Sequence` = 800 WHERE `Action` = 'FileCost'"},
     "ICE82  WARNING  InstallExecuteSequence.Sequence [CostInitialize]  This action CostInitialize has "
     "duplicate sequence number 800 in the table InstallExecuteSequence"},
    // A Win32 assembly kept by its manifest (a .NET one may be); assemblies
    // without both publishing actions (one of them present).
    {"ICE83", "example.msi",
     {kCreateMsiAssembly,
      "INSERT INTO `InstallExecuteSequence` (`Action`, `Sequence`) VALUES ('MsiPublishAssemblies', 6250)",
      "INSERT INTO `InstallExecuteSequence` (`Action`, `Sequence`) VALUES ('MsiUnpublishAssemblies', 1750)",
      "INSERT INTO `MsiAssembly` (`Component_`, `Feature_`, `File_Manifest`, `Attributes`) "
      "VALUES ('MainExecutable', 'Complete', 'Hello', 1)"},
     "ICE83  ERROR    MsiAssembly.File_Manifest [MainExecutable]  The key path for Win32 SXS Assembly "
     "(Component_=MainExecutable) SHOULD NOT be its manifest file"},
    {"ICE83", "example.msi",
     {kCreateMsiAssembly,
      "INSERT INTO `InstallExecuteSequence` (`Action`, `Sequence`) VALUES ('MsiPublishAssemblies', 6250)",
      "INSERT INTO `InstallExecuteSequence` (`Action`, `Sequence`) VALUES ('MsiUnpublishAssemblies', 1750)",
      "INSERT INTO `MsiAssembly` (`Component_`, `Feature_`, `File_Manifest`, `Attributes`) "
      "VALUES ('MainExecutable', 'Complete', 'Hello', 0)"},
     "ICE83", {}, Expect::Absent},
    {"ICE83", "example.msi",
     {kCreateMsiAssembly,
      "INSERT INTO `InstallExecuteSequence` (`Action`, `Sequence`) VALUES ('MsiPublishAssemblies', 6250)",
      "INSERT INTO `MsiAssembly` (`Component_`, `Feature_`, `Attributes`) "
      "VALUES ('MainExecutable', 'Complete', 0)"},
     "ICE83  ERROR    InstallExecuteSequence.Action  Both MsiPublishAssemblies AND MsiUnpublishAssemblies "
     "actions MUST be present in InstallExecuteSequence table."},
    // Permanent without a ComponentId; and uninstall-on-supersedence besides.
    {"ICE92", "MergeModule1.msm",
     {"UPDATE `Component` SET `ComponentId` = NULL, `Attributes` = 16 "
      "WHERE `Component` = 'ModuleComponent1.F844F0E3_8CB4_4A0F_973E_31C4F9338382'"},
     "ICE92  ERROR    Component.ComponentId [ModuleComponent1.F844F0E3_8CB4_4A0F_973E_31C4F9338382]  The "
     "Component 'ModuleComponent1.F844F0E3_8CB4_4A0F_973E_31C4F9338382' has no ComponentId and is marked as "
     "permanent."},
    {"ICE92", "nunit-2.5.2.msi",
     {"UPDATE `Component` SET `ComponentId` = NULL, `Attributes` = 1044 "
      "WHERE `Component` = 'InstallationRegistryEntry'"},
     "ICE92  WARNING  Component.Attributes [InstallationRegistryEntry]  The Component "
     "'InstallationRegistryEntry' is marked as permanent and uninstall-on-supersedence. The "
     "uninstall-on-supersedence attribute will be ignored because the component is permanent."},
    // No ComponentId but not permanent: the installer just does not register it.
    {"ICE92", "putty-0.68-installer.msi",
     {"UPDATE `Component` SET `ComponentId` = NULL WHERE `Component` = 'README_Component'"},
     "ICE92", {}, Expect::Absent},
    {"ICE96", "putty-0.68-installer.msi",
     {"DELETE FROM `AdvtExecuteSequence` WHERE `Action` = 'PublishFeatures'"},
     "ICE96  WARNING  AdvtExecuteSequence.Action  The PublishFeatures action is required in the "
     "AdvtExecuteSequence table."},
    // A directory named like one of the installer's private properties;
    // property names differ by case.
    {"ICE99", "nunit-2.5.2.msi",
     {"INSERT INTO `Directory` (`Directory`, `Directory_Parent`, `DefaultDir`) "
      "VALUES ('CustomActionData', 'INSTALLDIR', 'data')"},
     "ICE99  ERROR    Directory.Directory [CustomActionData]  The directory name: CustomActionData is the "
     "same as one of the MSI Public Properties and can cause unforeseen side effects."},
    {"ICE99", "putty-0.68-installer.msi",
     {"INSERT INTO `Directory` (`Directory`, `Directory_Parent`, `DefaultDir`) "
      "VALUES ('productcode', 'INSTALLDIR', 'code')"},
     "ICE99", {}, Expect::Absent},
    // A package that can install per user (ALLUSERS=2, MSIINSTALLPERUSER=1,
    // a summary asking for no elevation) and needs elevation all the same.
    {"ICE105", "nunit-2.5.2.msi",
     {"INSERT INTO `Property` (`Property`, `Value`) VALUES ('ALLUSERS', '2')",
      "UPDATE `Registry` SET `Root` = 2 WHERE `Registry` = 'R__INSTALLDIR'"},
     "ICE105  ERROR    Registry.Root [R__INSTALLDIR]  The registry entry 'R__INSTALLDIR' is written under "
     "HKEY_LOCAL_MACHINE; a per-user installation cannot write there."},
    {"ICE105", "nunit-2.5.2.msi",
     {"INSERT INTO `Property` (`Property`, `Value`) VALUES ('MSIINSTALLPERUSER', '1')",
      "INSERT INTO `Directory` (`Directory`, `Directory_Parent`, `DefaultDir`) "
      "VALUES ('SystemFolder', 'TARGETDIR', '.')"},
     "ICE105  ERROR    Directory.Directory [SystemFolder]  The directory 'SystemFolder' is a system folder; "
     "a per-user installation cannot write to it."},
    {"ICE105", "example.msi",
     {"INSERT INTO `ServiceInstall` (`ServiceInstall`, `Name`, `ServiceType`, `StartType`, `ErrorControl`, "
      "`Component_`) VALUES ('HelloService', 'Hello', 16, 2, 1, 'MainExecutable')"},
     "ICE105  ERROR    ServiceInstall.Name [HelloService]  The service 'Hello' is installed; a per-user "
     "package installs no services.", {"WordCount=10"}},
    {"ICE105", "nunit-2.5.2.msi",
     {"INSERT INTO `Property` (`Property`, `Value`) VALUES ('ALLUSERS', '2')",
      "INSERT INTO `CustomAction` (`Action`, `Type`, `Source`, `Target`) "
      "VALUES ('Elevated', 3073, 'WixUIWixca', 'Main')"},
     "ICE105  ERROR    CustomAction.Type [Elevated]  The custom action 'Elevated' is marked to run with "
     "elevated privileges (in-script, no impersonation); a per-user installation has none."},
    {"ICE105", "example.msi",
     {"INSERT INTO `Property` (`Property`, `Value`) VALUES ('ALLUSERS', '2')", kCreateMsiAssembly,
      "INSERT INTO `MsiAssembly` (`Component_`, `Feature_`, `File_Manifest`, `Attributes`) "
      "VALUES ('MainExecutable', 'Complete', 'Hello', 0)"},
     "ICE105  ERROR    MsiAssembly.Component_ [MainExecutable]  The component 'MainExecutable' installs a "
     "common language runtime assembly to the global assembly cache; a per-user installation cannot write to "
     "it."},
    {"ICE105", "example.msi",
     {"INSERT INTO `Property` (`Property`, `Value`) VALUES ('ALLUSERS', '2')",
      "CREATE TABLE `ODBCDataSource` (`DataSource` CHAR(72) NOT NULL, `Component_` CHAR(72) NOT NULL, "
      "`Description` CHAR(255) NOT NULL, `DriverDescription` CHAR(255) NOT NULL, "
      "`Registration` SHORT NOT NULL PRIMARY KEY `DataSource`)",
      "INSERT INTO `ODBCDataSource` (`DataSource`, `Component_`, `Description`, `DriverDescription`, "
      "`Registration`) VALUES ('HelloData', 'MainExecutable', 'Hello', 'SQL Server', 0)"},
     "ICE105  ERROR    ODBCDataSource.DataSource [HelloData]  The ODBC data source 'HelloData' is installed; "
     "a per-user package installs no data sources."},
    // Per-machine packages, declared (ALLUSERS=1 wins over MSIINSTALLPERUSER)
    // or by default, may write to HKLM.
    {"ICE105", "nunit-2.5.2.msi",
     {"INSERT INTO `Property` (`Property`, `Value`) VALUES ('ALLUSERS', '1')",
      "INSERT INTO `Property` (`Property`, `Value`) VALUES ('MSIINSTALLPERUSER', '1')",
      "UPDATE `Registry` SET `Root` = 2 WHERE `Registry` = 'R__INSTALLDIR'"},
     "ICE105", {}, Expect::Absent},
    {"ICE105", "nunit-2.5.2.msi",
     {"UPDATE `Registry` SET `Root` = 2 WHERE `Registry` = 'R__INSTALLDIR'"},
     "ICE105", {}, Expect::Absent},
    // A private assembly (File_Application set) stays out of the global cache.
    {"ICE105", "example.msi",
     {"INSERT INTO `Property` (`Property`, `Value`) VALUES ('ALLUSERS', '2')", kCreateMsiAssembly,
      "INSERT INTO `MsiAssembly` (`Component_`, `Feature_`, `File_Manifest`, `File_Application`, "
      "`Attributes`) VALUES ('MainExecutable', 'Complete', 'Hello', 'Hello', 0)"},
     "ICE105", {}, Expect::Absent},
    // In-process servers kept by an EXE; arguments and default handlers
    // outside local servers, which may have both.
    {"ICE42", "putty-0.68-installer.msi",
     {kCreateClass,
      "INSERT INTO `Class` (`CLSID`, `Context`, `Component_`, `Feature_`) VALUES "
      "('{0E1E3C2A-5F7B-4C4B-9E7C-1D2B3A4C5D6E}', 'InprocServer32', 'PuTTY_Component', 'FilesFeature')"},
     "ICE42  ERROR    Class.Component_ [{0E1E3C2A-5F7B-4C4B-9E7C-1D2B3A4C5D6E}, InprocServer32, "
     "PuTTY_Component]  CLSID '{0E1E3C2A-5F7B-4C4B-9E7C-1D2B3A4C5D6E}' is an InProc server, but the "
     "implementing component 'PuTTY_Component' has an EXE ('putty.exe') as its KeyFile."},
    {"ICE42", "putty-0.68-installer.msi",
     {kCreateClass,
      "INSERT INTO `Class` (`CLSID`, `Context`, `Component_`, `Argument`, `Feature_`) VALUES "
      "('{0E1E3C2A-5F7B-4C4B-9E7C-1D2B3A4C5D6E}', 'InprocServer32', 'HelpFile_Component', '/x', "
      "'FilesFeature')"},
     "ICE42  ERROR    Class.Argument [{0E1E3C2A-5F7B-4C4B-9E7C-1D2B3A4C5D6E}, InprocServer32, "
     "HelpFile_Component]  CLSID '{0E1E3C2A-5F7B-4C4B-9E7C-1D2B3A4C5D6E}' in context 'InprocServer32' has an "
     "argument. Only LocalServer contexts can have arguments."},
    {"ICE42", "putty-0.68-installer.msi",
     {kCreateClass,
      "INSERT INTO `Class` (`CLSID`, `Context`, `Component_`, `DefInprocHandler`, `Feature_`) VALUES "
      "('{0E1E3C2A-5F7B-4C4B-9E7C-1D2B3A4C5D6E}', 'InprocServer32', 'HelpFile_Component', '2', "
      "'FilesFeature')"},
     "ICE42  ERROR    Class.DefInprocHandler [{0E1E3C2A-5F7B-4C4B-9E7C-1D2B3A4C5D6E}, InprocServer32, "
     "HelpFile_Component]  CLSID '{0E1E3C2A-5F7B-4C4B-9E7C-1D2B3A4C5D6E}' in context 'InprocServer32' "
     "specifies a default InProc value. Only LocalServer contexts can have default InProc values."},
    {"ICE42", "putty-0.68-installer.msi",
     {kCreateClass,
      "INSERT INTO `Class` (`CLSID`, `Context`, `Component_`, `DefInprocHandler`, `Argument`, `Feature_`) "
      "VALUES ('{0E1E3C2A-5F7B-4C4B-9E7C-1D2B3A4C5D6E}', 'LocalServer32', 'PuTTY_Component', '2', "
      "'/automation', 'FilesFeature')"},
     "ICE42", {}, Expect::Absent},
    // A directory set to a local drive in the Property table; a network
    // path, and a path that names no directory, are left alone.
    {"ICE48", "putty-0.68-installer.msi",
     {"INSERT INTO `Property` (`Property`, `Value`) VALUES ('INSTALLDIR', 'C:\\Tools\\PuTTY')"},
     "ICE48  WARNING  Property.Value [INSTALLDIR]  Directory 'INSTALLDIR' appears to be hardcoded in the "
     "property table to a local drive."},
    {"ICE48", "putty-0.68-installer.msi",
     {"INSERT INTO `Property` (`Property`, `Value`) VALUES ('INSTALLDIR', '\\\\\\\\server\\\\tools')",
      "INSERT INTO `Property` (`Property`, `Value`) VALUES ('LOGFILE', 'C:\\\\putty.log')"},
     "ICE48", {}, Expect::Absent},
    // Advertised shortcuts whose icon differs from the key file's
    // extension, or is neither an EXE nor an ICO file.
    {"ICE50", "putty-0.68-installer.msi",
     {"UPDATE `Shortcut` SET `Target` = 'FilesFeature', `Icon_` = 'installericon.exe' "
      "WHERE `Shortcut` = 'startmenuManual'"},
     "ICE50  ERROR    Shortcut.Icon_ [startmenuManual]  The extension of Icon 'installericon.exe' for "
     "Shortcut 'startmenuManual' does not match the extension of the Key File for component "
     "'HelpFile_Component'."},
    {"ICE50", "putty-0.68-installer.msi",
     {"UPDATE `Shortcut` SET `Target` = 'FilesFeature', `Icon_` = 'manual.chm' "
      "WHERE `Shortcut` = 'startmenuManual'"},
     "ICE50  WARNING  Shortcut.Icon_ [startmenuManual]  The extension of Icon 'manual.chm' for Shortcut "
     "'startmenuManual' is not \"exe\" or \"ico\". The Icon will not be displayed correctly."},
    // The key file's extension compared without case; a non-advertised
    // shortcut, whose icon the shell finds itself.
    {"ICE50", "putty-0.68-installer.msi",
     {"UPDATE `Shortcut` SET `Target` = 'FilesFeature', `Icon_` = 'installericon.EXE' "
      "WHERE `Shortcut` = 'startmenuPuTTY'",
      "UPDATE `Shortcut` SET `Icon_` = 'manual.chm' WHERE `Shortcut` = 'startmenuManual'"},
     "ICE50", {}, Expect::Absent},
};

EVALUATOR_CASES(PerUserEvaluators, kCases);

}  // namespace
}  // namespace vt
