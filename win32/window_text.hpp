// A window's text, read whole.
#pragma once

#include <windows.h>

#include <string>

namespace vantorel {

// The window text of a window or control, whole; empty when it has none.
std::u16string ReadText(HWND window);

}  // namespace vantorel
