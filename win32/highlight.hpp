// The highlight a box shows apart from its selection, for what is selected in
// another box: a lighter shade of the selection colour (COLOR_HIGHLIGHT
// blended toward COLOR_WINDOW), or in high contrast a frame in the selection
// colour. The text box fills its highlighted runs with the shade; over a
// control that paints itself (the system's edit control) the selection colour
// is laid translucently, which on the window's colour gives the same shade
// and lets the text show through.
#pragma once

#include <windows.h>

#include <cstddef>

namespace vantorel {

// How much of the selection colour the shade holds, of 255.
inline constexpr BYTE kHighlightAlpha = 0x60;

// Whether high contrast is on (SPI_GETHIGHCONTRAST): then a highlight is a
// frame.
bool HighContrast();

// COLOR_HIGHLIGHT blended toward COLOR_WINDOW.
COLORREF HighlightShade();

// A frame in the selection colour, a pixel wide at 96 DPI.
void FrameHighlight(HDC dc, RECT rect, UINT dpi);

// Over what is drawn already: the selection colour laid over the rectangle
// at kHighlightAlpha (AlphaBlend), or in high contrast a frame.
void DrawHighlightOver(HDC dc, const RECT& rect, UINT dpi);

// The first line to show, with `visible` lines shown from `top`, so that the
// lines `first` to `last` of a highlight are seen: as little scrolling as
// shows them all; where they do not fit, as little as shows the line at the
// end that moved (`last_moved`: the last, else the first).
std::size_t TopLineToShow(std::size_t first, std::size_t last, std::size_t top, std::size_t visible,
                          bool last_moved);

}  // namespace vantorel
