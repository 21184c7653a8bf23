#include "sql/parser.h"

#include <cerrno>
#include <cstdlib>

#include "sql/lexer.h"
#include "storage/column_type.h"

namespace msi::sql {
namespace {

class Parser {
 public:
  explicit Parser(std::vector<Token> tokens) : tokens_(std::move(tokens)) {}

  Result<ParsedStatement> Run() {
    ParsedStatement out;
    Status st;
    if (IsKeyword("SELECT")) {
      SelectStmt s;
      st = ParseSelect(s);
      out.statement = std::move(s);
    } else if (IsKeyword("INSERT")) {
      InsertStmt s;
      st = ParseInsert(s);
      out.statement = std::move(s);
    } else if (IsKeyword("UPDATE")) {
      UpdateStmt s;
      st = ParseUpdate(s);
      out.statement = std::move(s);
    } else if (IsKeyword("DELETE")) {
      DeleteStmt s;
      st = ParseDelete(s);
      out.statement = std::move(s);
    } else if (IsKeyword("CREATE")) {
      CreateStmt s;
      st = ParseCreate(s);
      out.statement = std::move(s);
    } else if (IsKeyword("DROP")) {
      DropStmt s;
      Advance();
      st = ExpectKeyword("TABLE");
      if (st.ok()) st = Identifier(s.table);
      out.statement = std::move(s);
    } else if (IsKeyword("ALTER")) {
      AlterStmt s;
      st = ParseAlter(s);
      out.statement = std::move(s);
    } else {
      return Error("expected a statement");
    }
    if (!st.ok()) return st;
    if (Peek().kind != TokenKind::kEnd) return Error("unexpected text after the statement");
    out.param_count = params_;
    return out;
  }

 private:
  const Token& Peek(size_t ahead = 0) const {
    const size_t i = pos_ + ahead;
    return i < tokens_.size() ? tokens_[i] : tokens_.back();
  }
  void Advance() {
    if (pos_ + 1 < tokens_.size()) ++pos_;
  }
  bool IsKeyword(std::string_view kw, size_t ahead = 0) const {
    return Peek(ahead).kind == TokenKind::kKeyword && Peek(ahead).text == kw;
  }
  bool IsSymbol(std::string_view sym) const {
    return Peek().kind == TokenKind::kSymbol && Peek().text == sym;
  }
  Status Error(const std::string& what,
               uint32_t number = installer_error::kUnexpectedToken) const {
    return Status::Error(1615, "bad query syntax: " + what + " at position " +
                                   std::to_string(Peek().position))
        .WithInstallerError(number, {Peek().text});
  }
  Status ExpectKeyword(std::string_view kw) {
    if (!IsKeyword(kw)) return Error("expected " + std::string(kw));
    Advance();
    return Status();
  }
  Status ExpectSymbol(std::string_view sym) {
    if (!IsSymbol(sym)) return Error("expected '" + std::string(sym) + "'");
    Advance();
    return Status();
  }
  bool AcceptSymbol(std::string_view sym) {
    if (!IsSymbol(sym)) return false;
    Advance();
    return true;
  }
  Status Identifier(std::string& out) {
    if (Peek().kind != TokenKind::kIdentifier) return Error("expected a name");
    if (Peek().text.empty()) return Error("a name cannot be empty", installer_error::kInvalidIdentifier);
    out = Peek().text;
    Advance();
    return Status();
  }
  Status Column(ColumnRef& out) {
    std::string first;
    MSI_RETURN_IF_ERROR(Identifier(first));
    if (AcceptSymbol(".")) {
      out.table = first;
      return Identifier(out.column);
    }
    out.table.clear();
    out.column = first;
    return Status();
  }
  Status ColumnList(std::vector<ColumnRef>& out) {
    do {
      ColumnRef c;
      MSI_RETURN_IF_ERROR(Column(c));
      out.push_back(std::move(c));
    } while (AcceptSymbol(","));
    return Status();
  }
  Status IntegerConstant(bool negative, int32_t& out) {
    if (Peek().kind != TokenKind::kInteger) return Error("expected a number");
    errno = 0;
    const long long v = std::strtoll(Peek().text.c_str(), nullptr, 10);
    const long long value = negative ? -v : v;
    if (errno != 0 || value > INT32_MAX || value < INT32_MIN) return Error("number out of range");
    out = static_cast<int32_t>(value);
    Advance();
    return Status();
  }
  // A constant or marker (no column).
  Status Value(Operand& out) {
    if (Peek().kind == TokenKind::kString) {
      out.kind = Operand::Kind::kString;
      out.text = Peek().text;
      Advance();
      return Status();
    }
    if (AcceptSymbol("?")) {
      out.kind = Operand::Kind::kParam;
      out.param = params_++;
      return Status();
    }
    const bool negative = AcceptSymbol("-");
    out.kind = Operand::Kind::kInteger;
    return IntegerConstant(negative, out.integer);
  }
  Status ValueOrColumn(Operand& out) {
    if (Peek().kind == TokenKind::kIdentifier) {
      out.kind = Operand::Kind::kColumn;
      return Column(out.column);
    }
    return Value(out);
  }

  Status Comparison(std::unique_ptr<Expr>& out) {
    auto e = std::make_unique<Expr>();
    // The dialect wants the column first: `5 = Attributes` is malformed.
    if (Peek().kind != TokenKind::kIdentifier) return Error("expected a column");
    MSI_RETURN_IF_ERROR(ValueOrColumn(e->lhs));
    if (IsKeyword("IS")) {
      Advance();
      e->kind = Expr::Kind::kIsNull;
      if (IsKeyword("NOT")) {
        Advance();
        e->kind = Expr::Kind::kIsNotNull;
      }
      MSI_RETURN_IF_ERROR(ExpectKeyword("NULL"));
      out = std::move(e);
      return Status();
    }
    if (Peek().kind != TokenKind::kSymbol) return Error("expected a comparison");
    const std::string op = Peek().text;
    if (op == "=") e->op = CompareOp::kEq;
    else if (op == "<>") e->op = CompareOp::kNe;
    else if (op == "<") e->op = CompareOp::kLt;
    else if (op == ">") e->op = CompareOp::kGt;
    else if (op == "<=") e->op = CompareOp::kLe;
    else if (op == ">=") e->op = CompareOp::kGe;
    else return Error("expected a comparison");
    Advance();
    if (IsKeyword("NULL")) {
      // Validation statements find empty cells with `= NULL`: it means IS
      // NULL, `<> NULL` IS NOT NULL; a null has no order.
      if (e->op != CompareOp::kEq && e->op != CompareOp::kNe) {
        return Error("only = and <> compare with NULL");
      }
      Advance();
      e->kind = e->op == CompareOp::kEq ? Expr::Kind::kIsNull : Expr::Kind::kIsNotNull;
      out = std::move(e);
      return Status();
    }
    MSI_RETURN_IF_ERROR(ValueOrColumn(e->rhs));
    out = std::move(e);
    return Status();
  }
  Status Primary(std::unique_ptr<Expr>& out) {
    if (AcceptSymbol("(")) {
      // Each level costs the parser a few stack frames: the depth is
      // limited so that no statement can exhaust the stack.
      if (++depth_ > kMaxNesting) return Error("conditions nested too deeply");
      MSI_RETURN_IF_ERROR(OrExpr(out));
      --depth_;
      return ExpectSymbol(")");
    }
    return Comparison(out);
  }
  // A chain of terms joined by one operator, built as a balanced tree: the
  // operators are associative and have no side effects, and a balanced
  // tree keeps the depth (and so the stack that binding, evaluating and
  // freeing a condition need) at the log of the chain's length.
  static std::unique_ptr<Expr> Join(Expr::Kind kind, std::vector<std::unique_ptr<Expr>>& terms,
                                    size_t begin, size_t end) {
    if (end - begin == 1) return std::move(terms[begin]);
    const size_t middle = begin + (end - begin) / 2;
    auto e = std::make_unique<Expr>();
    e->kind = kind;
    e->left = Join(kind, terms, begin, middle);
    e->right = Join(kind, terms, middle, end);
    return e;
  }
  template <typename Term>
  Status Chain(std::string_view op, Expr::Kind kind, Term term, std::unique_ptr<Expr>& out) {
    std::vector<std::unique_ptr<Expr>> terms(1);
    MSI_RETURN_IF_ERROR((this->*term)(terms.back()));
    while (IsKeyword(op)) {
      Advance();
      terms.emplace_back();
      MSI_RETURN_IF_ERROR((this->*term)(terms.back()));
    }
    out = Join(kind, terms, 0, terms.size());
    return Status();
  }
  Status AndExpr(std::unique_ptr<Expr>& out) {
    return Chain("AND", Expr::Kind::kAnd, &Parser::Primary, out);
  }
  Status OrExpr(std::unique_ptr<Expr>& out) {
    return Chain("OR", Expr::Kind::kOr, &Parser::AndExpr, out);
  }
  Status Where(std::unique_ptr<Expr>& out) {
    if (!IsKeyword("WHERE")) return Status();
    Advance();
    return OrExpr(out);
  }

  Status ParseSelect(SelectStmt& s) {
    Advance();
    if (IsKeyword("DISTINCT")) {
      s.distinct = true;
      Advance();
    }
    if (AcceptSymbol("*")) {
      s.star = true;
    } else {
      // A quoted text in the select list names a column ('b' is b); the
      // empty text '' and a number are constants.
      size_t place = 0;
      do {
        ColumnRef c;
        if (Peek().kind == TokenKind::kString && Peek().text.empty()) {
          Advance();
          s.constants.push_back({place, false, 0});
        } else if (Peek().kind == TokenKind::kInteger || IsSymbol("-")) {
          SelectConstant k{place, true, 0};
          const bool negative = AcceptSymbol("-");
          MSI_RETURN_IF_ERROR(IntegerConstant(negative, k.value));
          s.constants.push_back(k);
        } else {
          if (Peek().kind == TokenKind::kString) {
            c.column = Peek().text;
            Advance();
          } else {
            MSI_RETURN_IF_ERROR(Column(c));
          }
          s.columns.push_back(std::move(c));
        }
        ++place;
      } while (AcceptSymbol(","));
    }
    MSI_RETURN_IF_ERROR(ExpectKeyword("FROM"));
    do {
      std::string t;
      MSI_RETURN_IF_ERROR(Identifier(t));
      s.tables.push_back(std::move(t));
    } while (AcceptSymbol(","));
    MSI_RETURN_IF_ERROR(Where(s.where));
    if (IsKeyword("ORDER")) {
      Advance();
      MSI_RETURN_IF_ERROR(ExpectKeyword("BY"));
      MSI_RETURN_IF_ERROR(ColumnList(s.order_by));
    }
    return Status();
  }

  Status ParseInsert(InsertStmt& s) {
    Advance();
    MSI_RETURN_IF_ERROR(ExpectKeyword("INTO"));
    MSI_RETURN_IF_ERROR(Identifier(s.table));
    MSI_RETURN_IF_ERROR(ExpectSymbol("("));
    MSI_RETURN_IF_ERROR(ColumnList(s.columns));
    MSI_RETURN_IF_ERROR(ExpectSymbol(")"));
    MSI_RETURN_IF_ERROR(ExpectKeyword("VALUES"));
    MSI_RETURN_IF_ERROR(ExpectSymbol("("));
    do {
      Operand v;
      MSI_RETURN_IF_ERROR(Value(v));
      s.values.push_back(std::move(v));
    } while (AcceptSymbol(","));
    MSI_RETURN_IF_ERROR(ExpectSymbol(")"));
    if (s.values.size() != s.columns.size()) return Error("values do not match the columns");
    if (IsKeyword("TEMPORARY")) {
      s.temporary = true;
      Advance();
    }
    return Status();
  }

  Status ParseUpdate(UpdateStmt& s) {
    Advance();
    do {
      std::string t;
      MSI_RETURN_IF_ERROR(Identifier(t));
      s.tables.push_back(std::move(t));
    } while (AcceptSymbol(","));
    MSI_RETURN_IF_ERROR(ExpectKeyword("SET"));
    do {
      ColumnRef c;
      MSI_RETURN_IF_ERROR(Column(c));
      MSI_RETURN_IF_ERROR(ExpectSymbol("="));
      Operand v;
      if (IsKeyword("NULL")) {
        Advance();
        v.kind = Operand::Kind::kNull;
      } else {
        MSI_RETURN_IF_ERROR(Value(v));
      }
      s.assignments.emplace_back(std::move(c), std::move(v));
    } while (AcceptSymbol(","));
    return Where(s.where);
  }

  Status ParseDelete(DeleteStmt& s) {
    Advance();
    MSI_RETURN_IF_ERROR(ExpectKeyword("FROM"));
    MSI_RETURN_IF_ERROR(Identifier(s.table));
    return Where(s.where);
  }

  // A column type: CHAR[(n)], CHARACTER[(n)], LONGCHAR, SHORT, INT,
  // INTEGER, LONG, OBJECT, then NOT NULL, TEMPORARY, LOCALIZABLE.
  Status ColumnType(ColumnDef& def) {
    using namespace coltype;
    uint16_t type = kValid | kNullable;
    if (IsKeyword("CHAR") || IsKeyword("CHARACTER")) {
      Advance();
      int32_t width = 0;
      if (AcceptSymbol("(")) {
        MSI_RETURN_IF_ERROR(IntegerConstant(false, width));
        MSI_RETURN_IF_ERROR(ExpectSymbol(")"));
        if (width < 0 || width > 255) return Error("string width out of range");
      }
      type |= kString | kAscii | static_cast<uint16_t>(width);
    } else if (IsKeyword("LONGCHAR")) {
      Advance();
      type |= kString | kAscii;
    } else if (IsKeyword("SHORT")) {
      Advance();
      type |= kAscii | 2;
    } else if (IsKeyword("INT") || IsKeyword("INTEGER")) {
      Advance();
      type |= kAscii | 2;
    } else if (IsKeyword("LONG")) {
      Advance();
      type |= 4;
    } else if (IsKeyword("OBJECT")) {
      Advance();
      type |= kString;
    } else {
      return Error("expected a column type");
    }
    for (;;) {
      if (IsKeyword("NOT") && IsKeyword("NULL", 1)) {
        Advance();
        Advance();
        type &= static_cast<uint16_t>(~kNullable);
      } else if (IsKeyword("TEMPORARY")) {
        Advance();
        type |= kTemporary;
      } else if (IsKeyword("LOCALIZABLE")) {
        Advance();
        type |= kLocalizable;
      } else {
        break;
      }
    }
    def.type = type;
    return Status();
  }

  Status ParseCreate(CreateStmt& s) {
    Advance();
    MSI_RETURN_IF_ERROR(ExpectKeyword("TABLE"));
    MSI_RETURN_IF_ERROR(Identifier(s.table));
    MSI_RETURN_IF_ERROR(ExpectSymbol("("));
    for (;;) {
      if (IsKeyword("PRIMARY")) break;
      ColumnDef def;
      MSI_RETURN_IF_ERROR(Identifier(def.name));
      MSI_RETURN_IF_ERROR(ColumnType(def));
      s.columns.push_back(std::move(def));
      if (IsKeyword("PRIMARY")) break;
      MSI_RETURN_IF_ERROR(ExpectSymbol(","));
    }
    MSI_RETURN_IF_ERROR(ExpectKeyword("PRIMARY"));
    MSI_RETURN_IF_ERROR(ExpectKeyword("KEY"));
    do {
      std::string k;
      MSI_RETURN_IF_ERROR(Identifier(k));
      s.primary_keys.push_back(std::move(k));
    } while (AcceptSymbol(","));
    MSI_RETURN_IF_ERROR(ExpectSymbol(")"));
    if (IsKeyword("HOLD")) {
      s.hold = true;
      Advance();
    }
    return Status();
  }

  Status ParseAlter(AlterStmt& s) {
    Advance();
    MSI_RETURN_IF_ERROR(ExpectKeyword("TABLE"));
    MSI_RETURN_IF_ERROR(Identifier(s.table));
    if (IsKeyword("HOLD")) {
      Advance();
      s.action = AlterStmt::Action::kHold;
      return Status();
    }
    if (IsKeyword("FREE")) {
      Advance();
      s.action = AlterStmt::Action::kFree;
      return Status();
    }
    MSI_RETURN_IF_ERROR(ExpectKeyword("ADD"));
    s.action = AlterStmt::Action::kAdd;
    MSI_RETURN_IF_ERROR(Identifier(s.column.name));
    MSI_RETURN_IF_ERROR(ColumnType(s.column));
    if (IsKeyword("HOLD")) {
      s.hold = true;
      Advance();
    }
    return Status();
  }

  std::vector<Token> tokens_;
  size_t pos_ = 0;
  int params_ = 0;
  int depth_ = 0;  // parentheses open around the current condition
};

}  // namespace

Result<ParsedStatement> Parse(std::string_view sql) {
  if (sql.size() > kMaxStatementBytes) {
    return Status::Error(1615, "bad query syntax: the statement is longer than " +
                                   std::to_string(kMaxStatementBytes) + " bytes");
  }
  auto tokens = Tokenize(sql);
  if (!tokens.ok()) return tokens.status();
  Parser parser(std::move(*tokens));
  return parser.Run();
}

}  // namespace msi::sql
