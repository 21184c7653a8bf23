// MsiRecord* functions.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>

#include "api/c_api_util.h"
#include "api/record.h"
#include "api/guard.h"
#include "api/last_error.h"
#include "msiquery.h"

using namespace msi;
using namespace msi::api;

namespace {

constexpr unsigned kMaxFields = 65535;

// The field as text, or ERROR_INVALID_DATATYPE for a stream.
UINT FieldText(MSIHANDLE hRecord, UINT iField, std::string* out) {
  auto rec = Find<Record>(hRecord);
  if (!rec) return ERROR_INVALID_HANDLE;
  out->clear();
  if (!rec->Has(iField)) return ERROR_SUCCESS;  // beyond the count reads as null
  const Field& f = rec->at(iField);
  switch (f.kind) {
    case Field::Kind::kNull: break;
    case Field::Kind::kInteger: *out = std::to_string(f.integer); break;
    case Field::Kind::kString: *out = f.text; break;
    case Field::Kind::kStream: return ERROR_INVALID_DATATYPE;
  }
  return ERROR_SUCCESS;
}

UINT SetStreamBytes(MSIHANDLE hRecord, UINT iField, std::vector<uint8_t> bytes) {
  auto rec = Find<Record>(hRecord);
  if (!rec) return ERROR_INVALID_HANDLE;
  if (!rec->Has(iField) || iField == 0) return ERROR_INVALID_PARAMETER;
  auto src = std::make_shared<StreamSource>();
  src->size = bytes.size();
  src->bytes = std::make_shared<const std::vector<uint8_t>>(std::move(bytes));
  rec->SetStream(iField, std::move(src));
  return ERROR_SUCCESS;
}

UINT SetStreamFromFile(MSIHANDLE hRecord, UINT iField, const std::string& path) {
  if (!Find<Record>(hRecord)) return ERROR_INVALID_HANDLE;
  if (path.empty()) return ERROR_INVALID_PARAMETER;
  FILE* f = std::fopen(path.c_str(), "rb");
  if (f == nullptr) return errno == EACCES ? ERROR_ACCESS_DENIED : ERROR_FILE_NOT_FOUND;
  std::vector<uint8_t> bytes;
  uint8_t buf[65536];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) bytes.insert(bytes.end(), buf, buf + n);
  const bool failed = std::ferror(f) != 0;
  std::fclose(f);
  if (failed) return ERROR_OPEN_FAILED;
  return SetStreamBytes(hRecord, iField, std::move(bytes));
}

// Reads a stream field from `offset`, or from the field's read position
// (moving it on) when there is none. A null buffer asks how many bytes
// remain.
UINT ReadStreamField(MSIHANDLE hRecord, UINT iField, std::optional<uint64_t> offset, char* buffer, DWORD* size) {
  if (size == nullptr) return ERROR_INVALID_PARAMETER;
  auto rec = Find<Record>(hRecord);
  if (!rec) return ERROR_INVALID_HANDLE;
  if (!rec->Has(iField)) return ERROR_INVALID_PARAMETER;
  Field& f = rec->at(iField);
  if (f.kind == Field::Kind::kNull) {
    // The installer's answer for a field without a stream (a storage's
    // Data included): nothing to read, and the buffer is left alone.
    *size = 0;
    return ERROR_INVALID_DATA;
  }
  if (f.kind != Field::Kind::kStream) return ERROR_INVALID_DATATYPE;
  const uint64_t from = offset.value_or(f.read_position);
  if (buffer == nullptr) {
    *size = static_cast<DWORD>(f.stream->size > from ? f.stream->size - from : 0);
    return ERROR_SUCCESS;
  }
  auto n = f.stream->ReadAt(from, reinterpret_cast<uint8_t*>(buffer), *size);
  if (!n.ok()) return n.status().code();
  if (!offset) f.read_position += *n;
  *size = static_cast<DWORD>(*n);
  return ERROR_SUCCESS;
}

}  // namespace

extern "C" {

MSIHANDLE MsiCreateRecord(UINT cParams) {
  return GuardedOr(MSIHANDLE{0}, [&]() -> MSIHANDLE {
    if (cParams > kMaxFields) return 0;
    return AddHandle(std::make_shared<Record>(cParams));
  });
}

UINT MsiRecordGetFieldCount(MSIHANDLE hRecord) {
  return GuardedOr(static_cast<UINT>(-1), [&]() -> UINT {
    auto rec = Find<Record>(hRecord);
    if (!rec) return static_cast<UINT>(-1);
    return rec->count();
  });
}

UINT MsiRecordGetStringW(MSIHANDLE hRecord, UINT iField, LPWSTR szValueBuf, DWORD* pcchValueBuf) {
  return Guarded([&]() -> UINT {
    std::string text;
    const UINT r = FieldText(hRecord, iField, &text);
    if (r != ERROR_SUCCESS) return r;
    return CopyOut(Utf8ToUtf16(text), szValueBuf, pcchValueBuf);
  });
}

UINT MsiRecordGetStringA(MSIHANDLE hRecord, UINT iField, LPSTR szValueBuf, DWORD* pcchValueBuf) {
  return Guarded([&]() -> UINT {
    std::string text;
    const UINT r = FieldText(hRecord, iField, &text);
    if (r != ERROR_SUCCESS) return r;
    return CopyOut(text, szValueBuf, pcchValueBuf);
  });
}

int MsiRecordGetInteger(MSIHANDLE hRecord, UINT iField) {
  return GuardedOr(MSI_NULL_INTEGER, [&]() -> int {
    auto rec = Find<Record>(hRecord);
    if (!rec || !rec->Has(iField)) return MSI_NULL_INTEGER;
    const Field& f = rec->at(iField);
    if (f.kind == Field::Kind::kInteger) return f.integer;
    if (f.kind == Field::Kind::kString) {
      // Text that is a whole decimal number converts, as the installer's does.
      const char* s = f.text.c_str();
      char* end = nullptr;
      errno = 0;
      const long long v = std::strtoll(s, &end, 10);
      if (end != s && *end == '\0' && errno == 0 && v >= INT32_MIN && v <= INT32_MAX &&
          f.text.find_first_of(" \t+") == std::string::npos) {
        return static_cast<int>(v);
      }
    }
    return MSI_NULL_INTEGER;
  });
}

UINT MsiRecordSetStringW(MSIHANDLE hRecord, UINT iField, LPCWSTR szValue) {
  return Guarded([&]() -> UINT {
    auto rec = Find<Record>(hRecord);
    if (!rec) return ERROR_INVALID_HANDLE;
    if (!rec->Has(iField)) return ERROR_INVALID_PARAMETER;
    rec->SetText(iField, FromWide(szValue));
    return ERROR_SUCCESS;
  });
}

UINT MsiRecordSetStringA(MSIHANDLE hRecord, UINT iField, LPCSTR szValue) {
  return Guarded([&]() -> UINT {
    auto rec = Find<Record>(hRecord);
    if (!rec) return ERROR_INVALID_HANDLE;
    if (!rec->Has(iField)) return ERROR_INVALID_PARAMETER;
    rec->SetText(iField, szValue ? std::string(szValue) : std::string());
    return ERROR_SUCCESS;
  });
}

UINT MsiRecordSetInteger(MSIHANDLE hRecord, UINT iField, int iValue) {
  return Guarded([&]() -> UINT {
    auto rec = Find<Record>(hRecord);
    if (!rec) return ERROR_INVALID_HANDLE;
    if (!rec->Has(iField)) return ERROR_INVALID_PARAMETER;
    if (iValue == MSI_NULL_INTEGER) rec->SetNull(iField);
    else rec->SetInteger(iField, iValue);
    return ERROR_SUCCESS;
  });
}

UINT MsiRecordSetStreamW(MSIHANDLE hRecord, UINT iField, LPCWSTR szFilePath) {
  return GuardedRecorded([&]() -> UINT {
    return SetStreamFromFile(hRecord, iField, FromWide(szFilePath));
  });
}

UINT MsiRecordSetStreamA(MSIHANDLE hRecord, UINT iField, LPCSTR szFilePath) {
  return GuardedRecorded([&]() -> UINT {
    return SetStreamFromFile(hRecord, iField, szFilePath ? szFilePath : "");
  });
}

UINT MsiExtRecordSetStreamData(MSIHANDLE hRecord, UINT iField, const void* pData, DWORD cbData) {
  return Guarded([&]() -> UINT {
    if (pData == nullptr && cbData != 0) return ERROR_INVALID_PARAMETER;
    const auto* p = static_cast<const uint8_t*>(pData);
    return SetStreamBytes(hRecord, iField, std::vector<uint8_t>(p, p + cbData));
  });
}

BOOL MsiRecordIsNull(MSIHANDLE hRecord, UINT iField) {
  return GuardedOr(BOOL{1}, [&]() -> BOOL {
    auto rec = Find<Record>(hRecord);
    if (!rec || !rec->Has(iField)) return 1;
    return rec->at(iField).kind == Field::Kind::kNull ? 1 : 0;
  });
}

UINT MsiRecordDataSize(MSIHANDLE hRecord, UINT iField) {
  return GuardedOr(UINT{0}, [&]() -> UINT {
    auto rec = Find<Record>(hRecord);
    if (!rec || !rec->Has(iField)) return 0;
    const Field& f = rec->at(iField);
    switch (f.kind) {
      case Field::Kind::kNull: return 0;
      case Field::Kind::kInteger: return sizeof(int);
      case Field::Kind::kString: return static_cast<UINT>(Utf8ToUtf16(f.text).size());
      case Field::Kind::kStream: return static_cast<UINT>(f.stream->size);
    }
    return 0;
  });
}

UINT MsiRecordReadStream(MSIHANDLE hRecord, UINT iField, char* szDataBuf, DWORD* pcbDataBuf) {
  return Guarded([&]() -> UINT { return ReadStreamField(hRecord, iField, std::nullopt, szDataBuf, pcbDataBuf); });
}

UINT MsiExtRecordReadStreamAt(MSIHANDLE hRecord, UINT iField, unsigned long long ullOffset, char* szDataBuf,
                              DWORD* pcbDataBuf) {
  return Guarded([&]() -> UINT { return ReadStreamField(hRecord, iField, ullOffset, szDataBuf, pcbDataBuf); });
}

UINT MsiRecordClearData(MSIHANDLE hRecord) {
  return Guarded([&]() -> UINT {
    auto rec = Find<Record>(hRecord);
    if (!rec) return ERROR_INVALID_HANDLE;
    rec->ClearAll();
    return ERROR_SUCCESS;
  });
}

}  // extern "C"
