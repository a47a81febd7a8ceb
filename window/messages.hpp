// The texts Form1 shows the user, in Chinese or English. No window code here.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "codec/codec.hpp"

namespace vantorel {

enum class UiLanguage { kChinese, kEnglish };

// Chinese for any Chinese UI language (a LANGID's primary language), else
// English.
UiLanguage LanguageFromLangId(unsigned short langid);

inline constexpr char16_t kMessageCaption[] = u"Vantorel";

// Groups longer than this are shortened in messages, so that a box pasted
// full of digits without spaces still gives a readable message.
inline constexpr std::size_t kLongestGroupShown = 64;

// Why "Decode" refused the lower box's text. cp is the code page the bytes
// were read in.
std::u16string DecodeErrorMessage(const 字符串加密::GroupError& error, unsigned int cp,
                                  UiLanguage language);

// The text boxes' shortcut menu, in the order shown, with their access keys.
enum class EditCommand { kUndo, kCut, kCopy, kPaste, kDelete, kSelectAll };
std::u16string EditCommandLabel(EditCommand command, UiLanguage language);

// When an operation ran out of memory, or failed in a way nobody foresaw.
std::u16string OutOfMemoryMessage(UiLanguage language);
std::u16string UnexpectedErrorMessage(UiLanguage language);

// ---- The encoding menu, the caption and the balloon -------------------------

// An item of the "Encoding" submenu of the window's system menu.
struct EncodingItem {
  字符串加密::CodePage cp;
  std::u16string name;   // as the caption shows it: "GBK (936)", "UTF-8"
  std::u16string label;  // as the menu shows it: the name, and for the system's
                         // code page "- 系统默认" / "- system default" after it
  bool enabled;          // whether the system can convert it
  bool operator==(const EncodingItem&) const = default;
};

// The submenu's own label: "编码(&E)" / "&Encoding".
std::u16string EncodingMenuLabel(UiLanguage language);

// The submenu's items: first the system's ANSI code page, when it is none of
// the named ones (字符串加密::NamedCodePages), by the name the system gives it
// (GetCPInfoExW's: "1251  (ANSI - Cyrillic)" on Windows, "ANSI Cyrillic"
// under Wine) and its number; then the named ones, in their order. Only what
// `available` takes is enabled.
std::vector<EncodingItem> EncodingItems(字符串加密::CodePage system,
                                        std::u16string_view system_name,
                                        bool (*available)(字符串加密::CodePage),
                                        UiLanguage language);

// The window's caption with the item chosen: "Vantorel" for the system's code
// page, else "Vantorel - " and the item's name.
std::u16string FormCaption(const EncodingItem& chosen, 字符串加密::CodePage system);

// What the balloon at the upper box says when it holds characters the chosen
// code page cannot write: how many, which is the first, and what can.
struct BalloonText {
  std::u16string title;
  std::u16string text;
};
BalloonText UnwritableBalloon(std::u16string_view text, const 字符串加密::EncodedText& encoded,
                              const EncodingItem& chosen, UiLanguage language);

// ---- Hex in other shapes: Decode's offer, its note, and "Copy as" ----------

// Canonical hex text longer than this is cut short, at a group, in Decode's
// offer.
inline constexpr std::size_t kLongestHexShown = 48;

// Decode refused the lower box's text, and the any-shape reading of it gives
// text: why it refused, and whether to read it as `canonical`, the canonical
// hex text of what that reading gives.
std::u16string ReadInAnyShapeQuestion(const 字符串加密::GroupError& error, unsigned int cp,
                                      std::u16string_view canonical, UiLanguage language);

// The balloon at the lower box after a decode that left characters of groups
// unread (or read a group without a digit as 00) in `hex`, the text decoded.
std::u16string UnreadGroupsTitle(UiLanguage language);
std::u16string UnreadGroupsMessage(const 字符串加密::UnreadGroups& unread, std::u16string_view hex,
                                   UiLanguage language);

// The greyed line atop the lower box's shortcut menu: how many bytes it
// holds, or (nothing) that it holds no hex text that can be read.
std::u16string ByteCountLabel(std::optional<std::size_t> bytes, UiLanguage language);

// "Copy as" and its items, each followed by a tab and what it gives for the
// bytes 48 65 6C.
std::u16string CopyAsLabel(UiLanguage language);
std::u16string CopyAsItemLabel(字符串加密::HexStyle style, UiLanguage language);

// ---- The two boxes' selections linked ------------------------------------

// The lower box's highlight as a screen reader is told of it: which bytes
// (counted from 1) and their groups in `hex`, the canonical hex text of all
// the bytes, at most kHighlightGroupsSaid of them: "highlighted: bytes 3 to
// 4, D6 D0" / "突出显示：第 3 至 4 字节，D6 D0".
inline constexpr std::size_t kHighlightGroupsSaid = 16;
std::u16string HighlightDescription(字符串加密::Range bytes, std::u16string_view hex,
                                    UiLanguage language);

}  // namespace vantorel
