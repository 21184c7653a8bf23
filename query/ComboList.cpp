#include "ComboList.h"

#include <QComboBox>

void AddSortedItem(QComboBox& list, const QString& text) {
  // After the last item that sorts before or equal to it, as a sorted list
  // inserts.
  int position = list.count();
  while (position > 0 && QString::compare(list.itemText(position - 1), text, Qt::CaseInsensitive) > 0)
    --position;
  list.insertItem(position, text);
}

void FillWithEmptyItems(QComboBox& list, int count) {
  for (int i = 0; i < count; ++i) list.addItem(QString());
  list.setCurrentIndex(-1);
}

QString SelectedItemText(const QComboBox& list) {
  return list.currentIndex() < 0 ? QString() : list.itemText(list.currentIndex());
}
