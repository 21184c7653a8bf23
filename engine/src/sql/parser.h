// Parses one statement of the installer's SQL dialect. Any malformed
// statement gives ERROR_BAD_QUERY_SYNTAX.
#pragma once

#include <cstddef>
#include <string_view>

#include "sql/ast.h"
#include "status.h"

namespace msi::sql {

// Limits that keep any statement text from exhausting the stack or memory;
// beyond them the statement is malformed (ERROR_BAD_QUERY_SYNTAX), as
// libmsi's parser answers when its own stack runs out. Real statements stay
// far below both: a WHERE clause of a few levels, a few kilobytes of text.
// Chains of AND or OR are not limited apart from the text: they become
// balanced trees, so their depth grows with the log of their length.
constexpr size_t kMaxStatementBytes = 1 << 20;  // 1 MiB of UTF-8
constexpr int kMaxNesting = 200;                // parentheses in a condition

Result<ParsedStatement> Parse(std::string_view sql);

}  // namespace msi::sql
