// The fixture Form1's tests share: a Form1 shown and active, driven through
// the program's own message loop.
#pragma once

#include <gtest/gtest.h>

#include <string_view>

#include "tests/support/gui_driver.hpp"
#include "window/form1.hpp"

namespace vantorel {

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
    testing::Type(box, u"\x01\b");
    testing::Type(box, text);
  }

  Form1 form_;
};

}  // namespace vantorel
