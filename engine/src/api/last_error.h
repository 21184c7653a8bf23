// The engine's own words for the last failure of a call on this thread,
// so that tools can say why (a codepage that cannot hold a text, an
// archive in another codepage) and not only which result code.
#pragma once

#include <cstdint>

#include "status.h"

namespace msi::api {

// Records a failing status (a success clears the record) and returns its
// code, so call sites read `return Remember(status);`.
uint32_t Remember(const Status& status);

}  // namespace msi::api
