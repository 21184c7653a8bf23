// The two drop-down lists: read-only lists kept in sorted order the way a
// sorted combo box keeps them (ignoring letter case).
#pragma once

#include <QString>

class QComboBox;

constexpr int kInitialEmptyItems = 11;

void AddSortedItem(QComboBox& list, const QString& text);
void FillWithEmptyItems(QComboBox& list, int count);
// The selected item's text, or the empty text when nothing is selected.
QString SelectedItemText(const QComboBox& list);
