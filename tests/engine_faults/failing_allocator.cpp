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

void* Allocate(std::size_t size, std::size_t alignment, bool nothrow) {
  bool fail = false;
  if (g_paused == 0) {
    g_count += g_counting ? 1 : 0;
    fail = g_remaining == 0;
    g_failed = g_failed || fail;
    if (g_remaining > 0) --g_remaining;
  }
  void* p = nullptr;
  if (!fail) {
    size = size == 0 ? 1 : size;
    p = alignment > alignof(std::max_align_t)
            ? std::aligned_alloc(alignment, (size + alignment - 1) / alignment * alignment)
            : std::malloc(size);
  }
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

using std::align_val_t;
using std::nothrow_t;
using std::size_t;
void* operator new(size_t n) { return faults::Allocate(n, 0, false); }
void* operator new[](size_t n) { return faults::Allocate(n, 0, false); }
void* operator new(size_t n, const nothrow_t&) noexcept { return faults::Allocate(n, 0, true); }
void* operator new[](size_t n, const nothrow_t&) noexcept { return faults::Allocate(n, 0, true); }
void* operator new(size_t n, align_val_t a) { return faults::Allocate(n, size_t(a), false); }
void* operator new[](size_t n, align_val_t a) { return faults::Allocate(n, size_t(a), false); }
void* operator new(size_t n, align_val_t a, const nothrow_t&) noexcept { return faults::Allocate(n, size_t(a), true); }
void* operator new[](size_t n, align_val_t a, const nothrow_t&) noexcept { return faults::Allocate(n, size_t(a), true); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, size_t) noexcept { std::free(p); }
void operator delete[](void* p, size_t) noexcept { std::free(p); }
void operator delete(void* p, const nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, const nothrow_t&) noexcept { std::free(p); }
void operator delete(void* p, align_val_t) noexcept { std::free(p); }
void operator delete[](void* p, align_val_t) noexcept { std::free(p); }
void operator delete(void* p, size_t, align_val_t) noexcept { std::free(p); }
void operator delete[](void* p, size_t, align_val_t) noexcept { std::free(p); }
