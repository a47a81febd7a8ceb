// The code-page layer on Windows: the system's own converters, and the
// codec's own UTF-16, which they do not take.
#include <windows.h>

#include <stdexcept>

#include "codec/internal/platform.hpp"
#include "codec/internal/utf16.hpp"

namespace 字符串加密 {
namespace {

static_assert(sizeof(wchar_t) == sizeof(char16_t));

const wchar_t* Wide(const char16_t* s) { return reinterpret_cast<const wchar_t*>(s); }

// Code pages whose converters refuse WC_NO_BEST_FIT_CHARS and a default
// character: they can write every character anyway.
bool WritesEverything(CodePage cp) { return cp == CP_UTF8 || cp == 54936 || cp == CP_UTF7; }

int ToInt(std::size_t n) {
  if (n > static_cast<std::size_t>(INT_MAX)) throw std::length_error("text too long");
  return static_cast<int>(n);
}

int Encode(std::u16string_view text, CodePage cp, char* out, int out_size, BOOL* used_default) {
  if (WritesEverything(cp)) {
    return WideCharToMultiByte(cp, 0, Wide(text.data()), ToInt(text.size()), out, out_size, nullptr,
                               nullptr);
  }
  return WideCharToMultiByte(cp, WC_NO_BEST_FIT_CHARS, Wide(text.data()), ToInt(text.size()), out,
                             out_size, "?", used_default);
}

}  // namespace

CodePage SystemCodePage() { return GetACP(); }

namespace platform {

bool IsCodePageAvailable(CodePage cp) {
  if (utf16::Is(cp)) return true;
  // 0 to 3 name another code page (the ANSI, OEM, Mac or thread's), 42 the
  // symbol font's glyphs: none is a code page of its own.
  if (cp <= CP_THREAD_ACP || cp == CP_SYMBOL || cp == CP_UTF7) return false;
  CPINFO info;
  return GetCPInfo(cp, &info) != FALSE && info.MaxCharSize <= 4;
}

EncodedText EncodeText(std::u16string_view text, CodePage cp) {
  if (utf16::Is(cp)) return utf16::EncodeText(text, cp);
  EncodedText result;
  if (text.empty()) return result;
  BOOL used_default = FALSE;
  const int size = Encode(text, cp, nullptr, 0, nullptr);
  if (size <= 0) throw std::invalid_argument("code page not available");
  result.bytes.resize(static_cast<std::size_t>(size));
  Encode(text, cp, result.bytes.data(), size, &used_default);
  // These write every character but a lone surrogate (UTF-8 as U+FFFD, GB18030 as 3F).
  if (WritesEverything(cp)) utf16::CountLoneSurrogates(text, result);
  if (used_default) {
    // Rare: count the characters that became 3F, one at a time.
    for (std::size_t i = 0; i < text.size(); ++i) {
      const bool pair =
          IS_HIGH_SURROGATE(text[i]) && i + 1 < text.size() && IS_LOW_SURROGATE(text[i + 1]);
      BOOL lost = FALSE;
      char buffer[16];
      Encode(text.substr(i, pair ? 2 : 1), cp, buffer, sizeof buffer, &lost);
      if (lost && result.unmappable++ == 0) result.first_unmappable = i;
      if (pair) ++i;
    }
  }
  return result;
}

std::u16string DecodeBytes(std::string_view bytes, CodePage cp) {
  if (utf16::Is(cp)) return utf16::DecodeBytes(bytes, cp);
  std::u16string text;
  if (bytes.empty()) return text;
  const int units = MultiByteToWideChar(cp, 0, bytes.data(), ToInt(bytes.size()), nullptr, 0);
  if (units <= 0) throw std::invalid_argument("code page not available");
  text.resize(static_cast<std::size_t>(units));
  MultiByteToWideChar(cp, 0, bytes.data(), ToInt(bytes.size()),
                      reinterpret_cast<wchar_t*>(text.data()), units);
  return text;
}

std::optional<std::u16string> DecodeIfText(std::string_view bytes, CodePage cp) {
  if (utf16::Is(cp)) return utf16::DecodeIfText(bytes, cp);
  std::u16string text;
  if (bytes.empty()) return text;
  const int units =
      MultiByteToWideChar(cp, MB_ERR_INVALID_CHARS, bytes.data(), ToInt(bytes.size()), nullptr, 0);
  if (units <= 0) return std::nullopt;
  text.resize(static_cast<std::size_t>(units));
  MultiByteToWideChar(cp, MB_ERR_INVALID_CHARS, bytes.data(), ToInt(bytes.size()),
                      reinterpret_cast<wchar_t*>(text.data()), units);
  return text;
}

// Windows' converters are the system's.
std::optional<Sequences> SequencesOf(CodePage) { return std::nullopt; }

}  // namespace platform
}  // namespace 字符串加密
