// The query tool's one window: the Query Builder, the Stream Extractor and
// the Dialog Manager over a package named in the Database field.
#pragma once

#include <QDialog>
#include <QIcon>
#include <QString>
#include <memory>

#include "DocumentOpener.h"
#include "PackageChooser.h"
#include "msi/MessageBox.h"

class QComboBox;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

class CVintrelDlg : public QDialog {
  Q_OBJECT

 public:
  explicit CVintrelDlg(QWidget* parent = nullptr);
  ~CVintrelDlg() override;

  // Replacements for the user-facing parts (not owned); nullptr puts the
  // real ones back.
  void SetMessageBox(IMessageBox* box);
  void SetPackageChooser(IPackageChooser* chooser);
  void SetDocumentOpener(IDocumentOpener* opener);

  // true: the fields' texts into m_strDatabase and m_strSql; false: back.
  void UpdateData(bool saveAndValidate);
  // The full path of the chosen package, or the empty text.
  QString ChoosePackage();

  void OnBrowse();
  void OnExecute();
  void OnStreamList();
  void OnExtract();
  void OnDialogList();
  void OnDelete();
  void OnCopyTo();

  QComboBox* m_comboDialogs = nullptr;
  QComboBox* m_comboStreams = nullptr;
  QString m_strDatabase;
  QString m_strSql;
  QIcon m_hIcon;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void CreateControls();
  void ConnectButtons();
  int ShowMessage(const QString& text, MessageIcon icon);
  // Lists field 1 of every row of `statement` in `list`, as both "--->"
  // buttons do.
  void FillList(QComboBox* list, const char16_t* statement);

  QLineEdit* m_editDatabase = nullptr;
  QPlainTextEdit* m_editSql = nullptr;
  QPushButton* m_buttonExecute = nullptr;

  std::unique_ptr<IMessageBox> m_ownMessageBox;
  std::unique_ptr<IPackageChooser> m_ownChooser;
  std::unique_ptr<IDocumentOpener> m_ownOpener;
  IMessageBox* m_messageBox = nullptr;
  IPackageChooser* m_chooser = nullptr;
  IDocumentOpener* m_opener = nullptr;
};

// The name message boxes carry: the executable's file name without its
// extension.
QString ApplicationName();
