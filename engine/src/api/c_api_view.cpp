// MsiView* functions.
#include "api/c_api_util.h"
#include "api/last_error.h"
#include "api/guard.h"
#include "api/record.h"
#include "api/view.h"
#include "msiquery.h"

using namespace msi;
using namespace msi::api;

namespace {

// The error is handed out (and the view moves on) only once its name is.
template <typename CharT>
MSIDBERROR GetError(MSIHANDLE hView, CharT* buf, DWORD* pcch) {
  return GuardedOr(MSIDBERROR_FUNCTIONERROR, [&]() -> MSIDBERROR {
    if (pcch == nullptr) return MSIDBERROR_INVALIDARG;
    auto view = Find<View>(hView);
    if (!view) return MSIDBERROR_INVALIDARG;
    const validation::ColumnError* e = view->PendingError();
    const int code = e == nullptr ? MSIDBERROR_NOERROR : e->code;
    const std::string name = e == nullptr ? std::string() : e->column;
    UINT copied;
    if constexpr (sizeof(CharT) == 1) {
      copied = CopyOut(name, buf, pcch);
    } else {
      copied = CopyOut(Utf8ToUtf16(name), buf, pcch);
    }
    if (copied == ERROR_MORE_DATA) return MSIDBERROR_MOREDATA;
    if (buf != nullptr && e != nullptr) view->NextError();
    return static_cast<MSIDBERROR>(code);
  });
}

}  // namespace

extern "C" {

UINT MsiViewExecute(MSIHANDLE hView, MSIHANDLE hRecord) {
  return GuardedRecorded([&]() -> UINT {
    auto view = Find<View>(hView);
    if (!view) return ERROR_INVALID_HANDLE;
    std::shared_ptr<Record> params;
    if (hRecord != 0) {
      params = Find<Record>(hRecord);
      if (!params) return ERROR_INVALID_HANDLE;
    }
    return Remember(view->Execute(params.get()), {.trailing = {view->query()}});
  });
}

UINT MsiViewFetch(MSIHANDLE hView, MSIHANDLE* phRecord) {
  return Guarded([&]() -> UINT {
    if (phRecord == nullptr) return ERROR_INVALID_PARAMETER;
    *phRecord = 0;
    auto view = Find<View>(hView);
    if (!view) return ERROR_INVALID_HANDLE;
    // The handle first: once the row is fetched, nothing may fail.
    HandleReservation handle;
    if (handle.handle() == 0) return ERROR_NOT_ENOUGH_MEMORY;
    auto rec = view->Fetch();
    if (!rec.ok()) return rec.status().code();
    *phRecord = handle.Fill(std::move(*rec));
    return *phRecord == 0 ? ERROR_INVALID_HANDLE : ERROR_SUCCESS;
  });
}

UINT MsiViewClose(MSIHANDLE hView) {
  return Guarded([&]() -> UINT {
    auto view = Find<View>(hView);
    if (!view) return ERROR_INVALID_HANDLE;
    return view->Close().code();
  });
}

UINT MsiViewGetColumnInfo(MSIHANDLE hView, MSICOLINFO eColumnInfo, MSIHANDLE* phRecord) {
  return Guarded([&]() -> UINT {
    if (phRecord == nullptr) return ERROR_INVALID_PARAMETER;
    *phRecord = 0;
    if (eColumnInfo != MSICOLINFO_NAMES && eColumnInfo != MSICOLINFO_TYPES) {
      return ERROR_INVALID_PARAMETER;
    }
    auto view = Find<View>(hView);
    if (!view) return ERROR_INVALID_HANDLE;
    auto rec = view->ColumnInfo(eColumnInfo == MSICOLINFO_TYPES);
    if (!rec.ok()) return rec.status().code();
    *phRecord = AddHandle(*rec);
    return *phRecord == 0 ? ERROR_NOT_ENOUGH_MEMORY : ERROR_SUCCESS;
  });
}

UINT MsiViewModify(MSIHANDLE hView, MSIMODIFY eModifyMode, MSIHANDLE hRecord) {
  return GuardedRecorded([&]() -> UINT {
    auto view = Find<View>(hView);
    if (!view) return ERROR_INVALID_HANDLE;
    auto record = Find<Record>(hRecord);
    if (!record) return ERROR_INVALID_HANDLE;
    return Remember(view->Modify(static_cast<int>(eModifyMode), *record));
  });
}

MSIDBERROR MsiViewGetErrorW(MSIHANDLE hView, LPWSTR szColumnNameBuffer, DWORD* pcchBuf) {
  return GetError(hView, szColumnNameBuffer, pcchBuf);
}

MSIDBERROR MsiViewGetErrorA(MSIHANDLE hView, LPSTR szColumnNameBuffer, DWORD* pcchBuf) {
  return GetError(hView, szColumnNameBuffer, pcchBuf);
}

}  // extern "C"
