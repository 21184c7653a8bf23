#include "api/guard.h"

#include <new>
#include <stdexcept>

namespace msi::api {

UINT CurrentExceptionCode() noexcept {
  try {
    throw;
  } catch (const std::bad_alloc&) {
    return ERROR_NOT_ENOUGH_MEMORY;
  } catch (const std::length_error&) {
    return ERROR_NOT_ENOUGH_MEMORY;
  } catch (...) {
    return ERROR_FUNCTION_FAILED;
  }
}

}  // namespace msi::api
