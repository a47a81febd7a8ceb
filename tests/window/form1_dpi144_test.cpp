// Form1 on a screen of 144 dots per inch, in a Wine prefix whose LogPixels is set to 144 by
// scripts/wine-dpi.sh: a Form1 in this process and the built program both lay out their client
// area and controls from the twips at 144 DPI, and the controls use the message font at 144 DPI.
#include <gtest/gtest.h>
#include <windows.h>

#include <ostream>
#include <string>
#include <tuple>

#include "tests/window/program_runner.hpp"
#include "win32/handles.hpp"
#include "window/form1.hpp"
#include "window/layout.hpp"

namespace vantorel {

// For the failure messages.
static void PrintTo(const PixelRect& r, std::ostream* out) {
  *out << r.width << "x" << r.height << " at " << r.x << "," << r.y;
}
static void PrintTo(const PixelSize& s, std::ostream* out) { *out << s.width << "x" << s.height; }

namespace {

constexpr int kDpi = 144;

// Every control's rectangle relative to the client area at 144 DPI: its twips (a
// control in a frame with the frame's offset added) as MulDiv rounds them, one and a
// half times the 96 DPI figures give or take the rounding.
struct Expected {
  Control control;
  PixelRect at144;
};
const Expected kControls[] = {
    {Control::kFrame1, {12, 12, 950, 374}},    {Control::kText1, {36, 36, 902, 338}},
    {Control::kFrame2, {12, 396, 950, 386}},   {Control::kText2, {36, 420, 902, 338}},
    {Control::kCommand1, {612, 792, 158, 50}}, {Control::kCommand2, {792, 792, 158, 50}},
};
constexpr PixelSize kClientAt144{974, 849};  // 9735 x 8490 twips

// The client area and each control's rectangle in it, found by its id; and, for a window of
// this process, each control's font.
void ExpectLayoutAt144(HWND window, bool own_window) {
  RECT r{};
  GetClientRect(window, &r);
  EXPECT_EQ((PixelSize{r.right, r.bottom}), kClientAt144);
  NONCLIENTMETRICSW metrics{};  // for the screen's DPI, checked below to be 144
  metrics.cbSize = sizeof metrics;
  ASSERT_TRUE(SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0));
  const LOGFONTW& expected = metrics.lfMessageFont;
  for (const Expected& e : kControls) {
    SCOPED_TRACE(Design(e.control).name);
    const HWND child = GetDlgItem(window, Design(e.control).id);
    ASSERT_NE(child, nullptr);
    GetWindowRect(child, &r);
    MapWindowPoints(HWND_DESKTOP, window, reinterpret_cast<POINT*>(&r), 2);
    EXPECT_EQ((PixelRect{r.left, r.top, r.right - r.left, r.bottom - r.top}), e.at144);
    if (!own_window) continue;
    const auto font = reinterpret_cast<HFONT>(SendMessageW(child, WM_GETFONT, 0, 0));
    LOGFONTW f{};
    ASSERT_EQ(GetObjectW(font, sizeof f, &f), static_cast<int>(sizeof f));
    EXPECT_EQ(std::make_tuple(f.lfHeight, f.lfWeight, f.lfCharSet),
              std::make_tuple(expected.lfHeight, expected.lfWeight, expected.lfCharSet));
    EXPECT_STREQ(f.lfFaceName, expected.lfFaceName);
  }
}

TEST(Dpi144Screen, IsAt144Dpi) {
  const WindowDc screen = vantorel::GetDC(nullptr);
  ASSERT_TRUE(screen);
  EXPECT_EQ(GetDeviceCaps(screen->dc, LOGPIXELSX), kDpi);
  ASSERT_EQ(GetDeviceCaps(screen->dc, LOGPIXELSY), kDpi)
      << "the Wine prefix's LogPixels is not 144 (scripts/wine-dpi.sh sets it)";
}

// A Form1 in this process, shown without taking the activation from anything else.
TEST(Form1At144Dpi, ClientAreaControlsAndFontAreAt144Dpi) {
  Form1 form;
  ASSERT_NE(form.Create(GetModuleHandleW(nullptr)), nullptr);
  ShowWindow(form.hwnd(), SW_SHOWNOACTIVATE);
  UpdateWindow(form.hwnd());
  PumpWaitingMessages(form);
  EXPECT_EQ(form.dpi(), static_cast<UINT>(kDpi));
  ExpectLayoutAt144(form.hwnd(), true);
}

TEST(ProgramAt144Dpi, ClientAreaAndControlsAreAt144Dpi) {
  const StartedProgram program = StartProgram(VANTOREL_EXE, SW_SHOWNOACTIVATE);
  ASSERT_TRUE(program.process) << "error " << GetLastError();
  ASSERT_NE(program.window, nullptr) << "no window shown within 30 s";

  ExpectLayoutAt144(program.window, false);
  EXPECT_EQ(CloseProgram(program), 0);
}

}  // namespace
}  // namespace vantorel
