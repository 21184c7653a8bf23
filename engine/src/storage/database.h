// A package database: the compound file, its string pool, the catalog of
// tables (_Tables, _Columns) and the tables themselves, decoded when a
// statement first needs them. The virtual tables _Tables, _Columns,
// _Streams and _Storages are served from the same interface.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "cfb/compound_file_reader.h"
#include "status.h"
#include "storage/string_pool.h"
#include "storage/table.h"

namespace msi {

// A stream's bytes, shared between the database and records that hold it.
using StreamBytes = std::shared_ptr<const std::vector<uint8_t>>;

class Database {
 public:
  static Result<std::shared_ptr<Database>> Open(const std::string& path);

  StringPool& strings() { return *strings_; }
  const std::string& path() const { return path_; }

  // Names from _Tables, in stored order.
  const std::vector<std::string>& table_names() const { return table_names_; }
  // Includes the virtual tables.
  const TableSchema* Schema(const std::string& name) const;
  Result<Table*> GetTable(const std::string& name);

  // The stream behind a binary cell (table + "." + key values), or the
  // named stream of _Streams; nullopt when there is none.
  std::optional<uint32_t> StreamEntryForCell(const Table& table, size_t row, size_t col);
  uint64_t StreamSize(uint32_t entry) const { return cfb_->StreamSize(entry); }
  Result<StreamBytes> ReadStream(uint32_t entry) const;

  // Key values of a row as text, as they appear in binary stream names.
  std::string KeyText(const Table& table, size_t row);

 private:
  Database() = default;
  Status LoadCatalog();
  Result<std::vector<uint8_t>> ReadTableStream(const std::string& table, bool* present) const;
  std::unique_ptr<Table> BuildStreamsTable(bool storages);

  std::string path_;
  std::shared_ptr<const cfb::CompoundFileReader> cfb_;
  std::unique_ptr<StringPool> strings_;
  unsigned ref_width_ = 2;
  std::vector<std::string> table_names_;
  std::map<std::string, TableSchema> schemas_;
  std::map<std::string, std::unique_ptr<Table>> tables_;
};

// Fixed layouts of the tables that describe the others.
const TableSchema& TablesSchema();
const TableSchema& ColumnsSchema();
const TableSchema& StreamsSchema();
const TableSchema& StoragesSchema();

}  // namespace msi
