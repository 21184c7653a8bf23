#include "DocumentOpener.h"

#include <QDesktopServices>
#include <QFileInfo>
#include <QUrl>

void DesktopDocumentOpener::Open(const QString& path) {
  // Without a configured viewer this fails quietly: the page is on disk.
  QDesktopServices::openUrl(QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath()));
}
