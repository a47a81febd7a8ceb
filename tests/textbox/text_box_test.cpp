// The lower box, in a window of the test's, driven with real window messages
// under Wine: first what the box alone shows, then the box beside the system's
// edit control.
//
// Beside the edit control, both get the same real messages (read-only for a
// while, now and then), and after each one their text, selection, first
// visible line, scroll bar thumb, line starts, modified flag, whether they can
// undo, and clipboard must be the same, but where a table below says why not.
// The steps are drawn from a fixed seed; a failure prints the seed and the
// step, and a fault once found stays below as a replay. `make test` runs a few
// sequences. VANTOREL_DIFF_SECONDS=N keeps drawing new sequences for N seconds
// (scripts/wine-run.sh passes it on to the program), and VANTOREL_DIFF_SEED=S
// starts from seed S.
#include "textbox/text_box.hpp"

#include <gtest/gtest.h>
#include <oleacc.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <initializer_list>
#include <optional>
#include <ostream>
#include <random>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "tests/support/gui_driver.hpp"
#include "win32/clipboard.hpp"
#include "win32/dpi.hpp"
#include "win32/edit_menu.hpp"
#include "win32/handles.hpp"

namespace vantorel {
namespace {

using testing::HoldKeys;
using testing::kCtrl;
using testing::kShift;
using testing::Press;
using ::testing::PrintToString;
using testing::Pump;
using Selection = std::pair<DWORD, DWORD>;

constexpr int kBoxId = 101;
constexpr wchar_t kParentClass[] = L"Vantorel.TextBoxTestParent";
constexpr DWORD kStyle =
    WS_CHILD | WS_VISIBLE | WS_VSCROLL | ES_MULTILINE | ES_AUTOVSCROLL | ES_WANTRETURN | WS_TABSTOP;

// What the box told its parent.
int g_changes = 0;
int g_max_text = 0;
// How many whole lines the edit control (and the box) show.
int g_visible_lines = 1;

LRESULT CALLBACK ParentProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_COMMAND && LOWORD(wparam) == kBoxId) {
    g_changes += HIWORD(wparam) == EN_CHANGE;
    g_max_text += HIWORD(wparam) == EN_MAXTEXT;
  }
  return DefWindowProcW(hwnd, message, wparam, lparam);
}

// One parent for all the tests, with the system's edit control in it, and a
// new box beside that for each test. Without a window manager, Wine takes two
// seconds to move the activation from a window that goes away, so the parent
// goes once, at the end.
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
                                  WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 700, 300, nullptr,
                                  nullptr, wc.hInstance, nullptr));
    parent_ = window_.get();
    SetForegroundWindow(parent_);
    font_ = CreateMessageFont(96);
    edit_ = CreateWindowExW(WS_EX_CLIENTEDGE, L"EDIT", L"", kStyle, 8, 8, 321, 157, parent_,
                            nullptr, wc.hInstance, nullptr);
    SendMessageW(edit_, WM_SETFONT, reinterpret_cast<WPARAM>(font_.get()), TRUE);
    RECT format{};
    SendMessageW(edit_, EM_GETRECT, 0, reinterpret_cast<LPARAM>(&format));
    TEXTMETRICW metrics{};
    {
      const WindowDc dc = vantorel::GetDC(edit_);
      const SelectedObject font = vantorel::SelectObject(dc->dc, font_.get());
      GetTextMetricsW(dc->dc, &metrics);
    }
    g_visible_lines =
        (std::max)(1, static_cast<int>((format.bottom - format.top) / metrics.tmHeight));
  }
  static void TearDownTestSuite() {
    window_.reset();
    font_.reset();
  }

  void SetUp() override {
    ASSERT_NE(edit_, nullptr);
    ASSERT_TRUE(RegisterTextBoxClass(GetModuleHandleW(nullptr)));
    owned_box_.reset(CreateWindowExW(WS_EX_CLIENTEDGE, kTextBoxClass, L"", kStyle, 340, 8, 321, 157,
                                     parent_, reinterpret_cast<HMENU>(kBoxId),
                                     GetModuleHandleW(nullptr), nullptr));
    box_ = owned_box_.get();
    ASSERT_NE(box_, nullptr);
    Send(WM_SETFONT, reinterpret_cast<WPARAM>(font_.get()), TRUE);
    // The box keeps the margins the system gives the edit control, as Form1 does.
    Send(EM_SETMARGINS, EC_LEFTMARGIN | EC_RIGHTMARGIN, SendMessageW(edit_, EM_GETMARGINS, 0, 0));
    ASSERT_TRUE(testing::Focus(box_));
    g_changes = g_max_text = 0;
  }
  void TearDown() override {
    owned_box_.reset();
    Pump();
  }

  LRESULT Send(UINT message, WPARAM wparam = 0, LPARAM lparam = 0) const {
    return SendMessageW(box_, message, wparam, lparam);
  }
  void Type(std::u16string_view chars) { testing::Type(box_, chars); }
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
  void SetSel(DWORD anchor, DWORD caret) { Send(EM_SETSEL, anchor, caret); }
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

  static inline UniqueWindow window_;  // the parent, which takes its windows with it
  static inline HWND parent_ = nullptr, edit_ = nullptr;
  static inline UniqueFont font_;
  UniqueWindow owned_box_;
  HWND box_ = nullptr;
};

// An EN_CHANGE for each edit, none for WM_SETTEXT or an edit that changes
// nothing; control characters are not typed, and a surrogate pair is erased
// whole (Wine's edit control, which the comparison below holds the box to,
// erases half of it).
TEST_F(TextBoxTest, EditsNotifyAndKeepPairsWhole) {
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
      {u"abc", 0, 0, u"\b", u"abc", 0, 0},
      {u"ab", 1, 1, u"\x02\x07\x1b\x7f", u"ab", 1, 0},
      {u"a" + pair + u"b", 3, 3, u"\b", u"ab", 1, 1},
      {u"a" + pair + u"b", 1, 1, nullptr, u"ab", 1, 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE("case " + std::to_string(&c - cases + 1));
    SetText(c.before);
    EXPECT_EQ(g_changes, 0);
    SetSel(c.anchor, c.caret);
    if (c.chars != nullptr) {
      Type(c.chars);
    } else {
      Press(VK_DELETE);
    }
    EXPECT_EQ(Text(), c.after);
    EXPECT_EQ(Sel(), Selection(c.at, c.at));
    EXPECT_EQ(g_changes, c.changes);
    g_changes = 0;
  }
  // A selection never starts or ends inside a line break or a surrogate pair;
  // WM_GETTEXT fills a small buffer as far as it goes.
  SetText(u"ab\r\ncd" + pair);
  SetSel(3, 7);
  EXPECT_EQ(Sel(), Selection(2, 6));
  wchar_t small[5] = {L'X', L'X', L'X', L'X', L'X'};
  EXPECT_EQ(Send(WM_GETTEXT, 4, reinterpret_cast<LPARAM>(small)), 3);
  EXPECT_EQ(std::wstring_view(small, 5), std::wstring_view(L"ab\r\0X", 5));
  EXPECT_EQ(Send(WM_GETTEXT, 0, reinterpret_cast<LPARAM>(small)), 0);
  EXPECT_EQ(small[0], L'a');
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
}

TEST_F(TextBoxTest, LongPasteArrivesWhole) {
  std::u16string text;
  while (text.size() < 600000) text += u"中文 41 42\r\n\xD83D\xDE00 x\t";  // 15 units
  ASSERT_TRUE(SetClipboardText(parent_, text));
  SetText(u"[]");
  SetSel(1, 1);
  Send(WM_PASTE);
  EXPECT_EQ(Text(), u"[" + text + u"]");
  EXPECT_EQ(Sel(), Selection(600001, 600001));
  EXPECT_GT(Send(EM_GETFIRSTVISIBLELINE), 0);  // the caret was scrolled into view
  EXPECT_EQ(g_changes, 1);
}

// EM_POSFROMCHAR gives the top-left corner of a character, and EM_CHARFROMPOS
// and a click there come back to it; clicks, drags and double clicks select
// as in the edit control.
TEST_F(TextBoxTest, MouseClicksDragsAndDoubleClicks) {
  const std::u16string text = u"alpha beta\r\ngamma delta\r\nepsilon";  // lines at 0, 12, 25
  SetText(text);
  for (const DWORD position : {3u, 14u, 26u}) {
    SCOPED_TRACE(position);
    const POINT at = PosOf(position);
    const auto found = static_cast<DWORD>(Send(EM_CHARFROMPOS, 0, MAKELPARAM(at.x, at.y)));
    EXPECT_EQ(LOWORD(found), position);
    Click(at);
    EXPECT_EQ(Sel(), Selection(position, position));
  }
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

// As a standard control: with redrawing off, an edit neither asks for paint
// nor sets the scroll bar; turned on again, the box does both. A page from the
// scroll bar is a boxful of lines or one less (Wine's edit control scrolls a
// whole boxful, so the comparison with it does not page).
TEST_F(TextBoxTest, RedrawOffHoldsPaintAndScrollBarAndPages) {
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

  RECT client{};
  GetClientRect(box_, &client);
  const int visible = (client.bottom - 2) / LineHeight();  // whole lines inside the edge
  Send(WM_VSCROLL, SB_PAGEDOWN);
  const auto first = static_cast<int>(Send(EM_GETFIRSTVISIBLELINE));
  EXPECT_GE(first, visible - 1);
  EXPECT_LE(first, visible);
  EXPECT_EQ(GetScrollPos(box_, SB_VERT), first);
  Send(WM_VSCROLL, SB_PAGEUP);
  EXPECT_EQ(Send(EM_GETFIRSTVISIBLELINE), 0);
}

// Running out of memory in the middle of an edit: the box's window procedure
// stops the exception (none reaches the test), and the box keeps what it
// held, its step to undo too.
TEST_F(TextBoxTest, OutOfMemoryKeepsWhatTheBoxHeld) {
  const std::u16string text(300000, u'x');  // every edit of it allocates 600 KB
  const std::wstring other(300000, L'y');
  ASSERT_TRUE(SetClipboardText(parent_, u"pasted"));
  SetText(text);
  SetSel(10, 20);
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
    LRESULT result = -1;
    {
      const testing::AllocationsFailAbove out_of_memory(64 * 1024);
      result = edit();
    }
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
    SetSel(1, 1);
    ASSERT_TRUE(SetClipboardText(parent_, paste.pasted));
    Send(WM_PASTE);
    EXPECT_EQ(Text(), paste.after);
  }
  SetSel(4, 4);
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
  const UniqueWindow frame = make(L"Button", L"&Frame", BS_GROUPBOX, {4, 0, 680, 200});
  EXPECT_EQ(name(), u"Frame");
  const UniqueWindow label = make(L"Static", L"He&x && text:", SS_LEFT, {16, 0, 200, 14});
  EXPECT_EQ(name(), u"Hex & text:");
  ShowWindow(label.get(), SW_HIDE);
  EXPECT_EQ(name(), u"Frame");
  EXPECT_EQ(Send(WM_GETOBJECT, 0, static_cast<LPARAM>(OBJID_WINDOW)),
            DefWindowProcW(box_, WM_GETOBJECT, 0, static_cast<LPARAM>(OBJID_WINDOW)));
}

// ---- The box beside the edit control ----------------------------------------

enum class Kind { kChars, kKey, kSetText, kSetSel, kReplaceSel, kMessage, kReadOnly };

struct Step {
  Kind kind;
  std::u16string text;  // characters, or the new text
  unsigned key = 0;     // key, or message for kMessage
  unsigned mods = 0;
  // EM_SETSEL's positions; EM_REPLACESEL's can-undo flag, EM_SETREADONLY's, or
  // kMessage's wParam, in from.
  int from = 0, to = 0;
};

// The edit control's text, selection, first visible line, scroll bar thumb,
// line starts, EM_GETMODIFY and EM_CANUNDO (and the clipboard, after steps
// that use it).
struct State {
  std::u16string text;
  DWORD start = 0, end = 0;
  LRESULT first = 0;
  int thumb = 0;  // the scroll bar's
  std::vector<LRESULT> lines;
  LRESULT modified = 0, can_undo = 0;
  std::u16string clipboard;
  bool operator==(const State&) const = default;
};

void PrintTo(const Step& step, std::ostream* out) {
  *out << "kind " << static_cast<int>(step.kind) << " key/message " << step.key << " mods "
       << step.mods << " from " << step.from << " to " << step.to << " text "
       << PrintToString(step.text);
}

void PrintTo(const State& s, std::ostream* out) {
  *out << "sel " << s.start << "-" << s.end << " first " << s.first << " thumb " << s.thumb
       << " lines";
  for (const LRESULT start : s.lines) *out << " " << start;
  *out << " modified " << s.modified << " can undo " << s.can_undo << " clipboard "
       << PrintToString(s.clipboard) << " text " << PrintToString(s.text);
}

bool IsSurrogate(char16_t c) { return c >= 0xD800 && c <= 0xDFFF; }
// Whether position falls between the halves of a surrogate pair or of "\r\n".
bool Inside(std::u16string_view text, long long position) {
  if (position <= 0 || position >= static_cast<long long>(text.size())) return false;
  const auto i = static_cast<std::size_t>(position);
  return (IsSurrogate(text[i - 1]) && IsSurrogate(text[i])) ||
         (text[i - 1] == u'\r' && text[i] == u'\n');
}

// A step whose outcome depends on where lines break.
bool FollowsLines(const Step& step) {
  if (step.kind != Kind::kKey) return false;
  const bool control = (step.mods & kCtrl) != 0;
  const unsigned key = step.key;
  return key == VK_UP || key == VK_DOWN || key == VK_PRIOR || key == VK_NEXT ||
         ((key == VK_HOME || key == VK_END) && !control) ||
         ((key == VK_LEFT || key == VK_RIGHT || key == VK_DELETE) && control);
}

// The line a state's caret is on (at a wrap, the line that starts there).
std::size_t CaretLineOf(const State& state) {
  const auto after =
      std::upper_bound(state.lines.begin(), state.lines.end(), static_cast<LRESULT>(state.end));
  return static_cast<std::size_t>(after - state.lines.begin()) - 1;
}

// Whether the first line the two break differently is shorter in the edit.
bool EditBreaksEarlier(const State& edit, const State& box) {
  std::size_t i = 0;
  while (i < edit.lines.size() && i < box.lines.size() && edit.lines[i] == box.lines[i]) ++i;
  return i > 0 && i < edit.lines.size() && i < box.lines.size() && edit.lines[i] < box.lines[i];
}

// Where the two differ on purpose, each with what it leaves out.
//  - kLeavesOutStep: a step it matches (given the edit control's state
//    before and after it) is not compared; both are then given the box's
//    text and selection.
//  - kLinesMayDiffer: the two may break lines (or measure them) differently
//    in a state it matches. After a step into such a state the first visible
//    line, the thumb and the line starts are not compared while they differ;
//    from such a state, or while lines differ, the steps that follow lines
//    are left out as above. Text, selection, the modified flag, undo and the
//    clipboard are always compared.
enum class When { kLeavesOutStep, kLinesMayDiffer };
struct Difference {
  When when;
  bool (*matches)(const Step& step, const State& edit, const State& box);
  const char* reason;
};
const Difference kDifferences[] = {
    {When::kLeavesOutStep,
     [](const Step& step, const State& edit, const State& after) {
       if (Inside(after.text, after.start) || Inside(after.text, after.end)) return true;
       const bool caret_step = step.kind == Kind::kKey && (step.mods & kCtrl) == 0 &&
                               (step.key == VK_LEFT || step.key == VK_RIGHT ||
                                step.key == VK_BACK || step.key == VK_DELETE);
       const auto pair_at = [&](std::size_t i) {
         return i < edit.text.size() && IsSurrogate(edit.text[i]);
       };
       return caret_step && (pair_at(edit.start) || pair_at(edit.start - 1) || pair_at(edit.end) ||
                             pair_at(edit.end - 1));
     },
     "Wine's edit control steps, selects and erases one half of a surrogate pair at a time, "
     "and can leave the caret between the halves (or those of \"\\r\\n\", where undo "
     "selects a place the text has changed since); Windows' takes the pair as the one "
     "character it is, as the box does, and the box moves the caret to the character's start"},
    {When::kLeavesOutStep,
     [](const Step& step, const State& edit, const State&) {
       return step.kind == Kind::kSetSel && step.from != -1 &&
              (Inside(edit.text, step.from) || Inside(edit.text, step.to));
     },
     "EM_SETSEL into the middle of a surrogate pair or of \"\\r\\n\": the edit control puts the "
     "caret there; the box moves it to the start of the character or line break, so that no "
     "edit splits one"},
    {When::kLeavesOutStep,
     [](const Step& step, const State& edit, const State&) {
       if (step.kind != Kind::kKey || edit.lines.empty()) return false;
       const auto line = static_cast<long long>(CaretLineOf(edit));
       const auto last = static_cast<long long>(edit.lines.size()) - 1;
       return (step.key == VK_PRIOR && line - g_visible_lines < 0) ||
              (step.key == VK_UP && line == 0) ||
              (step.key == VK_NEXT && line + g_visible_lines > last) ||
              (step.key == VK_DOWN && line == last);
     },
     "Up, Down, Page Up or Page Down past the first or last line: Wine's edit control, "
     "lacking the layout of a line it has not drawn yet, can put the caret at that line's "
     "start; Windows' keeps the caret's x, as the box does"},
    {When::kLinesMayDiffer,
     [](const Step&, const State& edit, const State& box) { return EditBreaksEarlier(edit, box); },
     "Wine's edit control guesses where a line breaks from the average width of the rest of "
     "its paragraph, and so may break it before the last place that fits; the box breaks there, "
     "as Windows' edit control does"},
    {When::kLinesMayDiffer,
     [](const Step&, const State& edit, const State&) {
       return edit.text.find(u'\t') != std::u16string::npos;
     },
     "a tab after other text on a line: Wine's Uniscribe can measure it (and a space right after "
     "it) short of the next tab stop; the box, like Windows' edit control, puts tab stops every "
     "eight average character widths"},
};

bool Matches(When when, const Step& step, const State& edit, const State& box) {
  for (const Difference& d : kDifferences) {
    if (d.when == when && d.matches(step, edit, box)) return true;
  }
  return false;
}

bool TouchesClipboard(const Step& step) {
  if (step.kind == Kind::kMessage) return step.key != WM_CLEAR && step.key != WM_UNDO;
  if (step.kind != Kind::kKey) return false;
  return (step.mods & kCtrl) != 0
             ? step.key == 'X' || step.key == 'C' || step.key == 'V' || step.key == VK_INSERT
             : step.key == VK_DELETE || step.key == VK_INSERT;
}

Step SetTo(std::u16string text) { return {Kind::kSetText, std::move(text)}; }
Step Chars(std::u16string text) { return {Kind::kChars, std::move(text)}; }
Step Key(unsigned key, unsigned mods = 0) { return {Kind::kKey, u"", key, mods}; }
Step Select(int from, int to) { return {Kind::kSetSel, u"", 0, 0, from, to}; }
Step Message(unsigned message, int wparam = 0) { return {Kind::kMessage, u"", message, 0, wparam}; }
Step ReplaceSel(std::u16string text, bool can_undo) {
  return {Kind::kReplaceSel, std::move(text), 0, 0, can_undo ? 1 : 0};
}
Step ReadOnly(bool on) { return {Kind::kReadOnly, u"", 0, 0, on ? 1 : 0}; }
std::u16string Repeat(std::u16string_view piece, int times) {
  std::u16string text;
  while (times-- > 0) text += piece;
  return text;
}

class TextBoxDifferentialTest : public TextBoxTest {
 protected:
  static void Apply(HWND c, const Step& step) {
    testing::Focus(c);
    const std::wstring text(step.text.begin(), step.text.end());
    switch (step.kind) {
      case Kind::kChars:
        testing::Type(c, step.text);
        break;
      case Kind::kKey:
        testing::Press(step.key, step.mods);
        break;
      case Kind::kSetText:
        SendMessageW(c, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
        break;
      case Kind::kSetSel:
        SendMessageW(c, EM_SETSEL, static_cast<WPARAM>(step.from), step.to);
        break;
      case Kind::kReplaceSel:
        SendMessageW(c, EM_REPLACESEL, static_cast<WPARAM>(step.from),
                     reinterpret_cast<LPARAM>(text.c_str()));
        break;
      case Kind::kMessage:
        SendMessageW(c, step.key, static_cast<WPARAM>(step.from), 0);
        break;
      case Kind::kReadOnly:
        SendMessageW(c, EM_SETREADONLY, static_cast<WPARAM>(step.from), 0);
        break;
    }
    Pump();
  }

  static State StateOf(HWND c, bool clipboard) {
    State s;
    s.text = testing::Text(c);
    SendMessageW(c, EM_GETSEL, reinterpret_cast<WPARAM>(&s.start),
                 reinterpret_cast<LPARAM>(&s.end));
    s.first = SendMessageW(c, EM_GETFIRSTVISIBLELINE, 0, 0);
    s.thumb = GetScrollPos(c, SB_VERT);
    const LRESULT count = SendMessageW(c, EM_GETLINECOUNT, 0, 0);
    for (LRESULT i = 0; i < count; ++i) s.lines.push_back(SendMessageW(c, EM_LINEINDEX, i, 0));
    s.modified = SendMessageW(c, EM_GETMODIFY, 0, 0);
    s.can_undo = SendMessageW(c, EM_CANUNDO, 0, 0);
    if (clipboard) s.clipboard = ClipboardText(parent_).value_or(u"<none>");
    return s;
  }

  struct Counts {
    long long compared = 0, left_out = 0, lines_differed = 0;
  };
  // Runs one sequence; false, with a failure naming where, at the first
  // difference.
  bool Run(const std::vector<Step>& steps, const std::string& name, Counts& counts) {
    for (const Step& reset : {ReadOnly(false), SetTo(u"")}) {
      Apply(edit_, reset);
      Apply(box_, reset);
    }
    for (const HWND c : {edit_, box_}) SendMessageW(c, EM_EMPTYUNDOBUFFER, 0, 0);
    SetClipboardText(parent_, u"clip 中\r\n");
    for (std::size_t i = 0; i < steps.size(); ++i) {
      const Step& step = steps[i];
      const bool clip = TouchesClipboard(step);
      const std::u16string clipboard = clip ? ClipboardText(parent_).value_or(u"") : u"";
      const State edit_before = StateOf(edit_, false);
      const State box_before = StateOf(box_, false);
      Apply(edit_, step);
      State want = StateOf(edit_, clip);
      if (clip) SetClipboardText(parent_, clipboard);
      Apply(box_, step);
      State got = StateOf(box_, clip);
      const bool lines_differed = edit_before.lines != box_before.lines;
      const bool lines_may_differ =
          lines_differed || Matches(When::kLinesMayDiffer, step, edit_before, box_before);
      if (Matches(When::kLeavesOutStep, step, edit_before, want) ||
          (lines_may_differ && FollowsLines(step))) {
        // The box's text and selection, and for both an undo step that
        // holds nothing at the same place (an undo with nothing to take back
        // still moves the caret there): an undoable edit at 0, then new text.
        const Step steps_to_same[] = {
            SetTo(u"x"), Select(0, 0), ReplaceSel(u"x", true), SetTo(got.text),
            Select(static_cast<int>(got.start), static_cast<int>(got.end))};
        for (const HWND c : {edit_, box_}) {
          for (const Step& same : steps_to_same) Apply(c, same);
        }
        ++counts.left_out;
        continue;
      }
      ++counts.compared;
      if (want.lines != got.lines &&
          (lines_differed || Matches(When::kLinesMayDiffer, step, want, got))) {
        ++counts.lines_differed;
        want.first = got.first = want.thumb = got.thumb = 0;
        want.lines.clear();
        got.lines.clear();
      } else if (lines_differed && want.first != got.first) {
        // Lines agree again, but each box scrolled as its own lines were:
        // the box's view follows the edit control's.
        SendMessageW(box_, EM_LINESCROLL, 0, want.first - got.first);
        got.first = want.first;
        got.thumb = GetScrollPos(box_, SB_VERT);
      }
      if (want == got) continue;
      ADD_FAILURE() << name << ", step " << i << ": " << PrintToString(step)
                    << "\n before: " << PrintToString(edit_before) << " (the box's first "
                    << box_before.first << ")\n edit: " << PrintToString(want)
                    << "\n box:  " << PrintToString(got);
      return false;
    }
    return true;
  }
};

std::u16string RandomText(std::mt19937& rng, std::size_t max, bool tabs = false) {
  static const std::u16string kPieces[] = {u"a",  u"Hi",   u" ",      u"word ",      u"中", u"文字",
                                           u"\t", u"\r\n", u"D6 D0 ", u"\U0001F600", u"x"};
  std::u16string text;
  const std::size_t n = std::uniform_int_distribution<std::size_t>(0, max)(rng);
  while (text.size() < n) {
    const std::u16string& piece = kPieces[rng() % std::size(kPieces)];
    // (See the last difference above: only typing puts in tabs.)
    if (!tabs && piece == u"\t") continue;
    text += piece;
  }
  return text;
}

Step RandomStep(std::mt19937& rng) {
  static const unsigned kKeys[] = {VK_LEFT,  VK_RIGHT, VK_UP,   VK_DOWN,   VK_HOME,   VK_END,
                                   VK_PRIOR, VK_NEXT,  VK_BACK, VK_DELETE, VK_RETURN, VK_INSERT,
                                   'A',      'X',      'C',     'V',       'Z'};
  static const unsigned kMessages[] = {WM_CUT, WM_COPY, WM_PASTE, WM_CLEAR, WM_UNDO};
  const unsigned roll = rng() % 100;
  if (roll < 30) return {Kind::kChars, RandomText(rng, 12, true)};
  if (roll < 75) {
    const unsigned key = kKeys[rng() % std::size(kKeys)];
    unsigned mods = rng() % 4;
    if (key >= 'A' && key <= 'Z') mods = kCtrl;
    if (key == VK_INSERT) mods = rng() % 2 != 0 ? kShift : kCtrl;
    return {Kind::kKey, u"", key, mods};
  }
  if (roll < 80) return {Kind::kSetText, RandomText(rng, 600)};
  if (roll < 88) {
    const int from = static_cast<int>(rng() % 700) - 5;
    return Select(from, static_cast<int>(rng() % 700) - 5);
  }
  if (roll < 94) return {Kind::kReplaceSel, RandomText(rng, 40), 0, 0, static_cast<int>(rng() % 2)};
  if (roll < 97) return {Kind::kMessage, u"", kMessages[rng() % std::size(kMessages)]};
  return ReadOnly(rng() % 2 != 0);
}

// Faults the comparison found, each as the few steps that showed it, and
// sequences that hold to the edit control what the random steps seldom reach
// (the scroll bar, the wheel, End on a wrapped line).
const std::vector<std::vector<Step>> kReplays = {
    // Delete with Ctrl erases to the line's end, with Shift erases back, with
    // both does nothing; Ctrl+Backspace does nothing.
    {SetTo(u"ab cd\r\nef"), Select(1, 1), Key(VK_DELETE, kCtrl | kShift), Key(VK_DELETE, kCtrl),
     Key(VK_DELETE, kShift), Chars(u"x"), Key(VK_BACK, kCtrl)},
    // Left and Right go from the caret, a selection or not; Up and Down keep
    // no column of their own.
    {SetTo(u"abcdef\r\nab\r\nabcdef"), Select(1, 4), Key(VK_LEFT), Select(4, 1), Key(VK_RIGHT),
     Select(5, 5), Key(VK_DOWN), Key(VK_DOWN)},
    // Page Down and Up move the caret a page of lines and scroll only to show it.
    {SetTo(Repeat(u"line\r\n", 30)), Key(VK_NEXT), Key(VK_NEXT, kShift), Key(VK_PRIOR)},
    // Ctrl+A does not scroll; EM_SETSEL scrolls to the caret, and a start
    // below -1 is the end; a shorter text pulls the view back up.
    {SetTo(Repeat(u"line\r\n", 30)), Key('A', kCtrl), Select(150, 150), Select(-3, 5),
     Select(20, 186), Message(WM_CLEAR)},
    // Undo takes back the last run of typing or erasing, selects what it puts
    // back, redoes when repeated, and with nothing to undo moves the caret.
    {SetTo(u"ab"), Select(2, 2), Chars(u"cd"), Key(VK_LEFT), Chars(u"x"), Message(WM_UNDO),
     Message(WM_UNDO), Key(VK_BACK), Key(VK_BACK), Key('Z', kCtrl), Select(0, 1),
     ReplaceSel(u"Q", false), Message(WM_UNDO)},
    // Lines break at Chinese characters and emoji, as measured by Uniscribe,
    // with tab stops eight average widths apart.
    {SetTo(u"ab\tcd " + Repeat(u"中文字", 12) + Repeat(u" \U0001F600 D6 D0", 8)), Key(VK_END),
     Key(VK_DOWN), Key(VK_END, kShift)},
    // Ctrl+Left and Right stop where a line may break, and at lines' ends.
    {SetTo(u"one two  中文x\r\nfour"), Select(0, 0), Key(VK_RIGHT, kCtrl), Key(VK_RIGHT, kCtrl),
     Key(VK_RIGHT, kCtrl), Key(VK_RIGHT, kCtrl), Key(VK_LEFT, kCtrl), Key(VK_LEFT, kCtrl),
     Key(VK_RIGHT, kCtrl | kShift)},
    // Nor do they stop at emoji; a new line starts a word, spaces or not.
    {SetTo(u"\U0001F600\U0001F600 a\r\n \r\nb"), Key(VK_END, kCtrl), Key(VK_LEFT, kCtrl),
     Key(VK_LEFT, kCtrl), Key(VK_LEFT, kCtrl), Key(VK_LEFT, kCtrl)},
    // The scroll bar and the wheel scroll as far as there is text, and move
    // the thumb, not the caret; EM_SCROLLCARET and new text scroll to it.
    {SetTo(Repeat(u"line\r\n", 100)), Message(WM_VSCROLL, SB_LINEDOWN),
     Message(WM_VSCROLL, SB_BOTTOM), Message(WM_VSCROLL, SB_LINEDOWN),
     Message(WM_VSCROLL, SB_LINEUP), Message(WM_VSCROLL, SB_TOP),
     Message(WM_MOUSEWHEEL, -WHEEL_DELTA << 16), Message(WM_MOUSEWHEEL, WHEEL_DELTA << 16),
     Key(VK_END, kCtrl), Message(WM_VSCROLL, SB_TOP), Message(EM_SCROLLCARET), SetTo(u"short")},
    // End on a wrapped line stays at its end, and Home then goes to its start.
    {SetTo(Repeat(u"word ", 30)), Select(2, 2), Key(VK_END), Key(VK_HOME, kShift), Key(VK_END),
     Key(VK_DOWN), Key(VK_HOME)},
    // Delete at the end of the last line shown scrolls to the next line first.
    {SetTo(Repeat(u"line\r\n", 20)), Select(58, 58), Key(VK_DELETE), Key(VK_BACK)},
    // End on the last line shown, when it wraps, shows the next line too.
    {SetTo(Repeat(u"line\r\n", 9) + Repeat(u"word ", 30)), Select(54, 54), Key(VK_END)},
    // No text for none keeps the step to undo.
    {SetTo(u"ab"), Key('A', kCtrl), Key('X', kCtrl), SetTo(u""), Key('Z', kCtrl)},
    // Read-only: typing and the keys that erase, cut, paste or undo change
    // nothing.
    {SetTo(u"ab cd"), Chars(u"x"), Select(1, 4), ReadOnly(true), Chars(u"y\t\b"), Key(VK_DELETE),
     Key(VK_DELETE, kShift), Key(VK_DELETE, kCtrl), Key(VK_BACK), Key('X', kCtrl), Key('V', kCtrl),
     Key('Z', kCtrl), Key(VK_INSERT, kShift)},
    // Nor do WM_PASTE, WM_CLEAR and WM_UNDO; WM_CUT only copies; selecting,
    // copying and the program's EM_REPLACESEL work; Enter goes to the start
    // of the next line.
    {SetTo(u"ab cd\r\nef"), Chars(u"x"), Select(1, 4), ReadOnly(true), Message(WM_PASTE),
     Message(WM_CLEAR), Message(WM_UNDO), Message(WM_CUT), Key(VK_RIGHT, kShift), Key('C', kCtrl),
     Chars(u"\r\r"), ReplaceSel(u"Q", true), ReadOnly(false), Key('Z', kCtrl)},
};

TEST_F(TextBoxDifferentialTest, FoundFaultsStayFixed) {
  Counts counts;
  for (std::size_t i = 0; i < kReplays.size(); ++i) {
    EXPECT_TRUE(Run(kReplays[i], "replay " + std::to_string(i), counts));
  }
}

// The shortcut menus side by side, the box's given the labels of the system's
// edit control: the same items, in the same language, greyed alike, and
// choosing one by its access key does the same (and does something).
TEST_F(TextBoxDifferentialTest, ShortcutMenuAgreesWithTheEditControls) {
  const std::optional<EditMenuLabels> labels = SystemEditMenuLabels();
  ASSERT_TRUE(labels);
  ASSERT_TRUE(SetTextBoxOptions(box_, {*labels}));
  const struct {
    bool read_only;
    int from, to;
    EditMenuCommand choose;
  } cases[] = {
      {false, 1, 4, EditMenuCommand::kCut},    {true, 1, 4, EditMenuCommand::kCopy},
      {false, 2, 2, EditMenuCommand::kPaste},  {true, 2, 2, EditMenuCommand::kSelectAll},
      {false, 1, 4, EditMenuCommand::kDelete}, {false, 2, 2, EditMenuCommand::kUndo},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE("case " + std::to_string(&c - cases + 1));
    std::vector<testing::MenuItem> menus[2];
    State after[2];
    for (const int i : {0, 1}) {
      const HWND control = i == 0 ? edit_ : box_;
      for (const Step& step : {ReadOnly(false), SetTo(u"ab cd"), Chars(u"x"), ReadOnly(c.read_only),
                               Select(c.from, c.to)}) {
        Apply(control, step);
      }
      SetClipboardText(parent_, u"clip");
      const State before = StateOf(control, true);
      menus[i] = testing::OpenShortcutMenu(control, (*labels)[static_cast<std::size_t>(c.choose)]);
      after[i] = StateOf(control, true);
      EXPECT_NE(after[i], before);
    }
    EXPECT_EQ(menus[1], menus[0]);
    EXPECT_EQ(menus[1].size(), 8u);
    EXPECT_EQ(after[1], after[0]);
  }
}

TEST_F(TextBoxDifferentialTest, RandomStepsAgreeWithTheEditControl) {
  const char* seconds = std::getenv("VANTOREL_DIFF_SECONDS");
  const char* first_seed = std::getenv("VANTOREL_DIFF_SEED");
  const auto until = std::chrono::steady_clock::now() +
                     std::chrono::seconds(seconds != nullptr ? std::atoi(seconds) : 0);
  unsigned seed = first_seed != nullptr ? static_cast<unsigned>(std::atoi(first_seed)) : 1;
  Counts counts;
  long long sequences = 0, failed = 0;
  for (; sequences < 8 || std::chrono::steady_clock::now() < until; ++sequences, ++seed) {
    std::mt19937 rng(seed);
    std::vector<Step> sequence(40);
    for (Step& step : sequence) step = RandomStep(rng);
    failed += Run(sequence, "seed " + std::to_string(seed), counts) ? 0 : 1;
    if (failed != 0 && seconds == nullptr) break;
  }
  std::printf(
      "%lld sequences (%lld failed): %lld steps compared (%lld with lines broken "
      "differently), %lld left out\n",
      sequences, failed, counts.compared, counts.lines_differed, counts.left_out);
}

}  // namespace
}  // namespace vantorel
