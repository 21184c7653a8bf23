#include "ApplicationMessageBox.h"

#include <QApplication>
#include <QMessageBox>

#include "WideText.h"

int ApplicationMessageBox::Show(const std::u16string& caption, const std::u16string& text,
                                MessageIcon icon) {
  QWidget* owner = QApplication::activeWindow();
  if (owner) {
    owner->raise();
    owner->activateWindow();
  }
  QMessageBox box(icon == MessageIcon::Error ? QMessageBox::Critical : QMessageBox::Information,
                  FromWide(caption), FromWide(text), QMessageBox::Ok, owner);
  return box.exec();
}
