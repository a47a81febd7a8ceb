// Form1 on a screen of 144 dots per inch, in a Wine prefix whose LogPixels is set to 144 by
// scripts/wine-dpi.sh: created there, Form1 lays out its client area and controls from the twips
// at 144 DPI (form1_test.cpp pins those figures), the controls use the message font at 144 DPI,
// and the client area keeps that size when the window is told of a DPI change with a suggested
// rectangle a pixel off.
#include <gtest/gtest.h>
#include <windows.h>

#include <ostream>
#include <string>

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

// The client area and each control's rectangle in it, found by its id.
void ExpectLayoutAt144(HWND window) {
  RECT r{};
  GetClientRect(window, &r);
  EXPECT_EQ((PixelSize{r.right, r.bottom}), ClientSize(kDpi));
  for (const Control control : kCreationOrder) {
    SCOPED_TRACE(Design(control).name);
    const HWND child = GetDlgItem(window, Design(control).id);
    ASSERT_NE(child, nullptr);
    GetWindowRect(child, &r);
    MapWindowPoints(HWND_DESKTOP, window, reinterpret_cast<POINT*>(&r), 2);
    EXPECT_EQ((PixelRect{r.left, r.top, r.right - r.left, r.bottom - r.top}),
              ControlRect(control, kDpi));
  }
}

TEST(Dpi144Screen, IsAt144Dpi) {
  const WindowDc screen = vantorel::GetDC(nullptr);
  ASSERT_TRUE(screen);
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
  ExpectLayoutAt144(form.hwnd());
  NONCLIENTMETRICSW metrics{};  // for the screen's DPI, 144
  metrics.cbSize = sizeof metrics;
  ASSERT_TRUE(SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0));
  for (const Control control : kCreationOrder) {
    SCOPED_TRACE(Design(control).name);
    LOGFONTW font{};
    GetObjectW(reinterpret_cast<HFONT>(SendMessageW(form.Child(control), WM_GETFONT, 0, 0)),
               sizeof font, &font);
    EXPECT_EQ(font.lfHeight, metrics.lfMessageFont.lfHeight);
    EXPECT_STREQ(font.lfFaceName, metrics.lfMessageFont.lfFaceName);
  }

  RECT window{};
  GetWindowRect(form.hwnd(), &window);
  RECT suggested{window.left, window.top, window.right + 1, window.bottom + 1};
  SendMessageW(form.hwnd(), WM_DPICHANGED, MAKEWPARAM(kDpi, kDpi),
               reinterpret_cast<LPARAM>(&suggested));
  ExpectLayoutAt144(form.hwnd());
}

}  // namespace
}  // namespace vantorel
