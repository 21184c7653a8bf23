#include "package.h"

#include <algorithm>

namespace msivalidate {
namespace {

class Handle {
 public:
  Handle() = default;
  explicit Handle(MSIHANDLE h) : h_(h) {}
  ~Handle() {
    if (h_) MsiCloseHandle(h_);
  }
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  MSIHANDLE* out() { return &h_; }
  MSIHANDLE get() const { return h_; }

 private:
  MSIHANDLE h_ = 0;
};

UINT GetText(MSIHANDLE record, UINT field, std::string* text) {
  char small[256];
  DWORD size = sizeof small;
  UINT r = MsiRecordGetStringA(record, field, small, &size);
  if (r == ERROR_SUCCESS) {
    text->assign(small, size);
    return r;
  }
  if (r != ERROR_MORE_DATA) return r;
  text->assign(size + 1, '\0');
  DWORD big = size + 1;
  r = MsiRecordGetStringA(record, field, text->data(), &big);
  text->resize(r == ERROR_SUCCESS ? big : 0);
  return r;
}

// Names or types of a view's columns.
UINT ColumnInfo(MSIHANDLE view, MSICOLINFO which, std::vector<std::string>* out) {
  Handle info;
  UINT r = MsiViewGetColumnInfo(view, which, info.out());
  if (r != ERROR_SUCCESS) return r;
  const UINT count = MsiRecordGetFieldCount(info.get());
  out->resize(count);
  for (UINT i = 0; i < count; ++i)
    if ((r = GetText(info.get(), i + 1, &(*out)[i])) != ERROR_SUCCESS) return r;
  return ERROR_SUCCESS;
}

std::string Quote(const std::string& name) {
  std::string q = "`";
  for (char c : name)
    if (c != '`') q += c;
  return q + "`";
}

}  // namespace

std::string DescribeResult(UINT code) {
  const char* text = MsiExtResultDescriptionA(code);
  return "error " + std::to_string(code) + ": " + (text ? text : "unknown error");
}

int Table::Column(std::string_view column) const {
  for (size_t i = 0; i < columns.size(); ++i)
    if (columns[i] == column) return static_cast<int>(i);
  return -1;
}

std::string Table::Text(const Row& row, std::string_view column) const {
  const int c = Column(column);
  if (c < 0) return {};
  const Value& v = row[static_cast<size_t>(c)];
  if (v.kind == Value::Integer) return std::to_string(v.integer);
  return v.text;
}

std::optional<int> Table::Integer(const Row& row, std::string_view column) const {
  const int c = Column(column);
  if (c < 0 || row[static_cast<size_t>(c)].kind != Value::Integer) return std::nullopt;
  return row[static_cast<size_t>(c)].integer;
}

bool Table::IsNull(const Row& row, std::string_view column) const {
  const int c = Column(column);
  return c < 0 || row[static_cast<size_t>(c)].IsNull();
}

std::vector<std::string> Table::Keys(const Row& row) const {
  std::vector<std::string> keys;
  for (size_t i = 0; i < key_count && i < row.size(); ++i)
    keys.push_back(row[i].kind == Value::Integer ? std::to_string(row[i].integer) : row[i].text);
  return keys;
}

const Row* Table::Find(std::string_view key) const {
  if (!index_) {
    index_ = std::make_unique<std::map<std::string, size_t, std::less<>>>();
    for (size_t i = 0; i < rows.size(); ++i) {
      const auto keys = Keys(rows[i]);
      if (!keys.empty()) index_->emplace(keys.front(), i);
    }
  }
  auto it = index_->find(key);
  return it == index_->end() ? nullptr : &rows[it->second];
}

std::unique_ptr<Package> Package::Open(const std::string& path, UINT* error) {
  MSIHANDLE db = 0;
  *error = MsiOpenDatabaseA(path.c_str(), MSIDBOPEN_READONLY_A, &db);
  if (*error != ERROR_SUCCESS) return nullptr;
  return std::unique_ptr<Package>(new Package(db, path));
}

Package::~Package() { MsiCloseHandle(db_); }

// A product keeps a ModuleSignature row for each module merged into it;
// only a module lacks the Feature table.
bool Package::IsMergeModule() { return HasTable("ModuleSignature") && !HasTable("Feature"); }

const std::vector<std::string>& Package::TableNames() {
  if (!names_) {
    names_.emplace();
    Handle view;
    if (MsiDatabaseOpenViewA(db_, "SELECT `Name` FROM `_Tables`", view.out()) == ERROR_SUCCESS &&
        MsiViewExecute(view.get(), 0) == ERROR_SUCCESS) {
      for (;;) {
        Handle row;
        if (MsiViewFetch(view.get(), row.out()) != ERROR_SUCCESS) break;
        std::string name;
        if (GetText(row.get(), 1, &name) == ERROR_SUCCESS) names_->push_back(std::move(name));
      }
    }
    std::sort(names_->begin(), names_->end());
  }
  return *names_;
}

bool Package::HasTable(std::string_view name) {
  const auto& names = TableNames();
  return std::binary_search(names.begin(), names.end(), name);
}

TableRead Package::Read(const std::string& name) {
  if (auto it = tables_.find(name); it != tables_.end()) return {it->second.get(), ERROR_SUCCESS};
  if (auto it = failed_.find(name); it != failed_.end()) return {nullptr, it->second};
  if (!HasTable(name)) return {};
  auto table = std::make_unique<Table>();
  const UINT r = Load(name, table.get());
  if (r != ERROR_SUCCESS) {
    failed_.emplace(name, r);
    return {nullptr, r};
  }
  const Table* t = table.get();
  tables_.emplace(name, std::move(table));
  return {t, ERROR_SUCCESS};
}

UINT Package::Load(const std::string& name, Table* t) {
  t->name = name;
  Handle keys;
  UINT r = MsiDatabaseGetPrimaryKeysA(db_, name.c_str(), keys.out());
  if (r != ERROR_SUCCESS) return r;
  t->key_count = MsiRecordGetFieldCount(keys.get());
  Handle view;
  r = MsiDatabaseOpenViewA(db_, ("SELECT * FROM " + Quote(name)).c_str(), view.out());
  if (r == ERROR_SUCCESS) r = MsiViewExecute(view.get(), 0);
  if (r == ERROR_SUCCESS) r = ColumnInfo(view.get(), MSICOLINFO_NAMES, &t->columns);
  if (r == ERROR_SUCCESS) r = ColumnInfo(view.get(), MSICOLINFO_TYPES, &t->types);
  if (r != ERROR_SUCCESS) return r;
  if (t->types.size() != t->columns.size()) return ERROR_FUNCTION_FAILED;
  const size_t n = t->columns.size();
  t->key_count = std::min(t->key_count, n);
  std::vector<char> kind(n);
  for (size_t i = 0; i < n; ++i) {
    const char c = t->types[i].empty() ? 's' : static_cast<char>(t->types[i][0] | 0x20);
    kind[i] = c;
  }
  for (;;) {
    Handle record;
    r = MsiViewFetch(view.get(), record.out());
    if (r == ERROR_NO_MORE_ITEMS) break;
    if (r != ERROR_SUCCESS) return r;
    Row row(n);
    for (size_t i = 0; i < n; ++i) {
      const UINT field = static_cast<UINT>(i + 1);
      if (MsiRecordIsNull(record.get(), field)) continue;
      Value& v = row[i];
      if (kind[i] == 'i') {
        v.kind = Value::Integer;
        v.integer = MsiRecordGetInteger(record.get(), field);
      } else {
        v.kind = Value::Text;
        if (kind[i] != 'v' && (r = GetText(record.get(), field, &v.text)) != ERROR_SUCCESS)
          return r;
      }
    }
    t->rows.push_back(std::move(row));
  }
  return ERROR_SUCCESS;
}

}  // namespace msivalidate
