// The box's highlight, which its creator sets apart from the selection.
#include <gtest/gtest.h>

#include <string>

#include "textbox/text_box.hpp"
#include "win32/handles.hpp"
#include "win32/highlight.hpp"

namespace vantorel {
namespace {

// 100 lines "a b" (line n from character 5n). Each step sets a highlight, or
// the person scrolls to the top; then the first line shown, the highlight
// read back, and the colour behind the space of the highlight's first line
// (the lighter shade) and of the line after it, where those show.
TEST(TextBoxHighlight, ScrolledIntoViewUnlessThePersonScrolledAway) {
  ASSERT_TRUE(RegisterTextBoxClass(GetModuleHandleW(nullptr)));
  const UniqueWindow parent(CreateWindowExW(0, L"STATIC", L"", WS_POPUP | WS_VISIBLE, 0, 0, 320,
                                            220, nullptr, nullptr, nullptr, nullptr));
  const HWND box = CreateWindowExW(0, kTextBoxClass, L"", WS_CHILD | WS_VISIBLE | WS_VSCROLL, 0, 0,
                                   300, 200, parent.get(), nullptr, nullptr, nullptr);
  std::wstring text;
  for (int i = 0; i < 100; ++i) text += L"a b\r\n";
  SendMessageW(box, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
  const auto at = [&](DWORD i) {
    const auto point = static_cast<DWORD>(SendMessageW(box, EM_POSFROMCHAR, i, 0));
    return POINT{static_cast<short>(LOWORD(point)) + 1, static_cast<short>(HIWORD(point)) + 1};
  };
  RECT client{};
  GetClientRect(box, &client);
  const std::size_t shown = client.bottom / (at(5).y - at(0).y);
  const struct {
    DWORD start, end;  // the highlight; none for the person's scrolling
    bool begins;
    std::size_t top;
  } steps[] = {
      {250, 253, true, 51 - shown},
      {0, 0, false, 0},  // scrolled away, by the person:
      {300, 303, false, 0},
      {350, 353, true, 71 - shown},  // until a selection begins
      {20, 28, true, 4},
      {50, 450, true, 4},  // taller than the box: its start, then the end that moves
      {50, 475, false, 95 - shown},
  };
  for (const auto& step : steps) {
    SCOPED_TRACE(step.end);
    if (step.end != 0) SetTextBoxHighlight(box, {step.start, step.end, u"said", step.begins});
    if (step.end == 0) SendMessageW(box, WM_VSCROLL, SB_TOP, 0);
    EXPECT_EQ(static_cast<std::size_t>(SendMessageW(box, EM_GETFIRSTVISIBLELINE, 0, 0)), step.top);
    TextBoxHighlight highlight;
    EXPECT_TRUE(GetTextBoxHighlight(box, highlight));
    EXPECT_EQ(highlight.description, u"said");
    UpdateWindow(box);
    const WindowDc dc = vantorel::GetDC(box);
    for (const auto& [i, colour] : {std::pair(highlight.start + 1, HighlightShade()),
                                    std::pair(highlight.end + 3, GetSysColor(COLOR_WINDOW))}) {
      if (at(i).y > 0 && at(i).y < client.bottom) {
        EXPECT_EQ(GetPixel(dc->dc, at(i).x, at(i).y), colour);
      }
    }
  }
  SendMessageW(box, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"new text"));
  TextBoxHighlight highlight;
  EXPECT_FALSE(GetTextBoxHighlight(box, highlight));
}

}  // namespace
}  // namespace vantorel
