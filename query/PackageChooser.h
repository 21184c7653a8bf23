// Choosing a package file. The dialog asks through this interface so that
// tests can answer in place of a user.
#pragma once

#include <QString>

class QFileDialog;
class QWidget;

struct ChooserResult {
  QString path;     // empty when cancelled or failed
  QString failure;  // why the chooser could not be shown, else empty
};

class IPackageChooser {
 public:
  virtual ~IPackageChooser() = default;
  virtual ChooserResult Choose(QWidget* owner) = 0;
};

// The package types offered, in the order the chooser lists them.
QStringList PackageChooserFilters();

class FileDialogPackageChooser : public IPackageChooser {
 public:
  ChooserResult Choose(QWidget* owner) override;
  static void Configure(QFileDialog& dialog);
};
