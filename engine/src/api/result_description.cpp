// The engine's own descriptions of the result codes it gives.
#include <mutex>
#include <string>
#include <unordered_map>

#include "api/guard.h"
#include "msiquery.h"
#include "text.h"

namespace {

struct Description {
  UINT code;
  const char* text;
};

constexpr Description kDescriptions[] = {
    {ERROR_SUCCESS, "The operation completed successfully."},
    {ERROR_FILE_NOT_FOUND, "The file was not found."},
    {ERROR_PATH_NOT_FOUND, "The path was not found."},
    {ERROR_ACCESS_DENIED, "Access to the file was denied."},
    {ERROR_INVALID_HANDLE, "The handle is not valid or is of the wrong kind."},
    {ERROR_NOT_ENOUGH_MEMORY, "There is not enough memory for the operation."},
    {ERROR_INVALID_DATA, "The package is damaged: one of its structures holds invalid data."},
    {ERROR_WRITE_FAULT, "The package could not be written."},
    {ERROR_READ_FAULT, "The file could not be read."},
    {ERROR_HANDLE_DISK_FULL, "There is not enough space on the disk to write the package."},
    {ERROR_INVALID_PARAMETER, "An argument is not valid."},
    {ERROR_OPEN_FAILED,
     "The package could not be opened: it is missing or unreadable, cannot be written, or is "
     "open for writing in another program."},
    {ERROR_FILE_INVALID,
     "The package was changed or replaced by another program since it was opened; nothing was "
     "written."},
    {ERROR_BAD_PATHNAME, "The path names no file or folder that can be used."},
    {ERROR_CALL_NOT_IMPLEMENTED, "This operation is not supported by the package engine."},
    {ERROR_MORE_DATA, "The buffer is too small for the value; more data is available."},
    {ERROR_NO_MORE_ITEMS, "There are no more rows."},
    {ERROR_BAD_QUERY_SYNTAX,
     "The SQL statement is not valid: it is malformed or names an unknown table or column."},
    {ERROR_UNKNOWN_PROPERTY, "The summary information property is unknown."},
    {ERROR_INSTALL_PACKAGE_INVALID, "The file is not a valid installation package."},
    {ERROR_INSTALL_TRANSFORM_FAILURE,
     "The transform could not be applied: it is damaged or does not fit the database."},
    {ERROR_NO_DATA, "The databases hold the same data."},
    {ERROR_FUNCTION_FAILED, "The operation failed."},
    {ERROR_INVALID_TABLE, "The table does not exist or is not valid."},
    {ERROR_DATATYPE_MISMATCH, "A value does not match the type of its column."},
    {ERROR_UNSUPPORTED_TYPE, "The column type is not supported."},
    {ERROR_CREATE_FAILED, "The package could not be created."},
    {ERROR_INVALID_DATATYPE, "The field does not hold a value of the requested type."},
    {ERROR_SUCCESS_REBOOT_INITIATED, "The operation succeeded and a restart was started."},
    {ERROR_SUCCESS_REBOOT_REQUIRED, "The operation succeeded; a restart is needed to finish it."},
};

}  // namespace

using msi::api::GuardedOr;

extern "C" {

const char* MsiExtResultDescriptionA(UINT uResult) {
  return GuardedOr(static_cast<const char*>(nullptr), [&]() -> const char* {
    for (const Description& d : kDescriptions) {
      if (d.code == uResult) return d.text;
    }
    return nullptr;
  });
}

LPCWSTR MsiExtResultDescriptionW(UINT uResult) {
  return GuardedOr(static_cast<LPCWSTR>(nullptr), [&]() -> LPCWSTR {
    static std::mutex mutex;
    static auto* wide = new std::unordered_map<UINT, std::u16string>();
    const char* text = MsiExtResultDescriptionA(uResult);
    if (text == nullptr) return nullptr;
    std::lock_guard<std::mutex> lock(mutex);
    auto it = wide->find(uResult);
    if (it == wide->end()) it = wide->emplace(uResult, msi::Utf8ToUtf16(text)).first;
    return it->second.c_str();
  });
}

}  // extern "C"
