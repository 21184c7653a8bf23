// MsiView* functions.
#include "api/c_api_util.h"
#include "api/last_error.h"
#include "api/guard.h"
#include "api/record.h"
#include "api/view.h"
#include "msiquery.h"

using namespace msi;
using namespace msi::api;

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
    return Remember(view->Execute(params.get()));
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

}  // extern "C"
