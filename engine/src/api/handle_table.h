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
// Null for an unknown handle or one of another kind.
std::shared_ptr<Object> FindHandle(uint32_t handle, ObjectKind kind);
bool CloseHandle(uint32_t handle);
unsigned CloseAllHandles();

template <typename T>
std::shared_ptr<T> Find(uint32_t handle) {
  return std::static_pointer_cast<T>(FindHandle(handle, T::kKind));
}

}  // namespace msi::api
