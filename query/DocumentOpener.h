// Showing a written page in the user's HTML viewer; replaceable so that
// tests can see what would be opened without starting a browser.
#pragma once

#include <QString>

class IDocumentOpener {
 public:
  virtual ~IDocumentOpener() = default;
  virtual void Open(const QString& path) = 0;
};

class DesktopDocumentOpener : public IDocumentOpener {
 public:
  void Open(const QString& path) override;
};
