// The one wrapper around every C entry point: no C++ exception ever
// crosses the C API. An allocation that fails (std::bad_alloc, or a size
// beyond what a container can hold, std::length_error) becomes
// ERROR_NOT_ENOUGH_MEMORY; any other exception ERROR_FUNCTION_FAILED.
// Functions that answer something other than a result code give their own
// failure value instead.
//
// What an entry point had changed before the exception stays changed, as
// with any failure part-way through a statement; every structure it
// touched stays consistent, so the handle (and the database behind it)
// keeps working, and the same call can be made again.
#pragma once

#include <utility>

#include "msiquery.h"

namespace msi::api {

// The result code for the exception being handled; call only in a catch
// block.
UINT CurrentExceptionCode() noexcept;

// `body()` returning a result code.
template <typename Body>
UINT Guarded(Body&& body) noexcept {
  try {
    return std::forward<Body>(body)();
  } catch (...) {
    return CurrentExceptionCode();
  }
}

// `body()` returning any other answer, `on_failure` when it throws.
template <typename T, typename Body>
T GuardedOr(T on_failure, Body&& body) noexcept {
  try {
    return std::forward<Body>(body)();
  } catch (...) {
    return on_failure;
  }
}

}  // namespace msi::api
