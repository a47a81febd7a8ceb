#include "window/selection_link.hpp"

#include <algorithm>

#include "textbox/text_box.hpp"
#include "win32/dpi.hpp"
#include "win32/handles.hpp"
#include "win32/highlight.hpp"
#include "win32/window_text.hpp"

namespace vantorel {
namespace {

using 字符串加密::Range;

// A selection no box has: whatever a box holds next begins anew.
constexpr Range kNoSelection{SIZE_MAX, SIZE_MAX};

Range SelectionOf(HWND box) {
  DWORD start = 0, end = 0;
  SendMessageW(box, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
  return {start, end};
}

std::size_t Ask(HWND edit, UINT message, std::size_t wparam = 0) {
  return static_cast<std::size_t>(SendMessageW(edit, message, wparam, 0));
}

// Where the edit control draws a character; y is -1 where it says nothing.
POINT PositionOf(HWND edit, std::size_t unit) {
  const auto at = static_cast<DWORD>(SendMessageW(edit, EM_POSFROMCHAR, unit, 0));
  if (at == 0xFFFFFFFF) return {0, -1};
  return {static_cast<short>(LOWORD(at)), static_cast<short>(HIWORD(at))};
}

// The edit control's lines: how tall, and how many its formatting rectangle
// shows, whole or in part.
struct EditLines {
  RECT format{};
  LONG height = 1;
};
EditLines LinesOf(HWND edit) {
  EditLines lines;
  SendMessageW(edit, EM_GETRECT, 0, reinterpret_cast<LPARAM>(&lines.format));
  const WindowDc dc = vantorel::GetDC(edit);
  if (!dc) return lines;
  const SelectedObject font =
      vantorel::SelectObject(dc->dc, reinterpret_cast<HFONT>(SendMessageW(edit, WM_GETFONT, 0, 0)));
  TEXTMETRICW metrics{};
  GetTextMetricsW(dc->dc, &metrics);
  lines.height = (std::max)(LONG{1}, metrics.tmHeight);
  return lines;
}

bool IsLowSurrogate(char16_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

}  // namespace

void SelectionLink::Attach(HWND text1, HWND text2, UiLanguage language) noexcept {
  text1_ = text1;
  text2_ = text2;
  language_ = language;
  source_ = text2;
  followed_ = kNoSelection;
}

void SelectionLink::OnEncoded(std::u16string_view text, const 字符串加密::EncodedText& encoded,
                              字符串加密::CodePage cp, std::u16string hex) noexcept {
  try {
    字符串加密::ByteMap map(text, encoded, cp);
    std::u16string copy(text);
    text_ = std::move(copy);
    map_ = std::move(map);
    hex_ = std::move(hex);
    mapped_ = canonical_ = true;
    // What was highlighted in Text1 was of the text it held.
    if (!text1_highlight_.empty()) InvalidateRect(text1_, nullptr, TRUE);
    text1_highlight_ = {};
    Follow(SelectionOf(source_));
  } catch (...) {
    Drop();
  }
}

// Text2 holds the canonical hex text again only where it is that text
// (typed back, or undone to it).
void SelectionLink::OnText2Edited() noexcept {
  try {
    const bool canonical = mapped_ &&
                           static_cast<std::size_t>(GetWindowTextLengthW(text2_)) == hex_.size() &&
                           ReadText(text2_) == hex_;
    if (canonical == canonical_) return;
    canonical_ = canonical;
    if (source_ == text2_) Follow(SelectionOf(text2_));
  } catch (...) {
    Drop();
  }
}

void SelectionLink::OnFocus(HWND box) noexcept {
  if (box == source_ || (box != text1_ && box != text2_)) return;
  try {
    // The box's own selection counts from now; the highlight in it goes.
    if (box == text1_) {
      HighlightText1({}, false);
    } else {
      ClearTextBoxHighlight(text2_);
    }
    source_ = box;
    followed_ = kNoSelection;
    Follow(SelectionOf(box));
  } catch (...) {
    Drop();
  }
}

void SelectionLink::OnSelectionMayHaveMoved(HWND box) noexcept {
  if (box != source_) return;
  try {
    const Range selection = SelectionOf(box);
    if (selection != followed_) Follow(selection);
  } catch (...) {
    Drop();
  }
}

void SelectionLink::Follow(Range selection) {
  const bool begins =
      selection.empty() || (selection.start != followed_.start && selection.end != followed_.end);
  followed_ = selection;
  if (source_ == text1_) {
    HighlightText2(canonical_ ? map_.BytesOf(selection) : Range{}, begins);
    return;
  }
  const Range groups = 字符串加密::GroupsIn(selection);
  HighlightText1(canonical_ && !groups.empty() ? map_.UnitsOf(groups) : Range{}, begins);
}

void SelectionLink::HighlightText2(Range bytes, bool begins) {
  TextBoxHighlight highlight;
  highlight.begins = begins;
  if (!bytes.empty()) {
    const Range hex = 字符串加密::HexOfGroups(bytes);
    highlight.start = static_cast<DWORD>(hex.start);
    highlight.end = static_cast<DWORD>(hex.end);
    highlight.description = HighlightDescription(bytes, hex_, language_);
  }
  SetTextBoxHighlight(text2_, highlight);
}

void SelectionLink::HighlightText1(Range units, bool begins) {
  if (begins) text1_scrolled_ = false;
  const Range old = text1_highlight_;
  const bool end_moved = !old.empty() && units.start == old.start && units.end != old.end;
  if (units != old) {
    InvalidateText1(old);
    text1_highlight_ = units;
    InvalidateText1(units);
  }
  // What scrolls takes what was drawn over it along: all of it is drawn anew.
  if (!units.empty() && !text1_scrolled_ && ScrollText1To(units, end_moved)) {
    InvalidateRect(text1_, nullptr, TRUE);
  }
}

std::vector<RECT> SelectionLink::Text1Rectangles(Range units) const {
  std::vector<RECT> rectangles;
  const std::size_t length = text_.size();
  units.end = (std::min)(units.end, length);
  if (units.start >= units.end) return rectangles;
  const EditLines lines = LinesOf(text1_);
  const WindowDc dc = vantorel::GetDC(text1_);
  if (!dc) return rectangles;
  const SelectedObject font = vantorel::SelectObject(
      dc->dc, reinterpret_cast<HFONT>(SendMessageW(text1_, WM_GETFONT, 0, 0)));
  // The width of a character of one or two code units (a tab's as a space's).
  const auto width = [&](std::size_t from, std::size_t to) {
    wchar_t chars[2] = {};
    std::copy(text_.begin() + static_cast<std::ptrdiff_t>(from),
              text_.begin() + static_cast<std::ptrdiff_t>(to), chars);
    if (chars[0] == L'\t') chars[0] = L' ';
    SIZE size{};
    GetTextExtentPoint32W(dc->dc, chars, static_cast<int>(to - from), &size);
    return size.cx;
  };
  SIZE space{};
  GetTextExtentPoint32W(dc->dc, L" ", 1, &space);
  const std::size_t line_count = Ask(text1_, EM_GETLINECOUNT);
  const std::size_t top = Ask(text1_, EM_GETFIRSTVISIBLELINE);
  const auto shown =
      static_cast<std::size_t>((std::max)(LONG{0}, lines.format.bottom - lines.format.top)) /
          static_cast<std::size_t>(lines.height) +
      1;
  const std::size_t first = (std::max)(top, Ask(text1_, EM_LINEFROMCHAR, units.start));
  const std::size_t last =
      (std::min)({Ask(text1_, EM_LINEFROMCHAR, units.end - 1), top + shown, line_count - 1});
  for (std::size_t line = first; line <= last; ++line) {
    const std::size_t start = Ask(text1_, EM_LINEINDEX, line);
    const std::size_t end = start + Ask(text1_, EM_LINELENGTH, start);
    const std::size_t next = line + 1 < line_count ? Ask(text1_, EM_LINEINDEX, line + 1) : length;
    const std::size_t from = (std::max)(units.start, start);
    const std::size_t to = (std::min)(units.end, end);
    // The line's break ("\r\n" after it) is taken, as a space's width.
    const bool takes_break = next > end && units.start <= end && units.end > end;
    if (from >= to && !takes_break) continue;
    const POINT left = PositionOf(text1_, from < to ? from : end);
    if (left.y < 0) continue;
    LONG right = left.x;
    if (from < to) {
      const POINT after = to < length ? PositionOf(text1_, to) : POINT{0, -1};
      const std::size_t last_unit = to - (to - from >= 2 && IsLowSurrogate(text_[to - 1]) ? 2 : 1);
      right = after.y == left.y ? after.x : PositionOf(text1_, last_unit).x + width(last_unit, to);
    }
    if (takes_break) right += space.cx;
    rectangles.push_back({left.x, left.y, right, left.y + lines.height});
  }
  return rectangles;
}

void SelectionLink::InvalidateText1(Range units) const {
  for (const RECT& rectangle : Text1Rectangles(units)) InvalidateRect(text1_, &rectangle, TRUE);
}

bool SelectionLink::ScrollText1To(Range units, bool end_moved) {
  const EditLines lines = LinesOf(text1_);
  const std::size_t first = Ask(text1_, EM_LINEFROMCHAR, units.start);
  const std::size_t last = Ask(text1_, EM_LINEFROMCHAR, (std::max)(units.start, units.end - 1));
  const std::size_t top = Ask(text1_, EM_GETFIRSTVISIBLELINE);
  const auto visible = static_cast<std::size_t>(
      (std::max)(LONG{1}, (lines.format.bottom - lines.format.top) / lines.height));
  const std::size_t to = TopLineToShow(first, last, top, visible, end_moved);
  if (to == top) return false;
  SendMessageW(text1_, EM_LINESCROLL, 0,
               static_cast<LPARAM>(static_cast<long long>(to) - static_cast<long long>(top)));
  return true;
}

void SelectionLink::PaintText1(HDC dc) const noexcept {
  if (text1_highlight_.empty()) return;
  // Where this fails, Text1 is painted without its highlight.
  try {
    RECT format{};
    SendMessageW(text1_, EM_GETRECT, 0, reinterpret_cast<LPARAM>(&format));
    IntersectClipRect(dc, format.left, format.top, format.right, format.bottom);
    const UINT dpi = DpiForWindow(text1_);
    for (const RECT& rectangle : Text1Rectangles(text1_highlight_)) {
      DrawHighlightOver(dc, rectangle, dpi);
    }
  } catch (...) {
  }
}

// Memory ran out: no highlight, and none until Text1 is encoded again.
void SelectionLink::Drop() noexcept {
  mapped_ = canonical_ = false;
  text_.clear();
  hex_.clear();
  ClearTextBoxHighlight(text2_);
  if (!text1_highlight_.empty()) InvalidateRect(text1_, nullptr, TRUE);
  text1_highlight_ = {};
  MessageBeep(MB_ICONERROR);
}

}  // namespace vantorel
