// A recursive-descent reader of the condition grammar, from the loosest
// operator to the tightest:
//
//   expression := eqv { Imp eqv }       eqv := xor { Eqv xor }
//   xor := or { Xor or }                or := and { Or and }
//   and := factor { And factor }        factor := { Not } term
//   term := "(" expression ")" | value [ comparison value ]
//   value := [%$?&!] name | "text" | [-]digits
//
// The lexer runs one token ahead of the parser, so the first fault in the
// text, whether of spelling or of grammar, is the one reported.
#include "condition/condition_syntax.h"

#include <array>
#include <string>
#include <utility>

namespace msi::condition {
namespace {

enum class Kind { kEnd, kValue, kCompare, kNot, kAnd, kOr, kXor, kEqv, kImp, kOpen, kClose, kBad };

struct Token {
  Kind kind = Kind::kEnd;
  size_t begin = 0;
  size_t end = 0;
  std::string fault;  // kBad: why the text here is no token
};

// Deeper nesting than any real condition needs is refused, so that hostile
// text cannot exhaust the stack.
constexpr int kMaxDepth = 200;

// Binary operators, loosest first; Factor() reads the operands of And.
constexpr std::array<Kind, 5> kLevels = {Kind::kImp, Kind::kEqv, Kind::kXor, Kind::kOr,
                                         Kind::kAnd};

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsNameStart(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_'; }
bool IsNameChar(char c) { return IsNameStart(c) || IsDigit(c) || c == '.'; }

bool SameWord(std::string_view word, std::string_view keyword) {
  if (word.size() != keyword.size()) return false;
  for (size_t i = 0; i < word.size(); ++i) {
    char c = word[i];
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    if (c != keyword[i]) return false;
  }
  return true;
}

class Parser {
 public:
  explicit Parser(std::string_view text) : text_(text) { Advance(); }

  SyntaxCheck Run() {
    if (next_.kind == Kind::kEnd) return {};
    if (!Binary(0)) return result_;
    if (next_.kind == Kind::kClose) Unexpected("unbalanced parenthesis: ')' without '('");
    else if (next_.kind != Kind::kEnd) Unexpected("text after the end of the condition");
    return result_;
  }

 private:
  // Lexes the token at pos_ into next_, remembering the one it replaces.
  void Advance() {
    prev_ = next_;
    size_t p = pos_;
    while (p < text_.size() && IsSpace(text_[p])) ++p;
    next_ = Lex(p);
    pos_ = next_.end;
  }

  Token Lex(size_t p) const {
    const auto token = [p](Kind kind, size_t end) { return Token{kind, p, end, {}}; };
    const auto bad = [p](std::string why) { return Token{Kind::kBad, p, p, std::move(why)}; };
    if (p >= text_.size()) return token(Kind::kEnd, p);
    const char c = text_[p];
    if (c == '"') {
      const size_t close = text_.find('"', p + 1);
      if (close == std::string_view::npos) return bad("unterminated string");
      return token(Kind::kValue, close + 1);
    }
    if (IsDigit(c) || c == '-') {
      size_t e = p + 1;
      while (e < text_.size() && IsDigit(text_[e])) ++e;
      if (e == p + 1 && c == '-') return bad("expected digits after '-'");
      return token(Kind::kValue, e);
    }
    if (IsNameStart(c)) {
      const size_t e = NameEnd(p);
      const std::string_view word = text_.substr(p, e - p);
      static constexpr std::pair<std::string_view, Kind> kKeywords[] = {
          {"NOT", Kind::kNot}, {"AND", Kind::kAnd}, {"OR", Kind::kOr},
          {"XOR", Kind::kXor}, {"EQV", Kind::kEqv}, {"IMP", Kind::kImp}};
      for (const auto& [keyword, kind] : kKeywords) {
        if (SameWord(word, keyword)) return token(kind, e);
      }
      return token(Kind::kValue, e);
    }
    if (c == '%' || c == '$' || c == '?' || c == '&' || c == '!') {
      if (c == '!' && p + 1 < text_.size() && text_[p + 1] == '=') {
        return bad("'!=' is no operator here; 'not equal' is '<>'");
      }
      if (p + 1 < text_.size() && IsNameStart(text_[p + 1])) return token(Kind::kValue, NameEnd(p + 1));
      if (c == '%') return bad("expected an environment variable name after '%'");
      if (c == '$' || c == '?') return bad("expected a component name after '$' or '?'");
      return bad("expected a feature name after '&' or '!'");
    }
    if (c == '(') return token(Kind::kOpen, p + 1);
    if (c == ')') return token(Kind::kClose, p + 1);
    // The case-insensitive mark belongs to the operator: no space between.
    const size_t op = c == '~' ? p + 1 : p;
    const size_t len = OperatorLength(op);
    if (len > 0) return token(Kind::kCompare, op + len);
    if (c == '~') return bad("'~' must be followed directly by a comparison operator");
    const auto u = static_cast<unsigned char>(c);
    if (u < 0x20 || u == 0x7f) return bad("unexpected control character");
    // Quote the whole character when it is well-formed UTF-8.
    const size_t want = u < 0x80 ? 1 : u >= 0xF0 ? 4 : u >= 0xE0 ? 3 : u >= 0xC2 ? 2 : 0;
    size_t e = p + 1;
    while (e < text_.size() && (static_cast<unsigned char>(text_[e]) & 0xC0) == 0x80) ++e;
    if (want != e - p || u > 0xF4) return bad("unexpected character");
    return bad("unexpected character '" + std::string(text_.substr(p, e - p)) + "'");
  }

  size_t NameEnd(size_t p) const {
    while (p < text_.size() && IsNameChar(text_[p])) ++p;
    return p;
  }

  // = <> < <= << > >= >> ><; 0 when no operator starts at p.
  size_t OperatorLength(size_t p) const {
    if (p >= text_.size()) return 0;
    const char c = text_[p];
    if (c == '=') return 1;
    if (c != '<' && c != '>') return 0;
    const char d = p + 1 < text_.size() ? text_[p + 1] : '\0';
    return d == '=' || d == '<' || d == '>' ? 2 : 1;
  }

  bool Binary(size_t level) {
    if (level == kLevels.size()) return Factor();
    if (!Binary(level + 1)) return false;
    while (next_.kind == kLevels[level]) {
      Advance();
      if (!Binary(level + 1)) return false;
    }
    return true;
  }

  bool Factor() {
    while (next_.kind == Kind::kNot) Advance();
    if (next_.kind != Kind::kOpen) return Comparison();
    if (++depth_ > kMaxDepth) return Failed(next_.begin, "parentheses nested too deeply");
    const size_t open = next_.begin;
    Advance();
    if (!Binary(0)) return false;
    --depth_;
    if (next_.kind == Kind::kEnd) {
      return Failed(next_.begin, "unbalanced parenthesis: '(' at offset " + std::to_string(open) +
                                     " is not closed");
    }
    if (next_.kind != Kind::kClose) return Unexpected("expected an operator or ')'");
    Advance();
    if (next_.kind == Kind::kCompare) {
      return Failed(next_.begin, "a comparison takes values, not a parenthesized expression");
    }
    return true;
  }

  bool Comparison() {
    if (!Value()) return false;
    if (next_.kind != Kind::kCompare) return true;
    Advance();
    if (!Value()) return false;
    if (next_.kind == Kind::kCompare) return Failed(next_.begin, "comparisons cannot be chained");
    return true;
  }

  bool Value() {
    if (next_.kind == Kind::kValue) {
      Advance();
      return true;
    }
    if (prev_.end == 0) return Unexpected("expected a value");
    const std::string_view after = text_.substr(prev_.begin, prev_.end - prev_.begin);
    return Unexpected("expected a value after '" + std::string(after) + "'");
  }

  // Fails at the next token: for its own fault when it is no token at all.
  bool Unexpected(std::string message) {
    return Failed(next_.begin, next_.kind == Kind::kBad ? next_.fault : std::move(message));
  }

  bool Failed(size_t offset, std::string message) {
    result_ = {false, offset, std::move(message)};
    return false;
  }

  std::string_view text_;
  size_t pos_ = 0;
  Token prev_, next_;
  int depth_ = 0;
  SyntaxCheck result_;
};

}  // namespace

SyntaxCheck CheckSyntax(std::string_view utf8) { return Parser(utf8).Run(); }

}  // namespace msi::condition
