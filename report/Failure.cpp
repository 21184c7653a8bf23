#include "Failure.h"

#include <cerrno>

namespace pellacor {

Failure OverflowFailure() { return Failure(runtime_error::kOverflow, "Overflow"); }

Failure ObjectNotSetFailure() {
  return Failure(runtime_error::kObjectNotSet,
                 "Object variable or With block variable not set");
}

Failure FileFailure(int errno_value) {
  switch (errno_value) {
    case ENOENT:
      return Failure(runtime_error::kFileNotFound, "File not found");
    case ENOTDIR:
      return Failure(runtime_error::kPathNotFound, "Path not found");
    case EACCES:
    case EPERM:
    case EROFS:
    case ETXTBSY:
      return Failure(runtime_error::kPermissionDenied, "Permission denied");
    case ENOSPC:
    case EDQUOT:
      return Failure(runtime_error::kDiskFull, "Disk full");
    case EIO:
      return Failure(runtime_error::kDeviceIoError, "Device I/O error");
    case ENOMEM:
      return Failure(runtime_error::kOutOfMemory, "Out of memory");
    default:
      return Failure(runtime_error::kPathFileAccessError,
                     "Path/File access error");
  }
}

Failure CreateFileFailure(int errno_value) {
  if (errno_value == ENOENT) {
    return Failure(runtime_error::kPathNotFound, "Path not found");
  }
  return FileFailure(errno_value);
}

int32_t CheckedAdd(int32_t a, int32_t b) {
  int32_t sum = 0;
  if (__builtin_add_overflow(a, b, &sum)) throw OverflowFailure();
  return sum;
}

}  // namespace pellacor
