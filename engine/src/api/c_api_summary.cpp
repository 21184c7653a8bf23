// MsiGetSummaryInformation and the MsiSummaryInfo* functions.
#include <sys/stat.h>
#include <unistd.h>

#include "api/c_api_util.h"
#include "api/guard.h"
#include "api/last_error.h"
#include "cfb/compound_file_reader.h"
#include "api/database_object.h"
#include "api/summary_info_object.h"
#include "msiquery.h"
#include "storage/stream_replace.h"

using namespace msi;
using namespace msi::api;

namespace {

constexpr UINT kLastPid = PID_SECURITY;

// The one type each property may be set to; VT_EMPTY for those that
// cannot be set at all (the dictionary, the thumbnail).
UINT TypeOfProperty(UINT pid) {
  switch (pid) {
    case PID_CODEPAGE:
      return VT_I2;
    case PID_TITLE: case PID_SUBJECT: case PID_AUTHOR: case PID_KEYWORDS: case PID_COMMENTS:
    case PID_TEMPLATE: case PID_LASTAUTHOR: case PID_REVNUMBER: case PID_APPNAME:
      return VT_LPSTR;
    case PID_EDITTIME: case PID_LASTPRINTED: case PID_CREATE_DTM: case PID_LASTSAVE_DTM:
      return VT_FILETIME;
    case PID_PAGECOUNT: case PID_WORDCOUNT: case PID_CHARCOUNT: case PID_SECURITY:
      return VT_I4;
    default:
      return VT_EMPTY;
  }
}

UINT StoredType(PropertyValue::Kind kind) {
  switch (kind) {
    case PropertyValue::Kind::I2: return VT_I2;
    case PropertyValue::Kind::I4: return VT_I4;
    case PropertyValue::Kind::Text: return VT_LPSTR;
    case PropertyValue::Kind::FileTime: return VT_FILETIME;
    case PropertyValue::Kind::Empty: break;
  }
  return VT_EMPTY;
}

Result<PropertySet> ReadProperties(Database& db) {
  auto where = db.FindPlainStream(kSummaryStreamName);
  if (!where) return PropertySet{};  // a new database has none yet
  auto bytes = db.ReadStream(*where);
  if (!bytes.ok()) return bytes.status();
  return DecodePropertySet(**bytes);
}

// Any compound file with the stream will do (packages, transforms,
// patches), even one whose tables are damaged.
Result<PropertySet> ReadProperties(const std::string& path) {
  auto image = cfb::FileImage::Map(path);
  if (!image.ok()) return image.status();
  auto file = cfb::CompoundFileReader::Open(*image);
  if (!file.ok()) return file.status();
  auto id = (*file)->FindChild(cfb::CompoundFileReader::kRootId, Utf8ToUtf16(kSummaryStreamName));
  if (!id || (*file)->entry(*id).type != cfb::EntryType::kStream) return PropertySet{};
  auto bytes = (*file)->ReadStream(*id);
  if (!bytes.ok()) return bytes.status();
  return DecodePropertySet(*bytes);
}

// As for opening a database to write: a file without any write permission
// bit is read-only even for the superuser; the folder takes the new file.
bool Writable(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0 || (st.st_mode & 0222) == 0) return false;
  const size_t slash = path.find_last_of('/');
  const std::string folder = slash == std::string::npos ? "." : path.substr(0, slash + 1);
  return ::access(path.c_str(), W_OK) == 0 && ::access(folder.c_str(), W_OK) == 0;
}

UINT GetSummaryInformation(MSIHANDLE hDatabase, const char* path, UINT uiUpdateCount,
                           MSIHANDLE* phSummaryInfo) {
  if (phSummaryInfo == nullptr) return ERROR_INVALID_PARAMETER;
  *phSummaryInfo = 0;
  auto object = std::make_shared<SummaryInfoObject>();
  std::shared_ptr<Database> db;
  if (hDatabase != 0) {
    auto dbo = Find<DatabaseObject>(hDatabase);
    if (!dbo) return ERROR_INVALID_HANDLE;
    db = dbo->db();
    object->db = db;
  } else {
    if (path == nullptr || *path == '\0') return ERROR_INSTALL_PACKAGE_INVALID;
    // Checked up front so that a read-only file fails here, not at persist
    // time after the caller has set everything.
    if (uiUpdateCount > 0 && !Writable(path)) return ERROR_OPEN_FAILED;
    object->path = path;
  }
  auto properties = db ? ReadProperties(*db) : ReadProperties(object->path);
  if (!properties.ok()) return properties.status().code();
  object->properties = std::move(*properties);
  object->update_count = uiUpdateCount;
  const MSIHANDLE h = AddHandle(object);
  if (h == 0) return ERROR_NOT_ENOUGH_MEMORY;
  *phSummaryInfo = h;
  return ERROR_SUCCESS;
}

// Fills the type, number and file time; `text` gets a text value.
template <typename CharT>
UINT GetProperty(MSIHANDLE hSummaryInfo, UINT pid, UINT* puiDataType, INT* piValue,
                 FILETIME* pftValue, CharT* buf, DWORD* pcch) {
  auto si = Find<SummaryInfoObject>(hSummaryInfo);
  if (!si) return ERROR_INVALID_HANDLE;
  if (pid > kLastPid) return ERROR_UNKNOWN_PROPERTY;
  auto it = si->properties.values.find(pid);
  const PropertyValue empty;
  const PropertyValue& value = it == si->properties.values.end() ? empty : it->second;
  if (puiDataType != nullptr) *puiDataType = StoredType(value.kind);
  switch (value.kind) {
    case PropertyValue::Kind::I2:
    case PropertyValue::Kind::I4:
      if (piValue != nullptr) *piValue = value.integer;
      return ERROR_SUCCESS;
    case PropertyValue::Kind::FileTime:
      if (pftValue != nullptr) {
        pftValue->dwLowDateTime = static_cast<DWORD>(value.filetime);
        pftValue->dwHighDateTime = static_cast<DWORD>(value.filetime >> 32);
      }
      return ERROR_SUCCESS;
    case PropertyValue::Kind::Text:
      if constexpr (sizeof(CharT) == 1) {
        return CopyOut(value.text, buf, pcch);
      } else {
        return CopyOut(Utf8ToUtf16(value.text), buf, pcch);
      }
    case PropertyValue::Kind::Empty:
      break;
  }
  return ERROR_SUCCESS;
}

UINT SetProperty(MSIHANDLE hSummaryInfo, UINT pid, UINT uiDataType, INT iValue,
                 const FILETIME* pftValue, const char* text) {
  auto si = Find<SummaryInfoObject>(hSummaryInfo);
  if (!si) return ERROR_INVALID_HANDLE;
  if (pid > kLastPid) return ERROR_UNKNOWN_PROPERTY;
  const UINT type = TypeOfProperty(pid);
  if (type == VT_EMPTY || type != uiDataType) return ERROR_DATATYPE_MISMATCH;
  if (type == VT_LPSTR && text == nullptr) return ERROR_INVALID_PARAMETER;
  if (type == VT_FILETIME && pftValue == nullptr) return ERROR_INVALID_PARAMETER;
  if (si->changed.count(pid) == 0 && si->changed.size() >= si->update_count) {
    return ERROR_FUNCTION_FAILED;
  }
  PropertyValue value;
  switch (type) {
    case VT_I2: value = PropertyValue::I2(static_cast<int16_t>(iValue)); break;
    case VT_I4: value = PropertyValue::I4(iValue); break;
    case VT_LPSTR: value = PropertyValue::Text(text); break;
    default:
      value = PropertyValue::FileTime(pftValue->dwLowDateTime |
                                      (static_cast<uint64_t>(pftValue->dwHighDateTime) << 32));
  }
  // Refused rather than stored with characters lost: the new text, or
  // under a new codepage every text, must fit the stream's codepage.
  PropertySet trial;
  if (pid == PID_CODEPAGE) {
    trial = si->properties;
  } else {
    auto codepage = si->properties.values.find(PID_CODEPAGE);
    if (codepage != si->properties.values.end()) trial.values.insert(*codepage);
  }
  trial.values[pid] = value;
  if (!EncodePropertySet(trial).ok()) return ERROR_INVALID_PARAMETER;
  si->properties.values[pid] = std::move(value);
  si->changed.insert(pid);
  si->unsaved = true;
  return ERROR_SUCCESS;
}

}  // namespace

extern "C" {

UINT MsiGetSummaryInformationA(MSIHANDLE hDatabase, LPCSTR szDatabasePath, UINT uiUpdateCount,
                               MSIHANDLE* phSummaryInfo) {
  return GuardedRecorded([&]() -> UINT {
    return GetSummaryInformation(hDatabase, szDatabasePath, uiUpdateCount, phSummaryInfo);
  });
}

UINT MsiGetSummaryInformationW(MSIHANDLE hDatabase, LPCWSTR szDatabasePath, UINT uiUpdateCount,
                               MSIHANDLE* phSummaryInfo) {
  return GuardedRecorded([&]() -> UINT {
    const std::string path = FromWide(szDatabasePath);
    return GetSummaryInformation(hDatabase, szDatabasePath ? path.c_str() : nullptr, uiUpdateCount,
                                 phSummaryInfo);
  });
}

UINT MsiSummaryInfoGetPropertyCount(MSIHANDLE hSummaryInfo, UINT* puiPropertyCount) {
  return Guarded([&]() -> UINT {
    auto si = Find<SummaryInfoObject>(hSummaryInfo);
    if (!si) return ERROR_INVALID_HANDLE;
    UINT count = 0;
    for (const auto& [pid, value] : si->properties.values) {
      if (pid <= kLastPid && value.kind != PropertyValue::Kind::Empty) ++count;
    }
    if (puiPropertyCount != nullptr) *puiPropertyCount = count;
    return ERROR_SUCCESS;
  });
}

UINT MsiSummaryInfoGetPropertyA(MSIHANDLE hSummaryInfo, UINT uiProperty, UINT* puiDataType,
                                INT* piValue, FILETIME* pftValue, LPSTR szValueBuf,
                                DWORD* pcchValueBuf) {
  return Guarded([&]() -> UINT {
    return GetProperty(hSummaryInfo, uiProperty, puiDataType, piValue, pftValue, szValueBuf,
                       pcchValueBuf);
  });
}

UINT MsiSummaryInfoGetPropertyW(MSIHANDLE hSummaryInfo, UINT uiProperty, UINT* puiDataType,
                                INT* piValue, FILETIME* pftValue, LPWSTR szValueBuf,
                                DWORD* pcchValueBuf) {
  return Guarded([&]() -> UINT {
    return GetProperty(hSummaryInfo, uiProperty, puiDataType, piValue, pftValue, szValueBuf,
                       pcchValueBuf);
  });
}

UINT MsiSummaryInfoSetPropertyA(MSIHANDLE hSummaryInfo, UINT uiProperty, UINT uiDataType,
                                INT iValue, FILETIME* pftValue, LPCSTR szValue) {
  return Guarded([&]() -> UINT {
    return SetProperty(hSummaryInfo, uiProperty, uiDataType, iValue, pftValue, szValue);
  });
}

UINT MsiSummaryInfoSetPropertyW(MSIHANDLE hSummaryInfo, UINT uiProperty, UINT uiDataType,
                                INT iValue, FILETIME* pftValue, LPCWSTR szValue) {
  return Guarded([&]() -> UINT {
    const std::string text = FromWide(szValue);
    return SetProperty(hSummaryInfo, uiProperty, uiDataType, iValue, pftValue,
                       szValue ? text.c_str() : nullptr);
  });
}

UINT MsiSummaryInfoPersist(MSIHANDLE hSummaryInfo) {
  return Guarded([&]() -> UINT {
    auto si = Find<SummaryInfoObject>(hSummaryInfo);
    if (!si) return ERROR_INVALID_HANDLE;
    if (si->update_count == 0) return ERROR_FUNCTION_FAILED;
    if (!si->unsaved) return ERROR_SUCCESS;
    auto bytes = EncodePropertySet(si->properties);
    if (!bytes.ok()) return bytes.status().code();
    if (si->db) {
      si->db->PutStream(kSummaryStreamName,
                        std::make_shared<const std::vector<uint8_t>>(std::move(*bytes)));
      si->unsaved = false;
      return ERROR_SUCCESS;
    }
    const Status written = ReplaceRootStreamInFile(si->path, StoredStreamName(kSummaryStreamName),
                                                   std::move(*bytes));
    if (!written.ok()) return written.code();
    si->unsaved = false;
    return ERROR_SUCCESS;
  });
}

}  // extern "C"
