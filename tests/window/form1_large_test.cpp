// Form1 with large text: the boxes have no length limit, every group reaches
// the lower box, and a long paste is written in pieces (seconds, not minutes).
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <string>

#include "gui_driver.hpp"

namespace vantorel {
namespace {

using testing::Form1Test;
using testing::Pump;
using testing::Text;

TEST_F(Form1Test, PasteOf100000ChineseCharacters) {
  std::u16string text;
  for (int i = 0; i < 100000; ++i) text += static_cast<char16_t>(u'一' + i % 1000);
  ASSERT_TRUE(testing::SetClipboardText(form_.hwnd(), text));
  SetFocus(text1());
  const auto start = std::chrono::steady_clock::now();
  SendMessageW(text1(), WM_PASTE, 0, 0);
  Pump(form_);
  const auto seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::printf("paste of 100,000 Chinese characters: %.2f s\n", seconds);
  RecordProperty("paste_seconds", std::to_string(seconds));
  EXPECT_EQ(Text(text1()), text);
  const std::u16string hex = Text(text2());
  ASSERT_EQ(hex.size(), 599999u);
  EXPECT_EQ(hex.substr(0, 11), u"D2 BB B6 A1");  // 一丁
}

}  // namespace
}  // namespace vantorel
