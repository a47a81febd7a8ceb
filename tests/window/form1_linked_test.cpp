// The two boxes' selections linked: a selection in one box, made with keys,
// the mouse or EM_SETSEL, and the highlight it gives in the other.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <tuple>

#include "tests/support/gui_driver.hpp"
#include "tests/window/form1_fixture.hpp"
#include "textbox/text_box.hpp"
#include "win32/handles.hpp"

namespace vantorel {
namespace {

using testing::Press;
using Range = 字符串加密::Range;

// A drag with the left button from just inside one character to another.
void Drag(HWND box, WPARAM from, WPARAM to) {
  for (const auto& [message, i] :
       {std::pair(WM_LBUTTONDOWN, from), {WM_MOUSEMOVE, to}, {WM_LBUTTONUP, to}}) {
    const auto point = static_cast<DWORD>(SendMessageW(box, EM_POSFROMCHAR, i, 0));
    PostMessageW(box, message, message != WM_LBUTTONUP ? MK_LBUTTON : 0,
                 MAKELPARAM(LOWORD(point) + 1, HIWORD(point) + 2));
  }
  testing::Pump();
}

int g_said = 0;  // EVENT_OBJECT_DESCRIPTIONCHANGE
void CALLBACK CountSaid(HWINEVENTHOOK, DWORD, HWND, LONG, LONG, DWORD, DWORD) { ++g_said; }

// Code page 936: Text1 "Hi中\r\n😀x" (😀 as 3F 3F), Text2 "48 69 D6 D0 0D 0A
// 3F 3F 78". Each step acts in one box, which keeps the focus, while the
// other keeps its selection; then both highlights (Text2's through its
// message, Text1's through Form1) and what Text2's accessible object says of
// its own (as it does without one where there is none).
TEST_F(Form1Test, EachBoxHighlightsWhatIsSelectedInTheOther) {
  const ComApartment com = vantorel::CoInitializeEx(COINIT_APARTMENTTHREADED);
  const UniqueWinEventHook hook(SetWinEventHook(EVENT_OBJECT_DESCRIPTIONCHANGE,
                                                EVENT_OBJECT_DESCRIPTIONCHANGE, nullptr, CountSaid,
                                                GetCurrentProcessId(), 0, WINEVENT_OUTOFCONTEXT));
  UniqueCom<IAccessible> box;
  ASSERT_EQ(AccessibleObjectFromWindow(text2(), OBJID_CLIENT, IID_IAccessible, box.put_void()),
            S_OK);
  const auto said = [&] {
    return testing::AccessibleText(box.get(), &IAccessible::get_accDescription);
  };
  const std::u16string nothing = said();
  SetFocus(text1());
  testing::Type(text1(), u"Hi中\r😀x");
  const auto select = [&](HWND in, int from, int to) {
    return [=] { SetFocus(in), SendMessageW(in, EM_SETSEL, from, to); };
  };
  const auto utf8 = [&] {
    const HMENU system = GetSystemMenu(form_.hwnd(), FALSE);
    const HMENU encodings = GetSubMenu(system, GetMenuItemCount(system) - 1);
    PostMessageW(form_.hwnd(), WM_SYSCOMMAND, GetMenuItemID(encodings, 6), 0);
  };
  const auto shift_right = [&] { Press(VK_RIGHT, testing::kShift); };
  const auto shift_right_twice = [&] { shift_right(), shift_right(); };
  const auto drag = [](HWND in, int from, int to) { return [=] { Drag(in, from, to); }; };
  const auto type = [this](const char16_t* keys) {
    return [=, this] { testing::Type(text2(), keys); };
  };
  const HWND t1 = text1(), t2 = text2();
  const struct {
    HWND in;
    std::function<void()> act;
    Range text2, text1;  // Text2's in hex characters, Text1's in code units
    const char16_t* description = nullptr;
  } steps[] = {
      {t1, select(t1, 2, 2), {6, 11}, {}, u"突出显示：第 3 至 4 字节，D6 D0"},
      {t1, shift_right_twice, {6, 17}, {}, u"突出显示：第 3 至 6 字节，D6 D0 0D 0A"},
      {t1, drag(t1, 5, 7), {18, 23}, {}, u"突出显示：第 7 至 8 字节，3F 3F"},
      {t1, select(t1, 6, 8), {18, 26}, {}, u"突出显示：第 7 至 9 字节，3F 3F 78"},  // half of 😀
      {t1, select(t1, 8, 8), {}, {}},           // at the end, nothing
      {t2, [&] { SetFocus(t2); }, {}, {0, 1}},  // Text2's caret, before 48
      {t2, select(t2, 7, 8), {}, {2, 3}},
      {t2, [&] { select(t2, 12, 12)(), shift_right(); }, {}, {3, 5}},
      {t2, drag(t2, 19, 20), {}, {5, 7}},
      {t2, type(u"x"), {}, {}},         // no longer the hex of Text1
      {t2, type(u"\x1A"), {}, {5, 7}},  // Ctrl+Z: again
      // UTF-8: "48 69 E4 B8 AD 0D 0A F0 9F 98 80 78", Text2's caret at its start.
      {t2, utf8, {}, {0, 1}},
      {t2, select(t2, 9, 9), {}, {2, 3}},
      {t2, select(t2, 30, 30), {}, {5, 7}},
      {t1, select(t1, 2, 3), {6, 14}, {}, u"突出显示：第 3 至 5 字节，E4 B8 AD"},
  };
  std::u16string before = nothing;
  for (const auto& step : steps) {
    SCOPED_TRACE("step " + std::to_string(&step - steps + 1));
    const HWND other = step.in == text1() ? text2() : text1();
    const LRESULT kept = SendMessageW(other, EM_GETSEL, 0, 0);
    g_said = 0;
    step.act();
    testing::Pump();
    EXPECT_EQ(GetFocus(), step.in);
    EXPECT_EQ(SendMessageW(other, EM_GETSEL, 0, 0), kept);
    TextBoxHighlight highlight;
    GetTextBoxHighlight(text2(), highlight);
    EXPECT_EQ((Range{highlight.start, highlight.end}), step.text2);
    EXPECT_EQ(form_.text1_highlight(), step.text1);
    const std::u16string now = said();
    EXPECT_EQ(now, step.description != nullptr ? step.description : nothing);
    EXPECT_EQ(g_said > 0, now != before);
    before = now;
  }
}

// Text1 of 200 lines "中": the groups of line 150 selected in Text2 scroll
// Text1 to them; once the person has scrolled Text1, a selection extended
// (one end kept) leaves it where it is, and a new one scrolls it again.
TEST_F(Form1Test, Text1ScrollsToItsHighlightUnlessThePersonScrolledIt) {
  std::wstring text;
  for (int i = 0; i < 200; ++i) text += L"中\r\n";
  SetFocus(text1());
  SendMessageW(text1(), EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(text.c_str()));
  SetFocus(text2());
  RECT client{};
  GetClientRect(text1(), &client);
  // Text2's selection (-1: the person scrolls Text1 to its top), Text1's
  // highlight, and whether it shows.
  const std::tuple<int, int, Range, bool> steps[] = {{1800, 1801, {450, 451}, true},
                                                     {-1, -1, {450, 451}, false},
                                                     {1800, 1810, {450, 453}, false},
                                                     {1812, 1812, {453, 454}, true}};
  for (const auto& [from, to, highlight, seen] : steps) {
    if (from < 0) SendMessageW(text1(), WM_VSCROLL, SB_TOP, 0);
    if (from >= 0) SendMessageW(text2(), EM_SETSEL, from, to);
    testing::Pump();
    EXPECT_EQ(form_.text1_highlight(), highlight);
    const auto y =
        static_cast<short>(HIWORD(SendMessageW(text1(), EM_POSFROMCHAR, highlight.start, 0)));
    EXPECT_EQ(y >= 0 && y < client.bottom, seen) << from;
  }
}

}  // namespace
}  // namespace vantorel
