// ICE99: no Directory key takes a name the installer itself uses for a
// property: the directory's path would overwrite the installer's value (or
// the installer the directory's). The standard folders, TARGETDIR and
// SourceDir are meant to be directories and are left out.
#include <algorithm>
#include <array>
#include <string_view>

#include "evaluator.h"

namespace msivalidate {
namespace {

// The installer's property reference, and the private names it sets for
// its own use (CustomActionData and the like). Sorted; case matters, as
// it does for property names.
constexpr std::array<std::string_view, 172> kReserved = {
    "ACTION", "ADDDEFAULT", "ADDLOCAL", "ADDSOURCE", "ADVERTISE", "AFTERREBOOT", "ALLUSERS",
    "ARPAUTHORIZEDCDFPREFIX", "ARPCOMMENTS", "ARPCONTACT", "ARPHELPLINK", "ARPHELPTELEPHONE",
    "ARPINSTALLLOCATION", "ARPNOMODIFY", "ARPNOREMOVE", "ARPNOREPAIR", "ARPPRODUCTICON", "ARPREADME",
    "ARPSIZE", "ARPSYSTEMCOMPONENT", "ARPURLINFOABOUT", "ARPURLUPDATEINFO", "AVAILABLEFREEREG",
    "AdminProperties", "AdminUser", "Alpha", "BorderSide", "BorderTop", "CCP_DRIVE", "COMPADDDEFAULT",
    "COMPADDLOCAL", "COMPADDSOURCE", "COMPANYNAME", "CaptionHeight", "ClientProcessId", "ClientUILevel",
    "ColorBits", "ComputerName", "CostingComplete", "CustomActionData", "DISABLEADVTSHORTCUTS",
    "DISABLEMEDIA", "DISABLEROLLBACK", "Date", "DefaultUIFont", "DiskPrompt", "EXECUTEACTION",
    "EXECUTEMODE", "FASTOEM", "FILEADDDEFAULT", "FILEADDLOCAL", "FILEADDSOURCE", "INSTALLLEVEL",
    "Installed", "Intel", "Intel64", "IsAdminPackage", "LIMITUI", "LOGACTION", "LeftUnit", "LogonUser",
    "MEDIAPACKAGEPATH", "MSIARPSETTINGSIDENTIFIER", "MSICHECKCRCS", "MSIDISABLEEEUI",
    "MSIDISABLELUAPATCHING", "MSIDISABLERMRESTART", "MSIENFORCEUPGRADECOMPONENTRULES", "MSIFASTINSTALL",
    "MSIINSTALLPERUSER", "MSIINSTANCEGUID", "MSINEWINSTANCE", "MSINODISABLEMEDIA", "MSIPATCHREMOVE",
    "MSIRESTARTMANAGERCONTROL", "MSIRMSHUTDOWN", "MSIUNINSTALLSUPERSEDEDCOMPONENTS",
    "MSIUSEREALADMINDETECTION", "Manufacturer", "MediaSourceDir", "MsiHiddenProperties",
    "MsiLogFileLocation", "MsiLogging", "MsiNTProductType", "MsiNTSuiteBackOffice",
    "MsiNTSuiteDataCenter", "MsiNTSuiteEnterprise", "MsiNTSuitePersonal", "MsiNTSuiteSmallBusiness",
    "MsiNTSuiteSmallBusinessRestricted", "MsiNTSuiteWebServer", "MsiNetAssemblySupport",
    "MsiPatchRemovalList", "MsiRestartManagerSessionKey", "MsiRunningElevated", "MsiSystemRebootPending",
    "MsiTabletPC", "MsiUIHideCancel", "MsiUIProgressOnly", "MsiUISourceResOnly",
    "MsiWin32AssemblySupport", "Msix64", "NOCOMPANYNAME", "NOUSERNAME", "OLEAdvtSupport",
    "OriginalDatabase", "OutOfDiskSpace", "OutOfNoRbDiskSpace", "PATCH", "PATCHNEWPACKAGECODE",
    "PATCHNEWSUMMARYCOMMENTS", "PATCHNEWSUMMARYSUBJECT", "PIDKEY", "PIDTemplate", "PRIMARYFOLDER",
    "PROMPTROLLBACKCOST", "ParentOriginalDatabase", "ParentProductCode", "PhysicalMemory", "Preselected",
    "PrimaryVolumePath", "PrimaryVolumeSpaceAvailable", "PrimaryVolumeSpaceRemaining",
    "PrimaryVolumeSpaceRequired", "Privileged", "ProductCode", "ProductID", "ProductLanguage",
    "ProductName", "ProductState", "ProductVersion", "REBOOT", "REBOOTPROMPT", "REINSTALL",
    "REINSTALLMODE", "REMOVE", "RESUME", "ROOTDRIVE", "RedirectedDllSupport", "RemoteAdminTS",
    "ReplacedInUseFiles", "RollbackDisabled", "SEQUENCE", "SHORTFILENAMES", "ScreenX", "ScreenY",
    "ServicePackLevel", "ServicePackLevelMinor", "SharedWindows", "ShellAdvtSupport",
    "SystemLanguageID", "TRANSFORMS", "TRANSFORMSATSOURCE", "TRANSFORMSSECURE", "TTCSupport",
    "TerminalServer", "TextHeight", "Time", "UILevel", "UPGRADINGPRODUCTCODE", "USERNAME",
    "UpdateStarted", "UpgradeCode", "UserLanguageID", "UserSID", "Version9X", "VersionDatabase",
    "VersionMsi", "VersionNT", "VersionNT64", "VirtualMemory", "WindowsBuild"};

static_assert(std::is_sorted(kReserved.begin(), kReserved.end()));

void Run(Context& ctx) {
  const Table* directory = ctx.Read("Directory");
  if (!directory) return;
  for (const Row& row : directory->rows) {
    const std::string dir = directory->Text(row, "Directory");
    if (std::binary_search(kReserved.begin(), kReserved.end(), std::string_view(dir)))
      ctx.Report(Severity::Error, *directory, "Directory", row,
                 "The directory name: " + dir +
                     " is the same as one of the MSI Public Properties and can cause unforeseen side effects.");
  }
}

const Registration kICE99("ICE99", Run);

}  // namespace
}  // namespace msivalidate
