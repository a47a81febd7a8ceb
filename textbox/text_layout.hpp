// How a text box lays out and walks its text: lines wrapped to a width at
// spaces, caret steps over characters and words, and positions from x. No
// window code here, so it can be checked on any platform.
//
// Positions are indexes of UTF-16 code units. A line break is "\r\n" or a
// lone "\n"; the caret never stands inside one, nor inside a surrogate pair.
#pragma once

#include <cstddef>
#include <string_view>
#include <vector>

namespace vantorel {

// The advance width of a character, in pixels, in the box's font.
class CharWidths {
 public:
  virtual ~CharWidths() = default;
  virtual int Width(char32_t c) = 0;
};

// One line as shown: the text from start to end, without its line break.
// A wrapped line keeps the spaces it broke after (they hang past the right
// edge); the next line starts where it ends.
struct TextLine {
  std::size_t start = 0;
  std::size_t end = 0;
  friend bool operator==(const TextLine&, const TextLine&) = default;
};

struct LayoutMetrics {
  int width = 0;      // the width lines wrap at
  int tab_width = 0;  // tab stops are this far apart
};

// Whether a line may break before text[i]: after a line break, spaces and
// tabs, and before and after Chinese characters (never inside a surrogate
// pair, nor otherwise before a space, a tab or a line break).
bool MayBreakBefore(std::u16string_view text, std::size_t i);

// The lines of text wrapped to metrics.width, spaces and all: at the last
// place the line may break before the edge, else before the character that
// would pass it. Every line holds at least one character, so a box narrower
// than a character still shows everything. There is always at least one line.
std::vector<TextLine> WrapLines(std::u16string_view text, CharWidths& widths,
                                const LayoutMetrics& metrics);

// The line a position is shown on. A position where a wrapped line ends and
// the next begins is at the start of the next, unless after_wrap asks for the
// end of the one before (where End and clicks past a line's end put it).
std::size_t LineOfPosition(const std::vector<TextLine>& lines, std::size_t position,
                           bool after_wrap = false);

// x of position (within line, from the line's left edge), and the position
// nearest x on that line.
int XOfPosition(std::u16string_view text, const TextLine& line, std::size_t position,
                CharWidths& widths, const LayoutMetrics& metrics);
std::size_t PositionAtX(std::u16string_view text, const TextLine& line, int x, CharWidths& widths,
                        const LayoutMetrics& metrics);

// How far each code unit of the line advances the pen, as the line is drawn:
// a character's advance on its first unit, 0 on the second of a pair.
std::vector<int> LineAdvances(std::u16string_view text, const TextLine& line, CharWidths& widths,
                              const LayoutMetrics& metrics);

// The position itself, or where the character it falls inside (a surrogate
// pair, "\r\n") starts; the text's end for anything past it.
std::size_t CharacterBoundary(std::u16string_view text, std::size_t position);

// One caret step: over a whole surrogate pair or "\r\n".
std::size_t NextPosition(std::u16string_view text, std::size_t position);
std::size_t PreviousPosition(std::u16string_view text, std::size_t position);

// What a double-click selects: the word, or the run of spaces, at position.
struct Span {
  std::size_t start = 0;
  std::size_t end = 0;
  friend bool operator==(const Span&, const Span&) = default;
};
Span WordAt(std::u16string_view text, std::size_t position);

}  // namespace vantorel
