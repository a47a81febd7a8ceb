#include "win32/dpi.hpp"

namespace vantorel {
namespace {

// A function of user32 that may be missing, looked up on first use.
template <class Function>
Function User32Function(const char* name) {
  const HMODULE user32 = GetModuleHandleW(L"user32.dll");
  if (user32 == nullptr) return nullptr;
  const FARPROC proc = GetProcAddress(user32, name);
  // Through the generic function pointer type, which converts to any other.
  using Generic = void (*)();
  return reinterpret_cast<Function>(reinterpret_cast<Generic>(proc));
}

using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
using AdjustWindowRectExForDpiFn = BOOL(WINAPI*)(RECT*, DWORD, BOOL, DWORD, UINT);
using SystemParametersInfoForDpiFn = BOOL(WINAPI*)(UINT, UINT, void*, UINT, UINT);

}  // namespace

UINT SystemDpi() {
  const WindowDc screen = vantorel::GetDC(nullptr);
  const int dpi = screen ? GetDeviceCaps(screen->dc, LOGPIXELSY) : 0;
  return dpi > 0 ? static_cast<UINT>(dpi) : kDefaultDpi;
}

UINT DpiForWindow(HWND window) {
  static const auto get_dpi = User32Function<GetDpiForWindowFn>("GetDpiForWindow");
  if (get_dpi != nullptr) {
    if (const UINT dpi = get_dpi(window); dpi != 0) return dpi;
  }
  return SystemDpi();
}

SIZE WindowSizeForClient(SIZE client, DWORD style, DWORD ex_style, UINT dpi) {
  static const auto adjust = User32Function<AdjustWindowRectExForDpiFn>("AdjustWindowRectExForDpi");
  RECT rect{0, 0, client.cx, client.cy};
  if (adjust == nullptr || !adjust(&rect, style, FALSE, ex_style, dpi)) {
    rect = RECT{0, 0, client.cx, client.cy};
    AdjustWindowRectEx(&rect, style, FALSE, ex_style);
  }
  return SIZE{rect.right - rect.left, rect.bottom - rect.top};
}

UniqueFont CreateMessageFont(UINT dpi) {
  static const auto parameters_for_dpi =
      User32Function<SystemParametersInfoForDpiFn>("SystemParametersInfoForDpi");
  NONCLIENTMETRICSW metrics{};
  metrics.cbSize = sizeof metrics;
  if (parameters_for_dpi == nullptr ||
      !parameters_for_dpi(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0, dpi)) {
    metrics = NONCLIENTMETRICSW{};
    metrics.cbSize = sizeof metrics;
    if (!SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0)) {
      return UniqueFont(nullptr);
    }
    // Those metrics are for the system DPI.
    metrics.lfMessageFont.lfHeight = MulDiv(metrics.lfMessageFont.lfHeight, static_cast<int>(dpi),
                                            static_cast<int>(SystemDpi()));
  }
  return UniqueFont(CreateFontIndirectW(&metrics.lfMessageFont));
}

}  // namespace vantorel
