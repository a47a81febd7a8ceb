#include "tests/window/form1_driver.hpp"

namespace vantorel::testing {
namespace {

LPARAM KeyData(UINT key, bool up) {
  const UINT scan = MapVirtualKeyW(key, MAPVK_VK_TO_VSC);
  LPARAM data = 1 | static_cast<LPARAM>(scan << 16);
  if (up) data |= static_cast<LPARAM>(3u << 30);
  return data;
}

}  // namespace

void Pump(Form1& form) { PumpWaitingMessages(form); }

void Type(Form1& form, HWND control, std::u16string_view chars) {
  for (const char16_t c : chars) {
    PostMessageW(control, WM_CHAR, c, 1);
    Pump(form);
  }
}

void Press(Form1& form, UINT key, bool shift) {
  HoldKeys(shift ? kShift : 0u);
  const HWND focus = GetFocus();
  PostMessageW(focus, WM_KEYDOWN, key, KeyData(key, false));
  PostMessageW(focus, WM_KEYUP, key, KeyData(key, true));
  Pump(form);
  HoldKeys(0);
}

void Click(Form1& form, HWND button) {
  RECT client{};
  GetClientRect(button, &client);
  const LPARAM at = MAKELPARAM(client.right / 2, client.bottom / 2);
  PostMessageW(button, WM_LBUTTONDOWN, MK_LBUTTON, at);
  PostMessageW(button, WM_LBUTTONUP, 0, at);
  Pump(form);
}

UiLanguage Language() { return LanguageFromLangId(GetUserDefaultUILanguage()); }

void ExpectErrorBox(const MessageBoxSeen& seen, HWND form, std::u16string_view text) {
  ASSERT_EQ(seen.count, 1);
  EXPECT_EQ(seen.caption, kMessageCaption);
  EXPECT_EQ(seen.text, text);
  EXPECT_EQ(seen.owner, form);
  EXPECT_TRUE(seen.error_icon);
  EXPECT_EQ(seen.buttons, 1);
  EXPECT_TRUE(seen.only_ok);
}

void Form1Test::SetUp() {
  ASSERT_NE(form_.Create(GetModuleHandleW(nullptr)), nullptr);
  ShowWindow(form_.hwnd(), SW_SHOWNORMAL);
  UpdateWindow(form_.hwnd());
  SetForegroundWindow(form_.hwnd());
  WaitForFocus();
}

void Form1Test::WaitForFocus() {
  for (int i = 0; i < 300 && GetFocus() == nullptr; ++i) {
    Pump(form_);
    Sleep(10);
  }
}

void Form1Test::Retype(HWND box, std::u16string_view text) {
  SetFocus(box);
  Type(form_, box, u"\x01\b");
  Type(form_, box, text);
}

}  // namespace vantorel::testing
