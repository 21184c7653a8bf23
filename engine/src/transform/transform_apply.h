// Applying a transform to a database: every record is decoded and every
// conflict found before the first change, so a transform either applies
// whole or leaves the database as it was.
#pragma once

#include "status.h"
#include "storage/database.h"
#include "transform/transform_file.h"

namespace msi {

// MSITRANSFORM_ERROR_* bits: conditions that are not errors when set.
namespace transform_error {
inline constexpr int kAddExistingRow = 0x01;
inline constexpr int kDelMissingRow = 0x02;
inline constexpr int kAddExistingTable = 0x04;
inline constexpr int kDelMissingTable = 0x08;
inline constexpr int kUpdateMissingRow = 0x10;
inline constexpr int kChangeCodepage = 0x20;
inline constexpr int kViewTransform = 0x100;
}  // namespace transform_error

// With kViewTransform the tables stay as they are and the changes are
// added to the temporary table _TransformView instead.
Status ApplyTransform(Database& db, TransformFile& transform, int error_conditions);

// Opens a transform by path, or by ":NAME" as a sub-storage of the
// database's own file.
Result<std::shared_ptr<TransformFile>> OpenTransform(const Database& db, const std::string& name);

}  // namespace msi
