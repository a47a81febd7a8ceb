#include "window/layout.hpp"

#include <gtest/gtest.h>

namespace vantorel {
namespace {

// The controls' rectangles at 96 and 144 DPI are checked on the window itself
// (form1_test.cpp); this is where a window of any size goes.
TEST(Layout, CentredInWorkArea) {
  struct {
    PixelRect work;
    PixelSize window;
    PixelPoint corner;
  } const cases[] = {
      {{0, 0, 1280, 1024}, {655, 595}, {312, 214}},
      {{0, 40, 1920, 1040}, {655, 595}, {632, 262}},     // task bar above
      {{-1280, 0, 1280, 984}, {100, 100}, {-690, 442}},  // monitor left of the primary
      {{0, 0, 600, 500}, {655, 595}, {0, 0}},  // larger than the screen: top-left stays visible
  };
  for (const auto& c : cases) EXPECT_EQ(CentreIn(c.work, c.window), c.corner);
}

}  // namespace
}  // namespace vantorel
