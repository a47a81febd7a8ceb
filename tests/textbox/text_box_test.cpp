// The lower box on its own, in a window of the test's, driven with real
// window messages under Wine.
#include "textbox/text_box.hpp"

#include <gtest/gtest.h>
#include <oleacc.h>

#include <cstring>
#include <functional>
#include <initializer_list>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "tests/support/gui_driver.hpp"
#include "win32/handles.hpp"

namespace vantorel {
namespace testing {
// While not 0, every allocation of at least this many bytes fails: how the
// tests run the box out of memory (out_of_memory.cpp).
extern std::size_t g_fail_from;
}  // namespace testing
namespace {

using testing::SetClipboardText;

constexpr int kBoxId = 101;
constexpr wchar_t kParentClass[] = L"Vantorel.TextBoxTestParent";
using testing::HoldKeys;
using testing::kCtrl;
using testing::kShift;
using Selection = std::pair<DWORD, DWORD>;

// What the box told its parent.
int g_changes = 0;
int g_max_text = 0;

LRESULT CALLBACK ParentProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_COMMAND && LOWORD(wparam) == kBoxId) {
    g_changes += HIWORD(wparam) == EN_CHANGE;
    g_max_text += HIWORD(wparam) == EN_MAXTEXT;
  }
  return DefWindowProcW(hwnd, message, wparam, lparam);
}

void Pump() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
}

// One parent for all the tests, and a new box in it for each. Without a
// window manager, Wine takes two seconds to move the activation from a window
// that goes away, so the parent goes once, at the end.
class TextBoxTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = ParentProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
    wc.lpszClassName = kParentClass;
    if (RegisterClassExW(&wc) == 0 && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) return;
    // At the screen's corner, away from the pointer, which stays where it is.
    window_.reset(CreateWindowExW(0, kParentClass, L"TextBox test",
                                  WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 700, 500, nullptr,
                                  nullptr, wc.hInstance, nullptr));
    parent_ = window_.get();
    SetForegroundWindow(parent_);
  }
  static void TearDownTestSuite() { window_.reset(); }

  void SetUp() override {
    ASSERT_NE(parent_, nullptr);
    ASSERT_TRUE(RegisterTextBoxClass(GetModuleHandleW(nullptr)));
    owned_box_.reset(CreateWindowExW(WS_EX_CLIENTEDGE, kTextBoxClass, L"",
                                     WS_CHILD | WS_VISIBLE | WS_VSCROLL | ES_MULTILINE |
                                         ES_AUTOVSCROLL | ES_WANTRETURN | WS_TABSTOP,
                                     16, 16, 601, 225, parent_, reinterpret_cast<HMENU>(kBoxId),
                                     GetModuleHandleW(nullptr), nullptr));
    box_ = owned_box_.get();
    ASSERT_NE(box_, nullptr);
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof metrics;
    ASSERT_TRUE(SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0));
    font_.reset(CreateFontIndirectW(&metrics.lfMessageFont));
    Send(WM_SETFONT, reinterpret_cast<WPARAM>(font_.get()), TRUE);
    // The activation comes back from the X server a moment after it was asked for.
    for (int i = 0; i < 300 && GetFocus() != box_; ++i) {
      SetFocus(box_);
      Pump();
      if (GetFocus() != box_) Sleep(10);
    }
    ASSERT_EQ(GetFocus(), box_);
    g_changes = g_max_text = 0;
  }
  void TearDown() override {
    owned_box_.reset();
    Pump();
  }

  LRESULT Send(UINT message, WPARAM wparam = 0, LPARAM lparam = 0) const {
    return SendMessageW(box_, message, wparam, lparam);
  }
  void Type(std::u16string_view chars) {
    for (const char16_t c : chars) {
      PostMessageW(box_, WM_CHAR, c, 1);
      Pump();
    }
  }
  void Press(UINT key, unsigned mods = 0) {
    HoldKeys(mods);
    const LPARAM scan = static_cast<LPARAM>(MapVirtualKeyW(key, MAPVK_VK_TO_VSC)) << 16;
    PostMessageW(box_, WM_KEYDOWN, key, 1 | scan);
    PostMessageW(box_, WM_KEYUP, key, 1 | scan | (3LL << 30));
    Pump();
    HoldKeys(0);
  }
  // Mouse messages at client points, with Shift held if asked.
  void Mouse(std::initializer_list<std::pair<UINT, POINT>> messages, unsigned mods = 0) {
    HoldKeys(mods);
    for (const auto& [message, at] : messages) {
      const WPARAM buttons =
          ((mods & kShift) != 0 ? MK_SHIFT : 0) | (message != WM_LBUTTONUP ? MK_LBUTTON : 0);
      PostMessageW(box_, message, buttons, MAKELPARAM(at.x, at.y));
    }
    Pump();
    HoldKeys(0);
  }
  void Click(POINT at, unsigned mods = 0) {
    Mouse({{WM_LBUTTONDOWN, at}, {WM_LBUTTONUP, at}}, mods);
  }

  std::u16string Text() const { return testing::Text(box_); }
  void SetText(const std::u16string& text) {
    const std::wstring wide(text.begin(), text.end());
    ASSERT_EQ(Send(WM_SETTEXT, 0, reinterpret_cast<LPARAM>(wide.c_str())), TRUE);
  }
  void Select(DWORD anchor, DWORD caret) { Send(EM_SETSEL, anchor, caret); }
  Selection Sel() const {
    DWORD start = 0xDEAD, end = 0xBEEF;
    Send(EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    return {start, end};
  }
  POINT PosOf(std::size_t position) const {
    const auto packed = static_cast<DWORD>(Send(EM_POSFROMCHAR, position));
    return {static_cast<short>(LOWORD(packed)), static_cast<short>(HIWORD(packed))};
  }
  // Just inside the character at position, where a person would click on it.
  POINT Inside(std::size_t position) const {
    const POINT at = PosOf(position);
    return {at.x + 1, at.y + 2};
  }
  int LineHeight() const { return PosOf(LineIndex(1)).y - PosOf(0).y; }
  DWORD LineIndex(int line) const { return static_cast<DWORD>(Send(EM_LINEINDEX, line)); }

  static inline UniqueWindow window_;
  static inline HWND parent_ = nullptr;
  UniqueWindow owned_box_;
  HWND box_ = nullptr;
  UniqueFont font_;
};

TEST_F(TextBoxTest, SetTextAndGetText) {
  for (const char16_t* text : {u"", u"abc", u"a\r\nb\r\n", u"\xD83D\xDE00x\xD83D\xDE00", u"中文"}) {
    SCOPED_TRACE(::testing::PrintToString(std::u16string(text)));
    SetText(u"before");
    Select(6, 6);
    Type(u"zz");  // something to undo
    Select(1, 3);
    g_changes = 0;
    SetText(text);
    EXPECT_EQ(Send(WM_GETTEXTLENGTH), static_cast<LRESULT>(std::u16string_view(text).size()));
    EXPECT_EQ(Text(), text);
    EXPECT_EQ(Sel(), Selection(0, 0));
    EXPECT_FALSE(Send(EM_CANUNDO));
    EXPECT_FALSE(Send(EM_GETMODIFY));
    EXPECT_EQ(g_changes, 0);
  }
  SetText(u"abcdef");
  wchar_t small[5] = {L'X', L'X', L'X', L'X', L'X'};
  EXPECT_EQ(Send(WM_GETTEXT, 4, reinterpret_cast<LPARAM>(small)), 3);
  EXPECT_EQ(std::wstring_view(small, 5), std::wstring_view(L"abc\0X", 5));
  EXPECT_EQ(Send(WM_GETTEXT, 0, reinterpret_cast<LPARAM>(small)), 0);
  EXPECT_EQ(small[0], L'a');
  // A selection never starts or ends inside a line break or a surrogate pair.
  SetText(u"ab\r\ncd\xD83D\xDE00");
  Select(3, 7);
  EXPECT_EQ(Sel(), Selection(2, 6));
}

TEST_F(TextBoxTest, TypingAndErasing) {
  const std::u16string pair = u"\xD83D\xDE00";
  const struct {
    std::u16string before;
    DWORD anchor, caret;
    const char16_t* chars;  // or, when null, Delete pressed
    std::u16string after;
    DWORD at;
    int changes;
  } cases[] = {
      {u"", 0, 0, u"ab", u"ab", 2, 2},
      {u"hello", 1, 4, u"E", u"hEo", 2, 1},
      {u"ab", 2, 2, u"\r", u"ab\r\n", 4, 1},
      {u"ab", 1, 1, u"\n", u"a\r\nb", 3, 1},  // Ctrl+Enter
      {u"ab", 1, 1, u"\t", u"a\tb", 2, 1},
      {u"ab", 1, 1, u"\x02\x07\x1b\x7f", u"ab", 1, 0},
      {u"", 0, 0, u"中\xD83D\xDE00", u"中" + pair, 3, 3},
      {u"ab\r\ncd", 4, 4, u"\b", u"abcd", 2, 1},
      {u"ab\r\ncd", 2, 2, nullptr, u"abcd", 2, 1},
      {u"a" + pair + u"b", 3, 3, u"\b", u"ab", 1, 1},
      {u"a" + pair + u"b", 1, 1, nullptr, u"ab", 1, 1},
      {u"abc", 0, 0, u"\b", u"abc", 0, 0},
      {u"abcd", 1, 3, u"\b", u"ad", 1, 1},
      {u"abcd", 3, 1, nullptr, u"ad", 1, 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE("case " + std::to_string(&c - cases + 1));
    SetText(c.before);
    Select(c.anchor, c.caret);
    g_changes = 0;
    if (c.chars != nullptr) {
      Type(c.chars);
    } else {
      Press(VK_DELETE);
    }
    EXPECT_EQ(Text(), c.after);
    EXPECT_EQ(Sel(), Selection(c.at, c.at));
    EXPECT_EQ(g_changes, c.changes);
  }
}

TEST_F(TextBoxTest, LongHexTextWrapsAtSpacesWithinTheBox) {
  std::u16string text;  // "00 01 02 ... FF 00 01 ...", 3000 characters
  for (int i = 0; i < 1000; ++i)
    text += {u"0123456789ABCDEF"[i / 16 % 16], u"0123456789ABCDEF"[i % 16], u' '};
  SetText(text);
  RECT client{};
  GetClientRect(box_, &client);
  const auto margins = static_cast<DWORD>(Send(EM_GETMARGINS));
  // The client area less a pixel inside the sunken edge, and the margins.
  const int width = client.right - 2 - LOWORD(margins) - HIWORD(margins);
  const int count = static_cast<int>(Send(EM_GETLINECOUNT));
  ASSERT_GT(count, 20);
  EXPECT_EQ(Send(EM_LINEINDEX, count), -1);
  const POINT origin = PosOf(0);
  const int line_height = LineHeight();
  const int space = PosOf(3).x - PosOf(2).x;
  for (int line = 0; line < count; ++line) {
    SCOPED_TRACE("line " + std::to_string(line));
    const std::size_t start = LineIndex(line);
    const std::size_t next = line + 1 < count ? LineIndex(line + 1) : text.size();
    ASSERT_LT(start, next);
    if (line > 0) {
      EXPECT_EQ(text[start - 1], u' ');
    }
    EXPECT_EQ(Send(EM_LINEFROMCHAR, start), line);
    EXPECT_EQ(PosOf(start).x, origin.x);
    EXPECT_EQ(PosOf(start).y - origin.y, line * line_height);
    // The line, its last space too, fits in the box, and with the next group
    // and its space it would not have.
    const int line_end = PosOf(next - 1).x - origin.x + space;
    EXPECT_LE(line_end, width);
    if (line + 1 < count) {
      EXPECT_GT(line_end + PosOf(next + 3).x - origin.x, width);
    }
  }

  // End stays at the end of a wrapped line, rather than going to the next.
  const DWORD line1 = LineIndex(1), line2 = LineIndex(2);
  Select(line1 + 4, line1 + 4);
  Press(VK_END);
  Press(VK_HOME, kShift);
  EXPECT_EQ(Sel(), Selection(line1, line2));
  Press(VK_UP);
  Press(VK_DOWN);
  Press(VK_DOWN);
  Press(VK_HOME);
  EXPECT_EQ(Sel(), Selection(line2, line2));
}

TEST_F(TextBoxTest, LongPasteArrivesWhole) {
  std::u16string text;
  while (text.size() < 600000) text += u"中文 41 42\r\n\xD83D\xDE00 x\t";  // 15 units
  ASSERT_TRUE(SetClipboardText(parent_, text));
  SetText(u"[]");
  Select(1, 1);
  Send(WM_PASTE);
  EXPECT_EQ(Text(), u"[" + text + u"]");
  EXPECT_EQ(Sel(), Selection(600001, 600001));
  EXPECT_GT(Send(EM_GETFIRSTVISIBLELINE), 0);  // the caret was scrolled into view
  EXPECT_EQ(g_changes, 1);
}

// EM_POSFROMCHAR gives the top-left corner of a character, so a click there,
// and EM_CHARFROMPOS of it, come back to the same character.
TEST_F(TextBoxTest, ClickAtPosFromCharPutsTheCaretThere) {
  SetText(u"alpha beta\r\ngamma delta\r\nepsilon");
  for (const DWORD position : {3u, 14u, 26u}) {
    SCOPED_TRACE(position);
    const POINT at = PosOf(position);
    const auto found = static_cast<DWORD>(Send(EM_CHARFROMPOS, 0, MAKELPARAM(at.x, at.y)));
    EXPECT_EQ(LOWORD(found), position);
    Click(at);
    EXPECT_EQ(Sel(), Selection(position, position));
  }
}

TEST_F(TextBoxTest, MouseClicksDragsAndDoubleClicks) {
  const std::u16string text = u"alpha beta\r\ngamma delta\r\nepsilon";  // lines at 0, 12, 25
  SetText(text);
  Click(Inside(3));
  EXPECT_EQ(Sel(), Selection(3, 3));
  Mouse({{WM_LBUTTONDOWN, Inside(2)}, {WM_MOUSEMOVE, Inside(15)}, {WM_LBUTTONUP, Inside(15)}});
  EXPECT_EQ(Sel(), Selection(2, 15));
  Mouse({{WM_LBUTTONDOWN, Inside(15)}, {WM_MOUSEMOVE, Inside(2)}, {WM_LBUTTONUP, Inside(2)}});
  EXPECT_EQ(Sel(), Selection(2, 15));
  Press(VK_RIGHT, kShift);  // the caret is where the drag ended
  EXPECT_EQ(Sel(), Selection(3, 15));
  Click(Inside(27), kShift);
  EXPECT_EQ(Sel(), Selection(15, 27));
  Click(Inside(14));
  Mouse({{WM_LBUTTONDBLCLK, Inside(14)}, {WM_LBUTTONUP, Inside(14)}});
  EXPECT_EQ(Sel(), Selection(12, 17));  // "gamma"
  Mouse({{WM_LBUTTONDBLCLK, Inside(22)}, {WM_LBUTTONUP, Inside(22)}});
  EXPECT_EQ(Sel(), Selection(18, 23));     // "delta"
  Click({PosOf(9).x + 200, Inside(0).y});  // right of the first line's end
  EXPECT_EQ(Sel(), Selection(10, 10));
  Click({Inside(30).x, Inside(30).y + 100});  // below the text
  EXPECT_EQ(Sel(), Selection(30, 30));
  EXPECT_EQ(Text(), text);
  EXPECT_EQ(g_changes, 0);
}

TEST_F(TextBoxTest, Scrolling) {
  std::u16string text;
  for (int i = 0; i < 100; ++i) text += u"line\r\n";
  SetText(text + u"end");
  ASSERT_EQ(Send(EM_GETLINECOUNT), 101);
  RECT client{};
  GetClientRect(box_, &client);
  const int visible = (client.bottom - 2) / LineHeight();  // whole lines inside the edge
  const int last_top = 101 - visible;
  UINT wheel_lines = 3;
  SystemParametersInfoW(SPI_GETWHEELSCROLLLINES, 0, &wheel_lines, 0);
  const auto wheel = [&](short delta) { Send(WM_MOUSEWHEEL, MAKEWPARAM(0, delta)); };
  const auto end = static_cast<DWORD>(text.size() + 3);
  const struct {
    std::function<void()> act;
    int low, high;  // the first line shown after it
  } steps[] = {
      {[&] { Send(WM_VSCROLL, SB_LINEDOWN); }, 1, 1},
      {[&] { Send(WM_VSCROLL, SB_PAGEDOWN); }, visible, visible + 1},  // a page, or less a line
      {[&] { Send(WM_VSCROLL, SB_BOTTOM); }, last_top, last_top},
      {[&] { Send(WM_VSCROLL, SB_LINEDOWN); }, last_top, last_top},
      {[&] { Send(WM_VSCROLL, SB_LINEUP); }, last_top - 1, last_top - 1},
      {[&] { Send(WM_VSCROLL, SB_TOP); }, 0, 0},
      {[&] { wheel(-WHEEL_DELTA); }, static_cast<int>(wheel_lines), static_cast<int>(wheel_lines)},
      {[&] { wheel(WHEEL_DELTA); }, 0, 0},
      {[&] { Press(VK_END, kCtrl); }, last_top, last_top},
      {[&] { Press(VK_HOME, kCtrl); }, 0, 0},
      {[&] { Select(end, end); }, last_top, last_top},  // EM_SETSEL shows the caret
      {[&] { Send(WM_VSCROLL, SB_TOP); }, 0, 0},
      {[&] { Send(EM_SCROLLCARET); }, last_top, last_top},
      {[&] { SetText(u"short"); }, 0, 0},
  };
  for (const auto& step : steps) {
    SCOPED_TRACE("step " + std::to_string(&step - steps + 1));
    step.act();
    const int first = static_cast<int>(Send(EM_GETFIRSTVISIBLELINE));
    EXPECT_GE(first, step.low);
    EXPECT_LE(first, step.high);
    EXPECT_EQ(GetScrollPos(box_, SB_VERT), first);
  }
}

// As a standard control: with redrawing off, an edit neither asks for paint
// nor sets the scroll bar; turned on again, the box does both.
TEST_F(TextBoxTest, RedrawOffHoldsPaintAndScrollBar) {
  std::u16string text;
  for (int i = 0; i < 50; ++i) text += u"line\r\n";
  const auto range = [&] {
    SCROLLINFO info{sizeof info, SIF_RANGE, -1, -1, 0, 0, 0};
    GetScrollInfo(box_, SB_VERT, &info);
    return info.nMax;
  };
  UpdateWindow(box_);
  Send(WM_SETREDRAW, FALSE);
  SetText(text);
  EXPECT_FALSE(GetUpdateRect(box_, nullptr, FALSE));
  EXPECT_EQ(range(), 0);
  Send(WM_SETREDRAW, TRUE);
  EXPECT_TRUE(GetUpdateRect(box_, nullptr, FALSE));
  EXPECT_EQ(range(), 50);
}

// Running out of memory in the middle of an edit: the box's window procedure
// stops the exception (none reaches the test), and the box keeps what it
// held, its step to undo too.
TEST_F(TextBoxTest, OutOfMemoryKeepsWhatTheBoxHeld) {
  const std::u16string text(300000, u'x');  // every edit of it allocates 600 KB
  const std::wstring other(300000, L'y');
  ASSERT_TRUE(SetClipboardText(parent_, u"pasted"));
  SetText(text);
  Select(10, 20);
  Type(u"ab");
  const Selection selection = Sel();
  g_changes = 0;
  const std::function<LRESULT()> edits[] = {
      [&] { return PostMessageW(box_, WM_CHAR, u'z', 1) ? (Pump(), 0) : -1; },
      [&] { return Send(WM_PASTE); },
      [&] { return Send(WM_UNDO); },
      [&] { return Send(EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(L"z")); },
      [&] { return Send(WM_SETTEXT, 0, reinterpret_cast<LPARAM>(other.c_str())); },
  };
  for (const auto& edit : edits) {
    SCOPED_TRACE("edit " + std::to_string(&edit - edits + 1));
    testing::g_fail_from = 64 * 1024;
    const LRESULT result = edit();
    testing::g_fail_from = 0;
    EXPECT_EQ(result, 0);
    EXPECT_EQ(Send(WM_GETTEXTLENGTH), 300000 - 10 + 2);
    EXPECT_EQ(Sel(), selection);
    EXPECT_EQ(g_changes, 0);
  }
  Send(WM_UNDO);
  EXPECT_EQ(Text(), text);
}

TEST_F(TextBoxTest, LimitText) {
  Send(EM_SETLIMITTEXT, 0);
  EXPECT_GE(static_cast<DWORD>(Send(EM_GETLIMITTEXT)), 0x7FFFFFFEu);
  Send(EM_SETLIMITTEXT, 5);
  EXPECT_EQ(Send(EM_GETLIMITTEXT), 5);
  Type(u"abcdefg");
  EXPECT_EQ(Text(), u"abcde");
  EXPECT_GT(g_max_text, 0);
  Press('A', kCtrl);
  Type(u"Z");  // a selection typed over makes room
  EXPECT_EQ(Text(), u"Z");
  const struct {
    const char16_t* pasted;
    const char16_t* after;
  } pastes[] = {
      {u"1234", u"Z1234"},
      {u"12345", u"Z1234"},
      {u"123\xD83D\xDE00", u"Z123"},  // never half a pair
      {u"123\r\n", u"Z123"},          // nor half a line break
  };
  for (const auto& paste : pastes) {
    SCOPED_TRACE(::testing::PrintToString(std::u16string(paste.pasted)));
    SetText(u"Z");
    Select(1, 1);
    ASSERT_TRUE(SetClipboardText(parent_, paste.pasted));
    Send(WM_PASTE);
    EXPECT_EQ(Text(), paste.after);
  }
  Select(4, 4);
  Type(u"\r");
  EXPECT_EQ(Text(), u"Z123");
}

// The box's name as a screen reader gets it, through WM_GETOBJECT and
// ObjectFromLresult: the label just before it, else the frame around it.
TEST_F(TextBoxTest, NamedByTheLabelBeforeItOrItsFrame) {
  const ComApartment com = vantorel::CoInitializeEx(COINIT_APARTMENTTHREADED);
  const auto name = [&] {
    const LRESULT answer = Send(WM_GETOBJECT, 0, static_cast<LPARAM>(OBJID_CLIENT));
    UniqueCom<IAccessible> object;
    if (answer <= 0 || FAILED(ObjectFromLresult(answer, IID_IAccessible, 0, object.put_void()))) {
      return std::u16string(u"<no object>");
    }
    return testing::AccessibleText(object.get(), &IAccessible::get_accName);
  };
  const auto make = [&](const wchar_t* window_class, const wchar_t* text, DWORD style, RECT r) {
    UniqueWindow made(CreateWindowExW(0, window_class, text, WS_CHILD | WS_VISIBLE | style, r.left,
                                      r.top, r.right, r.bottom, parent_, nullptr,
                                      GetModuleHandleW(nullptr), nullptr));
    // Before the box in the z-order, as a label created before it would be.
    SetWindowPos(box_, made.get(), 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    return made;
  };
  EXPECT_EQ(name(), u"<hr 00000001>");  // S_FALSE: nothing names it
  const UniqueWindow frame = make(L"Button", L"&Frame", BS_GROUPBOX, {8, 2, 620, 260});
  EXPECT_EQ(name(), u"Frame");
  const UniqueWindow label = make(L"Static", L"He&x && text:", SS_LEFT, {16, 0, 200, 14});
  EXPECT_EQ(name(), u"Hex & text:");
  ShowWindow(label.get(), SW_HIDE);
  EXPECT_EQ(name(), u"Frame");
  EXPECT_EQ(Send(WM_GETOBJECT, 0, static_cast<LPARAM>(OBJID_WINDOW)),
            DefWindowProcW(box_, WM_GETOBJECT, 0, static_cast<LPARAM>(OBJID_WINDOW)));
}

}  // namespace
}  // namespace vantorel
