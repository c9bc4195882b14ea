// No frame may allocate: a whole rainy run with a station stop is driven
// through the exports while every heap allocation of the process is counted.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>

#include "test_line.h"

namespace {
std::atomic<long> allocations{0};
}

// Counting replacements of malloc and its kin: the C++ allocation functions
// take their memory from malloc, so both C and C++ allocations are seen.
extern "C" void* __libc_malloc(std::size_t);
extern "C" void* __libc_calloc(std::size_t, std::size_t);
extern "C" void* __libc_realloc(void*, std::size_t);
extern "C" void* malloc(std::size_t size) {
  ++allocations;
  return __libc_malloc(size);
}
extern "C" void* calloc(std::size_t n, std::size_t size) {
  ++allocations;
  return __libc_calloc(n, size);
}
extern "C" void* realloc(void* p, std::size_t size) {
  ++allocations;
  return __libc_realloc(p, size);
}

namespace {

using NoAllocation = PluginTest;

TEST_F(NoAllocation, FramesKeysAndDoorsNeverAllocate) {
  ReadyAtStart(host, kModeAutomatic, 60, 2000);
  host.AddBeacon(1200, kBeaconRain, 2000);
  host.AddBeacon(1400, kBeaconBraking, BrakingCurve(1, 40, 1700));
  host.AddBeacon(1500, kBeaconStation, 60 * 100000 + kEightAm / 1000 + 200);
  host.AddBeacon(1600, kBeaconStoppingPoint, StoppingPoints(2000, 3000));
  const long before = allocations;
  host.KeyDown(3);
  host.KeyDown(3);
  host.KeyDown(0);
  ASSERT_TRUE(host.RunUntil([&] { return host.state.location > 1900 && host.Stopped(); }, 400));
  host.OpenDoors();
  host.RunFor(15);
  host.CloseDoors();
  host.RunFor(15);
  EXPECT_EQ(allocations - before, 0);

  // The counter itself works: the test would see an allocation.
  void* p = std::malloc(8);
  EXPECT_EQ(allocations - before, 1);
  std::free(p);
}

}  // namespace
