#include "api/handle_table.h"

#include <mutex>
#include <unordered_map>
#include <vector>

namespace msi::api {
namespace {

struct HandleTable {
  std::mutex mutex;
  std::unordered_map<uint32_t, std::shared_ptr<Object>> objects;
  uint32_t next = 1;
};

HandleTable& Table() {
  static HandleTable* table = new HandleTable();  // never destroyed: handles may outlive statics
  return *table;
}

}  // namespace

uint32_t AddHandle(std::shared_ptr<Object> object) {
  HandleTable& t = Table();
  std::lock_guard<std::mutex> lock(t.mutex);
  if (t.objects.size() >= 0x7FFFFFFF) return 0;
  // Handles are not reused soon after closing, so a stale handle is far
  // more likely to be reported as invalid than to reach another object.
  while (t.next == 0 || t.objects.count(t.next) != 0) ++t.next;
  const uint32_t h = t.next++;
  t.objects.emplace(h, std::move(object));
  return h;
}

std::shared_ptr<Object> FindHandle(uint32_t handle, ObjectKind kind) {
  HandleTable& t = Table();
  std::lock_guard<std::mutex> lock(t.mutex);
  auto it = t.objects.find(handle);
  if (it == t.objects.end() || !it->second || it->second->kind() != kind) return nullptr;
  return it->second;
}

HandleReservation::HandleReservation() { handle_ = AddHandle(nullptr); }

HandleReservation::~HandleReservation() {
  if (handle_ == 0) return;
  HandleTable& t = Table();
  std::lock_guard<std::mutex> lock(t.mutex);
  auto it = t.objects.find(handle_);
  if (it != t.objects.end() && !it->second) t.objects.erase(it);
}

uint32_t HandleReservation::Fill(std::shared_ptr<Object> object) noexcept {
  std::shared_ptr<Object> doomed;  // destroyed outside the lock
  HandleTable& t = Table();
  std::lock_guard<std::mutex> lock(t.mutex);
  auto it = t.objects.find(handle_);
  const uint32_t h = handle_;
  handle_ = 0;
  if (it == t.objects.end() || it->second) {
    doomed = std::move(object);  // closed meanwhile: the object goes
    return 0;
  }
  it->second = std::move(object);
  return h;
}

bool CloseHandle(uint32_t handle) {
  std::shared_ptr<Object> doomed;  // destroyed outside the lock
  HandleTable& t = Table();
  std::lock_guard<std::mutex> lock(t.mutex);
  auto it = t.objects.find(handle);
  if (it == t.objects.end()) return false;
  doomed = std::move(it->second);
  t.objects.erase(it);
  return true;
}

unsigned CloseAllHandles() {
  std::unordered_map<uint32_t, std::shared_ptr<Object>> doomed;
  HandleTable& t = Table();
  {
    std::lock_guard<std::mutex> lock(t.mutex);
    doomed.swap(t.objects);
  }
  return static_cast<unsigned>(doomed.size());
}

}  // namespace msi::api
