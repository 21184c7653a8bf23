// The real message box: a modal QMessageBox owned by the active window.
#pragma once

#include "msi/MessageBox.h"

class ApplicationMessageBox : public IMessageBox {
 public:
  int Show(const std::u16string& caption, const std::u16string& text, MessageIcon icon) override;
};
