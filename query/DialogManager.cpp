// The Dialog Manager: lists a package's dialogs, deletes one, or copies one
// into another package.
#include <QComboBox>

#include "ComboList.h"
#include "VintrelDlg.h"
#include "WideText.h"
#include "msi/MsiDatabase.h"

void CVintrelDlg::OnDialogList() {
  FillList(m_comboDialogs, u"SELECT `Dialog` FROM `Dialog` ORDER BY `Dialog`");
}

void CVintrelDlg::OnDelete() {
  UpdateData(true);
  const QString name = SelectedItemText(*m_comboDialogs);
  CMsiDatabase database;
  if (!database.Open(ToWide(m_strDatabase), MSIDBOPEN_DIRECT)) {
    ShowMessage(QStringLiteral("Cannot open database."), MessageIcon::Error);
    return;
  }
  // A table the package lacks only fails its own statement; what the
  // statements matched is committed all the same.
  database.DeleteDialog(ToWide(name));
  if (!database.Commit()) {
    ShowMessage(QStringLiteral("Cannot commit database."), MessageIcon::Error);
    return;
  }
  ShowMessage(name, MessageIcon::Information);
}

void CVintrelDlg::OnCopyTo() {
  UpdateData(true);
  const QString name = SelectedItemText(*m_comboDialogs);
  CMsiDatabase source;
  if (!source.Open(ToWide(m_strDatabase), MSIDBOPEN_READONLY)) {
    ShowMessage(QStringLiteral("Cannot open source database."), MessageIcon::Error);
    return;
  }
  const QString targetPath = ChoosePackage();
  if (!targetPath.isEmpty()) {
    CMsiDatabase target;
    if (!target.Open(ToWide(targetPath), MSIDBOPEN_DIRECT)) {
      ShowMessage(QStringLiteral("Cannot open target database."), MessageIcon::Error);
    } else {
      // Each table commits on its own, the deletion with the first.
      target.DeleteDialog(ToWide(name));
      target.CopyDialog(source, ToWide(name), *m_messageBox);
      if (target.CommitFailed()) {
        ShowMessage(QStringLiteral("Cannot commit database."), MessageIcon::Error);
        return;
      }
    }
  }
  ShowMessage(name, MessageIcon::Information);
}
