// The clipboard's Unicode text, read and written whole.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <string_view>

namespace vantorel {

// The clipboard's text, up to its first NUL; nothing when the clipboard
// cannot be opened or holds no text.
std::optional<std::u16string> ClipboardText(HWND owner);

// Puts text on the clipboard in place of what it held; false if it could not.
bool SetClipboardText(HWND owner, std::u16string_view text);

}  // namespace vantorel
