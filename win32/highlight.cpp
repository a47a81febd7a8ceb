#include "win32/highlight.hpp"

#include <algorithm>

#include "win32/handles.hpp"

namespace vantorel {

bool HighContrast() {
  HIGHCONTRASTW contrast{};
  contrast.cbSize = sizeof contrast;
  return SystemParametersInfoW(SPI_GETHIGHCONTRAST, sizeof contrast, &contrast, 0) &&
         (contrast.dwFlags & HCF_HIGHCONTRASTON) != 0;
}

COLORREF HighlightShade() {
  const COLORREF selection = GetSysColor(COLOR_HIGHLIGHT);
  const COLORREF window = GetSysColor(COLOR_WINDOW);
  const auto mix = [](BYTE over, BYTE under) {
    return static_cast<BYTE>((over * kHighlightAlpha + under * (255 - kHighlightAlpha) + 127) /
                             255);
  };
  return RGB(mix(GetRValue(selection), GetRValue(window)),
             mix(GetGValue(selection), GetGValue(window)),
             mix(GetBValue(selection), GetBValue(window)));
}

void FrameHighlight(HDC dc, RECT rect, UINT dpi) {
  const HBRUSH brush = GetSysColorBrush(COLOR_HIGHLIGHT);
  for (UINT i = 0; i < (std::max)(1U, dpi / 96) && rect.right > rect.left; ++i) {
    FrameRect(dc, &rect, brush);
    InflateRect(&rect, -1, -1);
  }
}

void DrawHighlightOver(HDC dc, const RECT& rect, UINT dpi) {
  if (rect.right <= rect.left || rect.bottom <= rect.top) return;
  if (HighContrast()) {
    FrameHighlight(dc, rect, dpi);
    return;
  }
  // One pixel of the selection colour, stretched over the rectangle.
  const UniqueMemoryDc source(CreateCompatibleDC(dc));
  const UniqueBitmap pixel(CreateCompatibleBitmap(dc, 1, 1));
  if (!source || !pixel) return;
  const SelectedObject selected = vantorel::SelectObject(source.get(), pixel.get());
  SetPixelV(source.get(), 0, 0, GetSysColor(COLOR_HIGHLIGHT));
  const BLENDFUNCTION blend{AC_SRC_OVER, 0, kHighlightAlpha, 0};
  AlphaBlend(dc, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top, source.get(),
             0, 0, 1, 1, blend);
}

std::size_t TopLineToShow(std::size_t first, std::size_t last, std::size_t top, std::size_t visible,
                          bool last_moved) {
  visible = (std::max)(visible, std::size_t{1});
  if (last - first >= visible) {
    // Taller than the box: the end that moved.
    first = last = last_moved ? last : first;
  }
  if (first < top) return first;
  if (last >= top + visible) return last - visible + 1;
  return top;
}

}  // namespace vantorel
