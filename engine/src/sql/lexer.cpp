#include "sql/lexer.h"

#include <algorithm>
#include <array>
#include <cctype>

namespace msi::sql {
namespace {

constexpr std::array<std::string_view, 36> kKeywords = {
    "ADD",     "ALTER",   "AND",     "BY",       "CHAR",     "CHARACTER", "CREATE",
    "DELETE",  "DISTINCT", "DROP",   "FREE",     "FROM",     "HOLD",      "INSERT",
    "INT",     "INTEGER", "INTO",    "IS",       "KEY",      "LOCALIZABLE", "LONG",
    "LONGCHAR", "NOT",    "NULL",    "OBJECT",   "OR",       "ORDER",     "PRIMARY",
    "SELECT",  "SET",     "SHORT",   "TABLE",    "TEMPORARY", "UPDATE",   "VALUES",
    "WHERE"};

// Control characters other than the blanks are name characters, as are
// bytes of UTF-8 sequences: the installer finds a table named "\x05a" or
// "a\x05" without quotes.
bool IsControlNameChar(unsigned char u) { return u < 0x20 && u != '\t' && u != '\n' && u != '\r' && u != 0; }
bool IsIdentStart(char c) {
  const auto u = static_cast<unsigned char>(c);
  return std::isalpha(u) || c == '_' || u >= 0x80 || IsControlNameChar(u);
}
// A hyphen inside a name belongs to it (`a-`).
bool IsIdentChar(char c) {
  return IsIdentStart(c) || std::isdigit(static_cast<unsigned char>(c)) || c == '-';
}

Status SyntaxError(size_t pos, const std::string& what, std::string token,
                   uint32_t number = installer_error::kUnexpectedToken) {
  return Status::Error(1615, what + " at position " + std::to_string(pos))
      .WithInstallerError(number, {std::move(token)});
}

}  // namespace

Result<std::vector<Token>> Tokenize(std::string_view sql) {
  std::vector<Token> out;
  size_t i = 0;
  while (i < sql.size()) {
    const char c = sql[i];
    if (c == ' ' || c == '\t' || c == '\n') {
      ++i;
      continue;
    }
    // The installer takes a carriage return outside quotes for a malformed
    // statement; inside `names` and 'strings' it is kept.
    if (c == '\r') return SyntaxError(i, "carriage return between tokens", "\r");
    Token t;
    t.position = i;
    if (c == '`') {
      const size_t end = sql.find('`', i + 1);
      if (end == std::string_view::npos) return SyntaxError(i, "unterminated `identifier`", std::string(sql.substr(i + 1)),
                                                          installer_error::kInvalidIdentifier);
      t.kind = TokenKind::kIdentifier;
      t.text = std::string(sql.substr(i + 1, end - i - 1));
      t.quoted = true;
      i = end + 1;
    } else if (c == '\'') {
      const size_t end = sql.find('\'', i + 1);
      if (end == std::string_view::npos) return SyntaxError(i, "unterminated string", std::string(sql.substr(i)));
      t.kind = TokenKind::kString;
      t.text = std::string(sql.substr(i + 1, end - i - 1));
      i = end + 1;
    } else if (std::isdigit(static_cast<unsigned char>(c))) {
      size_t j = i;
      while (j < sql.size() && std::isdigit(static_cast<unsigned char>(sql[j]))) ++j;
      t.kind = TokenKind::kInteger;
      t.text = std::string(sql.substr(i, j - i));
      i = j;
    } else if (IsIdentStart(c) ||
               (c == '-' && i + 1 < sql.size() && IsIdentStart(sql[i + 1]))) {
      // A name may also start with a hyphen (`-a`); before a digit it is
      // a minus sign.
      size_t j = i + 1;
      while (j < sql.size() && IsIdentChar(sql[j])) ++j;
      t.text = std::string(sql.substr(i, j - i));
      std::string upper = t.text;
      std::transform(upper.begin(), upper.end(), upper.begin(),
                     [](unsigned char ch) { return static_cast<char>(std::toupper(ch)); });
      if (std::find(kKeywords.begin(), kKeywords.end(), upper) != kKeywords.end()) {
        t.kind = TokenKind::kKeyword;
        t.text = upper;
      } else {
        t.kind = TokenKind::kIdentifier;
        // A name that lost its opening quote keeps working: c`.`b` is c.b.
        if (j < sql.size() && sql[j] == '`') ++j;
      }
      i = j;
    } else {
      t.kind = TokenKind::kSymbol;
      if ((c == '<' || c == '>') && i + 1 < sql.size() && (sql[i + 1] == '=' || (c == '<' && sql[i + 1] == '>'))) {
        t.text = std::string(sql.substr(i, 2));
        i += 2;
      } else if (std::string_view(",()*=<>?.-").find(c) != std::string_view::npos) {
        t.text = std::string(1, c);
        ++i;
      } else {
        return SyntaxError(i, std::string("unexpected character '") + c + "'", std::string(1, c));
      }
    }
    out.push_back(std::move(t));
  }
  Token end;
  end.position = sql.size();
  out.push_back(end);
  return out;
}

}  // namespace msi::sql
