// Replacing a file so that a failure or a crash at any moment leaves
// either the old file or the complete new one: the new bytes go to a
// temporary file in the same folder, are flushed, and are renamed over
// the old name.
#pragma once

#include <functional>
#include <string>

#include "cfb/compound_file.h"
#include "cfb/file_image.h"
#include "status.h"

namespace msi {

// `fill` writes the new contents to the sink. Keeps the old file's
// permissions. Errors: ERROR_HANDLE_DISK_FULL when space runs out,
// ERROR_ACCESS_DENIED when the folder or file may not be written,
// ERROR_WRITE_FAULT otherwise; the temporary file is always removed.
//
// With `expected`, the file at `path` must still be that one (or still be
// missing, when expected->exists is false) right before the rename;
// otherwise another program changed or replaced it meanwhile, and nothing
// is replaced: ERROR_FILE_INVALID. `written` receives the stamp of the new
// file.
Status ReplaceFileAtomically(const std::string& path,
                             const std::function<Status(cfb::ByteSink&)>& fill,
                             const cfb::FileStamp* expected = nullptr,
                             cfb::FileStamp* written = nullptr);

// The error for a package changed or replaced by another program since it
// was opened.
Status ChangedUnderneath(const std::string& path);

}  // namespace msi
