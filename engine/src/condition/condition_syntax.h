// The installer's conditional statement syntax, checked without evaluating:
// used by validation (the Condition category) and `msisql --check-condition`.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace msi::condition {

struct SyntaxCheck {
  bool ok = true;
  size_t offset = 0;    // where the text stops parsing, in UTF-8 bytes
  std::string message;  // why, for people; empty when ok
};

// An empty text is a valid condition (it is always true).
SyntaxCheck CheckSyntax(std::string_view utf8);

}  // namespace msi::condition
