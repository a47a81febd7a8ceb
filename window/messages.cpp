#include "window/messages.hpp"

#include <cstdio>
#include <cstring>
#include <string>

namespace vantorel {
namespace {

using 字符串加密::GroupError;

std::u16string Number(std::size_t n) {
  const std::string digits = std::to_string(n);
  return std::u16string(digits.begin(), digits.end());
}

std::u16string Shown(const std::u16string& group) {
  if (group.size() <= kLongestGroupShown) return group;
  return group.substr(0, kLongestGroupShown - 1) + u"…";
}

// A character as a message names it: itself where it can be seen, and its
// number ("十 (U+5341)", "U+0085").
std::u16string Character(char32_t c, bool chinese) {
  char number[16];
  std::snprintf(number, sizeof number, "U+%04X", static_cast<unsigned>(c));
  const std::u16string code(number, number + std::strlen(number));
  if (c < 0x20 || (c >= 0x7F && c < 0xA0)) return code;
  std::u16string shown;
  if (c < 0x10000) {
    shown += static_cast<char16_t>(c);
  } else {
    shown += static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10));
    shown += static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
  }
  return chinese ? u"“" + shown + u"”（" + code + u"）" : shown + u" (" + code + u")";
}

}  // namespace

UiLanguage LanguageFromLangId(unsigned short langid) {
  constexpr unsigned short kPrimaryMask = 0x3ff;
  constexpr unsigned short kChinese = 0x04;
  return (langid & kPrimaryMask) == kChinese ? UiLanguage::kChinese : UiLanguage::kEnglish;
}

std::u16string DecodeErrorMessage(const GroupError& error, unsigned int cp, UiLanguage language) {
  const std::u16string n = Number(error.group);
  const std::u16string g = Shown(error.text);
  const bool chinese = language == UiLanguage::kChinese;
  switch (error.reason) {
    case GroupError::Reason::kTooLarge:
      return chinese ? u"第 " + n + u" 组“" + g + u"”超出一个字节（00 到 FF）。"
                     : u"Group " + n + u" \"" + g + u"\" does not fit in a byte (00 to FF).";
    case GroupError::Reason::kZeroByte:
      return chinese ? u"第 " + n + u" 组“" + g + u"”是零字节，文本框无法容纳。"
                     : u"Group " + n + u" \"" + g +
                           u"\" is a zero byte, which the text box cannot hold.";
    case GroupError::Reason::kWrittenOtherwise: {
      const std::u16string read = 字符串加密::BytesToHex(error.read);
      const std::u16string c = Character(error.character, chinese);
      const std::u16string page = Number(cp);
      if (error.written.empty()) {
        return chinese ? u"从第 " + n + u" 组起的字节 " + read + u" 读作" + c + u"，代码页 " +
                             page + u" 无法写出它。"
                       : u"The bytes " + read + u" from group " + n + u" read as " + c +
                             u", which code page " + page + u" cannot write.";
      }
      const std::u16string written = 字符串加密::BytesToHex(error.written);
      return chinese ? u"从第 " + n + u" 组起的字节 " + read + u" 读作" + c + u"，代码页 " + page +
                           u" 把它写作 " + written + u"。"
                     : u"The bytes " + read + u" from group " + n + u" read as " + c +
                           u", which code page " + page + u" writes as " + written + u".";
    }
    case GroupError::Reason::kNotText:
      break;
  }
  return chinese
             ? u"从第 " + n + u" 组起的字节在代码页 " + Number(cp) + u" 中不是文字。"
             : u"The bytes from group " + n + u" are not text in code page " + Number(cp) + u".";
}

std::u16string OutOfMemoryMessage(UiLanguage language) {
  return language == UiLanguage::kChinese ? u"内存不足，操作没有完成。"
                                          : u"There was not enough memory to finish the operation.";
}

std::u16string UnexpectedErrorMessage(UiLanguage language) {
  return language == UiLanguage::kChinese ? u"发生意外错误，操作没有完成。"
                                          : u"An unexpected error stopped the operation.";
}

std::u16string EditCommandLabel(EditCommand command, UiLanguage language) {
  const bool chinese = language == UiLanguage::kChinese;
  switch (command) {
    case EditCommand::kUndo:
      return chinese ? u"撤消(&U)" : u"&Undo";
    case EditCommand::kCut:
      return chinese ? u"剪切(&T)" : u"Cu&t";
    case EditCommand::kCopy:
      return chinese ? u"复制(&C)" : u"&Copy";
    case EditCommand::kPaste:
      return chinese ? u"粘贴(&P)" : u"&Paste";
    case EditCommand::kDelete:
      return chinese ? u"删除(&D)" : u"&Delete";
    case EditCommand::kSelectAll:
      break;
  }
  return chinese ? u"全选(&A)" : u"Select &All";
}

}  // namespace vantorel
