// The statements that change a database: INSERT, UPDATE, DELETE, CREATE
// TABLE, DROP TABLE, ALTER TABLE. Names are checked when the view opens
// (ERROR_BAD_QUERY_SYNTAX), values when it executes.
#pragma once

#include <memory>
#include <vector>

#include "sql/ast.h"
#include "sql/param.h"
#include "status.h"
#include "storage/database.h"

namespace msi::sql {

// Checks the statement against the database as it is when the view opens.
Status CheckChangeStatement(Database& db, const Statement& statement);
Status ExecuteChangeStatement(Database& db, const Statement& statement,
                              const std::vector<ParamValue>& params);

}  // namespace msi::sql
