#include "failing_allocator.h"

#include <cstddef>
#include <cstdlib>
#include <new>

namespace faults {
namespace {

// The test drives the engine from one thread; the counters need no lock.
int64_t g_remaining = -1;  // allocations left before failing; -1: never fail
bool g_failed = false;
bool g_counting = false;
int64_t g_count = 0;
int g_paused = 0;

bool ShouldFail() {
  if (g_paused > 0) return false;
  if (g_counting) ++g_count;
  if (g_remaining < 0) return false;
  if (g_remaining == 0) {
    g_failed = true;
    return true;
  }
  --g_remaining;
  return false;
}

void* Allocate(std::size_t size, std::size_t alignment, bool nothrow) {
  if (ShouldFail()) {
    if (nothrow) return nullptr;
    throw std::bad_alloc();
  }
  if (size == 0) size = 1;
  void* p = alignment > alignof(std::max_align_t)
                ? std::aligned_alloc(alignment, (size + alignment - 1) / alignment * alignment)
                : std::malloc(size);
  if (p == nullptr && !nothrow) throw std::bad_alloc();
  return p;
}

}  // namespace

void FailAfter(int64_t n) {
  g_failed = false;
  g_remaining = n;
}

bool Disarm() {
  g_remaining = -1;
  return g_failed;
}

void StartCounting() {
  g_count = 0;
  g_counting = true;
}

int64_t Counted() {
  g_counting = false;
  return g_count;
}

Paused::Paused() { ++g_paused; }
Paused::~Paused() { --g_paused; }

}  // namespace faults

void* operator new(std::size_t size) { return faults::Allocate(size, 0, false); }
void* operator new[](std::size_t size) { return faults::Allocate(size, 0, false); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  return faults::Allocate(size, 0, true);
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
  return faults::Allocate(size, 0, true);
}
void* operator new(std::size_t size, std::align_val_t a) {
  return faults::Allocate(size, static_cast<std::size_t>(a), false);
}
void* operator new[](std::size_t size, std::align_val_t a) {
  return faults::Allocate(size, static_cast<std::size_t>(a), false);
}
void* operator new(std::size_t size, std::align_val_t a, const std::nothrow_t&) noexcept {
  return faults::Allocate(size, static_cast<std::size_t>(a), true);
}
void* operator new[](std::size_t size, std::align_val_t a, const std::nothrow_t&) noexcept {
  return faults::Allocate(size, static_cast<std::size_t>(a), true);
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete(void* p, std::align_val_t) noexcept { std::free(p); }
void operator delete[](void* p, std::align_val_t) noexcept { std::free(p); }
void operator delete(void* p, std::size_t, std::align_val_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t, std::align_val_t) noexcept { std::free(p); }
