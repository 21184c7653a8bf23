// The process-wide table of handles: the engine's only global state.
#pragma once

#include <cstdint>
#include <memory>

namespace msi::api {

enum class ObjectKind { kDatabase, kView, kRecord, kSummaryInfo };

class Object {
 public:
  virtual ~Object() = default;
  virtual ObjectKind kind() const = 0;
};

// Returns 0 when no handle can be given out.
uint32_t AddHandle(std::shared_ptr<Object> object);

// A handle taken before the object it will name is made, so that handing
// the object out afterwards cannot fail (MsiViewFetch must not lose a row
// to a handle table that runs out of memory). Until Fill, the handle names
// nothing; a reservation neither filled nor given up is given up when it
// goes out of scope.
class HandleReservation {
 public:
  HandleReservation();  // handle() is 0 when none can be given out
  ~HandleReservation();
  HandleReservation(const HandleReservation&) = delete;
  HandleReservation& operator=(const HandleReservation&) = delete;
  uint32_t handle() const { return handle_; }
  // Puts the object under the handle; needs no memory.
  uint32_t Fill(std::shared_ptr<Object> object) noexcept;

 private:
  uint32_t handle_ = 0;
};
// Null for an unknown handle or one of another kind.
std::shared_ptr<Object> FindHandle(uint32_t handle, ObjectKind kind);
bool CloseHandle(uint32_t handle);
unsigned CloseAllHandles();

template <typename T>
std::shared_ptr<T> Find(uint32_t handle) {
  return std::static_pointer_cast<T>(FindHandle(handle, T::kKind));
}

}  // namespace msi::api
