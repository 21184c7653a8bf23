// A package opened read-only, its tables read once and kept in memory so
// that some fifty evaluators can walk and cross-reference them cheaply.
// Everything goes through the installer's C API.
#pragma once

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "msiquery.h"

namespace msivalidate {

// A cell: null, an integer or a text. Streams read as non-null texts
// holding nothing; no evaluator looks inside them.
struct Value {
  enum Kind : unsigned char { Null, Integer, Text };
  Kind kind = Null;
  int integer = 0;
  std::string text;

  bool IsNull() const { return kind == Null; }
};

using Row = std::vector<Value>;

class Table {
 public:
  std::string name;
  std::vector<std::string> columns;  // names, in column order
  std::vector<std::string> types;    // the installer's type strings: "s72", "I2", "V0"
  size_t key_count = 0;              // the first key_count columns are the primary key
  std::vector<Row> rows;

  // Index of a column, or -1 when the table has no such column.
  int Column(std::string_view column) const;
  bool Has(std::string_view column) const { return Column(column) >= 0; }

  // A cell as text (integers in decimal; null and absent columns as "").
  std::string Text(const Row& row, std::string_view column) const;
  // A cell as integer; nullopt for null, text or absent column.
  std::optional<int> Integer(const Row& row, std::string_view column) const;
  bool IsNull(const Row& row, std::string_view column) const;

  // The row's primary key values as texts, in key order.
  std::vector<std::string> Keys(const Row& row) const;
  // The row whose first key column holds `key` (tables keyed by one column).
  const Row* Find(std::string_view key) const;

 private:
  mutable std::unique_ptr<std::map<std::string, size_t, std::less<>>> index_;
};

// Result of reading a table: the table, absent (no such table: not an
// error), or a failure with the installer's result code.
struct TableRead {
  const Table* table = nullptr;
  UINT error = ERROR_SUCCESS;
};

class Package {
 public:
  // Opens `path` read-only; on failure the installer's result code.
  static std::unique_ptr<Package> Open(const std::string& path, UINT* error);
  ~Package();
  Package(const Package&) = delete;
  Package& operator=(const Package&) = delete;

  MSIHANDLE handle() const { return db_; }
  const std::string& path() const { return path_; }
  // A merge module: a ModuleSignature table and no Feature table.
  bool IsMergeModule();

  // The names of the package's tables (from _Tables), sorted.
  const std::vector<std::string>& TableNames();
  bool HasTable(std::string_view name);
  // Reads a table once; later calls give the same table.
  TableRead Read(const std::string& name);

 private:
  Package(MSIHANDLE db, std::string path) : db_(db), path_(std::move(path)) {}
  UINT Load(const std::string& name, Table* table);

  MSIHANDLE db_;
  std::string path_;
  std::optional<std::vector<std::string>> names_;
  std::map<std::string, std::unique_ptr<Table>, std::less<>> tables_;
  std::map<std::string, UINT, std::less<>> failed_;
};

// "error 1627: Function failed during execution." for messages.
std::string DescribeResult(UINT code);

}  // namespace msivalidate
