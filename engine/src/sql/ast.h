// Parsed statements of the installer's SQL dialect.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <variant>
#include <vector>

namespace msi::sql {

struct ColumnRef {
  std::string table;  // empty when unqualified
  std::string column;
};

// A value in a statement: a column, a constant, or a '?' marker.
struct Operand {
  // kNull only as the value of an UPDATE's SET.
  enum class Kind { kColumn, kInteger, kString, kParam, kNull } kind = Kind::kInteger;
  ColumnRef column;
  int32_t integer = 0;
  std::string text;
  int param = 0;  // 0-based position among the statement's markers
};

enum class CompareOp { kEq, kNe, kLt, kGt, kLe, kGe };

struct Expr {
  enum class Kind { kCompare, kIsNull, kIsNotNull, kAnd, kOr } kind = Kind::kCompare;
  CompareOp op = CompareOp::kEq;
  Operand lhs, rhs;                    // kCompare (rhs unused for null tests)
  std::unique_ptr<Expr> left, right;  // kAnd, kOr
};

// A constant in the select list: a column without a name holding the same
// value in every row.
struct SelectConstant {
  size_t place = 0;      // 0-based position in the select list
  bool integer = false;  // false: the text '', a column of nulls
  int32_t value = 0;
};

struct SelectStmt {
  bool distinct = false;
  bool star = false;
  std::vector<ColumnRef> columns;          // the column references, in order
  std::vector<SelectConstant> constants;   // the places the constants take
  std::vector<std::string> tables;
  std::unique_ptr<Expr> where;
  std::vector<ColumnRef> order_by;
};

struct InsertStmt {
  std::string table;
  std::vector<ColumnRef> columns;
  std::vector<Operand> values;
  bool temporary = false;
};

struct UpdateStmt {
  std::vector<std::string> tables;  // several: the rows of their join are changed
  std::vector<std::pair<ColumnRef, Operand>> assignments;
  std::unique_ptr<Expr> where;
};

struct DeleteStmt {
  std::string table;
  std::unique_ptr<Expr> where;
};

struct ColumnDef {
  std::string name;
  uint16_t type = 0;  // the column type word, key bit not yet set
};

struct CreateStmt {
  std::string table;
  std::vector<ColumnDef> columns;
  std::vector<std::string> primary_keys;
  bool hold = false;
};

struct DropStmt {
  std::string table;
};

struct AlterStmt {
  enum class Action { kAdd, kHold, kFree } action = Action::kAdd;
  std::string table;
  ColumnDef column;  // kAdd
  bool hold = false;
};

using Statement = std::variant<SelectStmt, InsertStmt, UpdateStmt, DeleteStmt, CreateStmt,
                               DropStmt, AlterStmt>;

struct ParsedStatement {
  Statement statement;
  int param_count = 0;
};

}  // namespace msi::sql
