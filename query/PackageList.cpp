// Filling a drop-down list from a package, shared by the stream list and the
// dialog list.
#include <QComboBox>

#include "ComboList.h"
#include "VintrelDlg.h"
#include "WideText.h"
#include "msi/MsiDatabase.h"
#include "msi/MsiView.h"

void CVintrelDlg::FillList(QComboBox* list, const char16_t* statement) {
  UpdateData(true);
  CMsiDatabase database;
  if (!database.Open(ToWide(m_strDatabase), MSIDBOPEN_READONLY)) {
    ShowMessage(QStringLiteral("Cannot open database."), MessageIcon::Error);
  } else {
    list->clear();
    CMsiView view(database.Handle(), u"%s", statement);
    if (view.m_nError != ERROR_SUCCESS) {
      ShowMessage(QStringLiteral("Cannot open view."), MessageIcon::Error);
    } else if (!view.Execute()) {
      ShowMessage(QStringLiteral("Cannot execute view."), MessageIcon::Error);
    } else {
      CMsiRecord row;
      while (view.Fetch(row)) AddSortedItem(*list, FromWide(row.GetString(1)));
    }
  }
  list->setCurrentIndex(list->count() > 0 ? 0 : -1);
  UpdateData(false);
}
