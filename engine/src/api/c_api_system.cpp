// The functions that need no database: formatting a record, a file's
// version and hash, whether a file is a package; and a database's state.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "api/c_api_util.h"
#include "api/database_object.h"
#include "api/guard.h"
#include "api/record.h"
#include "api/record_format.h"
#include "fileinfo/file_version.h"
#include "fileinfo/md5.h"
#include "msiquery.h"

using namespace msi;
using namespace msi::api;

namespace {

template <typename CharT>
UINT FormatRecord(MSIHANDLE hInstall, MSIHANDLE hRecord, CharT* buf, DWORD* pcch) {
  // There are no install sessions here: any such handle is none of ours.
  if (hInstall != 0) return ERROR_INVALID_HANDLE;
  auto record = Find<Record>(hRecord);
  if (!record) return ERROR_INVALID_HANDLE;
  const std::string text = FormatRecordWithoutSession(*record);
  if constexpr (sizeof(CharT) == 1) {
    return CopyOut(text, buf, pcch);
  } else {
    return CopyOut(Utf8ToUtf16(text), buf, pcch);
  }
}

// Either buffer may be left out (null with a null count); both answers are
// measured even when the first does not fit.
template <typename CharT>
UINT FileVersion(const char* path, CharT* version, DWORD* pcch_version, CharT* lang, DWORD* pcch_lang) {
  if (path == nullptr || (version != nullptr && pcch_version == nullptr) ||
      (lang != nullptr && pcch_lang == nullptr)) {
    return ERROR_INVALID_PARAMETER;
  }
  auto info = FileVersionOfFile(path);
  if (!info.ok()) return info.status().code();
  auto put = [](const std::string& text, CharT* buf, DWORD* pcch) -> UINT {
    if (pcch == nullptr) return ERROR_SUCCESS;
    if constexpr (sizeof(CharT) == 1) {
      return CopyOut(text, buf, pcch);
    } else {
      return CopyOut(Utf8ToUtf16(text), buf, pcch);
    }
  };
  const UINT a = put(info->VersionText(), version, pcch_version);
  const UINT b = put(info->LanguageText(), lang, pcch_lang);
  return a != ERROR_SUCCESS ? a : b;
}

UINT FileHash(const char* path, DWORD options, MSIFILEHASHINFO* hash) {
  if (path == nullptr || hash == nullptr || options != 0 ||
      hash->dwFileHashInfoSize != sizeof(MSIFILEHASHINFO)) {
    return ERROR_INVALID_PARAMETER;
  }
  if (*path == '\0') return ERROR_PATH_NOT_FOUND;
  // Non-blocking, so that a FIFO in the path cannot stall the caller.
  const int fd = ::open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    if (errno == ENOENT) return ERROR_FILE_NOT_FOUND;
    if (errno == ENOTDIR) return ERROR_PATH_NOT_FOUND;
    return ERROR_ACCESS_DENIED;
  }
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    return ERROR_ACCESS_DENIED;
  }
  Md5 md5;
  uint8_t chunk[64 * 1024];
  uint64_t total = 0;
  for (;;) {
    const ssize_t got = ::read(fd, chunk, sizeof chunk);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) {
      ::close(fd);
      return ERROR_READ_FAULT;
    }
    if (got == 0) break;
    md5.Update(chunk, static_cast<size_t>(got));
    total += static_cast<uint64_t>(got);
  }
  ::close(fd);
  const auto digest = md5.Finish();
  for (int i = 0; i < 4; ++i) {
    // An empty file has no hash: the installer gives zeros.
    hash->dwData[i] = total == 0 ? 0
                                 : static_cast<ULONG>(digest[i * 4]) | (static_cast<ULONG>(digest[i * 4 + 1]) << 8) |
                                       (static_cast<ULONG>(digest[i * 4 + 2]) << 16) |
                                       (static_cast<ULONG>(digest[i * 4 + 3]) << 24);
  }
  return ERROR_SUCCESS;
}

UINT VerifyPackage(const char* path) {
  if (path == nullptr) return ERROR_INVALID_PARAMETER;
  if (*path == '\0') return ERROR_INSTALL_PACKAGE_INVALID;
  auto db = Database::Open(path, OpenOptions{});
  return db.ok() ? ERROR_SUCCESS : ERROR_INSTALL_PACKAGE_INVALID;
}

}  // namespace

extern "C" {

UINT MsiFormatRecordA(MSIHANDLE hInstall, MSIHANDLE hRecord, LPSTR szResultBuf, DWORD* pcchResultBuf) {
  return Guarded([&]() -> UINT { return FormatRecord(hInstall, hRecord, szResultBuf, pcchResultBuf); });
}

UINT MsiFormatRecordW(MSIHANDLE hInstall, MSIHANDLE hRecord, LPWSTR szResultBuf, DWORD* pcchResultBuf) {
  return Guarded([&]() -> UINT { return FormatRecord(hInstall, hRecord, szResultBuf, pcchResultBuf); });
}

UINT MsiGetFileVersionA(LPCSTR szFilePath, LPSTR lpVersionBuf, DWORD* pcchVersionBuf, LPSTR lpLangBuf,
                        DWORD* pcchLangBuf) {
  return Guarded([&]() -> UINT {
    return FileVersion(szFilePath, lpVersionBuf, pcchVersionBuf, lpLangBuf, pcchLangBuf);
  });
}

UINT MsiGetFileVersionW(LPCWSTR szFilePath, LPWSTR lpVersionBuf, DWORD* pcchVersionBuf, LPWSTR lpLangBuf,
                        DWORD* pcchLangBuf) {
  return Guarded([&]() -> UINT {
    const std::string path = FromWide(szFilePath);
    return FileVersion(szFilePath ? path.c_str() : nullptr, lpVersionBuf, pcchVersionBuf, lpLangBuf,
                       pcchLangBuf);
  });
}

UINT MsiGetFileHashA(LPCSTR szFilePath, DWORD dwOptions, PMSIFILEHASHINFO pHash) {
  return Guarded([&]() -> UINT { return FileHash(szFilePath, dwOptions, pHash); });
}

UINT MsiGetFileHashW(LPCWSTR szFilePath, DWORD dwOptions, PMSIFILEHASHINFO pHash) {
  return Guarded([&]() -> UINT {
    const std::string path = FromWide(szFilePath);
    return FileHash(szFilePath ? path.c_str() : nullptr, dwOptions, pHash);
  });
}

UINT MsiVerifyPackageA(LPCSTR szPackagePath) {
  return Guarded([&]() -> UINT { return VerifyPackage(szPackagePath); });
}

UINT MsiVerifyPackageW(LPCWSTR szPackagePath) {
  return Guarded([&]() -> UINT {
    const std::string path = FromWide(szPackagePath);
    return VerifyPackage(szPackagePath ? path.c_str() : nullptr);
  });
}

MSIDBSTATE MsiGetDatabaseState(MSIHANDLE hDatabase) {
  return GuardedOr(MSIDBSTATE_ERROR, [&]() -> MSIDBSTATE {
    auto dbo = Find<DatabaseObject>(hDatabase);
    if (!dbo) return MSIDBSTATE_ERROR;
    return dbo->db()->read_only() ? MSIDBSTATE_READ : MSIDBSTATE_WRITE;
  });
}

}  // extern "C"
