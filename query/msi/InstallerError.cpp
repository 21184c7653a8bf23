#include "InstallerError.h"

#include <cwctype>

#include "FormatText.h"

std::u16string GetInstallerErrorText(UINT code) {
  const WCHAR* description = MsiExtResultDescriptionW(code);
  std::u16string text = description ? std::u16string(description) : std::u16string();
  std::size_t end = text.size();
  while (end > 0 && std::iswspace(static_cast<wint_t>(text[end - 1]))) --end;
  text.resize(end);
  return text;
}

std::u16string InstallerErrorMessage(bool detail, const std::u16string& function, UINT code,
                                     const std::u16string& information) {
  std::u16string message;
  if (!detail) {
    message = GetInstallerErrorText(code);
    if (message.empty()) FormatText(message, u"Error: %d (0x%08X)", code, code);
    return message;
  }
  FormatText(message, u"Function: %s\nError: %d (0x%08X)\nDescription: %s\n", function, code, code,
             GetInstallerErrorText(code));
  if (!information.empty()) {
    std::u16string addition;
    FormatText(addition, u"\nAdditional information:\n\n%s", information);
    message += addition;
  }
  return message;
}

MessageIcon InstallerErrorIcon(UINT code) {
  const bool success = code == ERROR_SUCCESS || code == ERROR_SUCCESS_REBOOT_INITIATED ||
                       code == ERROR_SUCCESS_REBOOT_REQUIRED;
  return success ? MessageIcon::Information : MessageIcon::Error;
}

int ShowInstallerError(IMessageBox& box, bool detail, const std::u16string& function, UINT code,
                       const std::u16string& information) {
  return box.Show(u"Windows Installer", InstallerErrorMessage(detail, function, code, information),
                  InstallerErrorIcon(code));
}
