// The test program's allocations, which fail where a test asks. Apart from
// the tests, so that no compiler pairs an inlined operator delete with the
// allocations it sees.
#include <cstddef>
#include <cstdlib>
#include <new>

namespace vantorel::testing {
std::size_t g_fail_from = 0;
}  // namespace vantorel::testing

void* operator new(std::size_t size) {
  if (vantorel::testing::g_fail_from != 0 && size >= vantorel::testing::g_fail_from) {
    throw std::bad_alloc();
  }
  if (void* memory = std::malloc(size != 0 ? size : 1)) return memory;
  throw std::bad_alloc();
}
void operator delete(void* memory) noexcept { std::free(memory); }
void operator delete(void* memory, std::size_t) noexcept { std::free(memory); }
