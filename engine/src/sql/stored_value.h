// Turning values of statements and records into the stored form of a
// column, with the installer's checks.
#pragma once

#include <cstdint>

#include "sql/param.h"
#include "status.h"
#include "storage/database.h"

namespace msi::sql {

// The stored value of `v` for `column`: string ids gain a reference
// (`persistent` or not). A stream for a binary column is returned through
// *stream and stored as the marker 1. Errors: ERROR_DATATYPE_MISMATCH for
// a value of the wrong kind, ERROR_FUNCTION_FAILED for a null in a column
// that does not take nulls.
Result<uint32_t> ToStored(Database& db, const Column& column, const ParamValue& v,
                          bool persistent, StreamBytes* stream);

// The value a stored cell holds, as a statement value.
ParamValue FromStored(Database& db, const Table& table, size_t row, size_t col);

}  // namespace msi::sql
