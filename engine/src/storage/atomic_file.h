// Replacing a file so that a failure or a crash at any moment leaves
// either the old file or the complete new one: the new bytes go to a
// temporary file in the same folder, are flushed, and are renamed over
// the old name.
#pragma once

#include <functional>
#include <string>

#include "cfb/compound_file.h"
#include "status.h"

namespace msi {

// `fill` writes the new contents to the sink. Keeps the old file's
// permissions. Errors: ERROR_HANDLE_DISK_FULL when space runs out,
// ERROR_ACCESS_DENIED when the folder or file may not be written,
// ERROR_WRITE_FAULT otherwise; the temporary file is always removed.
Status ReplaceFileAtomically(const std::string& path,
                             const std::function<Status(cfb::ByteSink&)>& fill);

}  // namespace msi
