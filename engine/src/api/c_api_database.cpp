// MsiOpenDatabase, MsiDatabaseOpenView and the other database functions.
#include <cstdint>
#include <filesystem>
#include <system_error>

#include "api/c_api_util.h"
#include "archive/idt_archive.h"
#include "api/database_object.h"
#include "api/last_error.h"
#include "api/record.h"
#include "api/view.h"
#include "api/guard.h"
#include "msiquery.h"

using namespace msi;
using namespace msi::api;

namespace {

// The system error of the installer's "cannot open database file" message
// is the storage's HRESULT; the one the engine can tell for sure is a file
// that is not there (STG_E_FILENOTFOUND).
std::string OpenSystemError(const Status& status, const std::string& path) {
  std::error_code ec;
  if (status.code() == ERROR_OPEN_FAILED && !std::filesystem::exists(path, ec) && !ec) {
    return std::to_string(static_cast<int32_t>(0x80030002u));
  }
  return "";
}

UINT OpenDatabase(const std::string& path, uintptr_t persist, const char* out_path,
                  MSIHANDLE* phDatabase) {
  if (phDatabase == nullptr) return ERROR_INVALID_PARAMETER;
  *phDatabase = 0;
  if (path.empty()) return ERROR_INVALID_PARAMETER;
  OpenOptions options;
  switch (persist) {
    case 0: options.mode = OpenMode::kReadOnly; break;
    case 1: options.mode = OpenMode::kTransact; break;
    case 2: options.mode = OpenMode::kDirect; break;
    case 3: options.mode = OpenMode::kCreate; break;
    case 4: options.mode = OpenMode::kCreateDirect; break;
    default: return ERROR_INVALID_PARAMETER;
  }
  if (out_path != nullptr) {
    if (*out_path == '\0') return ERROR_INVALID_PARAMETER;
    options.mode = OpenMode::kTransact;
    options.output_path = out_path;
  }
  auto db = Database::Open(path, options);
  if (!db.ok()) {
    return Remember(db.status(), {.database = path,
                                  .number = installer_error::kCannotOpenDatabase,
                                  .params = {OpenSystemError(db.status(), path)}});
  }
  const MSIHANDLE h = AddHandle(std::make_shared<DatabaseObject>(*db));
  if (h == 0) return ERROR_NOT_ENOUGH_MEMORY;
  *phDatabase = h;
  return ERROR_SUCCESS;
}

// The persist argument is a small mode number or an output path.
constexpr uintptr_t kMaxPersistMode = 4;

// MSIDBOPEN_PATCHFILE added to a mode opens a patch, which is a database
// like any other here.
uintptr_t WithoutPatchFlag(uintptr_t mode) {
  constexpr uintptr_t kPatchFile = 32;
  return mode >= kPatchFile && mode <= kPatchFile + kMaxPersistMode ? mode - kPatchFile : mode;
}

UINT OpenView(MSIHANDLE hDatabase, const std::string& sql, MSIHANDLE* phView) {
  if (phView == nullptr) return ERROR_INVALID_PARAMETER;
  *phView = 0;
  auto dbo = Find<DatabaseObject>(hDatabase);
  if (!dbo) return ERROR_INVALID_HANDLE;
  auto view = View::Open(dbo->db(), sql);
  if (!view.ok()) return Remember(view.status(), {.trailing = {sql}});
  const MSIHANDLE h = AddHandle(*view);
  if (h == 0) return ERROR_NOT_ENOUGH_MEMORY;
  *phView = h;
  return ERROR_SUCCESS;
}

UINT PrimaryKeys(MSIHANDLE hDatabase, const std::string& table, MSIHANDLE* phRecord) {
  if (phRecord == nullptr) return ERROR_INVALID_PARAMETER;
  *phRecord = 0;
  auto dbo = Find<DatabaseObject>(hDatabase);
  if (!dbo) return ERROR_INVALID_HANDLE;
  const TableSchema* schema = dbo->db()->Schema(table);
  if (schema == nullptr) return ERROR_INVALID_TABLE;
  std::vector<std::string> keys;
  for (const Column& c : schema->columns) {
    if (c.is_key()) keys.push_back(c.name);
  }
  auto rec = std::make_shared<Record>(static_cast<unsigned>(keys.size()));
  rec->SetText(0, table);
  for (size_t i = 0; i < keys.size(); ++i) rec->SetText(static_cast<unsigned>(i) + 1, keys[i]);
  *phRecord = AddHandle(rec);
  return *phRecord == 0 ? ERROR_NOT_ENOUGH_MEMORY : ERROR_SUCCESS;
}

MSICONDITION IsPersistent(MSIHANDLE hDatabase, const std::string& table) {
  auto dbo = Find<DatabaseObject>(hDatabase);
  if (!dbo) return MSICONDITION_ERROR;
  const TableSchema* schema = dbo->db()->Schema(table);
  // The installer answers NONE for its own catalog tables.
  if (schema == nullptr || Database::IsCatalogTable(table)) return MSICONDITION_NONE;
  for (const Column& c : schema->columns) {
    if (!c.temporary()) return MSICONDITION_TRUE;
  }
  return MSICONDITION_FALSE;
}

}  // namespace

extern "C" {

UINT MsiOpenDatabaseW(LPCWSTR szDatabasePath, LPCWSTR szPersist, MSIHANDLE* phDatabase) {
  return GuardedRecorded([&]() -> UINT {
    const auto mode = WithoutPatchFlag(reinterpret_cast<uintptr_t>(szPersist));
    const std::string out = mode > kMaxPersistMode ? FromWide(szPersist) : std::string();
    return OpenDatabase(FromWide(szDatabasePath), mode > kMaxPersistMode ? 0 : mode,
                        mode > kMaxPersistMode ? out.c_str() : nullptr, phDatabase);
  });
}

UINT MsiOpenDatabaseA(LPCSTR szDatabasePath, LPCSTR szPersist, MSIHANDLE* phDatabase) {
  return GuardedRecorded([&]() -> UINT {
    const auto mode = WithoutPatchFlag(reinterpret_cast<uintptr_t>(szPersist));
    return OpenDatabase(szDatabasePath ? szDatabasePath : "", mode > kMaxPersistMode ? 0 : mode,
                        mode > kMaxPersistMode ? szPersist : nullptr, phDatabase);
  });
}

UINT MsiDatabaseOpenViewW(MSIHANDLE hDatabase, LPCWSTR szQuery, MSIHANDLE* phView) {
  return GuardedRecorded([&]() -> UINT {
    if (szQuery == nullptr) return ERROR_INVALID_PARAMETER;
    return OpenView(hDatabase, FromWide(szQuery), phView);
  });
}

UINT MsiDatabaseOpenViewA(MSIHANDLE hDatabase, LPCSTR szQuery, MSIHANDLE* phView) {
  return GuardedRecorded([&]() -> UINT {
    if (szQuery == nullptr) return ERROR_INVALID_PARAMETER;
    return OpenView(hDatabase, szQuery, phView);
  });
}

UINT MsiDatabaseGetPrimaryKeysW(MSIHANDLE hDatabase, LPCWSTR szTableName, MSIHANDLE* phRecord) {
  return Guarded([&]() -> UINT {
    if (szTableName == nullptr) return ERROR_INVALID_PARAMETER;
    return PrimaryKeys(hDatabase, FromWide(szTableName), phRecord);
  });
}

UINT MsiDatabaseGetPrimaryKeysA(MSIHANDLE hDatabase, LPCSTR szTableName, MSIHANDLE* phRecord) {
  return Guarded([&]() -> UINT {
    if (szTableName == nullptr) return ERROR_INVALID_PARAMETER;
    return PrimaryKeys(hDatabase, szTableName, phRecord);
  });
}

MSICONDITION MsiDatabaseIsTablePersistentW(MSIHANDLE hDatabase, LPCWSTR szTableName) {
  return GuardedOr(MSICONDITION_ERROR, [&]() -> MSICONDITION {
    if (szTableName == nullptr) return MSICONDITION_ERROR;
    return IsPersistent(hDatabase, FromWide(szTableName));
  });
}

MSICONDITION MsiDatabaseIsTablePersistentA(MSIHANDLE hDatabase, LPCSTR szTableName) {
  return GuardedOr(MSICONDITION_ERROR, [&]() -> MSICONDITION {
    if (szTableName == nullptr) return MSICONDITION_ERROR;
    return IsPersistent(hDatabase, szTableName);
  });
}

UINT MsiDatabaseCommit(MSIHANDLE hDatabase) {
  return GuardedRecorded([&]() -> UINT {
    auto dbo = Find<DatabaseObject>(hDatabase);
    if (!dbo) return ERROR_INVALID_HANDLE;
    return Remember(dbo->db()->Commit(), {.number = installer_error::kUpdateFailed});
  });
}

UINT MsiDatabaseImportA(MSIHANDLE hDatabase, LPCSTR szFolderPath, LPCSTR szFileName) {
  return GuardedRecorded([&]() -> UINT {
    if (szFolderPath == nullptr || szFileName == nullptr) return ERROR_INVALID_PARAMETER;
    auto dbo = Find<DatabaseObject>(hDatabase);
    if (!dbo) return ERROR_INVALID_HANDLE;
    const Status st = ImportIdt(*dbo->db(), szFolderPath, szFileName);
    return Remember(st, {.number = st.code() == ERROR_BAD_PATHNAME ? installer_error::kImportOpen
                                                                   : installer_error::kImportFormat,
                         .params = {szFileName}});
  });
}

UINT MsiDatabaseImportW(MSIHANDLE hDatabase, LPCWSTR szFolderPath, LPCWSTR szFileName) {
  return GuardedRecorded([&]() -> UINT {
    if (szFolderPath == nullptr || szFileName == nullptr) return ERROR_INVALID_PARAMETER;
    return MsiDatabaseImportA(hDatabase, FromWide(szFolderPath).c_str(), FromWide(szFileName).c_str());
  });
}

UINT MsiDatabaseExportA(MSIHANDLE hDatabase, LPCSTR szTableName, LPCSTR szFolderPath,
                        LPCSTR szFileName) {
  return GuardedRecorded([&]() -> UINT {
    if (szTableName == nullptr || szFolderPath == nullptr || szFileName == nullptr) {
      return ERROR_INVALID_PARAMETER;
    }
    auto dbo = Find<DatabaseObject>(hDatabase);
    if (!dbo) return ERROR_INVALID_HANDLE;
    const Status st = ExportIdt(*dbo->db(), szTableName, szFolderPath, szFileName);
    if (st.code() == ERROR_INVALID_TABLE) {
      return Remember(st, {.number = installer_error::kNoSuchTable, .params = {szTableName}});
    }
    return Remember(st, {.number = installer_error::kExportWrite, .params = {szFileName}});
  });
}

UINT MsiDatabaseExportW(MSIHANDLE hDatabase, LPCWSTR szTableName, LPCWSTR szFolderPath,
                        LPCWSTR szFileName) {
  return GuardedRecorded([&]() -> UINT {
    if (szTableName == nullptr || szFolderPath == nullptr || szFileName == nullptr) {
      return ERROR_INVALID_PARAMETER;
    }
    return MsiDatabaseExportA(hDatabase, FromWide(szTableName).c_str(),
                              FromWide(szFolderPath).c_str(), FromWide(szFileName).c_str());
  });
}

UINT MsiCloseHandle(MSIHANDLE hAny) {
  return Guarded([&]() -> UINT {
    if (hAny == 0) return ERROR_SUCCESS;
    return CloseHandle(hAny) ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
  });
}

UINT MsiCloseAllHandles(void) {
  return GuardedOr(UINT{0}, [&]() -> UINT {
    return CloseAllHandles();
  });
}

}  // extern "C"
