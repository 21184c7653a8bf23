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
};

EVALUATOR_CASES(AuthoringRules, kCases);

}  // namespace
}  // namespace vt
