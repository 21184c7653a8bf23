// The Stream Extractor: lists a package's streams and saves one of them in
// the temporary folder.
#include <QComboBox>

#include "ComboList.h"
#include "TempFilePath.h"
#include "VintrelDlg.h"
#include "WideText.h"
#include "msi/MsiDatabase.h"
#include "msi/MsiView.h"

void CVintrelDlg::OnStreamList() {
  FillList(m_comboStreams, u"SELECT `Name`,`Data` FROM `_Streams` ORDER BY `Name`");
}

void CVintrelDlg::OnExtract() {
  UpdateData(true);
  const QString name = SelectedItemText(*m_comboStreams);
  CMsiDatabase database;
  if (!database.Open(ToWide(m_strDatabase), MSIDBOPEN_READONLY)) {
    ShowMessage(QStringLiteral("Cannot open database."), MessageIcon::Error);
    return;
  }
  // The name goes as a parameter: any character in it, a quote included,
  // stays part of the name.
  CMsiRecord parameters;
  if (!CMsiRecord::Create(parameters, 1) || !parameters.SetString(1, ToWide(name))) {
    ShowMessage(QStringLiteral("Cannot execute view."), MessageIcon::Error);
    return;
  }
  CMsiView view(database.Handle(), u"SELECT `Name`,`Data` FROM `_Streams` WHERE `Name`=?");
  if (view.m_nError != ERROR_SUCCESS) {
    ShowMessage(QStringLiteral("Cannot open view."), MessageIcon::Error);
    return;
  }
  if (!view.Execute(parameters)) {
    ShowMessage(QStringLiteral("Cannot execute view."), MessageIcon::Error);
    return;
  }
  CMsiRecord row;
  if (!view.Fetch(row)) {
    ShowMessage(QStringLiteral("Cannot fetch record."), MessageIcon::Error);
    return;
  }
  const QString path = GetTempFilePath(false, FromWide(row.GetString(1)), QString());
  if (!path.isEmpty() && row.ReadStreamToFile(2, ToWide(path)))
    ShowMessage(path, MessageIcon::Information);
  else
    ShowMessage(QStringLiteral("Cannot extract file."), MessageIcon::Error);
}
