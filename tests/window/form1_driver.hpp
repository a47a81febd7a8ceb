// Drives a Form1 in this process the way a person would: keys and characters
// posted to the focused control and run through the program's own message
// loop, and clicks.
#pragma once

#include <windows.h>

#include <cstddef>
#include <string_view>

#include "tests/support/gui_driver.hpp"
#include "window/form1.hpp"
#include "window/messages.hpp"

namespace vantorel::testing {

// Handles everything waiting, as the program's loop would.
void Pump(Form1& form);

// Posts one character per code unit to the control, then pumps.
void Type(Form1& form, HWND control, std::u16string_view chars);
// A key pressed and released on the focused control, with Shift held if asked.
void Press(Form1& form, UINT key, bool shift = false);

// A left click in the middle of a button, as mouse messages.
void Click(Form1& form, HWND button);

// The language the program speaks to this user.
UiLanguage Language();

// The one message box an operation that failed showed: the text, with the
// program's caption, an error icon and OK alone, owned by the form.
void ExpectErrorBox(const MessageBoxSeen& seen, HWND form, std::u16string_view text);

// While this lives, every allocation of more than `bytes` in the test program
// fails with std::bad_alloc, as when memory runs out (allocations.cpp).
class AllocationsFailAbove {
 public:
  explicit AllocationsFailAbove(std::size_t bytes);
  ~AllocationsFailAbove();
  AllocationsFailAbove(const AllocationsFailAbove&) = delete;
  AllocationsFailAbove& operator=(const AllocationsFailAbove&) = delete;
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
