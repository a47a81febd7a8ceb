// What the window tests share: the message loop, the focus, keys and
// characters, the clipboard, accessible objects, shortcut menus, message boxes
// read and closed, and allocations that fail.
#pragma once

#include <gtest/gtest.h>
#include <oleacc.h>
#include <windows.h>

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace vantorel::testing {

std::u16string Text(HWND control);

// Handles every message waiting for this thread: through the loop given to
// SetMessageLoop (Form1's tests give the program's own), else plainly.
void Pump();
void SetMessageLoop(std::function<void()> loop);

// Gives the control the focus, or with none waits for the focus to come to
// any window: the activation comes back from the X server a moment after it
// was asked for (after a window is shown, after a message box). Whether it came.
bool Focus(HWND control = nullptr);

// Shift and Ctrl, held as GetKeyState will see them (HoldKeys(0) lets go).
enum Mods : unsigned { kShift = 1, kCtrl = 2 };
void HoldKeys(unsigned mods);
// A key pressed and released on the focused window, with the keys held.
void Press(UINT key, unsigned mods = 0);
// One WM_CHAR a code unit, each handled before the next.
void Type(HWND control, std::u16string_view chars);

// Puts text on the clipboard as CF_UNICODETEXT.
bool SetClipboardText(HWND owner, std::u16string_view text);

// The object as a whole, as IAccessible's calls name it.
VARIANT AccessibleSelf();
// A text of an accessible object as a whole (get_accName, get_accValue...),
// or when it has none the HRESULT, as "<hr 00000001>".
std::u16string AccessibleText(IAccessible* object,
                              HRESULT (STDMETHODCALLTYPE IAccessible::*get)(VARIANT, BSTR*));
// put_accValue of the object as a whole.
HRESULT PutAccessibleValue(IAccessible* object, std::u16string_view value);

// An item of a shortcut menu as a person sees it: its label ("-" for a
// separator) and whether it can be chosen.
struct MenuItem {
  std::u16string label;
  bool enabled = false;
  bool operator==(const MenuItem&) const = default;
};
// Opens a control's shortcut menu as the keyboard does (WM_CONTEXTMENU at -1,
// -1), reads it while it is up, then chooses the item labelled `choose` by its
// access key, or closes the menu when no item has that label; where that item
// opens a submenu, the submenu's item labelled `then` the same way. Gives the
// items of the menu; none when no menu came up.
std::vector<MenuItem> OpenShortcutMenu(HWND control, std::u16string_view choose = {},
                                       std::u16string_view then = {});

// What a message box showed. Filled in while the box is up, before the box is
// closed.
struct MessageBoxSeen {
  int count = 0;
  std::u16string caption;
  std::u16string text;
  HWND owner = nullptr;
  bool error_icon = false;
  int buttons = 0;
  bool only_ok = false;
};

// While this lives, every message box this thread shows is read and closed
// with the button `answer` (IDOK, IDYES, IDNO...).
class MessageBoxCloser {
 public:
  explicit MessageBoxCloser(int answer = IDOK);
  ~MessageBoxCloser();
  MessageBoxCloser(const MessageBoxCloser&) = delete;
  MessageBoxCloser& operator=(const MessageBoxCloser&) = delete;
  const MessageBoxSeen& seen() const;

 private:
  UINT_PTR timer_;
};

// While this lives, every allocation of more than `bytes` in the test program
// fails with std::bad_alloc, as when memory runs out (allocations.cpp).
class AllocationsFailAbove {
 public:
  explicit AllocationsFailAbove(std::size_t bytes);
  ~AllocationsFailAbove();
  AllocationsFailAbove(const AllocationsFailAbove&) = delete;
  AllocationsFailAbove& operator=(const AllocationsFailAbove&) = delete;
};

}  // namespace vantorel::testing
