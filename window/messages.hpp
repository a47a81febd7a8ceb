// The texts Form1 shows the user, in Chinese or English. No window code here.
#pragma once

#include <string>

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

}  // namespace vantorel
