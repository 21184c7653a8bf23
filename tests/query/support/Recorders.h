// Stand-ins for the user: a message box that records instead of showing, a
// chooser that answers from a script, a page opener that only remembers.
#pragma once

#include <QComboBox>
#include <QLineEdit>
#include <QString>
#include <QStringList>
#include <memory>
#include <vector>

#include "DocumentOpener.h"
#include "PackageChooser.h"
#include "VintrelDlg.h"
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

// A fresh window whose boxes, chooser and pages go to fresh recorders.
inline std::unique_ptr<CVintrelDlg> RecordedWindow(RecordingMessageBox& box, ScriptedChooser& chooser,
                                                   RecordingOpener& opener) {
  box = {};
  chooser = {};
  opener = {};
  auto dialog = std::make_unique<CVintrelDlg>();
  dialog->SetMessageBox(&box);
  dialog->SetPackageChooser(&chooser);
  dialog->SetDocumentOpener(&opener);
  return dialog;
}

inline void SetDatabase(CVintrelDlg& dialog, const QString& path) {
  dialog.findChild<QLineEdit*>("edit1000_Database")->setText(path);
}

inline QStringList Items(const QComboBox* list) {
  QStringList items;
  for (int i = 0; i < list->count(); ++i) items << list->itemText(i);
  return items;
}
