#include "window/messages.hpp"

#include <gtest/gtest.h>

namespace vantorel {
namespace {

using 字符串加密::GroupError;
using Reason = GroupError::Reason;

struct MessageCase {
  Reason reason;
  std::size_t group;
  std::u16string text;
  std::u16string chinese;
  std::u16string english;
};

TEST(Messages, DecodeErrorsInBothLanguages) {
  const MessageCase cases[] = {
      {Reason::kTooLarge, 12, u"FFFF", u"第 12 组“FFFF”超出一个字节（00 到 FF）。",
       u"Group 12 \"FFFF\" does not fit in a byte (00 to FF)."},
      {Reason::kZeroByte, 2, u"", u"第 2 组（连续两个空格）是零字节，文本框无法容纳。",
       u"Group 2 (two spaces in a row) is a zero byte, which the text box cannot hold."},
      {Reason::kTooLarge, 4, u"1\t0\r\n0\x01\x7F\u0085中",
       u"第 4 组“1\\t0\\r\\n0\\x01\\x7F\\x85中”超出一个字节（00 到 FF）。",
       u"Group 4 \"1\\t0\\r\\n0\\x01\\x7F\\x85中\" does not fit in a byte (00 to FF)."},
      {Reason::kZeroByte, 2, u"00", u"第 2 组“00”是零字节，文本框无法容纳。",
       u"Group 2 \"00\" is a zero byte, which the text box cannot hold."},
      {Reason::kNotText, 3, u"D6", u"从第 3 组起的字节在代码页 936 中不是文字。",
       u"The bytes from group 3 are not text in code page 936."},
  };
  for (const MessageCase& c : cases) {
    const GroupError error{c.reason, c.group, 0, c.text};
    EXPECT_EQ(DecodeErrorMessage(error, 936, UiLanguage::kChinese), c.chinese);
    EXPECT_EQ(DecodeErrorMessage(error, 936, UiLanguage::kEnglish), c.english);
  }
}

// Bytes that read as a character the code page writes otherwise: the bytes,
// the character and the bytes written.
TEST(Messages, BytesWrittenOtherwiseInBothLanguages) {
  const struct {
    char32_t character;
    std::string read, written;
    std::u16string chinese, english;
  } cases[] = {
      {U'十', "\xA2\xCC", "\xA4\x51",
       u"从第 3 组起的字节 A2 CC 读作“十”（U+5341），代码页 950 把它写作 A4 51。",
       u"The bytes A2 CC from group 3 read as 十 (U+5341), which code page 950 writes as A4 51."},
      {U'\x85', "\x85", "", u"从第 3 组起的字节 85 读作U+0085，代码页 950 无法写出它。",
       u"The bytes 85 from group 3 read as U+0085, which code page 950 cannot write."},
      {U'😀', "\x94\x39\xFC\x36", "\x3F",
       u"从第 3 组起的字节 94 39 FC 36 读作“😀”（U+1F600），代码页 950 把它写作 3F。",
       u"The bytes 94 39 FC 36 from group 3 read as 😀 (U+1F600), which code page 950 writes as "
       u"3F."},
  };
  for (const auto& c : cases) {
    const GroupError error{Reason::kWrittenOtherwise, 3, 6, u"A2", c.character, c.read, c.written};
    EXPECT_EQ(DecodeErrorMessage(error, 950, UiLanguage::kChinese), c.chinese);
    EXPECT_EQ(DecodeErrorMessage(error, 950, UiLanguage::kEnglish), c.english);
  }
}

TEST(Messages, VeryLongGroupIsShortened) {
  const std::u16string digits(100000, u'4');
  const GroupError error{Reason::kTooLarge, 1, 0, digits};
  const std::u16string shown = std::u16string(kLongestGroupShown - 1, u'4') + u"…";
  EXPECT_EQ(DecodeErrorMessage(error, 936, UiLanguage::kEnglish),
            u"Group 1 \"" + shown + u"\" does not fit in a byte (00 to FF).");
  // Never between the halves of a surrogate pair.
  const std::u16string pair = u"1" + std::u16string(kLongestGroupShown - 3, u'0') + u"😀0";
  EXPECT_EQ(DecodeErrorMessage({Reason::kTooLarge, 1, 0, pair}, 936, UiLanguage::kEnglish),
            u"Group 1 \"1" + std::u16string(kLongestGroupShown - 3, u'0') +
                u"…\" does not fit in a byte (00 to FF).");
  // A group of exactly the longest length is shown whole.
  const std::u16string longest(kLongestGroupShown, u'7');
  EXPECT_EQ(DecodeErrorMessage({Reason::kTooLarge, 1, 0, longest}, 936, UiLanguage::kChinese),
            u"第 1 组“" + longest + u"”超出一个字节（00 到 FF）。");
}

TEST(Messages, ChineseForEveryChineseLangId) {
  struct {
    unsigned short langid;
    UiLanguage language;
  } const cases[] = {
      {0x0804, UiLanguage::kChinese},                                  // PRC
      {0x0404, UiLanguage::kChinese},                                  // Taiwan
      {0x0c04, UiLanguage::kChinese},                                  // Hong Kong
      {0x1004, UiLanguage::kChinese},                                  // Singapore
      {0x0409, UiLanguage::kEnglish}, {0x0411, UiLanguage::kEnglish},  // Japanese
      {0x0007, UiLanguage::kEnglish}, {0x0000, UiLanguage::kEnglish},
  };
  for (const auto& c : cases) EXPECT_EQ(LanguageFromLangId(c.langid), c.language) << c.langid;
}

}  // namespace
}  // namespace vantorel
