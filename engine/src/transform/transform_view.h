// _TransformView: the temporary table that MSITRANSFORM_ERROR_VIEWTRANSFORM
// fills with a transform's changes instead of making them (layout in
// docs/transform-format.md).
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "status.h"
#include "storage/database.h"

namespace msi {

struct TransformViewRow {
  std::string table, column;
  std::optional<std::string> row, data, current;
};

// Adds the rows, creating the table on first use. It keeps its rows across
// transforms; a change seen twice is one row.
Status AddToTransformView(Database& db, const std::vector<TransformViewRow>& rows);

}  // namespace msi
