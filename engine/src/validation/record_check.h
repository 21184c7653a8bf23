// Checking a record against the package's _Validation table, for the
// validation modes of MsiViewModify. Reads only.
#pragma once

#include <string>
#include <vector>

#include "sql/param.h"
#include "status.h"
#include "storage/database.h"

namespace msi::validation {

struct ColumnError {
  int code = 0;  // an MSIDBERROR
  std::string column;
};

enum class Mode {
  kUpdate,  // MSIMODIFY_VALIDATE: the row `own_row` as it would become
  kNew,     // MSIMODIFY_VALIDATE_NEW
  kFields,  // MSIMODIFY_VALIDATE_FIELD: the columns in `checked` only
  kDelete,  // MSIMODIFY_VALIDATE_DELETE: rows referring to `own_row`'s key
};

struct Request {
  Mode mode = Mode::kNew;
  // One value per column of the table.
  std::vector<sql::ParamValue> values;
  // kFields: which columns to check (the others are left alone).
  std::vector<bool> checked;
  // The row the record stands for, or -1 (a new row).
  long own_row = -1;
  // The row holding the record's key, or -1.
  long key_row = -1;
};

// The errors, in the order MsiViewGetError hands them out. Fails with
// ERROR_INVALID_TABLE when there is no usable _Validation table and
// ERROR_DATATYPE_MISMATCH for a value its column cannot hold.
Result<std::vector<ColumnError>> CheckRecord(Database& db, Table& table, const Request& request);

}  // namespace msi::validation
