// A transform as stored: a compound-file storage with its own string pool,
// one record stream per changed table and the streams of binary cells it
// sets (see docs/transform-format.md). Reading checks every structure:
// damage is ERROR_INSTALL_TRANSFORM_FAILURE, never a read past the data.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "cfb/compound_file_reader.h"
#include "status.h"
#include "storage/string_pool.h"
#include "storage/table.h"
#include "transform/cell_value.h"

namespace msi {

inline constexpr uint32_t kTransformFailure = 1624;  // ERROR_INSTALL_TRANSFORM_FAILURE

// Root class of transforms, and of the transform storages inside patches.
const cfb::Clsid& TransformClsid();

// One record of a table's stream. Cells are per column of the layout it
// was decoded with; nullopt where the record does not carry the column.
struct TransformRecord {
  enum class Op { kInsert, kUpdate, kDelete };
  Op op = Op::kInsert;
  std::vector<std::optional<CellValue>> cells;
};

class TransformFile {
 public:
  // `storage` is the file's root or one of its sub-storages.
  static Result<std::shared_ptr<TransformFile>> Open(
      std::shared_ptr<const cfb::CompoundFileReader> file, uint32_t storage);
  static Result<std::shared_ptr<TransformFile>> OpenPath(const std::string& path);

  int codepage() const { return strings_->codepage(); }
  // Tables with a record stream, in stored order; _Tables and _Columns
  // are not among them.
  const std::vector<std::string>& tables() const { return tables_; }
  bool has_table_records() const { return has_tables_stream_; }
  bool has_column_records() const { return has_columns_stream_; }

  // The records of one table's stream read with `layout`; the table's
  // streams in the transform supply its binary cells.
  Result<std::vector<TransformRecord>> Records(const std::string& table,
                                               const TableSchema& layout);

 private:
  TransformFile() = default;
  Result<std::vector<uint8_t>> TableStream(const std::string& table) const;
  Result<CellValue> ReadCell(const Column& column, const uint8_t* p, unsigned ref_width);
  Result<StreamBytes> CellStream(const std::string& name) const;

  std::shared_ptr<const cfb::CompoundFileReader> file_;
  uint32_t storage_ = 0;
  std::unique_ptr<StringPool> strings_;
  unsigned ref_width_ = 2;
  std::vector<std::string> tables_;
  bool has_tables_stream_ = false;
  bool has_columns_stream_ = false;
};

}  // namespace msi
