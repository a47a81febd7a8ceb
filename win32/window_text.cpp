#include "win32/window_text.hpp"

namespace vantorel {

std::u16string ReadText(HWND window) {
  const int length = GetWindowTextLengthW(window);
  if (length <= 0) return {};
  std::wstring buffer(static_cast<std::size_t>(length) + 1, L'\0');
  const int copied = GetWindowTextW(window, buffer.data(), length + 1);
  buffer.resize(static_cast<std::size_t>(copied > 0 ? copied : 0));
  return std::u16string(buffer.begin(), buffer.end());
}

}  // namespace vantorel
