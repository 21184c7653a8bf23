// MsiDatabaseGenerateTransform, MsiDatabaseApplyTransform and
// MsiCreateTransformSummaryInfo.
#include "api/c_api_util.h"
#include "api/guard.h"
#include "api/last_error.h"
#include "api/database_object.h"
#include "msiquery.h"
#include "transform/transform_apply.h"
#include "transform/transform_generate.h"
#include "transform/transform_summary.h"
#include "storage/stream_replace.h"

using namespace msi;
using namespace msi::api;

namespace {

constexpr int kKnownConditions = 0x3F | transform_error::kViewTransform;

UINT Apply(MSIHANDLE hDatabase, const char* transform, int conditions) {
  if (transform == nullptr || *transform == '\0') return ERROR_INVALID_PARAMETER;
  auto dbo = Find<DatabaseObject>(hDatabase);
  if (!dbo) return ERROR_INVALID_HANDLE;
  if ((conditions & ~kKnownConditions) != 0) return ERROR_INVALID_PARAMETER;
  auto file = OpenTransform(*dbo->db(), transform);
  if (!file.ok()) return file.status().code();
  return ApplyTransform(*dbo->db(), **file, conditions).code();
}

UINT Generate(MSIHANDLE hDatabase, MSIHANDLE hReference, const char* path, int reserved1,
              int reserved2) {
  if (reserved1 != 0 || reserved2 != 0) return ERROR_INVALID_PARAMETER;
  auto newer = Find<DatabaseObject>(hDatabase);
  auto reference = Find<DatabaseObject>(hReference);
  if (!newer || !reference) return ERROR_INVALID_HANDLE;
  auto generated = GenerateTransform(*newer->db(), *reference->db());
  if (!generated.ok()) return generated.status().code();
  if (path == nullptr) return generated->differs ? ERROR_SUCCESS : ERROR_NO_DATA;
  if (*path == '\0') return ERROR_INVALID_PARAMETER;
  return WriteStorageFile(generated->file, path).code();
}

UINT SummaryInfo(MSIHANDLE hDatabase, MSIHANDLE hReference, const char* path, int conditions,
                 int validation) {
  if (path == nullptr || *path == '\0') return ERROR_INVALID_PARAMETER;
  auto newer = Find<DatabaseObject>(hDatabase);
  auto reference = Find<DatabaseObject>(hReference);
  if (!newer || !reference) return ERROR_INVALID_HANDLE;
  if ((conditions & ~kKnownConditions) != 0 || (validation & ~0x0FFF) != 0) {
    return ERROR_INVALID_PARAMETER;
  }
  auto bytes = TransformSummary(*newer->db(), *reference->db(), conditions, validation);
  if (!bytes.ok()) return bytes.status().code();
  const Status st = ReplaceRootStreamInFile(path, u"\005SummaryInformation", std::move(*bytes));
  // A transform that is not there (or no compound file) cannot be given one.
  return st.ok() ? ERROR_SUCCESS : (st.code() == 1620 || st.code() == 2 ? ERROR_OPEN_FAILED : st.code());
}

}  // namespace

extern "C" {

UINT MsiDatabaseApplyTransformA(MSIHANDLE hDatabase, LPCSTR szTransformFile, int iErrorConditions) {
  return GuardedRecorded([&]() -> UINT {
    return Apply(hDatabase, szTransformFile, iErrorConditions);
  });
}

UINT MsiDatabaseApplyTransformW(MSIHANDLE hDatabase, LPCWSTR szTransformFile, int iErrorConditions) {
  return GuardedRecorded([&]() -> UINT {
    if (szTransformFile == nullptr) return ERROR_INVALID_PARAMETER;
    return Apply(hDatabase, FromWide(szTransformFile).c_str(), iErrorConditions);
  });
}

UINT MsiDatabaseGenerateTransformA(MSIHANDLE hDatabase, MSIHANDLE hDatabaseReference,
                                   LPCSTR szTransformFile, int iReserved1, int iReserved2) {
  return GuardedRecorded([&]() -> UINT {
    return Generate(hDatabase, hDatabaseReference, szTransformFile, iReserved1, iReserved2);
  });
}

UINT MsiDatabaseGenerateTransformW(MSIHANDLE hDatabase, MSIHANDLE hDatabaseReference,
                                   LPCWSTR szTransformFile, int iReserved1, int iReserved2) {
  return GuardedRecorded([&]() -> UINT {
    const std::string path = FromWide(szTransformFile);
    return Generate(hDatabase, hDatabaseReference, szTransformFile ? path.c_str() : nullptr,
                    iReserved1, iReserved2);
  });
}

UINT MsiCreateTransformSummaryInfoA(MSIHANDLE hDatabase, MSIHANDLE hDatabaseReference,
                                    LPCSTR szTransformFile, int iErrorConditions,
                                    int iValidation) {
  return Guarded([&]() -> UINT {
    return SummaryInfo(hDatabase, hDatabaseReference, szTransformFile, iErrorConditions, iValidation);
  });
}

UINT MsiCreateTransformSummaryInfoW(MSIHANDLE hDatabase, MSIHANDLE hDatabaseReference,
                                    LPCWSTR szTransformFile, int iErrorConditions,
                                    int iValidation) {
  return Guarded([&]() -> UINT {
    if (szTransformFile == nullptr) return ERROR_INVALID_PARAMETER;
    return SummaryInfo(hDatabase, hDatabaseReference, FromWide(szTransformFile).c_str(),
                       iErrorConditions, iValidation);
  });
}

}  // extern "C"
