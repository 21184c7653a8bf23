// Helpers shared by the C entry points: argument conversion and the
// installer's buffer convention.
#pragma once

#include <string>

#include "msiquery.h"
#include "text.h"

namespace msi::api {

inline std::string FromWide(LPCWSTR s) {
  if (s == nullptr) return std::string();
  std::u16string_view v(s);
  return Utf16ToUtf8(v);
}

// Copies text into a caller's buffer of *pcch units (terminator included);
// see the header's BUFFERS note.
template <typename CharT>
UINT CopyOut(const std::basic_string<CharT>& text, CharT* buf, DWORD* pcch) {
  if (pcch == nullptr) return buf == nullptr ? ERROR_SUCCESS : ERROR_INVALID_PARAMETER;
  const DWORD len = static_cast<DWORD>(text.size());
  if (buf == nullptr) {
    *pcch = len;
    return ERROR_SUCCESS;
  }
  const DWORD room = *pcch;
  *pcch = len;
  if (room > len) {
    text.copy(buf, len);
    buf[len] = CharT();
    return ERROR_SUCCESS;
  }
  if (room > 0) {
    text.copy(buf, room - 1);
    buf[room - 1] = CharT();
  }
  return ERROR_MORE_DATA;
}

}  // namespace msi::api
