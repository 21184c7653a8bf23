// Helpers of the transform tests: packages changed in known ways, their
// contents as comparable text, and transforms made and applied.
#pragma once

#include "support.h"

namespace tf {

using namespace ts;

// Every persistent table ("== NAME" then its header and its rows sorted,
// so that row order does not matter) and every stream's size and bytes
// but the summary information's.
std::string Contents(const fs::path& package);

// Applies `transform` to a copy of `package` written to `out`, by the
// engine; the result code of the apply (the copy is committed only on
// success).
UINT EngineApply(const fs::path& package, const fs::path& transform, const fs::path& out,
                 int conditions = 0);
// The same through libmsi; -1 when the oracle failed to run.
int OracleApply(const fs::path& package, const fs::path& transform, const fs::path& out);

// Generates the transform from `reference` to `changed`.
UINT Generate(const fs::path& changed, const fs::path& reference, const fs::path& transform);

// A SELECT's header line, then its rows sorted.
std::string SortedSelect(MSIHANDLE db, const std::string& sql);

// The rows of _TransformView after viewing `transform` on `package`,
// ordered, one per line, fields joined by " | ".
std::string View(const fs::path& package, const fs::path& transform, UINT* result = nullptr);

}  // namespace tf
