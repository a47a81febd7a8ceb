// The test program's own global operator new, which fails where a test asks
// (AllocationsFailAbove): the code under test, linked into the program,
// allocates through it. In a file of its own, so that no code that allocates
// sees the replacements together.
#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <new>

#include "tests/support/gui_driver.hpp"

namespace {

std::atomic<std::size_t> g_largest_allocation{SIZE_MAX};

}  // namespace

namespace vantorel::testing {

AllocationsFailAbove::AllocationsFailAbove(std::size_t bytes) { g_largest_allocation = bytes; }
AllocationsFailAbove::~AllocationsFailAbove() { g_largest_allocation = SIZE_MAX; }

}  // namespace vantorel::testing

void* operator new(std::size_t size) {
  if (size > g_largest_allocation.load(std::memory_order_relaxed)) throw std::bad_alloc();
  if (void* memory = std::malloc(size != 0 ? size : 1)) return memory;
  throw std::bad_alloc();
}
void operator delete(void* memory) noexcept { std::free(memory); }
void operator delete(void* memory, std::size_t) noexcept { std::free(memory); }
