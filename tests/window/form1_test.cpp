// Form1 driven through its real window and the program's own message loop, as
// a person would: keys and characters posted to its controls, and clicks.
#include "window/form1.hpp"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <functional>
#include <iterator>
#include <string>

#include "codec/codec.hpp"
#include "tests/support/gui_driver.hpp"
#include "win32/handles.hpp"
#include "window/messages.hpp"

namespace vantorel {
namespace {

using testing::AccessibleSelf;
using testing::AccessibleText;
using testing::MessageBoxCloser;
using testing::Press;
using testing::Pump;
using testing::Text;
using testing::Type;
using Reason = 字符串加密::GroupError::Reason;

// A left click in the middle of a button, as mouse messages.
void Click(HWND button) {
  RECT client{};
  GetClientRect(button, &client);
  const LPARAM at = MAKELPARAM(client.right / 2, client.bottom / 2);
  PostMessageW(button, WM_LBUTTONDOWN, MK_LBUTTON, at);
  PostMessageW(button, WM_LBUTTONUP, 0, at);
  Pump();
}

// The language the program speaks to this user.
UiLanguage Language() { return LanguageFromLangId(GetUserDefaultUILanguage()); }

// The one message box an operation that failed showed: the text, with the
// program's caption, an error icon and OK alone, owned by the form.
void ExpectErrorBox(const testing::MessageBoxSeen& seen, HWND form, std::u16string_view text) {
  ASSERT_EQ(seen.count, 1);
  EXPECT_EQ(seen.caption, kMessageCaption);
  EXPECT_EQ(seen.text, text);
  EXPECT_EQ(seen.owner, form);
  EXPECT_TRUE(seen.error_icon);
  EXPECT_EQ(seen.buttons, 1);
  EXPECT_TRUE(seen.only_ok);
}

// A Form1 shown and active, with the focus in it; the tests' messages go
// through its loop.
class Form1Test : public ::testing::Test {
 protected:
  void SetUp() override {
    testing::SetMessageLoop([this] { PumpWaitingMessages(form_); });
    ASSERT_NE(form_.Create(GetModuleHandleW(nullptr)), nullptr);
    ShowWindow(form_.hwnd(), SW_SHOWNORMAL);
    UpdateWindow(form_.hwnd());
    SetForegroundWindow(form_.hwnd());
    testing::Focus();
  }
  void TearDown() override { testing::SetMessageLoop(nullptr); }

  HWND text1() const { return form_.Child(Control::kText1); }
  HWND text2() const { return form_.Child(Control::kText2); }
  HWND encode() const { return form_.Child(Control::kCommand1); }
  HWND decode() const { return form_.Child(Control::kCommand2); }

  // Replaces a box's text the way a person would: select all, then type.
  void Retype(HWND box, std::u16string_view text) {
    SetFocus(box);
    Type(box, u"\x01\b");
    Type(box, text);
  }

  Form1 form_;
};

// WM_GETDPISCALEDSIZE, which the Windows 7 headers the program is built
// against do not name.
constexpr UINT kGetDpiScaledSize = 0x02E4;

std::wstring Wide(std::u16string_view text) { return std::wstring(text.begin(), text.end()); }

PixelRect RectInClient(HWND parent, HWND child) {
  RECT r{};
  GetWindowRect(child, &r);
  MapWindowPoints(HWND_DESKTOP, parent, reinterpret_cast<POINT*>(&r), 2);
  return {r.left, r.top, r.right - r.left, r.bottom - r.top};
}

PixelSize ClientSizeOf(HWND window) {
  RECT r{};
  GetClientRect(window, &r);
  return {r.right, r.bottom};
}

RECT WindowRect(HWND window) {
  RECT r{};
  GetWindowRect(window, &r);
  return r;
}

// The form's layout at 96 DPI, the figures a person measures on screen, and
// at 144, one and a half times those; the window is shown at 96 DPI, centred
// in the work area, and follows a change of DPI from the twips, its client
// area exactly the twips' size, whatever size the rectangle Windows suggests
// has.
TEST_F(Form1Test, LayoutFollowsTheDpiFromTwips) {
  const struct {
    Control control;
    PixelRect at96, at144;
  } expected[] = {
      {Control::kFrame1, {8, 8, 633, 249}, {12, 12, 950, 374}},
      {Control::kText1, {24, 24, 601, 225}, {36, 36, 902, 338}},
      {Control::kFrame2, {8, 264, 633, 257}, {12, 396, 950, 386}},
      {Control::kText2, {24, 280, 601, 225}, {36, 420, 902, 338}},
      {Control::kCommand1, {408, 528, 105, 33}, {612, 792, 158, 50}},
      {Control::kCommand2, {528, 528, 105, 33}, {792, 792, 158, 50}},
  };
  const HWND form = form_.hwnd();
  ASSERT_EQ(form_.dpi(), 96u);
  EXPECT_EQ(ClientSizeOf(form), (PixelSize{649, 566}));
  for (const auto& e : expected) {
    SCOPED_TRACE(Design(e.control).name);
    EXPECT_EQ(GetParent(form_.Child(e.control)), form);
    EXPECT_EQ(RectInClient(form, form_.Child(e.control)), e.at96);
  }
  const RECT window = WindowRect(form);
  MONITORINFO monitor{};
  monitor.cbSize = sizeof monitor;
  GetMonitorInfoW(MonitorFromWindow(form, MONITOR_DEFAULTTOPRIMARY), &monitor);
  const RECT& work = monitor.rcWork;
  EXPECT_NEAR(window.left - work.left, work.right - window.right, 1);
  EXPECT_NEAR(window.top - work.top, work.bottom - window.bottom, 1);

  // Asked its size at its own DPI, it answers the size it has.
  SIZE answer{};
  EXPECT_TRUE(SendMessageW(form, kGetDpiScaledSize, 96, reinterpret_cast<LPARAM>(&answer)));
  EXPECT_EQ((PixelSize{answer.cx, answer.cy}),
            (PixelSize{window.right - window.left, window.bottom - window.top}));
  // A suggested rectangle a pixel too large: the window goes where it says,
  // its client area stays the twips' size.
  RECT suggested{window.left + 10, window.top + 20, window.right + 11, window.bottom + 21};
  SendMessageW(form, WM_DPICHANGED, MAKEWPARAM(96, 96), reinterpret_cast<LPARAM>(&suggested));
  EXPECT_EQ(WindowRect(form).left, suggested.left);
  EXPECT_EQ(WindowRect(form).top, suggested.top);
  EXPECT_EQ(ClientSizeOf(form), (PixelSize{649, 566}));

  // At 144 DPI the size it answered for 144, not the old size scaled.
  EXPECT_TRUE(SendMessageW(form, kGetDpiScaledSize, 144, reinterpret_cast<LPARAM>(&answer)));
  suggested = {window.left, window.top, window.left + 983, window.top + 893};
  SendMessageW(form, WM_DPICHANGED, MAKEWPARAM(144, 144), reinterpret_cast<LPARAM>(&suggested));
  EXPECT_EQ(form_.dpi(), 144u);
  const RECT after = WindowRect(form);
  EXPECT_EQ((PixelSize{after.right - after.left, after.bottom - after.top}),
            (PixelSize{answer.cx, answer.cy}));
  for (const auto& e : expected) {
    SCOPED_TRACE(Design(e.control).name);
    EXPECT_EQ(RectInClient(form, form_.Child(e.control)), e.at144);
  }
  NONCLIENTMETRICSW metrics{};
  metrics.cbSize = sizeof metrics;
  SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0);
  LOGFONTW font{};
  GetObjectW(reinterpret_cast<HFONT>(SendMessageW(text1(), WM_GETFONT, 0, 0)), sizeof font, &font);
  EXPECT_EQ(font.lfHeight, MulDiv(metrics.lfMessageFont.lfHeight, 144, 96));
}

// Every control has the system's message font, and takes the new one when the
// user changes it (the setting, then WM_SETTINGCHANGE to every window); Text2
// keeps Text1's margins for it.
TEST_F(Form1Test, ControlsFollowTheSystemsMessageFont) {
  NONCLIENTMETRICSW before{};
  before.cbSize = sizeof before;
  ASSERT_TRUE(SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof before, &before, 0));
  NONCLIENTMETRICSW larger = before;
  larger.lfMessageFont.lfHeight = 2 * before.lfMessageFont.lfHeight;
  struct Restore {
    NONCLIENTMETRICSW metrics;
    ~Restore() { SystemParametersInfoW(SPI_SETNONCLIENTMETRICS, sizeof metrics, &metrics, 0); }
  } const restore{before};
  for (NONCLIENTMETRICSW* metrics : {static_cast<NONCLIENTMETRICSW*>(nullptr), &larger, &before}) {
    if (metrics != nullptr) {
      ASSERT_TRUE(SystemParametersInfoW(SPI_SETNONCLIENTMETRICS, sizeof *metrics, metrics, 0));
      SendMessageW(form_.hwnd(), WM_SETTINGCHANGE, SPI_SETNONCLIENTMETRICS,
                   reinterpret_cast<LPARAM>(L"WindowMetrics"));
    }
    const LOGFONTW& expected = (metrics != nullptr ? *metrics : before).lfMessageFont;
    for (const Control control : kCreationOrder) {
      SCOPED_TRACE(std::string(Design(control).name) + (metrics == &larger ? " larger" : ""));
      LOGFONTW font{};
      const auto hfont =
          reinterpret_cast<HFONT>(SendMessageW(form_.Child(control), WM_GETFONT, 0, 0));
      ASSERT_EQ(GetObjectW(hfont, sizeof font, &font), static_cast<int>(sizeof font));
      EXPECT_EQ(font.lfHeight, expected.lfHeight);
      EXPECT_EQ(font.lfWeight, expected.lfWeight);
      EXPECT_STREQ(font.lfFaceName, expected.lfFaceName);
    }
    EXPECT_EQ(SendMessageW(text2(), EM_GETMARGINS, 0, 0),
              SendMessageW(text1(), EM_GETMARGINS, 0, 0));
  }
}

TEST_F(Form1Test, FocusStartsInText2AndTabFollowsTabOrder) {
  EXPECT_EQ(GetFocus(), text2());
  const HWND forward[] = {text1(), encode(), decode(), text2(), text1()};
  for (const HWND next : forward) {
    Press(VK_TAB);
    EXPECT_EQ(GetFocus(), next);
  }
  const HWND backward[] = {text2(), decode(), encode(), text1(), text2()};
  for (const HWND next : backward) {
    Press(VK_TAB, testing::kShift);
    EXPECT_EQ(GetFocus(), next);
  }
  // No tab went into the boxes on the way.
  EXPECT_EQ(Text(text1()), u"");
  EXPECT_EQ(Text(text2()), u"");
}

TEST_F(Form1Test, FocusComesBackAfterAnotherWindowWasActive) {
  SetFocus(text1());
  const HWND other = CreateWindowExW(0, L"STATIC", L"other", WS_POPUP | WS_VISIBLE, 0, 0, 50, 50,
                                     nullptr, nullptr, nullptr, nullptr);
  SetActiveWindow(other);
  Pump();
  SetActiveWindow(form_.hwnd());
  Pump();
  EXPECT_EQ(GetFocus(), text1());
  DestroyWindow(other);
}

// Each step acts on Text1 and shows both boxes afterwards.
TEST_F(Form1Test, TypingInText1EncodesLive) {
  enum Act { kType, kKey, kPaste };
  const struct {
    Act act;
    const char16_t* chars;  // kType, kPaste
    UINT key;               // kKey
    const char16_t* text1;
    const char16_t* text2;
  } steps[] = {
      {kType, u"H", 0, u"H", u"48"},
      {kType, u"i", 0, u"Hi", u"48 69"},
      {kKey, nullptr, VK_RETURN, u"Hi\r\n", u"48 69 0D 0A"},
      {kType, u"中", 0, u"Hi\r\n中", u"48 69 0D 0A D6 D0"},
      {kType, u"\b", 0, u"Hi\r\n", u"48 69 0D 0A"},
      {kType, u"\b", 0, u"Hi", u"48 69"},  // one Backspace takes the whole line break
      {kKey, nullptr, VK_HOME, u"Hi", u"48 69"},
      {kKey, nullptr, VK_DELETE, u"i", u"69"},
      {kType, u"  ", 0, u"  i", u"20 20 69"},
      {kPaste, u"\t中", 0, u"  \t中i", u"20 20 09 D6 D0 69"},
      {kType, u"\x01", 0, u"  \t中i", u"20 20 09 D6 D0 69"},  // Ctrl+A selects, changes nothing
      {kType, u"\b", 0, u"", u""},
  };
  SetFocus(text1());
  for (const auto& step : steps) {
    SCOPED_TRACE("step " + std::to_string(&step - steps + 1));
    if (step.act == kType) {
      Type(text1(), step.chars);
    } else if (step.act == kPaste) {
      ASSERT_TRUE(testing::SetClipboardText(form_.hwnd(), step.chars));
      PostMessageW(text1(), WM_PASTE, 0, 0);
      Pump();
    } else {
      Press(step.key);
    }
    EXPECT_EQ(Text(text1()), step.text1);
    EXPECT_EQ(Text(text2()), step.text2);
  }
}

// Counts, while it lives, the reads of a box's whole text and the texts the
// box is given.
class TextCounts {
 public:
  explicit TextCounts(HWND box) : box_(box) {
    SetWindowSubclass(box, Count, 1, reinterpret_cast<DWORD_PTR>(this));
  }
  ~TextCounts() { RemoveWindowSubclass(box_, Count, 1); }
  TextCounts(const TextCounts&) = delete;
  TextCounts& operator=(const TextCounts&) = delete;
  int reads = 0, writes = 0;

 private:
  static LRESULT CALLBACK Count(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam, UINT_PTR,
                                DWORD_PTR data) {
    auto* const self = reinterpret_cast<TextCounts*>(data);
    self->reads += message == WM_GETTEXT;
    self->writes += message == WM_SETTEXT;
    return DefSubclassProc(hwnd, message, wparam, lparam);
  }
  HWND box_;
};

// Decode writes Text1 once (a long text whole, then in pieces) and Text2 once.
TEST_F(Form1Test, DecodeFillsText1ThenRewritesText2Once) {
  std::u16string long_text, long_hex;
  while (long_text.size() < 6000) long_text += u"中文ab\r\n";
  for (const char16_t c : 字符串加密::TextToHex(long_text)) {
    long_hex += c >= u'A' && c <= u'F' ? static_cast<char16_t>(c - u'A' + u'a') : c;
  }
  const struct {
    std::u16string text1_before, hex, text1, text2;
  } cases[] = {
      {u"", u" 48 6a", u"Hj", u"48 6A"},
      {u"Hj", u" 48 6a", u"Hj", u"48 6A"},  // same text above, canonical text below
      {u"abc", u"   ", u"", u""},
      {u"abc", u"", u"", u""},
      {u"", u"d6 d0 0D 0a 0041 4g", u"中\r\nA\x04", u"D6 D0 0D 0A 41 04"},
      {u"", long_hex, long_text, 字符串加密::TextToHex(long_text)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE("case " + std::to_string(&c - cases + 1));
    Retype(text1(), c.text1_before);
    SetWindowTextW(text2(), Wide(c.hex).c_str());
    const TextCounts text1_counts(text1()), text2_counts(text2());
    Click(decode());
    EXPECT_EQ(Text(text1()), c.text1);
    EXPECT_EQ(Text(text2()), c.text2);
    EXPECT_EQ(text1_counts.writes, 1);
    EXPECT_EQ(text2_counts.writes, 1);
  }
}

// A refused decode names the group and why (messages_test has the texts),
// selects the group in Text2 and changes neither box.
TEST_F(Form1Test, RefusedDecodeShowsMessageAndChangesNothing) {
  const struct {
    const char16_t* typed;
    字符串加密::GroupError error;
  } faults[] = {
      {u" 48 100", {Reason::kTooLarge, 2, 4, u"100"}},
      {u"48  69", {Reason::kZeroByte, 2, 3, u""}},
      {u"48 69 D6", {Reason::kNotText, 3, 6, u"D6"}},
  };
  ASSERT_EQ(GetACP(), 936u);
  for (const auto& fault : faults) {
    SCOPED_TRACE("fault " + std::to_string(&fault - faults + 1));
    Retype(text1(), u"keep");
    Retype(text2(), fault.typed);
    SetFocus(text1());
    const MessageBoxCloser closer;
    Click(decode());
    testing::Focus();
    ExpectErrorBox(closer.seen(), form_.hwnd(), DecodeErrorMessage(fault.error, 936, Language()));
    EXPECT_EQ(Text(text1()), u"keep");
    EXPECT_EQ(Text(text2()), fault.typed);
    DWORD start = 0, end = 0;
    SendMessageW(text2(), EM_GETSEL, reinterpret_cast<WPARAM>(&start),
                 reinterpret_cast<LPARAM>(&end));
    EXPECT_EQ(start, fault.error.offset);
    EXPECT_EQ(end, fault.error.offset + fault.error.text.size());
    EXPECT_EQ(GetFocus(), text2());
  }
  // Still answering, and still encoding.
  DWORD_PTR result = 0;
  EXPECT_NE(SendMessageTimeoutW(form_.hwnd(), WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 2000, &result), 0);
  Type(text1(), u"!");
  EXPECT_EQ(Text(text2()), u"6B 65 65 70 21");
}

// When memory runs out in the middle of an operation (here any allocation of
// more than 4 KiB fails), the user is told so, neither box changes, and the
// window goes on working.
TEST_F(Form1Test, OutOfMemoryShowsMessageAndChangesNothing) {
  std::u16string hex = u"41";
  while (hex.size() < 3000) hex += u" 41";
  Retype(text1(), u"keep");
  SetWindowTextW(text2(), Wide(hex).c_str());
  ASSERT_TRUE(testing::SetClipboardText(form_.hwnd(), hex));
  const struct {
    const char* name;
    std::function<void()> act;
  } operations[] = {
      {"Decode", [&] { Click(decode()); }},
      {"a long paste into Text1",
       [&] {
         PostMessageW(text1(), WM_PASTE, 0, 0);
         Pump();
       }},
  };
  for (const auto& operation : operations) {
    SCOPED_TRACE(operation.name);
    const MessageBoxCloser closer;
    {
      const testing::AllocationsFailAbove out_of_memory(4096);
      operation.act();
    }
    ExpectErrorBox(closer.seen(), form_.hwnd(), OutOfMemoryMessage(Language()));
    EXPECT_EQ(Text(text1()), u"keep");
    EXPECT_EQ(Text(text2()), hex);
  }
  Click(encode());
  EXPECT_EQ(Text(text2()), u"6B 65 65 70");
}

TEST_F(Form1Test, EscapeInABoxKeepsTheWindowOpen) {
  Type(text1(), u"Hi");
  SetFocus(text1());
  Press(VK_ESCAPE);
  SetFocus(text2());
  Press(VK_ESCAPE);
  ASSERT_TRUE(IsWindow(form_.hwnd()));
  EXPECT_EQ(Text(text1()), u"Hi");
}

TEST_F(Form1Test, AltF4EndsTheProgram) {
  const HWND hwnd = form_.hwnd();
  PostMessageW(GetFocus(), WM_SYSKEYDOWN, VK_F4, 1 | (1 << 29));
  bool quit = false;
  for (int i = 0; i < 100 && !quit; ++i) {
    quit = !PumpWaitingMessages(form_);
    if (!quit) Sleep(10);
  }
  EXPECT_TRUE(quit);
  EXPECT_FALSE(IsWindow(hwnd));
  EXPECT_EQ(form_.hwnd(), nullptr);
}

// Text of n characters with line breaks and surrogate pairs everywhere,
// some of them across the places where a paste is cut into pieces.
std::u16string Mixed(std::size_t n) {
  std::u16string text;
  while (text.size() < n) {
    text += u"中文ab\r\n";
    text += u"\xD83D\xDE00";  // a character outside the BMP: "?" in code page 936
    text += u"x\r\n\r\n";
  }
  text.resize(n);
  if (text.back() >= 0xD800 && text.back() <= 0xDBFF) text.back() = u'y';
  return text;
}

// A long paste goes into Text1 in pieces, which undo as one, and is encoded
// once, at the end; neither box stops at the edit control's default limit of
// about 30,000 characters.
TEST_F(Form1Test, LongPasteEncodesOnce) {
  for (const std::size_t n : {1999u, 2000u, 2001u, 4003u, 40000u}) {
    SCOPED_TRACE(n);
    Retype(text1(), u"ab");
    SendMessageW(text1(), EM_EMPTYUNDOBUFFER, 0, 0);  // so that undo takes back the paste alone
    const std::u16string text = Mixed(n);
    ASSERT_TRUE(testing::SetClipboardText(form_.hwnd(), text));
    {
      const TextCounts counts(text1());
      Type(text1(), u"\x16");      // Ctrl+V
      EXPECT_EQ(counts.reads, 1);  // Text1_Change read Text1 once, and nothing set it
      EXPECT_EQ(counts.writes, 0);
    }
    EXPECT_EQ(Text(text1()), u"ab" + text);
    EXPECT_EQ(Text(text2()), 字符串加密::TextToHex(u"ab" + text));
    Type(text1(), u"\x1A");  // Ctrl+Z
    EXPECT_EQ(Text(text1()), u"ab");
    EXPECT_EQ(Text(text2()), u"61 62");
  }
}

// The events raised for one window as a whole: value changes, focus,
// selection moves.
HWND g_watched = nullptr;
std::array<int, 3> g_events{};

void CALLBACK CountEvent(HWINEVENTHOOK, DWORD event, HWND window, LONG object, LONG child, DWORD,
                         DWORD) {
  if (window != g_watched || object != OBJID_CLIENT || child != CHILDID_SELF) return;
  g_events[0] += event == EVENT_OBJECT_VALUECHANGE;
  g_events[1] += event == EVENT_OBJECT_FOCUS;
  g_events[2] += event == EVENT_OBJECT_TEXTSELECTIONCHANGED;
}

// Text2 as a screen reader sees it: a text box named by its frame. Each step
// shows its value, whether it has the focus (and then the system caret at its
// caret), and the events it raised.
TEST_F(Form1Test, Text2IsATextBoxToScreenReaders) {
  const ComApartment com = vantorel::CoInitializeEx(COINIT_APARTMENTTHREADED);
  g_watched = text2();
  const UniqueWinEventHook hook(
      SetWinEventHook(EVENT_OBJECT_FOCUS, EVENT_OBJECT_TEXTSELECTIONCHANGED, nullptr, CountEvent,
                      GetCurrentProcessId(), 0, WINEVENT_OUTOFCONTEXT));
  ASSERT_TRUE(hook);
  UniqueCom<IAccessible> box;
  ASSERT_EQ(AccessibleObjectFromWindow(text2(), OBJID_CLIENT, IID_IAccessible, box.put_void()),
            S_OK);
  const VARIANT self = AccessibleSelf();
  VARIANT role{};
  ASSERT_EQ(box.get()->get_accRole(self, &role), S_OK);
  EXPECT_EQ(role.vt, VT_I4);
  EXPECT_EQ(role.lVal, ROLE_SYSTEM_TEXT);
  EXPECT_EQ(AccessibleText(box.get(), &IAccessible::get_accName), u"需要解密的内容");
  RECT rect{};
  GetWindowRect(text2(), &rect);
  long left = 0, top = 0, width = 0, height = 0;
  ASSERT_EQ(box.get()->accLocation(&left, &top, &width, &height, self), S_OK);
  EXPECT_EQ((std::array{left, top, left + width, top + height}),
            (std::array{rect.left, rect.top, rect.right, rect.bottom}));
  // The parent is the standard object of the same window.
  UniqueCom<IDispatch> parent;
  ASSERT_EQ(box.get()->get_accParent(parent.put()), S_OK);
  UniqueCom<IAccessible> parent_object;
  ASSERT_EQ(parent.get()->QueryInterface(IID_IAccessible, parent_object.put_void()), S_OK);
  HWND parent_window = nullptr;
  EXPECT_EQ(WindowFromAccessibleObject(parent_object.get(), &parent_window), S_OK);
  EXPECT_EQ(parent_window, text2());

  const struct {
    std::function<void()> act;
    std::u16string value;
    bool focused;
    std::array<int, 3> events;
  } steps[] = {
      {[] {}, u"", true, {0, 0, 0}},
      {[&] { Retype(text1(), u"ab"); }, u"61 62", false, {2, 0, 0}},
      {[&] { SetFocus(text2()); }, u"61 62", true, {0, 1, 0}},
      {[&] { SendMessageW(text2(), EM_SETSEL, 1, 4); }, u"61 62", true, {0, 0, 1}},
      {[&] { Press(VK_RIGHT); }, u"61 62", true, {0, 0, 1}},
      {[&] { Type(text2(), u"x"); }, u"61 62x", true, {1, 0, 1}},
      {[&] { EXPECT_EQ(testing::PutAccessibleValue(box.get(), u"41 42"), S_OK); },
       u"41 42",
       true,
       {1, 0, 1}},
      {[&] {
         ASSERT_TRUE(testing::SetClipboardText(form_.hwnd(), u"43 "));
         Type(text2(), u"\x16");  // Ctrl+V
       },
       u"43 41 42",
       true,
       {1, 0, 1}},
  };
  for (const auto& step : steps) {
    SCOPED_TRACE("step " + std::to_string(&step - steps + 1));
    g_events = {};
    step.act();
    Pump();
    EXPECT_EQ(AccessibleText(box.get(), &IAccessible::get_accValue), step.value);
    VARIANT state{};
    ASSERT_EQ(box.get()->get_accState(self, &state), S_OK);
    EXPECT_EQ(state.lVal, STATE_SYSTEM_FOCUSABLE | (step.focused ? STATE_SYSTEM_FOCUSED : 0));
    EXPECT_EQ(g_events, step.events);
    if (!step.focused) continue;
    DWORD caret = 0;
    SendMessageW(text2(), EM_GETSEL, 0, reinterpret_cast<LPARAM>(&caret));
    const auto at = static_cast<DWORD>(SendMessageW(text2(), EM_POSFROMCHAR, caret, 0));
    GUITHREADINFO thread{};
    thread.cbSize = sizeof thread;
    ASSERT_TRUE(GetGUIThreadInfo(GetCurrentThreadId(), &thread));
    EXPECT_EQ(thread.hwndCaret, text2());
    EXPECT_EQ(thread.rcCaret.left, static_cast<short>(LOWORD(at)));
    EXPECT_EQ(thread.rcCaret.top, static_cast<short>(HIWORD(at)));
  }
  EXPECT_EQ(Text(text1()), u"ab");

  // Read-only, it says so and keeps its text.
  SetWindowLongW(text2(), GWL_STYLE, GetWindowLongW(text2(), GWL_STYLE) | ES_READONLY);
  VARIANT state{};
  ASSERT_EQ(box.get()->get_accState(self, &state), S_OK);
  EXPECT_EQ(state.lVal, STATE_SYSTEM_FOCUSABLE | STATE_SYSTEM_FOCUSED | STATE_SYSTEM_READONLY);
  EXPECT_EQ(testing::PutAccessibleValue(box.get(), u"00"), E_ACCESSDENIED);
  EXPECT_EQ(Text(text2()), u"43 41 42");
}

// Text2's shortcut menu speaks as Text1's, the system's own edit control's:
// the same items, in the user's language, greyed alike (both empty).
TEST_F(Form1Test, BothBoxesShortcutMenusAgree) {
  const std::vector<testing::MenuItem> text1_menu = testing::OpenShortcutMenu(text1());
  EXPECT_EQ(text1_menu.size(), 8u);
  EXPECT_EQ(testing::OpenShortcutMenu(text2()), text1_menu);
}

// Created, the window takes the screen's DPI (ctest runs this once more in a
// Wine prefix at 144 DPI, VANTOREL_SCREEN_DPI=144): its client area is the
// twips at that DPI, and the controls have the message font for it.
TEST_F(Form1Test, CreatedAtTheScreensDpi) {
  const WindowDc screen = vantorel::GetDC(nullptr);
  const int dpi = GetDeviceCaps(screen->dc, LOGPIXELSY);
  if (const char* expected = std::getenv("VANTOREL_SCREEN_DPI")) {
    ASSERT_EQ(dpi, std::atoi(expected)) << "the Wine prefix's LogPixels (scripts/wine-dpi.sh)";
  }
  EXPECT_EQ(form_.dpi(), static_cast<UINT>(dpi));
  EXPECT_EQ(ClientSizeOf(form_.hwnd()), ClientSize(dpi));
  NONCLIENTMETRICSW metrics{};  // at the screen's DPI
  metrics.cbSize = sizeof metrics;
  ASSERT_TRUE(SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0));
  LOGFONTW font{};
  GetObjectW(reinterpret_cast<HFONT>(SendMessageW(text1(), WM_GETFONT, 0, 0)), sizeof font, &font);
  EXPECT_EQ(font.lfHeight, metrics.lfMessageFont.lfHeight);
}

// Under another ANSI code page (ctest runs this under LC_ALL=ja_JP.UTF-8, 932,
// and en_US.UTF-8, 1252, from which Wine takes the code page): typing,
// "Encode" and "Decode" give that code page's bytes, and a refused decode
// names it, in the user's language.
TEST_F(Form1Test, WorksInTheSystemsCodePage) {
  const struct {
    UINT cp;
    const char16_t* typed;      // into Text1
    const char16_t* hex;        // Text2 then
    const char16_t* read;       // typed into Text2 for "Decode"
    const char16_t* text;       // Text1 then
    const char16_t* canonical;  // Text2 then
    const char16_t* refused;    // typed into Text2: "Decode" refuses it
    字符串加密::GroupError error;
  } cases[] = {
      {932,
       u"中あｱ😀",
       u"92 86 82 A0 B1 3F 3F",
       u"83 4a 83 69",
       u"カナ",
       u"83 4A 83 69",
       u"41 82",
       {Reason::kNotText, 2, 3, u"82"}},
      // Every byte is text in 1252, even the five it leaves unassigned (Windows reads them as
      // the control characters U+0081 and so on): only a group above FF is refused.
      {1252,
       u"é€中",
       u"E9 80 3F",
       u"c5 9c",
       u"Åœ",
       u"C5 9C",
       u"41 100",
       {Reason::kTooLarge, 2, 3, u"100"}},
  };
  const auto c = std::find_if(std::begin(cases), std::end(cases),
                              [](const auto& c) { return c.cp == GetACP(); });
  if (c == std::end(cases)) GTEST_SKIP() << "code page " << GetACP() << ": ctest runs it in others";
  // "Encode" replaces what was typed into Text2, with nothing for no text.
  Retype(text2(), u"41");
  Click(encode());
  EXPECT_EQ(Text(text2()), u"");
  SetFocus(text1());
  Type(text1(), c->typed);
  EXPECT_EQ(Text(text2()), c->hex);
  Retype(text2(), u"41");
  Click(encode());
  EXPECT_EQ(Text(text2()), c->hex);

  Retype(text2(), c->read);
  Click(decode());
  EXPECT_EQ(Text(text1()), c->text);
  EXPECT_EQ(Text(text2()), c->canonical);

  Retype(text2(), c->refused);
  const MessageBoxCloser closer;
  Click(decode());
  testing::Focus();
  ExpectErrorBox(closer.seen(), form_.hwnd(), DecodeErrorMessage(c->error, c->cp, Language()));
  EXPECT_EQ(Text(text1()), c->text);
  EXPECT_EQ(Text(text2()), c->refused);
}

}  // namespace
}  // namespace vantorel
