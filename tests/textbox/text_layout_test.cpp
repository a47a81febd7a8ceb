#include "textbox/text_layout.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace vantorel {
namespace {

// Every character 10 pixels wide, characters outside the BMP 20.
class FixedWidths final : public CharWidths {
 public:
  int Width(char32_t c) override { return c >= 0x10000 ? 20 : 10; }
};

const std::u16string kSmile = u"\xD83D\xDE00";  // one character, two code units

using Lines = std::vector<TextLine>;

TEST(TextLayout, WrapLines) {
  const struct {
    std::u16string text;
    int width;
    Lines lines;
  } cases[] = {
      {u"", 100, {{0, 0}}},
      {u"AB CD EF", 100, {{0, 8}}},
      // Breaks after a space; the space stays at the end of the line.
      {u"AB CD EF", 60, {{0, 6}, {6, 8}}},
      {u"AB CD EF", 50, {{0, 3}, {3, 8}}},  // a line's last space takes room too
      {u"AB CD EF", 40, {{0, 3}, {3, 6}, {6, 8}}},
      // Spaces wider than the line are cut like any other characters.
      {u"AB     CD", 30, {{0, 3}, {3, 6}, {6, 9}}},
      // Before and after Chinese characters, without a space.
      {u"A中文B", 25, {{0, 2}, {2, 4}}},
      // No space: before the character that would pass the edge.
      {u"ABCDEFG", 30, {{0, 3}, {3, 6}, {6, 7}}},
      // Narrower than one character: one character a line.
      {u"AB", 5, {{0, 1}, {1, 2}}},
      // No width yet: no wrapping.
      {u"ABCDEFG", 0, {{0, 7}}},
      // Line breaks, "\r\n" or "\n", end lines and are not part of them.
      {u"AB\r\nCD\nE", 100, {{0, 2}, {4, 6}, {7, 8}}},
      {u"AB\r\n", 100, {{0, 2}, {4, 4}}},
      {u"\r\n\r\n", 100, {{0, 0}, {2, 2}, {4, 4}}},
      {u"ABCD\r\nEF", 20, {{0, 2}, {2, 4}, {6, 8}}},
      // A surrogate pair is never split.
      {u"A" + kSmile + u"B", 20, {{0, 1}, {1, 3}, {3, 4}}},
      // A tab goes to the next stop (40) and may end a line.
      {u"A\tB", 100, {{0, 3}}},
      {u"A\tB", 45, {{0, 2}, {2, 3}}},
  };
  FixedWidths widths;
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "case " << (&c - cases + 1));
    EXPECT_EQ(WrapLines(c.text, widths, {c.width, 40}), c.lines);
  }
}

TEST(TextLayout, LineOfPosition) {
  const Lines wrapped = {{0, 3}, {3, 6}, {6, 8}};  // "AB CD EF" at 40
  const Lines broken = {{0, 2}, {4, 6}};           // "AB\r\nCD"
  const struct {
    const Lines* lines;
    std::size_t position;
    bool after_wrap;
    std::size_t line;
  } cases[] = {
      {&wrapped, 0, false, 0}, {&wrapped, 2, false, 0}, {&wrapped, 3, false, 1},
      {&wrapped, 3, true, 0},  {&wrapped, 8, false, 2}, {&wrapped, 8, true, 2},
      {&wrapped, 0, true, 0},  {&broken, 2, false, 0},  {&broken, 4, false, 1},
      {&broken, 4, true, 1},   {&broken, 6, false, 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "case " << (&c - cases + 1));
    EXPECT_EQ(LineOfPosition(*c.lines, c.position, c.after_wrap), c.line);
  }
}

TEST(TextLayout, XAndPositionOnALine) {
  FixedWidths widths;
  const LayoutMetrics metrics{100, 40};
  const std::u16string text = u"A\tB" + kSmile + u"C";
  const TextLine line{0, text.size()};
  EXPECT_EQ(LineAdvances(text, line, widths, metrics), (std::vector<int>{10, 30, 10, 20, 0, 10}));
  const struct {
    std::size_t position;
    int x;
  } stops[] = {{0, 0}, {1, 10}, {2, 40}, {3, 50}, {5, 70}, {6, 80}};
  for (const auto& s : stops) {
    EXPECT_EQ(XOfPosition(text, line, s.position, widths, metrics), s.x) << s.position;
  }
  // The nearest position: a character's left half before it, its right
  // half after it.
  const struct {
    int x;
    std::size_t position;
  } hits[] = {{-5, 0}, {4, 0},  {5, 1},  {24, 1}, {25, 2}, {44, 2},
              {55, 3}, {60, 5}, {74, 5}, {75, 6}, {500, 6}};
  for (const auto& h : hits) {
    EXPECT_EQ(PositionAtX(text, line, h.x, widths, metrics), h.position) << h.x;
  }
  // Only up to the line's own end.
  EXPECT_EQ(PositionAtX(u"AB\r\nCD", {0, 2}, 500, widths, metrics), 2u);
}

TEST(TextLayout, CaretSteps) {
  const std::u16string text = u"A\r\n" + kSmile + u"\nB";  // A CR LF hi lo LF B
  const std::size_t from[] = {0, 1, 3, 5, 6, 7};           // each place the caret may stand
  const std::size_t forward[] = {1, 3, 5, 6, 7, 7};
  const std::size_t backward[] = {0, 0, 1, 3, 5, 6};
  for (std::size_t i = 0; i < 6; ++i) {
    EXPECT_EQ(NextPosition(text, from[i]), forward[i]) << from[i];
    EXPECT_EQ(PreviousPosition(text, from[i]), backward[i]) << from[i];
  }
  const std::size_t boundaries[] = {0, 1, 1, 3, 3, 5, 6, 7, 7};  // of 0 to 8
  for (std::size_t i = 0; i < 9; ++i) EXPECT_EQ(CharacterBoundary(text, i), boundaries[i]) << i;
  EXPECT_EQ(NextPosition(text, 100), text.size());
  EXPECT_EQ(PreviousPosition(text, 100), 6u);
}

TEST(TextLayout, Words) {
  const std::u16string text = u"AB  CD\r\nEF\tG";
  const struct {
    std::size_t at;
    Span span;
  } words[] = {
      {0, {0, 2}}, {1, {0, 2}},  {2, {2, 4}},    {3, {2, 4}},    {4, {4, 6}},
      {6, {4, 6}}, {8, {8, 10}}, {10, {10, 11}}, {12, {11, 12}},
  };
  for (const auto& w : words) EXPECT_EQ(WordAt(text, w.at), w.span) << w.at;
  EXPECT_EQ(WordAt(u"", 0), (Span{0, 0}));
  EXPECT_EQ(WordAt(u"A\r\n\r\nB", 3), (Span{3, 3}));  // an empty line
}

}  // namespace
}  // namespace vantorel
