// Drives a Form1 in this process the way a person would: keys and characters
// posted to the focused control and run through the program's own message
// loop, clicks, the clipboard, and message boxes read and closed.
#pragma once

#include <gtest/gtest.h>
#include <oleacc.h>
#include <windows.h>

#include <string>
#include <string_view>

#include "form1.hpp"

namespace vantorel::testing {

std::u16string Text(HWND control);

// Shift and Ctrl, held as GetKeyState will see them (HoldKeys(0) lets go).
enum Mods : unsigned { kShift = 1, kCtrl = 2 };
void HoldKeys(unsigned mods);

// Handles everything waiting, as the program's loop would.
void Pump(Form1& form);

// Posts one character per code unit to the control, then pumps.
void Type(Form1& form, HWND control, std::u16string_view chars);
// A key pressed and released on the focused control, with Shift held if asked.
void Press(Form1& form, UINT key, bool shift = false);

// A left click in the middle of a button, as mouse messages.
void Click(Form1& form, HWND button);

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

// What a message box showed. Filled in while the box is up, then the box's
// OK button is pressed.
struct MessageBoxSeen {
  int count = 0;
  std::u16string caption;
  std::u16string text;
  HWND owner = nullptr;
  bool error_icon = false;
  int buttons = 0;
  bool only_ok = false;
};

// While this lives, every message box this thread shows is read and closed.
class MessageBoxCloser {
 public:
  MessageBoxCloser();
  ~MessageBoxCloser();
  MessageBoxCloser(const MessageBoxCloser&) = delete;
  MessageBoxCloser& operator=(const MessageBoxCloser&) = delete;
  const MessageBoxSeen& seen() const;

 private:
  UINT_PTR timer_;
};

// A Form1 shown and active, with the focus in it.
class Form1Test : public ::testing::Test {
 protected:
  void SetUp() override;

  // Activation comes back from the X server a moment after it was asked for
  // (after showing the window, after a message box).
  void WaitForFocus();

  HWND text1() const { return form_.Child(Control::kText1); }
  HWND text2() const { return form_.Child(Control::kText2); }
  HWND encode() const { return form_.Child(Control::kCommand1); }
  HWND decode() const { return form_.Child(Control::kCommand2); }

  // Replaces a box's text the way a person would: select all, then type.
  void Retype(HWND box, std::u16string_view text);

  Form1 form_;
};

}  // namespace vantorel::testing
