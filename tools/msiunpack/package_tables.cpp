#include "package_tables.h"

#include <algorithm>
#include <functional>

#include "summary_info.h"

namespace msiunpack {
namespace {

class Handle {
 public:
  Handle() = default;
  ~Handle() { MsiCloseHandle(h_); }
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  MSIHANDLE* out() { return &h_; }
  MSIHANDLE get() const { return h_; }

 private:
  MSIHANDLE h_ = 0;
};

Failure EngineFailure(UINT code, const std::string& doing) {
  return Failure{doing + ": " + DescribeResult(code)};
}

std::string Text(MSIHANDLE record, UINT field) {
  DWORD length = 0;
  char probe[1] = {0};
  if (MsiRecordGetStringA(record, field, probe, &length) != ERROR_MORE_DATA) return {};
  std::string text(length + 1, '\0');
  DWORD size = length + 1;
  if (MsiRecordGetStringA(record, field, text.data(), &size) != ERROR_SUCCESS) return {};
  text.resize(size);
  return text;
}

// Runs a SELECT and hands each row to `take`. A missing table is no rows:
// merge modules have no Media table, validation databases no File table.
Status ForEachRow(MSIHANDLE db, const char* table, const std::string& sql,
                  MSIHANDLE params, const std::function<void(MSIHANDLE)>& take) {
  // The catalog tables (_Streams, ...) always exist, though the installer
  // answers NONE for them.
  if (table[0] != '_' && MsiDatabaseIsTablePersistentA(db, table) == MSICONDITION_NONE) return Ok();
  Handle view;
  UINT r = MsiDatabaseOpenViewA(db, sql.c_str(), view.out());
  if (r == ERROR_SUCCESS) r = MsiViewExecute(view.get(), params);
  if (r != ERROR_SUCCESS) return EngineFailure(r, std::string("reading the ") + table + " table");
  for (;;) {
    Handle row;
    r = MsiViewFetch(view.get(), row.out());
    if (r == ERROR_NO_MORE_ITEMS) return Ok();
    if (r != ERROR_SUCCESS) return EngineFailure(r, std::string("reading the ") + table + " table");
    take(row.get());
  }
}

int IntegerOrZero(MSIHANDLE record, UINT field) {
  const int value = MsiRecordGetInteger(record, field);
  return value == MSI_NULL_INTEGER ? 0 : value;
}

constexpr const char* kSummaryStream = "\005SummaryInformation";

}  // namespace

std::string DescribeResult(UINT code) {
  const char* text = MsiExtResultDescriptionA(code);
  return "error " + std::to_string(code) + ": " + (text ? text : "unknown error");
}

Outcome<PackageDatabase> PackageDatabase::Open(const std::string& path) {
  MSIHANDLE handle = 0;
  const UINT r = MsiOpenDatabaseA(path.c_str(), MSIDBOPEN_READONLY_A, &handle);
  if (r != ERROR_SUCCESS) return EngineFailure(r, path);
  return PackageDatabase(handle);
}

Outcome<PackageTables> PackageDatabase::ReadTables() const {
  PackageTables t;
  Status s = ForEachRow(handle_, "Directory",
                        "SELECT `Directory`, `Directory_Parent`, `DefaultDir` FROM `Directory`", 0,
                        [&](MSIHANDLE row) {
                          DirectoryRow d{Text(row, 1), std::nullopt, Text(row, 3)};
                          if (!MsiRecordIsNull(row, 2)) d.parent = Text(row, 2);
                          t.directories.push_back(std::move(d));
                        });
  if (s.ok())
    s = ForEachRow(handle_, "Component", "SELECT `Component`, `Directory_` FROM `Component`", 0,
                   [&](MSIHANDLE row) { t.components.push_back({Text(row, 1), Text(row, 2)}); });
  if (s.ok())
    s = ForEachRow(handle_, "File",
                   "SELECT `File`, `Component_`, `FileName`, `FileSize`, `Attributes`, "
                   "`Sequence` FROM `File`",
                   0, [&](MSIHANDLE row) {
                     t.files.push_back({Text(row, 1), Text(row, 2), Text(row, 3),
                                        IntegerOrZero(row, 4), IntegerOrZero(row, 5),
                                        IntegerOrZero(row, 6)});
                   });
  if (s.ok())
    s = ForEachRow(handle_, "Media", "SELECT `DiskId`, `Cabinet` FROM `Media` ORDER BY `DiskId`", 0,
                   [&](MSIHANDLE row) { t.media.push_back({IntegerOrZero(row, 1), Text(row, 2)}); });
  if (!s.ok()) return s.failure();
  auto summary = ReadStream(kSummaryStream);
  if (summary.ok()) t.word_count = SummaryWordCount(summary.value()).value_or(0);
  return t;
}

bool PackageDatabase::HasStream(const std::string& name) const {
  bool found = false;
  Handle params;
  *params.out() = MsiCreateRecord(1);
  MsiRecordSetStringA(params.get(), 1, name.c_str());
  const Status s = ForEachRow(handle_, "_Streams",
                              "SELECT `Name` FROM `_Streams` WHERE `Name` = ?", params.get(),
                              [&](MSIHANDLE) { found = true; });
  return s.ok() && found;
}

Outcome<PackageStream> PackageDatabase::OpenStream(const std::string& name) const {
  Handle params, view;
  *params.out() = MsiCreateRecord(1);
  MsiRecordSetStringA(params.get(), 1, name.c_str());
  const std::string doing = "reading stream " + name;
  UINT r = MsiDatabaseOpenViewA(handle_, "SELECT `Data` FROM `_Streams` WHERE `Name` = ?", view.out());
  if (r == ERROR_SUCCESS) r = MsiViewExecute(view.get(), params.get());
  MSIHANDLE row = 0;
  if (r == ERROR_SUCCESS) r = MsiViewFetch(view.get(), &row);
  if (r == ERROR_NO_MORE_ITEMS) return Failure{doing + ": the package has no such stream"};
  if (r != ERROR_SUCCESS) return EngineFailure(r, doing);
  return PackageStream(row, MsiRecordDataSize(row, 1));
}

Outcome<std::vector<unsigned char>> PackageDatabase::ReadStream(const std::string& name) const {
  auto stream = OpenStream(name);
  if (!stream.ok()) return stream.failure();
  std::vector<unsigned char> bytes(static_cast<size_t>(stream.value().size()));
  if (stream.value().Read(0, bytes.data(), bytes.size()) != static_cast<long>(bytes.size()))
    return Failure{"reading stream " + name + ": the stream ends early"};
  return bytes;
}

long PackageStream::Read(uint64_t offset, void* out, size_t n) const {
  size_t filled = 0;
  while (filled < n) {
    DWORD chunk = static_cast<DWORD>(std::min<size_t>(n - filled, 1u << 20));
    if (MsiExtRecordReadStreamAt(record_, 1, offset + filled, static_cast<char*>(out) + filled, &chunk) !=
        ERROR_SUCCESS)
      return -1;
    if (chunk == 0) break;
    filled += chunk;
  }
  return static_cast<long>(filled);
}

}  // namespace msiunpack
