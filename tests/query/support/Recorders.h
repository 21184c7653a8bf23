// Stand-ins for the user: a message box that records instead of showing, a
// chooser that answers from a script, a page opener that only remembers.
#pragma once

#include <QString>
#include <QStringList>
#include <vector>

#include "DocumentOpener.h"
#include "PackageChooser.h"
#include "msi/MessageBox.h"

struct ShownMessage {
  QString caption;
  QString text;
  MessageIcon icon;
};

class RecordingMessageBox : public IMessageBox {
 public:
  int Show(const std::u16string& caption, const std::u16string& text, MessageIcon icon) override {
    shown.push_back({QString::fromStdU16String(caption), QString::fromStdU16String(text), icon});
    return 1;
  }
  QStringList Texts() const {
    QStringList texts;
    for (const ShownMessage& m : shown) texts << m.text;
    return texts;
  }
  std::vector<ShownMessage> shown;
};

class ScriptedChooser : public IPackageChooser {
 public:
  ChooserResult Choose(QWidget*) override {
    ++calls;
    return answer;
  }
  ChooserResult answer;
  int calls = 0;
};

class RecordingOpener : public IDocumentOpener {
 public:
  void Open(const QString& path) override { opened << path; }
  QStringList opened;
};
