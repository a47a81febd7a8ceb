#include "window/messages.hpp"

#include <string>

namespace vantorel {
namespace {

using 字符串加密::GroupError;

std::u16string Number(std::size_t n) {
  const std::string digits = std::to_string(n);
  return std::u16string(digits.begin(), digits.end());
}

// A long group shortened, never between the halves of a surrogate pair.
std::u16string Shown(const std::u16string& group) {
  if (group.size() <= kLongestGroupShown) return group;
  std::size_t kept = kLongestGroupShown - 1;
  if (group[kept - 1] >= 0xD800 && group[kept - 1] <= 0xDBFF) --kept;
  return group.substr(0, kept) + u"…";
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
