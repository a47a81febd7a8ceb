// Form1's encoding submenu of the system menu, read and chosen in this
// process (another's menus cannot be read), and the balloon at Text1.
#include <gtest/gtest.h>

#include "codec/codec.hpp"
#include "tests/window/form1_driver.hpp"
#include "window/form1.hpp"

namespace vantorel {
namespace {

using testing::Form1Test;
using testing::Text;
using Reason = 字符串加密::GroupError::Reason;

// Under code page 936, in Chinese, each step chooses an item as the system
// menu does (WM_SYSCOMMAND with its id), types into Text1, or types hex into
// Text2 and clicks "Decode" or "Encode". Then: both boxes; the items, their
// labels, the radio check on the code page in use and the grey on those the
// system lacks (GB18030 under Wine 8: choosing it changes nothing); the
// caption; the balloon, which follows the count while it shows but, hidden
// (before most steps, as after its time), comes back only when Text1 comes
// to hold characters the code page cannot write or another code page is
// chosen while it holds some; the message of a refused decode, which names
// the code page.
TEST_F(Form1Test, EncodingMenuAndBalloon) {
  const char16_t* const labels[] = {
      u"GBK (936) - 系统默认", u"GB18030 (54936)", u"Big5 (950)", u"Shift-JIS (932)", u"UHC (949)",
      u"Windows-1252",         u"UTF-8",           u"UTF-16 LE",  u"UTF-16 BE"};
  const char16_t* const e = u"1 个字符写成了 3F：“é”（U+00E9）。UTF-8 或 UTF-16 可以写出它。";
  const char16_t* const zhong = u"1 个字符写成了 3F：“中”（U+4E2D）。UTF-8 或 UTF-16 可以写出它。";
  const char16_t* const zhong2 =
      u"2 个字符写成了 3F，第一个是“中”（U+4E2D）。UTF-8 或 UTF-16 可以写出它们。";
  const char16_t* const smile = u"1 个字符写成了 3F：“😀”（U+1F600）。UTF-8 或 UTF-16 可以写出它。";
  const 字符串加密::GroupError odd{Reason::kNotText, 3, 6, u"41"},
      lone{Reason::kNotText, 1, 0, u"D8"};
  enum Act { kChoose, kType, kDecode, kEncode };
  const struct {
    Act act;
    int item;  // chosen; for kType, 1 leaves the balloon as it is
    const char16_t *chars, *text1, *text2, *balloon = nullptr;
    const 字符串加密::GroupError* refused = nullptr;
  } steps[] = {
      {kType, 0, u"中é", u"中é", u"D6 D0 A8 A6"},
      {kChoose, 1, nullptr, u"中é", u"D6 D0 A8 A6"},
      {kChoose, 2, nullptr, u"中é", u"A4 A4 3F", e},
      {kChoose, 3, nullptr, u"中é", u"92 86 3F", e},
      {kChoose, 4, nullptr, u"中é", u"F1 E9 3F", e},
      {kChoose, 5, nullptr, u"中é", u"3F E9", zhong},
      {kType, 1, u"中", u"中é中", u"3F E9 3F", zhong2},
      {kType, 0, u"a", u"中é中a", u"3F E9 3F 61"},
      {kEncode, 0, u"41", u"中é中a", u"3F E9 3F 61"},
      {kChoose, 6, nullptr, u"中é中a", u"E4 B8 AD C3 A9 E4 B8 AD 61"},
      {kDecode, 0, u"e4 b8 ad", u"中", u"E4 B8 AD"},
      {kChoose, 7, nullptr, u"中", u"2D 4E"},
      {kDecode, 0, u"2D 4E 41", u"中", u"2D 4E 41", nullptr, &odd},
      {kChoose, 8, nullptr, u"中", u"4E 2D"},
      {kDecode, 0, u"D8 3D 00 41", u"中", u"D8 3D 00 41", nullptr, &lone},
      {kDecode, 0, u"4E 2D D8 3D DE 00", u"中😀", u"4E 2D D8 3D DE 00"},
      {kChoose, 0, nullptr, u"中😀", u"D6 D0 3F 3F", smile},
      {kType, 0, u"\x01\b", u"", u""},
      {kType, 0, u"😀", u"😀", u"3F 3F", smile},
  };
  const HMENU system = GetSystemMenu(form_.hwnd(), FALSE);
  const HMENU menu = GetSubMenu(system, GetMenuItemCount(system) - 1);
  ASSERT_EQ(GetMenuItemCount(menu), 9);
  const auto available = [](int item) {
    return 字符串加密::IsCodePageAvailable(字符串加密::NamedCodePages()[item].cp);
  };
  int checked = 0;
  SetFocus(text1());
  for (const auto& step : steps) {
    SCOPED_TRACE("step " + std::to_string(&step - steps + 1));
    if (form_.balloon() != nullptr && step.item == 0) ShowWindow(form_.balloon(), SW_HIDE);
    const HWND focus = GetFocus();
    const testing::MessageBoxCloser closer;
    if (step.act == kType) testing::Type(form_, text1(), step.chars);
    if (step.act == kChoose) {
      PostMessageW(form_.hwnd(), WM_SYSCOMMAND, GetMenuItemID(menu, step.item), 0);
      testing::Pump(form_);
      if (available(step.item)) checked = step.item;
      EXPECT_EQ(form_.code_page(), 字符串加密::NamedCodePages()[checked].cp);
    }
    EXPECT_TRUE(step.act >= kDecode || GetFocus() == focus);  // the balloon takes no focus
    if (step.act >= kDecode) Retype(text2(), step.chars);
    if (step.act >= kDecode) testing::Click(form_, step.act == kDecode ? decode() : encode());
    WaitForFocus();
    EXPECT_EQ(Text(text1()), step.text1);
    EXPECT_EQ(Text(text2()), step.text2);
    for (int i = 0; i < 9; ++i) {
      wchar_t label[64] = {};
      GetMenuStringW(menu, i, label, 64, MF_BYPOSITION);
      EXPECT_EQ(std::u16string(label, label + lstrlenW(label)), labels[i]);
      EXPECT_EQ(
          GetMenuState(menu, i, MF_BYPOSITION) & (MFT_RADIOCHECK | MF_CHECKED | MF_GRAYED),
          MFT_RADIOCHECK | (i == checked ? MF_CHECKED : 0u) | (available(i) ? 0u : MF_GRAYED));
    }
    EXPECT_EQ(Text(form_.hwnd()),
              checked == 0 ? u"Vantorel" : u"Vantorel - " + std::u16string(labels[checked]));
    EXPECT_EQ(form_.balloon() != nullptr ? Text(form_.balloon()) : u"",
              step.balloon ? step.balloon : u"");
    EXPECT_EQ(closer.seen().text,
              step.refused
                  ? DecodeErrorMessage(*step.refused, form_.code_page(), testing::Language())
                  : u"");
  }
}

}  // namespace
}  // namespace vantorel
