#include "window/messages.hpp"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>

#include "window/layout.hpp"

namespace vantorel {
namespace {

using 字符串加密::GroupError;

std::u16string Number(std::size_t n) {
  const std::string digits = std::to_string(n);
  return std::u16string(digits.begin(), digits.end());
}

// A group as a message quotes it: a long one cut short (never between the
// halves of a surrogate pair), and line breaks,
// tabs and other control characters escaped (\n, \t, \x01), never raw.
std::u16string Shown(const std::u16string& group) {
  const bool cut = group.size() > kLongestGroupShown;
  std::size_t kept = cut ? kLongestGroupShown - 1 : group.size();
  // Never between the halves of a surrogate pair.
  if (cut && group[kept - 1] >= 0xD800 && group[kept - 1] <= 0xDBFF) --kept;
  std::u16string shown;
  for (const char16_t c : std::u16string_view(group).substr(0, kept)) {
    if (c == u'\t') {
      shown += u"\\t";
    } else if (c == u'\n') {
      shown += u"\\n";
    } else if (c == u'\r') {
      shown += u"\\r";
    } else if (c < 0x20 || (c >= 0x7F && c <= 0x9F)) {
      static constexpr char16_t kDigits[] = u"0123456789ABCDEF";
      shown += {u'\\', u'x', kDigits[c >> 4], kDigits[c & 0xF]};
    } else {
      shown += c;
    }
  }
  return cut ? shown + u"…" : shown;
}

// How a message names a group: its text in quotes, or for the empty group
// between two spaces in a row, that in words.
std::u16string Named(const std::u16string& group, bool chinese) {
  if (group.empty()) return chinese ? u"（连续两个空格）" : u" (two spaces in a row)";
  std::u16string named = chinese ? u"“" : u" \"";
  named += Shown(group);
  named += chinese ? u"”" : u"\"";
  return named;
}

// A character as a message names it: itself where it can be seen, and its
// number ("十 (U+5341)"; "U+0085", and half of a surrogate pair, by number alone).
std::u16string Character(char32_t c, bool chinese) {
  char number[16];
  std::snprintf(number, sizeof number, "U+%04X", static_cast<unsigned>(c));
  const std::u16string code(number, number + std::strlen(number));
  if (c < 0x20 || (c >= 0x7F && c < 0xA0) || (c >= 0xD800 && c <= 0xDFFF)) return code;
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
  const bool chinese = language == UiLanguage::kChinese;
  const std::u16string g = Named(error.text, chinese);
  switch (error.reason) {
    case GroupError::Reason::kTooLarge:
      return chinese ? u"第 " + n + u" 组" + g + u"超出一个字节（00 到 FF）。"
                     : u"Group " + n + g + u" does not fit in a byte (00 to FF).";
    case GroupError::Reason::kZeroByte:
      return chinese ? u"第 " + n + u" 组" + g + u"是零字节，文本框无法容纳。"
                     : u"Group " + n + g + u" is a zero byte, which the text box cannot hold.";
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

// ---- The encoding menu, the caption and the balloon -------------------------

namespace {

// What GetCPInfoExW calls a code page, without the number Windows writes
// before it and the parentheses around the rest, and then its number:
// "ANSI - Cyrillic (1251)".
std::u16string SystemCodePageName(std::u16string_view name, 字符串加密::CodePage cp, bool chinese) {
  const std::u16string number = Number(cp);
  if (name.starts_with(number)) name.remove_prefix(number.size());
  while (!name.empty() && name.front() == u' ') name.remove_prefix(1);
  while (!name.empty() && name.back() == u' ') name.remove_suffix(1);
  if (name.size() >= 2 && name.front() == u'(' && name.back() == u')') {
    name = name.substr(1, name.size() - 2);
  }
  if (name.empty()) return (chinese ? u"代码页 " : u"Code page ") + number;
  return std::u16string(name) + u" (" + number + u")";
}

}  // namespace

std::u16string EncodingMenuLabel(UiLanguage language) {
  return language == UiLanguage::kChinese ? u"编码(&E)" : u"&Encoding";
}

std::vector<EncodingItem> EncodingItems(字符串加密::CodePage system,
                                        std::u16string_view system_name,
                                        bool (*available)(字符串加密::CodePage),
                                        UiLanguage language) {
  const bool chinese = language == UiLanguage::kChinese;
  const auto named = 字符串加密::NamedCodePages();
  std::vector<EncodingItem> items;
  if (std::none_of(named.begin(), named.end(), [&](const auto& n) { return n.cp == system; })) {
    items.push_back({system, SystemCodePageName(system_name, system, chinese), {}, false});
  }
  for (const 字符串加密::NamedCodePage& n : named) {
    items.push_back({n.cp, std::u16string(n.display.begin(), n.display.end()), {}, false});
  }
  for (EncodingItem& item : items) {
    item.label = item.name;
    if (item.cp == system) item.label += chinese ? u" - 系统默认" : u" - system default";
    item.enabled = available(item.cp);
  }
  return items;
}

std::u16string FormCaption(const EncodingItem& chosen, 字符串加密::CodePage system) {
  const std::u16string caption = kFormCaption;
  return chosen.cp == system ? caption : caption + u" - " + chosen.name;
}

BalloonText UnwritableBalloon(std::u16string_view text, const 字符串加密::EncodedText& encoded,
                              const EncodingItem& chosen, UiLanguage language) {
  const bool chinese = language == UiLanguage::kChinese;
  const bool one = encoded.unmappable == 1;
  const std::u16string n = Number(encoded.unmappable);
  const std::size_t at = encoded.first_unmappable;
  char32_t c = text[at];
  if (c >= 0xD800 && c <= 0xDBFF && at + 1 < text.size() && text[at + 1] >= 0xDC00 &&
      text[at + 1] <= 0xDFFF) {
    c = 0x10000 + ((c - 0xD800) << 10) + (text[at + 1] - 0xDC00);
  }
  const std::u16string first = Character(c, chinese);
  BalloonText balloon;
  balloon.title =
      chinese ? chosen.name + u" 无法写出的字符" : u"Characters " + chosen.name + u" cannot write";
  // These write every character: what they cannot write is half of a
  // surrogate pair alone, which is no character at all.
  const bool writes_every_character =
      chosen.cp == 65001 || chosen.cp == 1200 || chosen.cp == 1201 || chosen.cp == 54936;
  if (writes_every_character) {
    balloon.text =
        chinese ? n + u" 个字符是缺了另一半的半个代理对，任何代码页都无法写出" +
                      (one ? u"：" : u"，第一个是") + first + u"。"
                : n +
                      (one ? u" character is half of a surrogate pair without its other half, "
                             u"which no code page can write: "
                           : u" characters are halves of surrogate pairs without their other "
                             u"halves, which no code page can write; the first is ") +
                      first + u".";
  } else {
    balloon.text =
        chinese ? n + u" 个字符写成了 3F" + (one ? u"：" : u"，第一个是") + first +
                      u"。UTF-8 或 UTF-16 可以写出" + (one ? u"它。" : u"它们。")
                : n + (one ? u" character became 3F: " : u" characters became 3F; the first is ") +
                      first + u". UTF-8 or UTF-16 can write " + (one ? u"it." : u"them.");
  }
  return balloon;
}

// ---- Hex in other shapes: Decode's offer, its note, and "Copy as" ----------

std::u16string ReadInAnyShapeQuestion(const GroupError& error, unsigned int cp,
                                      std::u16string_view canonical, UiLanguage language) {
  std::u16string shown(canonical);
  if (shown.size() > kLongestHexShown) {
    // Whole groups only: each is three characters from the last.
    shown.resize((kLongestHexShown + 1) / 3 * 3 - 1);
    shown += u" …";
  }
  const bool chinese = language == UiLanguage::kChinese;
  return DecodeErrorMessage(error, cp, language) +
         (chinese
              ? u"\n\n按其他写法的十六进制读，它是“" + shown + u"”。要这样读吗？"
              : u"\n\nRead as hex in another shape, it is \"" + shown + u"\". Read it that way?");
}

std::u16string UnreadGroupsTitle(UiLanguage language) {
  return language == UiLanguage::kChinese ? u"有的十六进制没有读" : u"Not all of the hex was read";
}

std::u16string UnreadGroupsMessage(const 字符串加密::UnreadGroups& unread, std::u16string_view hex,
                                   UiLanguage language) {
  const bool chinese = language == UiLanguage::kChinese;
  const auto part = [hex](std::size_t from, std::size_t to) {
    return std::u16string(hex.substr(from, to - from));
  };
  // "第 1 组“48,65,6C”", "Group 1 "48,65,6C"" (or "group" within a sentence).
  const auto named = [&](const 字符串加密::UnreadGroup& g, bool first_word = false) {
    const std::u16string group = Named(part(g.offset, g.offset + g.length), chinese);
    if (chinese) return u"第 " + Number(g.group) + u" 组" + group;
    return (first_word ? u"Group " : u"group ") + Number(g.group) + group;
  };
  std::u16string message;
  if (const std::size_t n = unread.partly_read) {
    const 字符串加密::UnreadGroup& g = unread.first_partly_read;
    const std::u16string rest = Shown(part(g.unread, g.offset + g.length));
    if (chinese) {
      message += n == 1 ? named(g) + u"只读了一部分：“" + rest + u"”没有读。"
                        : Number(n) + u" 组只读了一部分，第一组是" + named(g) + u"，其中“" + rest +
                              u"”没有读。";
    } else {
      message += n == 1
                     ? named(g, true) + u" was read only in part: \"" + rest + u"\" was not read. "
                     : Number(n) + u" groups were read only in part; the first is " + named(g) +
                           u", of which \"" + rest + u"\" was not read. ";
    }
  }
  if (const std::size_t n = unread.without_digit) {
    const 字符串加密::UnreadGroup& g = unread.first_without_digit;
    if (chinese) {
      message += n == 1 ? named(g) + u"没有十六进制数字，读作 00。"
                        : Number(n) + u" 组没有十六进制数字，读作 00，第一组是" + named(g) + u"。";
    } else {
      message += n == 1
                     ? named(g, true) + u" has no hex digit and was read as 00. "
                     : Number(n) + u" groups have no hex digit and were read as 00; the first is " +
                           named(g) + u". ";
    }
  }
  return message + (chinese ? u"在此框中按 Ctrl+Z 可找回输入的十六进制。"
                            : u"Ctrl+Z in this box brings back the hex as typed.");
}

std::u16string ByteCountLabel(std::optional<std::size_t> bytes, UiLanguage language) {
  const bool chinese = language == UiLanguage::kChinese;
  if (!bytes) return chinese ? u"不是可读的十六进制" : u"No hex that can be read";
  return Number(*bytes) + (chinese ? u" 字节" : *bytes == 1 ? u" byte" : u" bytes");
}

std::u16string CopyAsLabel(UiLanguage language) {
  return language == UiLanguage::kChinese ? u"复制为(&Y)" : u"Cop&y as";
}

std::u16string CopyAsItemLabel(字符串加密::HexStyle style, UiLanguage language) {
  // In HexShape's order, then lower case; Chinese, English.
  static constexpr const char16_t* kLabels[][2] = {
      {u"带空格(&S)", u"&Spaced"},   {u"无空格(&W)", u"&Without spaces"},
      {u"0x 列表(&0)", u"&0x list"}, {u"C 数组(&C)", u"&C array"},
      {u"转义(&E)", u"&Escaped"},    {u"小写(&L)", u"&Lower case"},
  };
  const auto* labels = kLabels[style.lower ? 5 : static_cast<std::size_t>(style.shape)];
  std::u16string label = labels[language == UiLanguage::kChinese ? 0 : 1];
  return label + u"\t" + 字符串加密::BytesToHex("Hel", style);
}

std::u16string HighlightDescription(字符串加密::Range bytes, std::u16string_view hex,
                                    UiLanguage language) {
  const std::size_t count = bytes.end - bytes.start;
  const 字符串加密::Range said =
      字符串加密::HexOfGroups({bytes.start, bytes.start + (std::min)(count, kHighlightGroupsSaid)});
  std::u16string groups(hex.substr((std::min)(said.start, hex.size()), said.end - said.start));
  if (count > kHighlightGroupsSaid) groups += u" …";
  const std::u16string first = Number(bytes.start + 1), last = Number(bytes.end);
  if (language == UiLanguage::kChinese) {
    return u"突出显示：第 " + first + (count > 1 ? u" 至 " + last : u"") + u" 字节，" + groups;
  }
  return (count > 1 ? u"highlighted: bytes " + first + u" to " + last
                    : u"highlighted: byte " + first) +
         u", " + groups;
}

}  // namespace vantorel
