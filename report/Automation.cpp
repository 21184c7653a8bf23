#include "Automation.h"

#include <climits>
#include <vector>

namespace pellacor {

Handle& Handle::operator=(Handle&& other) noexcept {
  if (this != &other) {
    MsiCloseHandle(handle_);
    handle_ = other.Release();
  }
  return *this;
}

Handle::~Handle() { MsiCloseHandle(handle_); }

MSIHANDLE Handle::Release() {
  MSIHANDLE handle = handle_;
  handle_ = 0;
  return handle;
}

Failure InstallerFailure(std::string_view operation, UINT result) {
  const char* text = MsiExtResultDescriptionA(result);
  std::string description(operation);
  description += ": ";
  description += text != nullptr ? text : "installer error";
  return Failure(static_cast<int64_t>(result), std::move(description));
}

namespace {
void Check(std::string_view operation, UINT result) {
  if (result != ERROR_SUCCESS) throw InstallerFailure(operation, result);
}
}  // namespace

MSIHANDLE Record::Checked() const {
  if (handle_.IsNothing()) throw ObjectNotSetFailure();
  return handle_.get();
}

std::string Record::StringData(unsigned field) const {
  MSIHANDLE record = Checked();
  std::string text(64, '\0');
  for (;;) {
    DWORD size = static_cast<DWORD>(text.size());
    UINT result = MsiRecordGetStringA(record, field, text.data(), &size);
    if (result == ERROR_MORE_DATA) {
      text.resize(static_cast<size_t>(size) + 1);
      continue;
    }
    Check("StringData", result);
    text.resize(size);
    return text;
  }
}

int Record::IntegerData(unsigned field) const {
  return MsiRecordGetInteger(Checked(), field);
}

int Record::DataSize(unsigned field) const {
  UINT size = MsiRecordDataSize(Checked(), field);
  if (size > static_cast<UINT>(INT_MAX)) throw OverflowFailure();
  return static_cast<int>(size);
}

std::string Record::ReadStream(unsigned field, int count) const {
  MSIHANDLE record = Checked();
  std::string bytes;
  if (count <= 0) return bytes;
  bytes.resize(static_cast<size_t>(count));
  size_t done = 0;
  while (done < bytes.size()) {
    DWORD chunk = static_cast<DWORD>(bytes.size() - done);
    Check("ReadStream", MsiRecordReadStream(record, field, bytes.data() + done,
                                            &chunk));
    if (chunk == 0) break;
    done += chunk;
  }
  bytes.resize(done);
  return bytes;
}

void Record::SetStringData(unsigned field, const std::string& value) {
  Check("StringData", MsiRecordSetStringA(Checked(), field, value.c_str()));
}

MSIHANDLE View::Checked() const {
  if (handle_.IsNothing()) throw ObjectNotSetFailure();
  return handle_.get();
}

void View::Execute() { Check("Execute", MsiViewExecute(Checked(), 0)); }

void View::Execute(const Record& parameters) {
  if (parameters.IsNothing()) throw ObjectNotSetFailure();
  Check("Execute", MsiViewExecute(Checked(), parameters.handle()));
}

Record View::Fetch() {
  MSIHANDLE record = 0;
  UINT result = MsiViewFetch(Checked(), &record);
  if (result == ERROR_NO_MORE_ITEMS) return Record();
  Check("Fetch", result);
  return Record(record);
}

void View::Close() { Check("Close", MsiViewClose(Checked())); }

View Database::OpenView(const std::string& sql) {
  if (handle_.IsNothing()) throw ObjectNotSetFailure();
  MSIHANDLE view = 0;
  Check("OpenView", MsiDatabaseOpenViewA(handle_.get(), sql.c_str(), &view));
  return View(view);
}

Database Installer::OpenDatabase(const std::string& path, int open_mode) {
  if (open_mode != kReadOnly) {
    throw InstallerFailure("OpenDatabase", ERROR_INVALID_PARAMETER);
  }
  MSIHANDLE database = 0;
  Check("OpenDatabase",
        MsiOpenDatabaseA(path.c_str(), MSIDBOPEN_READONLY_A, &database));
  return Database(database);
}

Record Installer::CreateRecord(unsigned count) {
  MSIHANDLE record = MsiCreateRecord(count);
  if (record == 0) throw InstallerFailure("CreateRecord", ERROR_INVALID_PARAMETER);
  return Record(record);
}

Record ParameterRecord(std::initializer_list<std::string> values) {
  Record record = Installer().CreateRecord(static_cast<unsigned>(values.size()));
  unsigned field = 1;
  for (const std::string& value : values) record.SetStringData(field++, value);
  return record;
}

}  // namespace pellacor
