#include "win32/clipboard.hpp"

#include <algorithm>

#include "win32/handles.hpp"

namespace vantorel {

std::optional<std::u16string> ClipboardText(HWND owner) {
  const OpenedClipboard clipboard(owner);
  if (!clipboard) return std::nullopt;
  const HANDLE data = GetClipboardData(CF_UNICODETEXT);
  if (data == nullptr) return std::nullopt;
  const GlobalLock lock(data);
  const auto* chars = static_cast<const char16_t*>(lock.data());
  if (chars == nullptr) return std::nullopt;
  const std::size_t capacity = GlobalSize(data) / sizeof(char16_t);
  std::size_t length = 0;
  while (length < capacity && chars[length] != u'\0') ++length;
  return std::u16string(chars, length);
}

bool SetClipboardText(HWND owner, std::u16string_view text) {
  UniqueGlobal memory(GlobalAlloc(GMEM_MOVEABLE, (text.size() + 1) * sizeof(char16_t)));
  if (!memory) return false;
  {
    const GlobalLock lock(memory.get());
    auto* chars = static_cast<char16_t*>(lock.data());
    if (chars == nullptr) return false;
    std::copy(text.begin(), text.end(), chars);
    chars[text.size()] = u'\0';
  }
  const OpenedClipboard clipboard(owner);
  if (!clipboard || !EmptyClipboard()) return false;
  if (SetClipboardData(CF_UNICODETEXT, memory.get()) == nullptr) return false;
  memory.release();  // the clipboard owns it now
  return true;
}

}  // namespace vantorel
