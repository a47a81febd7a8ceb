#include "win32/clipboard.hpp"

#include <algorithm>

#include "win32/handles.hpp"

namespace vantorel {

std::optional<std::u16string> ClipboardText(HWND owner) {
  const OpenedClipboard clipboard = vantorel::OpenClipboard(owner);
  if (!clipboard) return std::nullopt;
  const HANDLE data = GetClipboardData(CF_UNICODETEXT);
  if (data == nullptr) return std::nullopt;
  const LockedGlobal lock = vantorel::GlobalLock(data);
  if (!lock) return std::nullopt;
  // The clipboard holds wchar_t; each is copied into a char16_t.
  const auto* chars = static_cast<const wchar_t*>(lock->data);
  const std::size_t capacity = GlobalSize(data) / sizeof(wchar_t);
  std::size_t length = 0;
  while (length < capacity && chars[length] != L'\0') ++length;
  return std::u16string(chars, chars + length);
}

bool SetClipboardText(HWND owner, std::u16string_view text) {
  UniqueGlobal memory(GlobalAlloc(GMEM_MOVEABLE, (text.size() + 1) * sizeof(wchar_t)));
  if (!memory) return false;
  {
    const LockedGlobal lock = vantorel::GlobalLock(memory.get());
    if (!lock) return false;
    auto* chars = static_cast<wchar_t*>(lock->data);
    std::copy(text.begin(), text.end(), chars);
    chars[text.size()] = L'\0';
  }
  const OpenedClipboard clipboard = vantorel::OpenClipboard(owner);
  if (!clipboard || !EmptyClipboard()) return false;
  if (SetClipboardData(CF_UNICODETEXT, memory.get()) == nullptr) return false;
  memory.release();  // the clipboard owns it now
  return true;
}

}  // namespace vantorel
