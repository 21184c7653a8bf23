// Installer result codes turned into text and into the detailed
// "Windows Installer" message box.
#pragma once

#include <string>

#include <msiquery.h>

#include "MessageBox.h"

// The engine's description of `code` without trailing white space; empty
// when the code has none.
std::u16string GetInstallerErrorText(UINT code);

// The text the box shows: with `detail`, function, code and description
// (and the additional information when there is any); without it, the
// description alone, or the code when there is no description.
std::u16string InstallerErrorMessage(bool detail, const std::u16string& function, UINT code,
                                     const std::u16string& information);
MessageIcon InstallerErrorIcon(UINT code);

int ShowInstallerError(IMessageBox& box, bool detail, const std::u16string& function, UINT code,
                       const std::u16string& information);
