// Splits a statement into tokens. Keywords are recognised without regard
// to case; identifiers keep theirs.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "status.h"

namespace msi::sql {

enum class TokenKind {
  kIdentifier,  // plain or `quoted`
  kKeyword,     // text upper-cased
  kInteger,
  kString,      // contents without the quotes
  kSymbol,      // one of , ( ) * = < > <= >= <> ? . -
  kEnd,
};

struct Token {
  TokenKind kind = TokenKind::kEnd;
  std::string text;
  bool quoted = false;  // identifier written in backquotes
  size_t position = 0;
};

Result<std::vector<Token>> Tokenize(std::string_view sql);

}  // namespace msi::sql
