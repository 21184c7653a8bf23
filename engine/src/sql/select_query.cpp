#include "sql/select_query.h"

#include <algorithm>
#include <cstdint>

namespace msi::sql {
namespace {

Status UnknownColumn(const ColumnRef& c) {
  return Status::Error(1615, "unknown column " + (c.table.empty() ? "" : c.table + ".") + c.column)
      .WithInstallerError(installer_error::kUnknownColumn, {c.column});
}

}  // namespace

Result<BoundColumn> BindColumn(const ColumnRef& ref, const std::vector<Table*>& tables) {
  for (size_t t = 0; t < tables.size(); ++t) {
    const TableSchema& s = tables[t]->schema();
    if (!ref.table.empty() && ref.table != s.name) continue;
    const int c = s.Find(ref.column);
    if (c >= 0) return BoundColumn{static_cast<int>(t), c};
    if (!ref.table.empty()) break;
  }
  return UnknownColumn(ref);
}

namespace {

Result<BoundOperand> BindOperand(const Operand& op, const std::vector<Table*>& tables) {
  BoundOperand out;
  out.kind = op.kind;
  out.integer = op.integer;
  out.text = op.text;
  out.param = op.param;
  if (op.kind == Operand::Kind::kColumn) {
    auto c = BindColumn(op.column, tables);
    if (!c.ok()) return c.status();
    out.column = *c;
  }
  return out;
}

const Column& ColumnOf(const std::vector<Table*>& tables, const BoundColumn& c) {
  return tables[c.table]->schema().columns[c.column];
}

// What one side of a comparison holds for the row tuple at hand.
struct Value {
  enum class Kind { kNull, kInteger, kStringId, kText } kind = Kind::kNull;
  int32_t integer = 0;
  uint32_t id = 0;
  const std::string* text = nullptr;
};

Value Evaluate(const BoundOperand& op, const std::vector<Table*>& tables, const uint32_t* rows,
               const std::vector<ParamValue>& params) {
  Value v;
  switch (op.kind) {
    case Operand::Kind::kColumn: {
      const Column& col = ColumnOf(tables, op.column);
      const uint32_t stored = tables[op.column.table]->cell(rows[op.column.table], op.column.column);
      if (col.kind() == ValueKind::kInteger) {
        // A null number compares as what its stored 0 decodes to: the
        // smallest value of its width.
        v.kind = Value::Kind::kInteger;
        v.integer = LoadInt(stored, col.short_int());
      } else {
        v.kind = Value::Kind::kStringId;
        v.id = stored;
      }
      return v;
    }
    case Operand::Kind::kInteger:
      v.kind = Value::Kind::kInteger;
      v.integer = op.integer;
      return v;
    case Operand::Kind::kString:
      v.kind = Value::Kind::kText;
      v.text = &op.text;
      return v;
    case Operand::Kind::kNull:
      return v;
    case Operand::Kind::kParam:
      if (op.param < 0 || static_cast<size_t>(op.param) >= params.size()) return v;
      {
        const ParamValue& p = params[op.param];
        if (p.kind == ParamValue::Kind::kInteger) {
          v.kind = Value::Kind::kInteger;
          v.integer = p.integer;
        } else if (p.kind == ParamValue::Kind::kString) {
          v.kind = Value::Kind::kText;
          v.text = &p.text;
        }
      }
      return v;
  }
  return v;
}

// The string id a text constant stands for: 0 for the empty text (which
// is how null is written), a value no cell holds when the pool lacks it.
constexpr uint32_t kNoSuchString = 0xFFFFFFFFu;
uint32_t TextId(Database& db, const std::string& text) {
  if (text.empty()) return 0;
  const uint32_t id = db.strings().Find(text);
  return id == 0 ? kNoSuchString : id;
}

bool CompareIntegers(int32_t a, int32_t b, CompareOp op) {
  switch (op) {
    case CompareOp::kEq: return a == b;
    case CompareOp::kNe: return a != b;
    case CompareOp::kLt: return a < b;
    case CompareOp::kGt: return a > b;
    case CompareOp::kLe: return a <= b;
    case CompareOp::kGe: return a >= b;
  }
  return false;
}

bool Compare(Value a, Value b, CompareOp op, Database& db) {
  using K = Value::Kind;
  if (a.kind == K::kText) std::swap(a, b);
  if (a.kind == K::kStringId && (b.kind == K::kStringId || b.kind == K::kText || b.kind == K::kNull)) {
    const uint32_t other = b.kind == K::kStringId ? b.id : b.kind == K::kText ? TextId(db, *b.text) : 0;
    if (op == CompareOp::kEq) return a.id == other;
    if (op == CompareOp::kNe) return a.id != other;
    return false;  // ordering comparisons of text are refused when bound
  }
  if (a.kind == K::kInteger && b.kind == K::kInteger) return CompareIntegers(a.integer, b.integer, op);
  // A text column against a number compares the stored string id, so
  // `= 0` finds the nulls.
  if (a.kind == K::kStringId && b.kind == K::kInteger && (op == CompareOp::kEq || op == CompareOp::kNe)) {
    return (static_cast<int64_t>(a.id) == b.integer) == (op == CompareOp::kEq);
  }
  if (b.kind == K::kStringId && a.kind == K::kInteger && (op == CompareOp::kEq || op == CompareOp::kNe)) {
    return (static_cast<int64_t>(b.id) == a.integer) == (op == CompareOp::kEq);
  }
  return false;
}

}  // namespace

Status UnknownTable(const std::string& name) {
  return Status::Error(1615, "unknown table " + name)
      .WithInstallerError(installer_error::kUnknownTable, {name});
}

Result<std::unique_ptr<BoundExpr>> BindCondition(const Expr& expr,
                                                 const std::vector<Table*>& tables) {
  auto out = std::make_unique<BoundExpr>();
  out->kind = expr.kind;
  out->op = expr.op;
  if (expr.kind == Expr::Kind::kAnd || expr.kind == Expr::Kind::kOr) {
    auto l = BindCondition(*expr.left, tables);
    if (!l.ok()) return l.status();
    auto r = BindCondition(*expr.right, tables);
    if (!r.ok()) return r.status();
    out->left = std::move(*l);
    out->right = std::move(*r);
    return out;
  }
  auto lhs = BindOperand(expr.lhs, tables);
  if (!lhs.ok()) return lhs.status();
  out->lhs = std::move(*lhs);
  if (expr.kind == Expr::Kind::kCompare) {
    auto rhs = BindOperand(expr.rhs, tables);
    if (!rhs.ok()) return rhs.status();
    out->rhs = std::move(*rhs);
    // Text has no order in this dialect: only = and <> take a text column.
    if (expr.op != CompareOp::kEq && expr.op != CompareOp::kNe) {
      for (const BoundOperand* side : {&out->lhs, &out->rhs}) {
        if (side->kind == Operand::Kind::kColumn &&
            ColumnOf(tables, side->column).kind() != ValueKind::kInteger) {
          return Status::Error(1615, "text cannot be compared with <, >, <= or >=");
        }
      }
    }
  }
  return out;
}

bool EvaluateCondition(const BoundExpr* e, Database& db, const std::vector<Table*>& tables,
                       const uint32_t* rows, const std::vector<ParamValue>& params) {
  if (e == nullptr) return true;
  switch (e->kind) {
    case Expr::Kind::kAnd:
      return EvaluateCondition(e->left.get(), db, tables, rows, params) &&
             EvaluateCondition(e->right.get(), db, tables, rows, params);
    case Expr::Kind::kOr:
      return EvaluateCondition(e->left.get(), db, tables, rows, params) ||
             EvaluateCondition(e->right.get(), db, tables, rows, params);
    case Expr::Kind::kIsNull:
    case Expr::Kind::kIsNotNull: {
      const uint32_t stored =
          tables[e->lhs.column.table]->cell(rows[e->lhs.column.table], e->lhs.column.column);
      return (stored == 0) == (e->kind == Expr::Kind::kIsNull);
    }
    case Expr::Kind::kCompare:
      return Compare(Evaluate(e->lhs, tables, rows, params), Evaluate(e->rhs, tables, rows, params),
                     e->op, db);
  }
  return false;
}

Status SelectQuery::AddTables(Database& db, const std::vector<std::string>& names) {
  for (const std::string& name : names) {
    if (db.Schema(name) == nullptr) return UnknownTable(name);
    auto t = db.GetTable(name);
    if (!t.ok()) return t.status();
    tables_.push_back(*t);
  }
  return Status();
}

Result<std::unique_ptr<SelectQuery>> SelectQuery::PrepareJoin(Database& db,
                                                             const std::vector<std::string>& tables,
                                                             const Expr* where) {
  std::unique_ptr<SelectQuery> q(new SelectQuery());
  MSI_RETURN_IF_ERROR(q->AddTables(db, tables));
  if (where != nullptr) {
    auto w = BindCondition(*where, q->tables_);
    if (!w.ok()) return w.status();
    q->where_ = std::move(*w);
  }
  return q;
}

Result<std::unique_ptr<SelectQuery>> SelectQuery::Prepare(Database& db, const SelectStmt& stmt) {
  std::unique_ptr<SelectQuery> q(new SelectQuery());
  MSI_RETURN_IF_ERROR(q->AddTables(db, stmt.tables));
  if (stmt.star) {
    for (size_t t = 0; t < q->tables_.size(); ++t) {
      for (size_t c = 0; c < q->tables_[t]->column_count(); ++c) {
        q->output_.push_back({static_cast<int>(t), static_cast<int>(c)});
      }
    }
  } else {
    for (const ColumnRef& ref : stmt.columns) {
      auto c = BindColumn(ref, q->tables_);
      if (!c.ok()) return c.status();
      q->output_.push_back(*c);
    }
  }
  for (const ColumnRef& ref : stmt.order_by) {
    auto c = BindColumn(ref, q->tables_);
    if (!c.ok()) return c.status();
    q->order_.push_back(*c);
  }
  if (stmt.where) {
    auto w = BindCondition(*stmt.where, q->tables_);
    if (!w.ok()) return w.status();
    q->where_ = std::move(*w);
  }
  q->distinct_ = stmt.distinct;
  return q;
}

namespace {

void Conjuncts(const BoundExpr* e, std::vector<const BoundExpr*>& out) {
  if (e == nullptr) return;
  if (e->kind == Expr::Kind::kAnd) {
    Conjuncts(e->left.get(), out);
    Conjuncts(e->right.get(), out);
  } else {
    out.push_back(e);
  }
}

bool SameStorage(const Column& a, const Column& b) {
  if (a.kind() != b.kind()) return false;
  if (a.kind() == ValueKind::kInteger) return a.short_int() == b.short_int();
  return a.kind() == ValueKind::kString;
}

// Picks a lookup for table `t` from the equalities of the WHERE clause.
// Tables are bound from the last of FROM to the first, so a join partner
// must have a higher index.
AccessPath ChoosePath(int t, const std::vector<const BoundExpr*>& conjuncts,
                      const std::vector<Table*>& tables, Database& db,
                      const std::vector<ParamValue>& params) {
  AccessPath best;
  for (const BoundExpr* e : conjuncts) {
    if (e->kind != Expr::Kind::kCompare || e->op != CompareOp::kEq) continue;
    for (int side = 0; side < 2; ++side) {
      const BoundOperand& mine = side == 0 ? e->lhs : e->rhs;
      const BoundOperand& other = side == 0 ? e->rhs : e->lhs;
      if (mine.kind != Operand::Kind::kColumn || mine.column.table != t) continue;
      const Column& col = ColumnOf(tables, mine.column);
      if (other.kind == Operand::Kind::kColumn) {
        if (other.column.table > t && SameStorage(col, ColumnOf(tables, other.column)) &&
            best.kind == AccessPath::Kind::kScan) {
          best.kind = AccessPath::Kind::kJoin;
          best.column = mine.column.column;
          best.other = other.column;
        }
        continue;
      }
      // A constant or marker.
      ParamValue v;
      if (other.kind == Operand::Kind::kInteger) {
        v.kind = ParamValue::Kind::kInteger;
        v.integer = other.integer;
      } else if (other.kind == Operand::Kind::kString) {
        v.kind = ParamValue::Kind::kString;
        v.text = other.text;
      } else if (other.kind == Operand::Kind::kParam && other.param >= 0 &&
                 static_cast<size_t>(other.param) < params.size()) {
        v = params[other.param];
      }
      if (col.kind() == ValueKind::kInteger && v.kind == ParamValue::Kind::kInteger) {
        best.kind = AccessPath::Kind::kConstant;
        best.column = mine.column.column;
        best.stored = StoreInt(v.integer, col.short_int());
        if (col.short_int() && (v.integer < -32768 || v.integer > 32767)) best.stored = 0xFFFFFFFFu;
        return best;
      }
      if (col.kind() == ValueKind::kString && v.kind == ParamValue::Kind::kString) {
        best.kind = AccessPath::Kind::kConstant;
        best.column = mine.column.column;
        best.stored = TextId(db, v.text);
        return best;
      }
    }
  }
  return best;
}

}  // namespace

std::vector<AccessPath> SelectQuery::PlanAccess(Database& db,
                                                const std::vector<ParamValue>& params) const {
  std::vector<const BoundExpr*> conjuncts;
  Conjuncts(where_.get(), conjuncts);
  std::vector<AccessPath> paths(tables_.size());
  for (size_t t = 0; t < tables_.size(); ++t) {
    paths[t] = ChoosePath(static_cast<int>(t), conjuncts, tables_, db, params);
  }
  return paths;
}

}  // namespace msi::sql
