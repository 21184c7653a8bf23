// MsiExtCheckCondition*: the condition syntax check behind the C API.
#include <string>
#include <string_view>

#include "api/c_api_util.h"
#include "api/guard.h"
#include "condition/condition_syntax.h"
#include "msiquery.h"

using namespace msi;
using namespace msi::api;

namespace {

// offset is in the caller's units; the message goes out by the BUFFERS rule.
template <typename CharT>
UINT Answer(const condition::SyntaxCheck& check, DWORD offset, DWORD* piOffset,
            const std::basic_string<CharT>& message, CharT* szMessageBuf, DWORD* pcchMessageBuf) {
  if (szMessageBuf != nullptr && pcchMessageBuf == nullptr) return ERROR_INVALID_PARAMETER;
  if (piOffset != nullptr) *piOffset = offset;
  if (pcchMessageBuf != nullptr) {
    const UINT r = CopyOut(message, szMessageBuf, pcchMessageBuf);
    if (r != ERROR_SUCCESS) return r;
  }
  return check.ok ? ERROR_SUCCESS : ERROR_BAD_QUERY_SYNTAX;
}

}  // namespace

extern "C" {

UINT MsiExtCheckConditionA(LPCSTR szCondition, DWORD* piOffset, LPSTR szMessageBuf,
                           DWORD* pcchMessageBuf) {
  return Guarded([&]() -> UINT {
    const std::string_view text = szCondition == nullptr ? std::string_view() : szCondition;
    const condition::SyntaxCheck check = condition::CheckSyntax(text);
    return Answer(check, static_cast<DWORD>(check.offset), piOffset, check.message, szMessageBuf,
                  pcchMessageBuf);
  });
}

UINT MsiExtCheckConditionW(LPCWSTR szCondition, DWORD* piOffset, LPWSTR szMessageBuf,
                           DWORD* pcchMessageBuf) {
  return Guarded([&]() -> UINT {
    const std::string text = FromWide(szCondition);
    const condition::SyntaxCheck check = condition::CheckSyntax(text);
    // Faults lie on character boundaries, so the UTF-8 prefix converts to
    // exactly the UTF-16 units before the fault.
    const size_t units = Utf8ToUtf16(std::string_view(text).substr(0, check.offset)).size();
    return Answer(check, static_cast<DWORD>(units), piOffset, Utf8ToUtf16(check.message),
                  szMessageBuf, pcchMessageBuf);
  });
}

}  // extern "C"
