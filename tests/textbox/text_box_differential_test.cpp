// The lower box beside the system's edit control: both get the same real
// messages (read-only for a while, now and then), and after each one their
// text, selection, first visible line, line starts and clipboard must be the
// same, but where a table below says why not. The steps are drawn from a fixed seed; a failure
// prints the seed and the step, and a fault once found stays below as a replay.
//
// `make test` runs a few sequences. VANTOREL_DIFF_SECONDS=N keeps drawing new
// sequences for N seconds (scripts/wine-run.sh passes it on to the program),
// and VANTOREL_DIFF_SEED=S starts from seed S.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "tests/support/gui_driver.hpp"
#include "textbox/text_box.hpp"
#include "win32/clipboard.hpp"
#include "win32/dpi.hpp"
#include "win32/edit_menu.hpp"
#include "win32/handles.hpp"

namespace vantorel {
namespace {

using testing::HoldKeys;
using testing::kCtrl;
using testing::kShift;
enum class Kind { kChars, kKey, kSetText, kSetSel, kReplaceSel, kMessage, kReadOnly };

struct Step {
  Kind kind;
  std::u16string text;  // characters, or the new text
  unsigned key = 0;     // key, or message for kMessage
  unsigned mods = 0;
  // EM_SETSEL's positions; EM_REPLACESEL's can-undo flag, or EM_SETREADONLY's,
  // in from.
  int from = 0, to = 0;
};

// The edit control's text, selection, first visible line and line starts
// (and the clipboard, after steps that use it).
struct State {
  std::u16string text;
  DWORD start = 0, end = 0;
  LRESULT first = 0;
  std::vector<LRESULT> lines;
  std::u16string clipboard;
  bool operator==(const State&) const = default;
};

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
  switch (step.key) {
    case VK_UP:
    case VK_DOWN:
    case VK_PRIOR:
    case VK_NEXT:
      return true;
    case VK_HOME:
    case VK_END:
      return !control;
    case VK_LEFT:
    case VK_RIGHT:
    case VK_DELETE:
      return control;
    default:
      return false;
  }
}

// How many whole lines the two show.
int g_visible_lines = 1;

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
//    line and the line starts are not compared while they differ; from such a
//    state, or while lines differ, the steps that follow lines are left out
//    as above. Text, selection and clipboard are always compared.
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
       switch (step.key) {
         case VK_PRIOR:
           return line - g_visible_lines < 0;
         case VK_UP:
           return line == 0;
         case VK_NEXT:
           return line + g_visible_lines > last;
         case VK_DOWN:
           return line == last;
         default:
           return false;
       }
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

void Pump() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
}

std::string Escaped(std::u16string_view text) {
  std::string s;
  for (const char16_t c : text) {
    if (c >= 0x20 && c < 0x7F) {
      s += static_cast<char>(c);
    } else {
      char hex[8];
      std::snprintf(hex, sizeof hex, "\\u%04X", static_cast<unsigned>(c));
      s += hex;
    }
  }
  return s;
}

std::string Describe(const Step& step) {
  return "kind " + std::to_string(static_cast<int>(step.kind)) + " key/message " +
         std::to_string(step.key) + " mods " + std::to_string(step.mods) + " from " +
         std::to_string(step.from) + " to " + std::to_string(step.to) + " text \"" +
         Escaped(step.text) + "\"";
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
Step Message(unsigned message) { return {Kind::kMessage, u"", message}; }
Step ReplaceSel(std::u16string text, bool can_undo) {
  return {Kind::kReplaceSel, std::move(text), 0, 0, can_undo ? 1 : 0};
}
Step ReadOnly(bool on) { return {Kind::kReadOnly, u"", 0, 0, on ? 1 : 0}; }
std::u16string Repeat(std::u16string_view piece, int times) {
  std::u16string text;
  while (times-- > 0) text += piece;
  return text;
}

class TextBoxDifferentialTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    RegisterTextBoxClass(GetModuleHandleW(nullptr));
    window_.reset(CreateWindowExW(0, L"STATIC", L"TextBox beside EDIT",
                                  WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 700, 300, nullptr,
                                  nullptr, GetModuleHandleW(nullptr), nullptr));
    parent_ = window_.get();
    SetForegroundWindow(parent_);
    font_ = CreateMessageFont(96);
    const DWORD style =
        WS_CHILD | WS_VISIBLE | WS_VSCROLL | ES_MULTILINE | ES_AUTOVSCROLL | ES_WANTRETURN;
    edit_ = CreateWindowExW(WS_EX_CLIENTEDGE, L"EDIT", L"", style | WS_TABSTOP, 8, 8, 321, 157,
                            parent_, nullptr, GetModuleHandleW(nullptr), nullptr);
    box_ = CreateWindowExW(WS_EX_CLIENTEDGE, kTextBoxClass, L"", style | WS_TABSTOP, 340, 8, 321,
                           157, parent_, nullptr, GetModuleHandleW(nullptr), nullptr);
    for (const HWND c : {edit_, box_})
      SendMessageW(c, WM_SETFONT, reinterpret_cast<WPARAM>(font_.get()), TRUE);
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
    // The box keeps the margins the system gives the edit control, as Form1 does.
    SendMessageW(box_, EM_SETMARGINS, EC_LEFTMARGIN | EC_RIGHTMARGIN,
                 SendMessageW(edit_, EM_GETMARGINS, 0, 0));
  }
  static void TearDownTestSuite() {
    window_.reset();
    font_.reset();
  }

  static void Focus(HWND control) {
    for (int i = 0; i < 300 && GetFocus() != control; ++i) {
      SetFocus(control);
      Pump();
      if (GetFocus() != control) Sleep(10);
    }
  }

  static void Apply(HWND c, const Step& step) {
    Focus(c);
    const std::wstring text(step.text.begin(), step.text.end());
    switch (step.kind) {
      case Kind::kChars:
        for (const char16_t ch : step.text) PostMessageW(c, WM_CHAR, ch, 1);
        break;
      case Kind::kKey: {
        HoldKeys(step.mods);
        const LPARAM scan = static_cast<LPARAM>(MapVirtualKeyW(step.key, MAPVK_VK_TO_VSC)) << 16;
        PostMessageW(c, WM_KEYDOWN, step.key, 1 | scan);
        PostMessageW(c, WM_KEYUP, step.key, 1 | scan | (3LL << 30));
        Pump();
        HoldKeys(0);
        break;
      }
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
        SendMessageW(c, step.key, 0, 0);
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
    const LRESULT count = SendMessageW(c, EM_GETLINECOUNT, 0, 0);
    for (LRESULT i = 0; i < count; ++i) s.lines.push_back(SendMessageW(c, EM_LINEINDEX, i, 0));
    if (clipboard) s.clipboard = ClipboardText(parent_).value_or(u"<none>");
    return s;
  }

  struct Counts {
    long long compared = 0, left_out = 0, lines_differed = 0;
  };
  // Runs one sequence; false, with a failure naming where, at the first
  // difference.
  static bool Run(const std::vector<Step>& steps, const std::string& name, Counts& counts) {
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
        want.first = got.first = 0;
        want.lines.clear();
        got.lines.clear();
      } else if (lines_differed && want.first != got.first) {
        // Lines agree again, but each box scrolled as its own lines were:
        // the box's view follows the edit control's.
        SendMessageW(box_, EM_LINESCROLL, 0, want.first - got.first);
        got.first = want.first;
      }
      if (want == got) continue;
      ADD_FAILURE() << name << ", step " << i << ": " << Describe(step) << "\n before: \""
                    << Escaped(edit_before.text) << "\" sel " << edit_before.start << "-"
                    << edit_before.end << " first " << edit_before.first << "/" << box_before.first
                    << " lines " << edit_before.lines.size() << "\n edit: " << Summary(want)
                    << "\n box:  " << Summary(got);
      return false;
    }
    return true;
  }

  static std::string Summary(const State& s) {
    std::string lines;
    for (const LRESULT start : s.lines) lines += " " + std::to_string(start);
    return "sel " + std::to_string(s.start) + "-" + std::to_string(s.end) + " first " +
           std::to_string(s.first) + " lines" + lines + " clipboard \"" + Escaped(s.clipboard) +
           "\" text \"" + Escaped(s.text) + "\"";
  }

  static inline HWND parent_ = nullptr, edit_ = nullptr, box_ = nullptr;
  static inline UniqueWindow window_;  // the parent, which takes the boxes with it
  static inline UniqueFont font_;
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
    return {Kind::kSetSel,
            u"",
            0,
            0,
            static_cast<int>(rng() % 700) - 5,
            static_cast<int>(rng() % 700) - 5};
  }
  if (roll < 94) return {Kind::kReplaceSel, RandomText(rng, 40), 0, 0, static_cast<int>(rng() % 2)};
  if (roll < 97) return {Kind::kMessage, u"", kMessages[rng() % std::size(kMessages)]};
  return ReadOnly(rng() % 2 != 0);
}

// Faults the comparison found, each as the few steps that showed it.
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
  ASSERT_NE(box_, nullptr);
  ASSERT_NE(edit_, nullptr);
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
    EXPECT_EQ(Summary(after[1]), Summary(after[0]));
  }
}

TEST_F(TextBoxDifferentialTest, RandomStepsAgreeWithTheEditControl) {
  ASSERT_NE(box_, nullptr);
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
