#include "PackageChooser.h"

#include <QFileDialog>

QStringList PackageChooserFilters() {
  return {QStringLiteral("Windows Installer Packages (*.msi)"),
          QStringLiteral("Wise Projects (*.wsi)"), QStringLiteral("All Files (*.*)")};
}

void FileDialogPackageChooser::Configure(QFileDialog& dialog) {
  dialog.setFileMode(QFileDialog::ExistingFile);
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  // Qt's own dialog matches name filters in any letter case ("SETUP.MSI");
  // a native one may not.
  dialog.setOption(QFileDialog::DontUseNativeDialog, true);
  dialog.setFilter(dialog.filter() & ~QDir::CaseSensitive);
  dialog.setNameFilters(PackageChooserFilters());
}

ChooserResult FileDialogPackageChooser::Choose(QWidget* owner) {
  // QFileDialog never changes the process's current directory, which keeps
  // result.html where the tool was started.
  QFileDialog dialog(owner);
  Configure(dialog);
  ChooserResult result;
  if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty())
    result.path = QFileInfo(dialog.selectedFiles().constFirst()).absoluteFilePath();
  return result;
}
