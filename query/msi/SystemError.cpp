#include "SystemError.h"

#include <cerrno>

UINT ResultCodeFromErrno(int error) {
  switch (error) {
    case ENOENT: return ERROR_FILE_NOT_FOUND;
    case ENOTDIR: return 3;  // ERROR_PATH_NOT_FOUND
    case EACCES: case EPERM: case EROFS: return ERROR_ACCESS_DENIED;
    case EEXIST: return 80;  // ERROR_FILE_EXISTS
    case ENOSPC: case EFBIG: case EDQUOT: return 112;  // ERROR_DISK_FULL
    case ENAMETOOLONG: return 206;  // ERROR_FILENAME_EXCED_RANGE
    case EISDIR: return ERROR_ACCESS_DENIED;
    case ENOMEM: return ERROR_NOT_ENOUGH_MEMORY;
    case EIO: return ERROR_WRITE_FAULT;
    default: return 1003;  // ERROR_CAN_NOT_COMPLETE
  }
}
