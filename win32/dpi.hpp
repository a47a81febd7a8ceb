// DPI services that newer Windows has and older Windows (and older Wine)
// lacks: each falls back to the system-wide DPI when the call is missing.
#pragma once

#include <windows.h>

#include "win32/handles.hpp"

namespace vantorel {

inline constexpr UINT kDefaultDpi = 96;

UINT SystemDpi();
UINT DpiForWindow(HWND window);

// A system metric (GetSystemMetrics' index) at this DPI; where Windows
// cannot say, at the system's.
int SystemMetricForDpi(int index, UINT dpi);

// The outer size of a window with this client size at this DPI.
SIZE WindowSizeForClient(SIZE client, DWORD style, DWORD ex_style, UINT dpi);

// The system's message font (the one dialogs use) at this DPI.
UniqueFont CreateMessageFont(UINT dpi);

}  // namespace vantorel
