// The message box as the layer and the dialog see it: tests put a recorder
// in its place, the program a real window.
#pragma once

#include <string>

enum class MessageIcon { Information, Error };

class IMessageBox {
 public:
  virtual ~IMessageBox() = default;
  // Shows a modal box with an OK button; returns the button pressed.
  virtual int Show(const std::u16string& caption, const std::u16string& text,
                   MessageIcon icon) = 0;
};
