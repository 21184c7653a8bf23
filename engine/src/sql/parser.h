// Parses one statement of the installer's SQL dialect. Any malformed
// statement gives ERROR_BAD_QUERY_SYNTAX.
#pragma once

#include <string_view>

#include "sql/ast.h"
#include "status.h"

namespace msi::sql {

Result<ParsedStatement> Parse(std::string_view sql);

}  // namespace msi::sql
