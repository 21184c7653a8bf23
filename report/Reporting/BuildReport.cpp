#include "BuildReport.h"

#include "Common.h"
#include "Failure.h"
#include "PackagePaths.h"
#include "ReportFile.h"
#include "Sections.h"

namespace pellacor {

void BuildReport(const std::string& package_path, ProgressLabel* label,
                 ProgressBar* bar) {
  // A mistyped path must not pass for success in a script.
  if (!FileExists(package_path)) {
    throw Failure(runtime_error::kFileNotFound, "File not found");
  }
  Installer installer;
  ReportFile file(ReportPathFor(package_path));
  Database database;
  ReportRun run(package_path, database, file, label, bar);
  if (FileExists(package_path)) {
    if (bar != nullptr) {
      bar->SetMin(0);
      bar->SetMax(100);
      bar->SetValue(0);
    }
    run.SetCaption("Creating report header...");
    run.Step([&] {
      database = installer.OpenDatabase(package_path, Installer::kReadOnly);
    });
    WriteHead(run);
    WriteHeader(run);
    WriteRequirementsSection(run);
    WriteUpgradeSection(run);
    WriteFileListSection(run);
    WriteBinaryListSection(run);
    WriteEndOfReport(run);
    database = Database();
  }
  file.Close();
}

}  // namespace pellacor
