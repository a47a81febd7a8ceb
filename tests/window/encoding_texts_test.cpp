// The encoding submenu's items and the balloon's texts, on a system and in a
// language the window's tests under Wine do not run in.
#include <gtest/gtest.h>

#include "window/messages.hpp"

namespace vantorel {
namespace {

TEST(EncodingTexts, InEnglishOnASystemOfAnotherCodePage) {
  const std::vector<EncodingItem> items = EncodingItems(
      1251, u"1251  (ANSI - Cyrillic)", [](字符串加密::CodePage cp) { return cp != 949; },
      UiLanguage::kEnglish);
  ASSERT_EQ(items.size(), 10u);
  EXPECT_EQ(items[0], (EncodingItem{1251, u"ANSI - Cyrillic (1251)",
                                    u"ANSI - Cyrillic (1251) - system default", true}));
  EXPECT_EQ(items[5], (EncodingItem{949, u"UHC (949)", u"UHC (949)", false}));
  EXPECT_EQ(FormCaption(items[0], 1251), u"Vantorel");
  EXPECT_EQ(FormCaption(items[7], 1251), u"Vantorel - UTF-8");
  const BalloonText many = UnwritableBalloon(u"a한😀", {"", 2, 1}, items[1], UiLanguage::kEnglish);
  EXPECT_EQ(many.title, u"Characters GBK (936) cannot write");
  EXPECT_EQ(many.text,
            u"2 characters became 3F; the first is 한 (U+D55C). UTF-8 or UTF-16 can write them.");
  EXPECT_EQ(UnwritableBalloon(u"\xD83D", {"", 1, 0}, items[8], UiLanguage::kEnglish).text,
            u"1 character is half of a surrogate pair without its other half, which no code page "
            u"can write: U+D83D.");
}

}  // namespace
}  // namespace vantorel
