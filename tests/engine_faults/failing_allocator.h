// This test program's operator new, which can be told to fail: the next
// `n` allocations succeed, the one after throws std::bad_alloc (the nothrow
// forms return null), and so does every later one until Disarm.
#pragma once

#include <cstdint>

namespace faults {

void FailAfter(int64_t n);
// Stops failing; answers whether a failure was injected since FailAfter.
bool Disarm();
// Counts allocations from now on (without failing).
void StartCounting();
int64_t Counted();

// While one lives, allocations neither fail nor count: the test's own code
// around the engine calls (building strings of results) runs under it.
class Paused {
 public:
  Paused();
  ~Paused();
  Paused(const Paused&) = delete;
  Paused& operator=(const Paused&) = delete;
};

}  // namespace faults
