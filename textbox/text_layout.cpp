#include "textbox/text_layout.hpp"

#include <algorithm>

namespace vantorel {
namespace {

bool IsHighSurrogate(char16_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool IsLowSurrogate(char16_t c) { return c >= 0xDC00 && c <= 0xDFFF; }
bool IsLineBreak(char16_t c) { return c == u'\r' || c == u'\n'; }
bool IsBlank(char16_t c) { return c == u' ' || c == u'\t'; }

// Characters a line may break before and after, as between Chinese
// characters: the ideographs and symbols of East Asian scripts of the first
// plane. (Beyond it, emoji included, characters join their neighbours, as in
// the edit control.)
bool IsWide(char16_t c) {
  return (c >= 0x2E80 && c <= 0xA4CF) || (c >= 0xAC00 && c <= 0xD7A3) ||
         (c >= 0xF900 && c <= 0xFAFF) || (c >= 0xFE30 && c <= 0xFE4F) ||
         (c >= 0xFF00 && c <= 0xFF60);
}

struct Char {
  char32_t code;
  std::size_t units;
};

Char CharAt(std::u16string_view text, std::size_t i) {
  const char16_t c = text[i];
  if (IsHighSurrogate(c) && i + 1 < text.size() && IsLowSurrogate(text[i + 1])) {
    return {0x10000 + ((static_cast<char32_t>(c) - 0xD800) << 10) + (text[i + 1] - 0xDC00), 2};
  }
  return {c, 1};
}

// How far a character at x advances: a tab to the next tab stop.
int Advance(const Char& c, int x, CharWidths& widths, const LayoutMetrics& metrics) {
  if (c.code == U'\t' && metrics.tab_width > 0)
    return (x / metrics.tab_width + 1) * metrics.tab_width - x;
  return widths.Width(c.code);
}

}  // namespace

bool MayBreakBefore(std::u16string_view text, std::size_t i) {
  if (i == 0 || i >= text.size()) return false;
  const char16_t before = text[i - 1];
  const char16_t c = text[i];
  if (before == u'\n') return true;  // a new line, whatever starts it
  if (IsBlank(c) || IsLineBreak(c) || IsLowSurrogate(c)) return false;
  return IsBlank(before) || IsLineBreak(before) || IsWide(before) || IsWide(c);
}

std::vector<TextLine> WrapLines(std::u16string_view text, CharWidths& widths,
                                const LayoutMetrics& metrics) {
  constexpr std::size_t kNone = static_cast<std::size_t>(-1);
  std::vector<TextLine> lines;
  const std::size_t n = text.size();
  std::size_t start = 0;
  std::size_t i = 0;
  std::size_t last_break = kNone;  // the last place this line may end
  int x = 0;
  while (i < n) {
    const char16_t c = text[i];
    if (c == u'\n') {
      lines.push_back({start, i > start && text[i - 1] == u'\r' ? i - 1 : i});
      start = ++i;
      x = 0;
      last_break = kNone;
      continue;
    }
    if (c == u'\r' && i + 1 < n && text[i + 1] == u'\n') {
      ++i;
      continue;
    }
    if (i > start && MayBreakBefore(text, i)) last_break = i;
    const Char ch = CharAt(text, i);
    const int advance = Advance(ch, x, widths, metrics);
    if (metrics.width > 0 && x + advance > metrics.width && i > start) {
      const std::size_t end = last_break != kNone ? last_break : i;
      lines.push_back({start, end});
      start = i = end;
      x = 0;
      last_break = kNone;
      continue;
    }
    x += advance;
    i += ch.units;
  }
  lines.push_back({start, n});
  return lines;
}

std::size_t LineOfPosition(const std::vector<TextLine>& lines, std::size_t position,
                           bool after_wrap) {
  const auto after =
      std::upper_bound(lines.begin(), lines.end(), position,
                       [](std::size_t p, const TextLine& line) { return p < line.start; });
  std::size_t line =
      after == lines.begin() ? 0 : static_cast<std::size_t>(after - lines.begin()) - 1;
  if (after_wrap && line > 0 && lines[line].start == position && lines[line - 1].end == position) {
    --line;
  }
  return line;
}

int XOfPosition(std::u16string_view text, const TextLine& line, std::size_t position,
                CharWidths& widths, const LayoutMetrics& metrics) {
  int x = 0;
  for (std::size_t i = line.start; i < std::min(position, line.end);) {
    const Char ch = CharAt(text, i);
    x += Advance(ch, x, widths, metrics);
    i += ch.units;
  }
  return x;
}

std::size_t PositionAtX(std::u16string_view text, const TextLine& line, int x, CharWidths& widths,
                        const LayoutMetrics& metrics) {
  int left = 0;
  for (std::size_t i = line.start; i < line.end;) {
    const Char ch = CharAt(text, i);
    const int advance = Advance(ch, left, widths, metrics);
    if (x < left + (advance + 1) / 2) return i;
    left += advance;
    i += ch.units;
  }
  return line.end;
}

std::vector<int> LineAdvances(std::u16string_view text, const TextLine& line, CharWidths& widths,
                              const LayoutMetrics& metrics) {
  std::vector<int> advances(line.end - line.start, 0);
  int x = 0;
  for (std::size_t i = line.start; i < line.end;) {
    const Char ch = CharAt(text, i);
    const int advance = Advance(ch, x, widths, metrics);
    advances[i - line.start] = advance;
    x += advance;
    i += ch.units;
  }
  return advances;
}

std::size_t CharacterBoundary(std::u16string_view text, std::size_t position) {
  if (position >= text.size()) return text.size();
  if (position > 0 && ((text[position - 1] == u'\r' && text[position] == u'\n') ||
                       (IsHighSurrogate(text[position - 1]) && IsLowSurrogate(text[position])))) {
    return position - 1;
  }
  return position;
}

std::size_t NextPosition(std::u16string_view text, std::size_t position) {
  if (position >= text.size()) return text.size();
  if (text[position] == u'\r' && position + 1 < text.size() && text[position + 1] == u'\n') {
    return position + 2;
  }
  return position + CharAt(text, position).units;
}

std::size_t PreviousPosition(std::u16string_view text, std::size_t position) {
  if (position == 0) return 0;
  position = std::min(position, text.size());
  if (position >= 2 &&
      ((text[position - 2] == u'\r' && text[position - 1] == u'\n') ||
       (IsHighSurrogate(text[position - 2]) && IsLowSurrogate(text[position - 1])))) {
    return position - 2;
  }
  return position - 1;
}

Span WordAt(std::u16string_view text, std::size_t position) {
  position = std::min(position, text.size());
  // The character under the point: the one after the position, or at the
  // end of a line or of the text, the one before.
  std::size_t at = position;
  if (at == text.size() || IsLineBreak(text[at])) {
    if (at == 0 || IsLineBreak(text[at - 1])) return {position, position};
    --at;
  }
  const bool blank = IsBlank(text[at]);
  const auto same = [&](char16_t c) { return !IsLineBreak(c) && IsBlank(c) == blank; };
  std::size_t start = at;
  while (start > 0 && same(text[start - 1])) --start;
  std::size_t end = at + 1;
  while (end < text.size() && same(text[end])) ++end;
  return {start, end};
}

}  // namespace vantorel
