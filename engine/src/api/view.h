// A view: one parsed statement on one database, and for SELECT a cursor
// over the result of its last execution.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "api/handle_table.h"
#include "api/record.h"
#include "sql/ast.h"
#include "sql/param.h"
#include "sql/select_cursor.h"
#include "sql/select_query.h"
#include "status.h"
#include "storage/database.h"
#include "validation/record_check.h"

namespace msi::api {

class View : public Object {
 public:
  static constexpr ObjectKind kKind = ObjectKind::kView;
  ObjectKind kind() const override { return kKind; }

  static Result<std::shared_ptr<View>> Open(std::shared_ptr<Database> db, std::string_view sql);

  Status Execute(const Record* params);
  // The statement as given, for the error record of a failing Execute.
  const std::string& query() const { return query_; }
  // ERROR_NO_MORE_ITEMS after the last row.
  Result<std::shared_ptr<Record>> Fetch();
  Status Close();
  Result<std::shared_ptr<Record>> ColumnInfo(bool types) const;
  // MsiViewModify (view_modify.cpp).
  Status Modify(int mode, Record& record);
  // MsiViewGetError: the last validation's error not yet handed out (null
  // when none is left), and moving past it.
  const validation::ColumnError* PendingError() const {
    return next_error_ < errors_.size() ? &errors_[next_error_] : nullptr;
  }
  void NextError() { ++next_error_; }

 private:
  View() = default;
  static Result<std::vector<sql::ParamValue>> CollectParams(const Record* params, int count);
  // For Modify: the one table of the view, and which of its columns each
  // record field stands for.
  Result<Table*> ModifyTable() const;
  std::vector<sql::ParamValue> RecordValues(const Record& record) const;
  void FillRecord(Record& record, Table& table, size_t row);
  // The row the record's key values name, or -1.
  long RowOfKey(Table& table, const std::vector<sql::ParamValue>& values) const;
  // The row a record fetched from this view came from, or -1.
  long FetchedRow(const Record& record, const Table& table) const;
  Status Validate(int mode, Record& record, Table& table);

  // Binds the SELECT again when a table's columns changed since it was
  // bound (a temporary column goes at the table's last FREE).
  Status RebindIfColumnsChanged();
  // The record field of the query's output column i: constants of the
  // select list take fields of their own.
  unsigned FieldOf(size_t i) const { return field_of_.empty() ? static_cast<unsigned>(i) + 1 : field_of_[i]; }
  unsigned FieldCount() const;

  std::shared_ptr<Database> db_;
  std::string query_;
  sql::ParsedStatement parsed_;
  std::unique_ptr<sql::SelectQuery> select_;
  std::vector<size_t> bound_widths_;  // column count of each FROM table when bound
  std::vector<unsigned> field_of_;    // empty when the select list has no constants
  struct Constant {
    unsigned field = 0;
    bool integer = false;  // false: '', a null in every row
    int32_t value = 0;
  };
  std::vector<Constant> constants_;
  std::unique_ptr<sql::SelectCursor> cursor_;  // after select_: it refers to it
  std::vector<uint32_t> pending_;  // the row being handed out, one position per table
  std::vector<validation::ColumnError> errors_;  // of the last validation
  size_t next_error_ = 0;
};

// A statement value from a record field (streams are read into memory).
Result<sql::ParamValue> FieldValue(const Field& field);

}  // namespace msi::api
