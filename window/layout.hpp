// Where Form1's controls stand. The layout is kept in twips, the unit the form
// was designed in (1440 twips to the inch, so 15 twips are one pixel at 96 DPI),
// and turned into pixels for whatever DPI the window is shown at. No window
// code here, so it can be checked on any platform.
#pragma once

#include <array>
#include <cstddef>

namespace vantorel {

// Form1's controls in creation order, which is also the z-order and so the
// tab order: Text2, Text1, "Encode", "Decode", then the two frames, which
// take no focus and lie beneath the boxes they frame.
enum class Control { kText2, kText1, kCommand1, kCommand2, kFrame1, kFrame2 };
inline constexpr std::size_t kControlCount = 6;
inline constexpr std::array<Control, kControlCount> kCreationOrder = {
    Control::kText2,    Control::kText1,  Control::kCommand1,
    Control::kCommand2, Control::kFrame1, Control::kFrame2,
};

enum class ControlKind { kFrame, kTextBox, kButton };

struct Twips {
  int left, top, width, height;
};

struct ControlDesign {
  const char* name;  // the control's name, for diagnostics and tests
  ControlKind kind;
  int id;                       // the child window's control ID
  const char16_t* caption;      // null for the text boxes, which start empty
  Twips twips;                  // relative to `inside`'s top-left corner
  const ControlDesign* inside;  // the frame it sits in, or null for the form
};

const ControlDesign& Design(Control control);

// The form's client area in twips.
inline constexpr int kClientWidthTwips = 9735;
inline constexpr int kClientHeightTwips = 8490;
inline constexpr char16_t kFormCaption[] = u"Vantorel";

// twips * dpi / 1440, rounded to the nearest pixel (halves away from zero),
// as MulDiv rounds.
int TwipsToPixels(int twips, int dpi);

struct PixelRect {
  int x, y, width, height;
  bool operator==(const PixelRect&) const = default;
};

struct PixelSize {
  int width, height;
  bool operator==(const PixelSize&) const = default;
};

PixelSize ClientSize(int dpi);

// The control's rectangle relative to the form's client area: all controls are
// children of the form itself, so a control inside a frame gets the frame's
// offset added (in twips, before rounding).
PixelRect ControlRect(Control control, int dpi);

// A window of the given outer size centred in a work area; the result is the
// window's top-left corner. When the window is larger than the work area it
// keeps its top-left corner inside it.
struct PixelPoint {
  int x, y;
  bool operator==(const PixelPoint&) const = default;
};
PixelPoint CentreIn(PixelRect work_area, PixelSize window);

}  // namespace vantorel
