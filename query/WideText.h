// The layer speaks UTF-16 (std::u16string), the window QString; both hold
// the same code units.
#pragma once

#include <QString>
#include <string>

inline std::u16string ToWide(const QString& text) { return text.toStdU16String(); }
inline QString FromWide(const std::u16string& text) { return QString::fromStdU16String(text); }
