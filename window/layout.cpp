#include "window/layout.hpp"

#include <algorithm>
#include <cstdint>

namespace vantorel {
namespace {

constexpr ControlDesign kFrame1{"Frame1",          ControlKind::kFrame,    105,
                                u"需要加密的内容", {120, 120, 9495, 3735}, nullptr};
constexpr ControlDesign kFrame2{"Frame2",          ControlKind::kFrame,     106,
                                u"需要解密的内容", {120, 3960, 9495, 3855}, nullptr};
constexpr ControlDesign kText1{"Text1", ControlKind::kTextBox,  102,
                               nullptr, {240, 240, 9015, 3375}, &kFrame1};
constexpr ControlDesign kText2{"Text2", ControlKind::kTextBox,  101,
                               nullptr, {240, 240, 9015, 3375}, &kFrame2};
constexpr ControlDesign kCommand1{"Command1", ControlKind::kButton,    103,
                                  u"Encode",  {6120, 7920, 1575, 495}, nullptr};
constexpr ControlDesign kCommand2{"Command2", ControlKind::kButton,    104,
                                  u"Decode",  {7920, 7920, 1575, 495}, nullptr};

}  // namespace

const ControlDesign& Design(Control control) {
  switch (control) {
    case Control::kText2:
      return kText2;
    case Control::kText1:
      return kText1;
    case Control::kCommand1:
      return kCommand1;
    case Control::kCommand2:
      return kCommand2;
    case Control::kFrame1:
      return kFrame1;
    case Control::kFrame2:
      break;
  }
  return kFrame2;
}

int TwipsToPixels(int twips, int dpi) {
  const std::int64_t product = static_cast<std::int64_t>(twips) * dpi;
  const std::int64_t half = product < 0 ? -720 : 720;
  return static_cast<int>((product + half) / 1440);
}

PixelSize ClientSize(int dpi) {
  return {TwipsToPixels(kClientWidthTwips, dpi), TwipsToPixels(kClientHeightTwips, dpi)};
}

PixelRect ControlRect(Control control, int dpi) {
  const ControlDesign& design = Design(control);
  int left = design.twips.left;
  int top = design.twips.top;
  for (const ControlDesign* frame = design.inside; frame != nullptr; frame = frame->inside) {
    left += frame->twips.left;
    top += frame->twips.top;
  }
  return {TwipsToPixels(left, dpi), TwipsToPixels(top, dpi), TwipsToPixels(design.twips.width, dpi),
          TwipsToPixels(design.twips.height, dpi)};
}

PixelPoint CentreIn(PixelRect work_area, PixelSize window) {
  const int x = work_area.x + (work_area.width - window.width) / 2;
  const int y = work_area.y + (work_area.height - window.height) / 2;
  return {std::max(x, work_area.x), std::max(y, work_area.y)};
}

}  // namespace vantorel
