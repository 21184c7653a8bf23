// The authoring rules of the later evaluators, each tripped on an altered
// corpus package: required actions and command-line properties, references
// between rows (INI files, ProgIds, services, locked objects), billboards,
// embedded UI and chainers, and names custom actions and features may use.
#include "validate_support.h"

namespace vt {
namespace {

const char kMoveFile[] =
    "CREATE TABLE `MoveFile` (`FileKey` CHAR(72) NOT NULL, `Component_` CHAR(72) NOT NULL, "
    "`SourceName` CHAR(255), `DestName` CHAR(255), `SourceFolder` CHAR(72), `DestFolder` CHAR(72) "
    "NOT NULL, `Options` SHORT NOT NULL PRIMARY KEY `FileKey`)";
const char kIniFile[] =
    "CREATE TABLE `IniFile` (`IniFile` CHAR(72) NOT NULL, `FileName` CHAR(255) NOT NULL, "
    "`DirProperty` CHAR(72), `Section` CHAR(96) NOT NULL, `Key` CHAR(128) NOT NULL, `Value` CHAR(255) "
    "NOT NULL, `Action` SHORT NOT NULL, `Component_` CHAR(72) NOT NULL PRIMARY KEY `IniFile`)";

// Billboard controls 300x100 and 100x300; each row trips one message (the
// page's own example), the last fits.
std::vector<std::string> Billboards() {
  std::vector<std::string> out = {
      "INSERT INTO `Control` (`Dialog_`, `Control`, `Type`, `X`, `Y`, `Width`, `Height`, `Attributes`) "
      "VALUES ('WelcomeDlg', 'Wide', 'Billboard', 0, 0, 300, 100, 1)",
      "INSERT INTO `Control` (`Dialog_`, `Control`, `Type`, `X`, `Y`, `Width`, `Height`, `Attributes`) "
      "VALUES ('WelcomeDlg', 'Tall', 'Billboard', 0, 0, 100, 300, 1)",
      "CREATE TABLE `BBControl` (`Billboard_` CHAR(50) NOT NULL, `BBControl` CHAR(50) NOT NULL, `Type` "
      "CHAR(50) NOT NULL, `X` SHORT NOT NULL, `Y` SHORT NOT NULL, `Width` SHORT NOT NULL, `Height` SHORT "
      "NOT NULL, `Attributes` LONG, `Text` CHAR(50) PRIMARY KEY `Billboard_`, `BBControl`)"};
  for (const char* row : {"'c1', 200, 0, 100, 100", "'c2', 0, 200, 100, 100", "'c3', 50, 0, 100, 50",
                          "'c4', 0, 50, 50, 100", "'ok', 0, 0, 100, 100"})
    out.push_back(std::string("INSERT INTO `BBControl` (`Type`, `Billboard_`, `BBControl`, `X`, `Y`, "
                              "`Width`, `Height`) VALUES ('Text', 'b1', ") + row + ")");
  return out;
}
const std::vector<std::string> kBillboards = Billboards();
#define BILLBOARD_ITEM \
  "' in the BBControl table does not fit in all the billboard controls in the Control table. "

const char kOdbc[] =
    "CREATE TABLE `ODBCDataSource` (`DataSource` CHAR(72) NOT NULL, `Component_` CHAR(72) NOT NULL, "
    "`Description` CHAR(255) NOT NULL, `DriverDescription` CHAR(255) NOT NULL, `Registration` SHORT NOT NULL "
    "PRIMARY KEY `DataSource`)";
const std::string kOdbcRow =
    "INSERT INTO `ODBCDataSource` (`Component_`, `DriverDescription`, `Registration`, `DataSource`, "
    "`Description`) VALUES ('PuTTY_Component', 'SQL Server', 0, ";

// A second UI DLL without a filter, a filtered resource, a file name
// repeated in other case, two chainers.
const std::vector<std::string> kEmbedded = {
    "CREATE TABLE `MsiEmbeddedUI` (`MsiEmbeddedUI` CHAR(72) NOT NULL, `FileName` CHAR(72) NOT NULL, "
    "`Attributes` SHORT NOT NULL, `MessageFilter` LONG, `Data` OBJECT PRIMARY KEY `MsiEmbeddedUI`)",
    "INSERT INTO `MsiEmbeddedUI` (`MsiEmbeddedUI`, `FileName`, `Attributes`, `MessageFilter`) "
    "VALUES ('A', 'ui.dll', 1, 7)",
    "INSERT INTO `MsiEmbeddedUI` (`MsiEmbeddedUI`, `FileName`, `Attributes`) VALUES ('B', 'b.dll', 1)",
    "INSERT INTO `MsiEmbeddedUI` (`MsiEmbeddedUI`, `FileName`, `Attributes`, `MessageFilter`) "
    "VALUES ('C', 'res.dll', 0, 7)",
    "INSERT INTO `MsiEmbeddedUI` (`MsiEmbeddedUI`, `FileName`, `Attributes`) VALUES ('D', 'UI.DLL', 0)",
    "CREATE TABLE `MsiEmbeddedChainer` (`MsiEmbeddedChainer` CHAR(72) NOT NULL, `Condition` CHAR(255), "
    "`CommandLine` CHAR(255), `Source` CHAR(72) NOT NULL, `Type` SHORT NOT NULL PRIMARY KEY "
    "`MsiEmbeddedChainer`)",
    "INSERT INTO `MsiEmbeddedChainer` (`MsiEmbeddedChainer`, `Source`, `Type`) VALUES ('One', 'a', 2)",
    "INSERT INTO `MsiEmbeddedChainer` (`MsiEmbeddedChainer`, `Source`, `Type`) VALUES ('Two', 'b', 2)"};

// One row per fault; 'Privileges' and 'Ok' are sound and stay quiet.
std::vector<std::string> ServiceConfig() {
  std::vector<std::string> out = {
      "CREATE TABLE `MsiServiceConfig` (`MsiServiceConfig` CHAR(72) NOT NULL, `Name` CHAR(255) NOT NULL, "
      "`Event` SHORT NOT NULL, `ConfigType` LONG NOT NULL, `Argument` CHAR(0), `Component_` CHAR(72) NOT "
      "NULL PRIMARY KEY `MsiServiceConfig`)",
      "CREATE TABLE `MsiServiceConfigFailureActions` (`MsiServiceConfigFailureActions` CHAR(72) NOT NULL, "
      "`Name` CHAR(255) NOT NULL, `Event` SHORT NOT NULL, `ResetPeriod` LONG, `RebootMessage` CHAR(0), "
      "`Command` CHAR(0), `Actions` CHAR(0), `DelayActions` CHAR(0), `Component_` CHAR(72) NOT NULL "
      "PRIMARY KEY `MsiServiceConfigFailureActions`)",
      "INSERT INTO `MsiServiceConfig` (`MsiServiceConfig`, `Name`, `Event`, `ConfigType`, `Component_`) "
      "VALUES ('Shutdown', 'svc', 1, 7, 'PuTTY_Component')",
      "INSERT INTO `MsiServiceConfigFailureActions` (`MsiServiceConfigFailureActions`, `Name`, `Event`, "
      "`Component_`) VALUES ('Reset', 'svc', 1, 'PuTTY_Component')"};
  for (const char* row : {"'Delayed', 1, 3, '2', 'PuTTY_Component'", "'Type', 1, 9, '1', 'PuTTY_Component'",
                          "'Event', 8, 4, '1', 'PuTTY_Component'", "'Comp', 1, 5, '3', 'Gone'",
                          "'Privileges', 7, 6, 'SeBackupPrivilege[~]SeRestorePrivilege', 'PuTTY_Component'"})
    out.push_back(std::string("INSERT INTO `MsiServiceConfig` (`Name`, `MsiServiceConfig`, `Event`, "
                              "`ConfigType`, `Argument`, `Component_`) VALUES ('svc', ") + row + ")");
  for (const char* row : {"'Ok', '1[~]1[~]0', '1000[~]2000[~]0'", "'Act', '1[~]x', '1[~]2'",
                          "'Delay', '1', '-5'", "'Count', '1[~]2', '1000'"})
    out.push_back(std::string("INSERT INTO `MsiServiceConfigFailureActions` (`Name`, `Event`, `ResetPeriod`, "
                              "`Component_`, `MsiServiceConfigFailureActions`, `Actions`, `DelayActions`) "
                              "VALUES ('svc', 1, 60, 'PuTTY_Component', ") + row + ")");
  return out;
}
const std::vector<std::string> kServices = ServiceConfig();
#define CONFIG "In the MsiServiceConfig table entry (MsiServiceConfig = )"
#define FAILURE "In the MsiServiceConfigFailureActions table entry (MsiServiceConfigFailureActions = )"

// Both lock tables; a sound row on a registry value, one on a missing
// file, one whose ACE lacks a field.
std::vector<std::string> Locks() {
  std::vector<std::string> out = {
      "CREATE TABLE `MsiLockPermissionsEx` (`MsiLockPermissionsEx` CHAR(72) NOT NULL, `LockObject` CHAR(72) "
      "NOT NULL, `Table` CHAR(32) NOT NULL, `SDDLText` CHAR(0) NOT NULL, `Condition` CHAR(255) PRIMARY KEY "
      "`MsiLockPermissionsEx`)",
      "CREATE TABLE `LockPermissions` (`LockObject` CHAR(72) NOT NULL, `Table` CHAR(32) NOT NULL, `Domain` "
      "CHAR(255), `User` CHAR(255) NOT NULL, `Permission` LONG PRIMARY KEY `LockObject`, `Table`, `Domain`, "
      "`User`)"};
  for (const char* row : {"'Good', 'reg272718F190FCF3046BE6498259D4B0D7', 'Registry', "
                          "'O:BAG:SYD:P(A;;FA;;;BA)(A;OICI;0x1200a9;;;[USERSID])S:AI'",
                          "'Lost', 'NoSuchFile', 'File', 'D:(A;;FA;;;BA)'",
                          "'Bad', 'PuTTY_File', 'File', 'D:(A;;FA;BA)'"})
    out.push_back(std::string("INSERT INTO `MsiLockPermissionsEx` (`MsiLockPermissionsEx`, `LockObject`, "
                              "`Table`, `SDDLText`) VALUES (") + row + ")");
  return out;
}
const std::vector<std::string> kLocks = Locks();

const EvaluatorCase kCases[] = {
    {"ICE84", "SequenceTables.msi",
     {"UPDATE `InstallExecuteSequence` SET `Condition` = 'NOT Installed' WHERE `Action` = 'CostInitialize'"},
     "ICE84  WARNING  InstallExecuteSequence.Condition [CostInitialize]  Action 'CostInitialize' found in "
     "InstallExecuteSequence table is a required action with a condition."},
    // Wildcards are allowed; the second row must stay quiet.
    {"ICE85", "SequenceTables.msi",
     {kMoveFile,
      "INSERT INTO `MoveFile` (`FileKey`, `Component_`, `SourceName`, `DestFolder`, `Options`) "
      "VALUES ('Move', 'C', 'a<b*.txt', 'TARGETDIR', 0)",
      "INSERT INTO `MoveFile` (`FileKey`, `Component_`, `SourceName`, `DestFolder`, `Options`) "
      "VALUES ('Ok', 'C', 'a?b*.txt', 'TARGETDIR', 0)"},
     "ICE85  ERROR    MoveFile.SourceName [Move]  SourceName 'a<b*.txt' found in the MoveFile table is of "
     "bad format."},
    // The quoted "AdminUser" is a literal, not the property: one finding.
    {"ICE86", "putty-0.68-installer.msi",
     {"UPDATE `InstallExecuteSequence` SET `Condition` = 'AdminUser AND NOT \"AdminUser\"' "
      "WHERE `Action` = 'InstallFiles'"},
     "ICE86  WARNING  InstallExecuteSequence.Condition [InstallFiles]  Property `AdminUser` found in column "
     "`InstallExecuteSequence`.`Condition` in row InstallFiles. `Privileged` property is often more "
     "appropriate."},
    {"ICE87", "putty-0.68-installer.msi",
     {"INSERT INTO `Property` (`Property`, `Value`) VALUES ('ADDLOCAL', 'ALL')"},
     "ICE87  WARNING  Property.Property [ADDLOCAL]  The property 'ADDLOCAL' shouldn't be authored into the "
     "Property table. Doing so might cause the product to not be uninstalled correctly"},
    {"ICE88", "putty-0.68-installer.msi",
     {kIniFile,
      "INSERT INTO `IniFile` (`IniFile`, `FileName`, `DirProperty`, `Section`, `Key`, `Value`, `Action`, "
      "`Component_`) VALUES ('Settings', 'p.ini', 'NOWHERE', 'S', 'K', 'V', 0, 'PuTTY_Component')",
      "INSERT INTO `IniFile` (`IniFile`, `FileName`, `DirProperty`, `Section`, `Key`, `Value`, `Action`, "
      "`Component_`) VALUES ('Ok', 'p.ini', 'INSTALLDIR', 'S', 'K', 'V', 0, 'PuTTY_Component')"},
     "ICE88  WARNING  IniFile.DirProperty [Settings]  In the IniFile table entry (IniFile=) Settings the "
     "DirProperty=NOWHERE is not found in Directory/Property/AppSearch/CA-Type51 tables and it is not one "
     "of the installer properties."},
    {"ICE89", "putty-0.68-installer.msi",
     {"CREATE TABLE `ProgId` (`ProgId` CHAR(255) NOT NULL, `ProgId_Parent` CHAR(255), `Class_` CHAR(38), "
      "`Description` CHAR(255), `Icon_` CHAR(72), `IconIndex` SHORT PRIMARY KEY `ProgId`)",
      "INSERT INTO `ProgId` (`ProgId`, `ProgId_Parent`) VALUES ('PuTTY.Session.1', 'PuTTY.Session')"},
     "ICE89  ERROR    ProgId.ProgId_Parent [PuTTY.Session.1]  The ProgId_Parent 'PuTTY.Session' in the ProgId "
     "table is not a valid ProgId."},
    {"ICE90", "putty-0.68-installer.msi",
     {"INSERT INTO `Directory` (`Directory`, `Directory_Parent`, `DefaultDir`) "
      "VALUES ('MYDIR', 'ProgramMenuFolder', 'My')",
      "UPDATE `Shortcut` SET `Directory_` = 'MYDIR' WHERE `Shortcut` = 'startmenuPuTTY'"},
     "ICE90  WARNING  Shortcut.Directory_ [startmenuPuTTY]  The shortcut 'startmenuPuTTY' has a directory "
     "that is a public property (ALL CAPS) and is under user profile directory. This results in a problem "
     "if the value of the ALLUSERS property changes in the UI sequence."},
    {"ICE93", "putty-0.68-installer.msi",
     {"INSERT INTO `CustomAction` (`Action`, `Type`, `Source`, `Target`) VALUES ('InstallFiles', 51, 'X', '1')"},
     "ICE93  WARNING  CustomAction.Action [InstallFiles]  The Custom action 'InstallFiles' uses the same name "
     "as a standard action."},
    // Pageant's assembly is private (File_Application set): only PuTTY's counts.
    {"ICE94", "putty-0.68-installer.msi",
     {"CREATE TABLE `MsiAssembly` (`Component_` CHAR(72) NOT NULL, `Feature_` CHAR(38) NOT NULL, "
      "`File_Manifest` CHAR(72), `File_Application` CHAR(72), `Attributes` SHORT PRIMARY KEY `Component_`)",
      "INSERT INTO `MsiAssembly` (`Component_`, `Feature_`) VALUES ('PuTTY_Component', 'FilesFeature')",
      "INSERT INTO `MsiAssembly` (`Component_`, `Feature_`, `File_Application`) "
      "VALUES ('Pageant_Component', 'FilesFeature', 'PuTTY_File')"},
     "ICE94  WARNING  Shortcut.Target [startmenuPuTTY]  The non-advertised shortcut 'startmenuPuTTY' points "
     "to an assembly file in the global assembly cache."},
    {"ICE95", "putty-0.68-installer.msi", kBillboards,
     "ICE95  WARNING  BBControl.X [b1, c1]  The BBControl item 'b1.c1" BILLBOARD_ITEM
     "The X coordinate exceeds the boundary of the minimum billboard control width 100"},
    {"ICE95", "putty-0.68-installer.msi", kBillboards,
     "ICE95  WARNING  BBControl.Y [b1, c2]  The BBControl item 'b1.c2" BILLBOARD_ITEM
     "The Y coordinate exceeds the boundary of the minimum billboard control height 100"},
    {"ICE95", "putty-0.68-installer.msi", kBillboards,
     "ICE95  WARNING  BBControl.Width [b1, c3]  The BBControl item 'b1.c3" BILLBOARD_ITEM
     "The X coordinate and the width combined together exceeds the minimum billboard control width 100"},
    {"ICE95", "putty-0.68-installer.msi", kBillboards,
     "ICE95  WARNING  BBControl.Height [b1, c4]  The BBControl item 'b1.c4" BILLBOARD_ITEM
     "The Y coordinate and the height combined together exceeds the minimum billboard control height 100"},
    // Three components isolate the licence; two of them share INSTALLDIR.
    {"ICE97", "putty-0.68-installer.msi",
     {"CREATE TABLE `IsolatedComponent` (`Component_Shared` CHAR(72) NOT NULL, `Component_Application` "
      "CHAR(72) NOT NULL PRIMARY KEY `Component_Shared`, `Component_Application`)",
      "INSERT INTO `IsolatedComponent` (`Component_Shared`, `Component_Application`) "
      "VALUES ('LICENCE_Component', 'PuTTY_Component')",
      "INSERT INTO `IsolatedComponent` (`Component_Shared`, `Component_Application`) "
      "VALUES ('LICENCE_Component', 'Pageant_Component')",
      "INSERT INTO `IsolatedComponent` (`Component_Shared`, `Component_Application`) "
      "VALUES ('LICENCE_Component', 'ProgramMenuDir')"},
     "ICE97  WARNING  IsolatedComponent.Component_Application [LICENCE_Component, Pageant_Component]  This "
     "component Pageant_Component installs the Shared component into the same directory INSTALLDIR as "
     "another, which breaks component rules if both (or more) components are selected for install."},
    // A reserved character, and 33 characters; 32 is allowed.
    {"ICE98", "putty-0.68-installer.msi",
     {kOdbc, kOdbcRow + "'BadChar', 'Sessions!')", kOdbcRow + "'Ok', 'A data source name of thirty-two')"},
     "ICE98  WARNING  ODBCDataSource.Description [BadChar]  The data source name is invalid: Sessions!"},
    {"ICE98", "putty-0.68-installer.msi",
     {kOdbc, kOdbcRow + "'TooLong', 'A data source name of thirty-three')"},
     "ICE98  WARNING  ODBCDataSource.Description [TooLong]  The data source name is invalid: A data source "
     "name of thirty-three"},
    {"ICE100", "putty-0.68-installer.msi", kEmbedded,
     "ICE100  ERROR    MsiEmbeddedUI.Attributes [A]  Too many DLLs marked as UI: A"},
    {"ICE100", "putty-0.68-installer.msi", kEmbedded,
     "ICE100  ERROR    MsiEmbeddedUI.MessageFilter [B]  UI DLL cannot have null/zero message filter: B"},
    {"ICE100", "putty-0.68-installer.msi", kEmbedded,
     "ICE100  ERROR    MsiEmbeddedUI.MessageFilter [C]  Resource DLLs must have null/zero message filters: C"},
    {"ICE100", "putty-0.68-installer.msi", kEmbedded,
     "ICE100  ERROR    MsiEmbeddedUI.FileName [A]  Multiple DLLs marked with this filename: ui.dll (index: A)"},
    {"ICE100", "putty-0.68-installer.msi", kEmbedded,
     "ICE100  WARNING  MsiEmbeddedChainer  Multiple chainers exist in MsiEmbeddedChainer table. Please ensure "
     "that only one is conditioned to run."},
    // 39 characters; the 38-character name stays quiet.
    {"ICE101", "putty-0.68-installer.msi",
     {"INSERT INTO `Feature` (`Feature`, `Level`, `Attributes`) "
      "VALUES ('AFeatureNameOfThirtyNineCharactersLong_', 1, 0)",
      "INSERT INTO `Feature` (`Feature`, `Level`, `Attributes`) "
      "VALUES ('AFeatureNameOfThirtyEightCharactersLo', 1, 0)"},
     "ICE101  ERROR    Feature.Feature [AFeatureNameOfThirtyNineCharactersLong_]  The Feature "
     "'AFeatureNameOfThirtyNineCharactersLong_' is 39 characters long; feature names can be at most 38 "
     "characters."},
    {"ICE102", "putty-0.68-installer.msi", kServices,
     "ICE102  ERROR    MsiServiceConfig.ConfigType [Type]  " CONFIG "Type, ConfigType =9 is not a valid "
     "parameter. It should be between 3 and 7."},
    {"ICE102", "putty-0.68-installer.msi", kServices,
     "ICE102  ERROR    MsiServiceConfig.Argument [Delayed]  " CONFIG "Delayed, Argument =2 is not a valid "
     "SERVICE_CONFIG_DELAYED_AUTO_START_INFO parameter. It should be 0 or 1."},
    {"ICE102", "putty-0.68-installer.msi", kServices,
     "ICE102  ERROR    MsiServiceConfig.Event [Event]  " CONFIG "Event, Event =8 is not a valid parameter. It "
     "should be a combination of install (1), uninstall (2) and reinstall (4)."},
    {"ICE102", "putty-0.68-installer.msi", kServices,
     "ICE102  ERROR    MsiServiceConfig.Component_ [Comp]  " CONFIG "Comp, Component_ =Gone is not a component "
     "of the Component table."},
    {"ICE102", "putty-0.68-installer.msi", kServices,
     "ICE102  WARNING  MsiServiceConfig.Argument [Shutdown]  " CONFIG "Shutdown, Argument field is left blank. "
     "Default preshutdown value of 180000 will be used"},
    {"ICE102", "putty-0.68-installer.msi", kServices,
     "ICE102  WARNING  MsiServiceConfigFailureActions.ResetPeriod [Reset]  " FAILURE "Reset, ResetPeriod is "
     "left blank. It will be replaced with INFINITE."},
    {"ICE102", "putty-0.68-installer.msi", kServices,
     "ICE102  ERROR    MsiServiceConfigFailureActions.Actions [Act]  " FAILURE "Act, Actions=1[~]x is not a "
     "valid parameter. It should be a list of null-separated non-negative integers."},
    {"ICE102", "putty-0.68-installer.msi", kServices,
     "ICE102  ERROR    MsiServiceConfigFailureActions.DelayActions [Delay]  " FAILURE "Delay, DelayActions=-5 "
     "is not a valid parameter. It should be a list of null-separated non-negative integers."},
    {"ICE102", "putty-0.68-installer.msi", kServices,
     "ICE102  ERROR    MsiServiceConfigFailureActions.DelayActions [Count]  " FAILURE "Count, number of Actions "
     "(=2) is not equal to the number of DelayActions (=1). They should be equal."},
    {"ICE103", "putty-0.68-installer.msi",
     {"INSERT INTO `ControlEvent` (`Dialog_`, `Control_`, `Event`, `Argument`, `Condition`) "
      "VALUES ('FatalError', 'Cancel', 'MsiPrint', 'x', '1')"},
     "ICE103  ERROR    ControlEvent.Event [FatalError, Cancel, MsiPrint, x, 1]  The MsiPrint event of control "
     "Cancel on dialog FatalError is used on a dialog without a ScrollableText control."},
    {"ICE104", "putty-0.68-installer.msi", kLocks,
     "ICE104  ERROR    MsiLockPermissionsEx  Both tables LockPermissions and MsiLockPermissionsEx exist in the "
     "database. Only one such table should be present."},
    {"ICE104", "putty-0.68-installer.msi", kLocks,
     "ICE104  ERROR    MsiLockPermissionsEx.LockObject [Lost]  Could not find item 'NoSuchFile' in table 'File' "
     "which is referenced in the MsiLockPermissionsEx table entry (MsiLockPermissionsEx = )Lost"},
    {"ICE104", "putty-0.68-installer.msi", kLocks,
     "ICE104  ERROR    MsiLockPermissionsEx.SDDLText [Bad]  In the MsiLockPermissionsEx table entry "
     "(MsiLockPermissionsEx = )Bad, SDDLText = D:(A;;FA;BA) appears to be an invalid FormattedSDDLText value"},
};

EVALUATOR_CASES(AuthoringRules, kCases);

}  // namespace
}  // namespace vt
