// The engine's own words for the last failure of a call on this thread,
// so that tools can say why (a codepage that cannot hold a text, an
// archive in another codepage) and not only which result code, and the
// installer's error record (MsiGetLastErrorRecord) built from it.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "api/guard.h"
#include "status.h"

namespace msi::api {

// Records a failing status (a success clears the record) and returns its
// code, so call sites read `return Remember(status);`. The record then
// holds the result code and the engine's description.
uint32_t Remember(const Status& status);

// What a call that knows its failures gives the installer's record: the
// installer's number and its message's parameters. [2] is `database`; then
// the parameters the failure carries (its InstallerError) or, when it
// carries none, `number` and `params`; then `trailing` (the query); last
// the engine's description. A number of 0 and no InstallerError keep the
// plain record above.
struct RecordContext {
  std::string database{};
  uint32_t number = 0;
  std::vector<std::string> params{};
  std::vector<std::string> trailing{};
};
uint32_t Remember(const Status& status, const RecordContext& context);

// How many statuses this thread has remembered, and what follows a call of
// the functions the installer names as setting the error record: a failure
// the call did not remember is recorded by its code alone; a success, or
// one of the argument errors the installer never records (bad handle, bad
// parameter, buffer too small), clears the record.
uint64_t RememberedCount() noexcept;
void SettleErrorRecord(uint32_t result, uint64_t count_before) noexcept;

template <typename Body>
UINT GuardedRecorded(Body&& body) noexcept {
  const uint64_t before = RememberedCount();
  const UINT result = Guarded(std::forward<Body>(body));
  SettleErrorRecord(result, before);
  return result;
}

}  // namespace msi::api
