// SELECT: binding names to tables and columns, then producing the rows in
// the installer's order. Joins use key lookups on the equality conditions
// instead of scanning whole tables for every outer row.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "sql/ast.h"
#include "sql/param.h"
#include "status.h"
#include "storage/database.h"

namespace msi::sql {

struct BoundColumn {
  int table = 0;   // index into the FROM list
  int column = 0;  // index into that table's columns
};

struct BoundOperand {
  Operand::Kind kind = Operand::Kind::kInteger;
  BoundColumn column;
  int32_t integer = 0;
  std::string text;
  int param = 0;
};

// A condition with its columns resolved.
struct BoundExpr {
  Expr::Kind kind = Expr::Kind::kCompare;
  CompareOp op = CompareOp::kEq;
  BoundOperand lhs, rhs;
  std::unique_ptr<BoundExpr> left, right;
};

class SelectCursor;

// How the rows of one FROM table are found for the tables already bound.
struct AccessPath {
  enum class Kind { kScan, kConstant, kJoin } kind = Kind::kScan;
  int column = 0;
  uint32_t stored = 0;  // kConstant
  BoundColumn other;    // kJoin: a column of a table bound earlier
};

class SelectQuery {
 public:
  // ERROR_BAD_QUERY_SYNTAX for unknown tables or columns.
  static Result<std::unique_ptr<SelectQuery>> Prepare(Database& db, const SelectStmt& stmt);
  // The join of `tables` that `where` (may be null) selects, with no
  // result columns: what an UPDATE of several tables walks.
  static Result<std::unique_ptr<SelectQuery>> PrepareJoin(Database& db,
                                                          const std::vector<std::string>& tables,
                                                          const Expr* where);

  // Runs the query (select_cursor.cpp): a cursor over the result, each row
  // one row position per FROM table.
  Result<std::unique_ptr<SelectCursor>> Start(Database& db, std::vector<ParamValue> params) const;
  // The lookup of each FROM table for these parameters.
  std::vector<AccessPath> PlanAccess(Database& db, const std::vector<ParamValue>& params) const;

  size_t table_count() const { return tables_.size(); }
  Table* table(size_t i) const { return tables_[i]; }
  const std::vector<BoundColumn>& output() const { return output_; }
  const Column& OutputColumn(size_t i) const {
    return tables_[output_[i].table]->schema().columns[output_[i].column];
  }
  int param_count() const { return param_count_; }
  const std::vector<Table*>& tables() const { return tables_; }
  const std::vector<BoundColumn>& order() const { return order_; }
  bool distinct() const { return distinct_; }
  const BoundExpr* where() const { return where_.get(); }

 private:
  SelectQuery() = default;
  Status AddTables(Database& db, const std::vector<std::string>& names);
  std::vector<Table*> tables_;
  std::vector<BoundColumn> output_;
  std::vector<BoundColumn> order_;
  std::unique_ptr<BoundExpr> where_;
  bool distinct_ = false;
  int param_count_ = 0;
};

// A statement that names a table the database lacks.
Status UnknownTable(const std::string& name);

// Resolves a column name against the FROM tables; an unqualified name
// belongs to the first table that has it. ERROR_BAD_QUERY_SYNTAX when none.
Result<BoundColumn> BindColumn(const ColumnRef& ref, const std::vector<Table*>& tables);
// Binds a condition over the FROM tables (UPDATE and DELETE use it too).
Result<std::unique_ptr<BoundExpr>> BindCondition(const Expr& expr,
                                                 const std::vector<Table*>& tables);
// True when the row tuple satisfies the condition (a null condition holds).
bool EvaluateCondition(const BoundExpr* expr, Database& db, const std::vector<Table*>& tables,
                       const uint32_t* rows, const std::vector<ParamValue>& params);

}  // namespace msi::sql
