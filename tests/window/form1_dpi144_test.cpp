// Form1 on a screen of 144 dots per inch: run in a Wine prefix whose screen DPI
// (LogPixels) is set to 144 by scripts/wine-dpi.sh. The window and every
// control are the 96 DPI layout one and a half times over, each figure rounded
// from the twips as MulDiv rounds, and the controls use the message font at
// 144 DPI. Checked on a Form1 in this process and on the built program.
#include <gtest/gtest.h>
#include <windows.h>

#include <ostream>
#include <string>

#include "form1.hpp"
#include "handles.hpp"
#include "layout.hpp"
#include "program_runner.hpp"

namespace vantorel {

// For the failure messages.
static void PrintTo(const PixelRect& r, std::ostream* out) {
  *out << r.width << "x" << r.height << " at " << r.x << "," << r.y;
}
static void PrintTo(const PixelSize& s, std::ostream* out) { *out << s.width << "x" << s.height; }

namespace {

constexpr int kDpi = 144;

// Every control's rectangle relative to the client area: in twips (a control
// in a frame with the frame's offset added), then in pixels at 96 DPI, the
// figures a person measures on a 96 DPI screen, and at 144 DPI.
struct Expected {
  Control control;
  Twips twips;
  PixelRect at96;
  PixelRect at144;
};

const Expected kControls[] = {
    {Control::kFrame1, {120, 120, 9495, 3735}, {8, 8, 633, 249}, {12, 12, 950, 374}},
    {Control::kText1, {360, 360, 9015, 3375}, {24, 24, 601, 225}, {36, 36, 902, 338}},
    {Control::kFrame2, {120, 3960, 9495, 3855}, {8, 264, 633, 257}, {12, 396, 950, 386}},
    {Control::kText2, {360, 4200, 9015, 3375}, {24, 280, 601, 225}, {36, 420, 902, 338}},
    {Control::kCommand1, {6120, 7920, 1575, 495}, {408, 528, 105, 33}, {612, 792, 158, 50}},
    {Control::kCommand2, {7920, 7920, 1575, 495}, {528, 528, 105, 33}, {792, 792, 158, 50}},
};
constexpr SIZE kClientTwips{9735, 8490};
constexpr PixelSize kClientAt96{649, 566};
constexpr PixelSize kClientAt144{974, 849};

int Pixels(int twips, int dpi) { return MulDiv(twips, dpi, 1440); }

PixelRect Pixels(const Twips& twips, int dpi) {
  return {Pixels(twips.left, dpi), Pixels(twips.top, dpi), Pixels(twips.width, dpi),
          Pixels(twips.height, dpi)};
}

PixelSize ClientOf(HWND window) {
  RECT client{};
  GetClientRect(window, &client);
  return {client.right, client.bottom};
}

PixelRect RectInClient(HWND parent, HWND child) {
  RECT r{};
  GetWindowRect(child, &r);
  MapWindowPoints(HWND_DESKTOP, parent, reinterpret_cast<POINT*>(&r), 2);
  return {r.left, r.top, r.right - r.left, r.bottom - r.top};
}

// The message font as the system gives it for a DPI.
LOGFONTW MessageFont(int dpi) {
  using ForDpi = BOOL(WINAPI*)(UINT, UINT, void*, UINT, UINT);
  const FARPROC proc =
      GetProcAddress(GetModuleHandleW(L"user32.dll"), "SystemParametersInfoForDpi");
  const auto for_dpi = reinterpret_cast<ForDpi>(reinterpret_cast<void (*)()>(proc));
  NONCLIENTMETRICSW metrics{};
  metrics.cbSize = sizeof metrics;
  if (for_dpi == nullptr ||
      !for_dpi(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0, static_cast<UINT>(dpi))) {
    // The system's own metrics, which are for the screen's DPI.
    EXPECT_EQ(dpi, kDpi);
    SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0);
  }
  return metrics.lfMessageFont;
}

// The figures themselves: the 96 DPI ones are the twips at 96 DPI, the 144 DPI
// ones the twips at 144 DPI, one and a half times the 96 DPI ones give or take
// the rounding.
TEST(Dpi144Figures, AreTheTwipsAtEachDpi) {
  EXPECT_EQ(kClientAt96.width, Pixels(kClientTwips.cx, 96));
  EXPECT_EQ(kClientAt96.height, Pixels(kClientTwips.cy, 96));
  EXPECT_EQ(kClientAt144.width, Pixels(kClientTwips.cx, kDpi));
  EXPECT_EQ(kClientAt144.height, Pixels(kClientTwips.cy, kDpi));
  for (const Expected& e : kControls) {
    SCOPED_TRACE(Design(e.control).name);
    EXPECT_EQ(Pixels(e.twips, 96), e.at96);
    EXPECT_EQ(Pixels(e.twips, kDpi), e.at144);
    EXPECT_NEAR(e.at144.x, e.at96.x * 1.5, 1.0);
    EXPECT_NEAR(e.at144.y, e.at96.y * 1.5, 1.0);
    EXPECT_NEAR(e.at144.width, e.at96.width * 1.5, 1.0);
    EXPECT_NEAR(e.at144.height, e.at96.height * 1.5, 1.0);
  }
}

TEST(Dpi144Screen, IsAt144Dpi) {
  const ScreenDc screen;
  ASSERT_NE(screen.get(), nullptr);
  EXPECT_EQ(GetDeviceCaps(screen.get(), LOGPIXELSX), kDpi);
  ASSERT_EQ(GetDeviceCaps(screen.get(), LOGPIXELSY), kDpi)
      << "the Wine prefix's LogPixels is not 144 (scripts/wine-dpi.sh sets it)";
}

// A Form1 in this process, shown without taking the activation from anything
// else on the display.
class Form1At144Dpi : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(form_.Create(GetModuleHandleW(nullptr)), nullptr);
    ShowWindow(form_.hwnd(), SW_SHOWNOACTIVATE);
    UpdateWindow(form_.hwnd());
    PumpWaitingMessages(form_);
  }

  Form1 form_;
};

TEST_F(Form1At144Dpi, ClientAreaAndControlsScaleByOneAndAHalf) {
  EXPECT_EQ(form_.dpi(), static_cast<UINT>(kDpi));
  EXPECT_EQ(ClientOf(form_.hwnd()), kClientAt144);
  for (const Expected& e : kControls) {
    SCOPED_TRACE(Design(e.control).name);
    const HWND child = form_.Child(e.control);
    ASSERT_NE(child, nullptr);
    EXPECT_EQ(GetParent(child), form_.hwnd());
    EXPECT_EQ(RectInClient(form_.hwnd(), child), e.at144);
  }
}

TEST_F(Form1At144Dpi, ControlsUseTheMessageFontAt144Dpi) {
  const LOGFONTW expected = MessageFont(kDpi);
  ASSERT_LT(expected.lfHeight, 0);
  for (const Expected& e : kControls) {
    SCOPED_TRACE(Design(e.control).name);
    const auto font =
        reinterpret_cast<HFONT>(SendMessageW(form_.Child(e.control), WM_GETFONT, 0, 0));
    ASSERT_NE(font, nullptr);
    LOGFONTW actual{};
    ASSERT_EQ(GetObjectW(font, sizeof actual, &actual), static_cast<int>(sizeof actual));
    EXPECT_EQ(actual.lfHeight, expected.lfHeight);
    EXPECT_EQ(actual.lfWeight, expected.lfWeight);
    EXPECT_EQ(actual.lfCharSet, expected.lfCharSet);
    EXPECT_STREQ(actual.lfFaceName, expected.lfFaceName);
  }
}

TEST_F(Form1At144Dpi, MessageFontIsOneAndAHalfTimesItsHeightAt96Dpi) {
  const LOGFONTW at96 = MessageFont(96);
  const LOGFONTW at144 = MessageFont(kDpi);
  EXPECT_EQ(at144.lfHeight, MulDiv(at96.lfHeight, kDpi, 96));
}

TEST_F(Form1At144Dpi, WindowIsSizedForItsClientAreaAndCentred) {
  RECT window{};
  GetWindowRect(form_.hwnd(), &window);
  const LONG style = GetWindowLongW(form_.hwnd(), GWL_STYLE);
  const LONG ex_style = GetWindowLongW(form_.hwnd(), GWL_EXSTYLE);
  RECT outer{0, 0, kClientAt144.width, kClientAt144.height};
  AdjustWindowRectEx(&outer, static_cast<DWORD>(style), FALSE, static_cast<DWORD>(ex_style));
  EXPECT_EQ(window.right - window.left, outer.right - outer.left);
  EXPECT_EQ(window.bottom - window.top, outer.bottom - outer.top);

  MONITORINFO monitor{};
  monitor.cbSize = sizeof monitor;
  GetMonitorInfoW(MonitorFromWindow(form_.hwnd(), MONITOR_DEFAULTTOPRIMARY), &monitor);
  const RECT& work = monitor.rcWork;
  EXPECT_NEAR(window.left - work.left, work.right - window.right, 1);
  EXPECT_NEAR(window.top - work.top, work.bottom - window.bottom, 1);
}

TEST(ProgramAt144Dpi, ClientAreaAndControlsScaleByOneAndAHalf) {
  const StartedProgram program = StartProgram(VANTOREL_EXE, SW_SHOWNOACTIVATE);
  ASSERT_TRUE(program.process) << "error " << GetLastError();
  ASSERT_NE(program.window, nullptr) << "no window shown within 30 s";

  EXPECT_EQ(ClientOf(program.window), kClientAt144);
  for (const Expected& e : kControls) {
    SCOPED_TRACE(Design(e.control).name);
    const HWND child = GetDlgItem(program.window, Design(e.control).id);
    ASSERT_NE(child, nullptr);
    EXPECT_EQ(RectInClient(program.window, child), e.at144);
  }

  EXPECT_EQ(CloseProgram(program), 0);
}

}  // namespace
}  // namespace vantorel
