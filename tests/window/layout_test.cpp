#include "window/layout.hpp"

#include <gtest/gtest.h>

namespace vantorel {
namespace {

struct RectCase {
  Control control;
  PixelRect at96;
  PixelRect at144;
};

// At 96 DPI the figures a person measures on screen; at 144 DPI one and a
// half times those.
const RectCase kRects[] = {
    {Control::kFrame1, {8, 8, 633, 249}, {12, 12, 950, 374}},
    {Control::kText1, {24, 24, 601, 225}, {36, 36, 902, 338}},
    {Control::kFrame2, {8, 264, 633, 257}, {12, 396, 950, 386}},
    {Control::kText2, {24, 280, 601, 225}, {36, 420, 902, 338}},
    {Control::kCommand1, {408, 528, 105, 33}, {612, 792, 158, 50}},
    {Control::kCommand2, {528, 528, 105, 33}, {792, 792, 158, 50}},
};

TEST(Layout, ControlRectsRelativeToClientArea) {
  for (const RectCase& c : kRects) {
    SCOPED_TRACE(Design(c.control).name);
    EXPECT_EQ(ControlRect(c.control, 96), c.at96);
    EXPECT_EQ(ControlRect(c.control, 144), c.at144);
  }
}

TEST(Layout, ClientSizeScalesWithDpi) {
  EXPECT_EQ(ClientSize(96), (PixelSize{649, 566}));
  EXPECT_EQ(ClientSize(120), (PixelSize{811, 708}));
  EXPECT_EQ(ClientSize(144), (PixelSize{974, 849}));
  EXPECT_EQ(ClientSize(192), (PixelSize{1298, 1132}));
}

TEST(Layout, TwipsRoundToNearestPixel) {
  struct {
    int twips, dpi, pixels;
  } const cases[] = {
      {15, 96, 1},      {7, 96, 0},     {8, 96, 1}, {-8, 96, -1},   {-7, 96, 0},
      {1575, 144, 158}, {495, 120, 41}, {0, 96, 0}, {1440, 96, 96},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(TwipsToPixels(c.twips, c.dpi), c.pixels) << c.twips << " twips at " << c.dpi;
  }
}

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
