// Hex text in other shapes: the any-shape reading, the shapes written, and
// what the lenient reading leaves unread.
#include <gtest/gtest.h>

#include <cstdint>
#include <ostream>
#include <string>
#include <variant>

#include "codec/codec.hpp"

namespace 字符串加密 {

void PrintTo(const ShapeError& e, std::ostream* os) {
  *os << "{reason " << static_cast<int>(e.reason) << ", offset " << e.offset << ", length "
      << e.length << "}";
}

namespace {

using Reason = ShapeError::Reason;
using namespace std::string_literals;

// UTF-8 of text, as the codec writes it (unicode_test holds that to every
// code point).
std::string Utf8(std::u16string_view text) { return EncodeText(text, 65001).bytes; }

using Expected = std::variant<std::string, ShapeError>;

struct ShapeCase {
  std::u16string hex;
  Expected read;
};

ShapeError Refused(Reason reason, std::size_t offset, std::size_t length) {
  return {reason, offset, length};
}

// The same error counted in UTF-8 bytes.
ShapeError InUtf8(const ShapeError& e, std::u16string_view hex) {
  const std::size_t offset = Utf8(hex.substr(0, e.offset)).size();
  return {e.reason, offset, Utf8(hex.substr(e.offset, e.length)).size()};
}

template <class Char>
Expected ReadInTwo(std::basic_string_view<Char> hex, std::size_t cut) {
  AnyShapeReader reader;
  std::string bytes;
  for (const bool last : {false, true}) {
    const auto part = last ? hex.substr(cut) : hex.substr(0, cut);
    if (const auto error = reader.Read(part, last, bytes)) return *error;
  }
  return bytes;
}

template <class Char>
Expected ReadWhole(std::basic_string_view<Char> hex) {
  const auto read = HexToBytesAnyShape(hex);
  if (!read) return read.error();
  return read.value();
}

TEST(AnyShape, ReadsEveryShapeAndRefusesWhatItCannotReadOneWay) {
  const ShapeCase cases[] = {
      // Every shape, and mixes of them (the shapes as written: WritesEveryShapeAndReadsItBack).
      {u"", ""},
      {u" \t\r\n\u3000", ""},
      {u"0x48, 0X65,", "He"},
      {u"48-65:6c;6C，6f,", "Hello"},
      {u"48\r\n65\r\n\t6C\u30006C\n", "Hell"},
      {u"&H48 &h65 48h 65H 0FFh 0a5h", "HeHe\xff\xa5"},
      {u"  { 0x48, 0x65, }  ", "He"},
      {u"[48 , 65]", "He"},
      {u"\"\\x48\\x65\"", "He"},
      {u"{}", ""},
      {u" [ ] ", ""},
      {u"\"\"", ""},
      {u"48 6 0x5 \\xA 0", "H\x06\x05\x0a\0"s},
      {u"0x48 65 \\x6C 6Ch,6F", "Hello"},
      {u"4865 6C6C6F", "Hello"},
      {u"48h\\x65 48\\x65", "HeHe"},
      // Each refusal, with its place.
      {u"0x123", Refused(Reason::kTooManyDigits, 0, 5)},
      {u"48 0x4865", Refused(Reason::kTooManyDigits, 3, 5)},
      {u"4865h", Refused(Reason::kTooManyDigits, 0, 5)},
      {u"123h", Refused(Reason::kTooManyDigits, 0, 4)},
      {u"486", Refused(Reason::kOddDigits, 0, 3)},
      {u"48 656 6C", Refused(Reason::kOddDigits, 3, 3)},
      {u"48 6C6C6", Refused(Reason::kOddDigits, 3, 5)},
      {u"48h65", Refused(Reason::kNoSeparator, 0, 4)},
      {u"h", Refused(Reason::kNoDigits, 0, 1)},
      {u"0x", Refused(Reason::kNoDigits, 0, 2)},
      {u"48 \\x", Refused(Reason::kNoDigits, 3, 2)},
      {u"&H, 48", Refused(Reason::kNoDigits, 0, 2)},
      {u"-", Refused(Reason::kNoGroup, 0, 1)},
      {u" ,48", Refused(Reason::kNoGroup, 1, 1)},
      {u"48,,65", Refused(Reason::kNoGroup, 3, 1)},
      {u"48, ;65", Refused(Reason::kNoGroup, 4, 1)},
      {u"48，，65", Refused(Reason::kNoGroup, 3, 1)},
      {u"{ , }", Refused(Reason::kNoGroup, 2, 1)},
      {u"{ 48", Refused(Reason::kUnclosed, 0, 1)},
      {u" \"48 65", Refused(Reason::kUnclosed, 1, 1)},
      {u"48 }", Refused(Reason::kMisplaced, 3, 1)},
      {u"{48]", Refused(Reason::kMisplaced, 3, 1)},
      {u"48 {65}", Refused(Reason::kMisplaced, 3, 1)},
      {u"{48} 65", Refused(Reason::kAfterClose, 5, 1)},
      {u"\"48\";", Refused(Reason::kAfterClose, 4, 1)},
      {u"zz", Refused(Reason::kNotDigit, 0, 1)},
      {u"48 4g 65", Refused(Reason::kNotDigit, 3, 2)},
      {u"\\x48\\x6g", Refused(Reason::kNotDigit, 4, 4)},
      {u"\\X48", Refused(Reason::kNotDigit, 0, 2)},
      {u"48 \\ 65", Refused(Reason::kNotDigit, 3, 1)},
      {u"&48", Refused(Reason::kNotDigit, 0, 2)},
      {u"0x48h", Refused(Reason::kNotDigit, 0, 5)},
      {u"48&H65", Refused(Reason::kNotDigit, 0, 3)},
      {u"x41", Refused(Reason::kNotDigit, 0, 1)},
      {u"48 中41,", Refused(Reason::kNotDigit, 3, 1)},
      {u"48\u00A065", Refused(Reason::kNotDigit, 0, 3)},
  };
  for (const ShapeCase& c : cases) {
    const std::string narrow = Utf8(c.hex);
    SCOPED_TRACE(narrow);
    Expected narrow_read = c.read;
    if (const auto* e = std::get_if<ShapeError>(&c.read)) narrow_read = InUtf8(*e, c.hex);
    EXPECT_EQ(ReadWhole(std::u16string_view(c.hex)), c.read);
    EXPECT_EQ(ReadWhole(std::string_view(narrow)), narrow_read);
    // In two parts, cut anywhere (UTF-8 between characters), it reads the same.
    for (std::size_t cut = 0; cut <= c.hex.size(); ++cut) {
      EXPECT_EQ(ReadInTwo(std::u16string_view(c.hex), cut), c.read) << "cut at " << cut;
      const std::size_t narrow_cut = Utf8(std::u16string_view(c.hex).substr(0, cut)).size();
      EXPECT_EQ(ReadInTwo(std::string_view(narrow), narrow_cut), narrow_read) << "cut at " << cut;
    }
  }
}

TEST(AnyShape, WritesEveryShapeAndReadsItBack) {
  const std::string bytes = "He\xff";
  const struct {
    HexStyle style;
    std::u16string hex;
  } shapes[] = {
      {{HexShape::kSpaced, false}, u"48 65 FF"},
      {{HexShape::kSpaced, true}, u"48 65 ff"},
      {{HexShape::kPlain, false}, u"4865FF"},
      {{HexShape::k0x, false}, u"0x48, 0x65, 0xFF"},
      {{HexShape::kC, false}, u"{ 0x48, 0x65, 0xFF }"},
      {{HexShape::kC, true}, u"{ 0x48, 0x65, 0xff }"},
      {{HexShape::kEscaped, false}, u"\\x48\\x65\\xFF"},
  };
  for (const auto& s : shapes) {
    EXPECT_EQ(BytesToHex(bytes, s.style), s.hex);
    const HexFrame frame = FrameOf(s.style.shape);
    std::string narrow(frame.open);
    narrow.resize(narrow.size() + GroupsLength(bytes.size(), s.style));
    WriteGroups(bytes, s.style, narrow.data() + frame.open.size());
    EXPECT_EQ(narrow + std::string(frame.close), Utf8(s.hex));
  }
  EXPECT_EQ(BytesToHex("", {HexShape::kC, false}), u"{ }");

  // Random bytes of many lengths, in every shape and case, read back.
  std::uint32_t state = 17;
  for (const std::size_t size : {0, 1, 2, 15, 16, 17, 33, 100, 1000, 5000}) {
    std::string random;
    for (std::size_t i = 0; i < size; ++i) {
      state = state * 1664525u + 1013904223u;
      random += static_cast<char>(state >> 24);
    }
    for (const HexShape shape :
         {HexShape::kSpaced, HexShape::kPlain, HexShape::k0x, HexShape::kC, HexShape::kEscaped}) {
      for (const bool lower : {false, true}) {
        const std::u16string hex = BytesToHex(random, {shape, lower});
        SCOPED_TRACE(Utf8(hex.substr(0, 40)));
        EXPECT_EQ(ReadWhole(std::u16string_view(hex)), Expected(random));
        EXPECT_EQ(ReadWhole(std::string_view(Utf8(hex))), Expected(random));
        EXPECT_EQ(ReadInTwo(std::u16string_view(hex), hex.size() / 3), Expected(random));
      }
    }
    EXPECT_EQ(BytesToHex(random, {}), BytesToHex(random));
  }
}

TEST(FindUnreadGroups, CountsAndNamesWhatTheLenientReadingPassedOver) {
  // A stretch that is clean, longer than a step of 32 characters.
  const std::u16string clean = u"48 65 6C 6C 6F 20 77 6F 72 6C 64 21 0D 0A ";
  const struct {
    std::u16string hex;
    std::size_t partly_read;
    UnreadGroup first_partly_read;
    std::size_t without_digit;
    UnreadGroup first_without_digit;
  } cases[] = {
      {u"", 0, {}, 0, {}},
      {u"  48 65\t 6\r\n7  ", 0, {}, 0, {}},
      {u"48 4g 65", 1, {2, 3, 2, 4}, 0, {}},
      {u"48  65", 0, {}, 1, {2, 3, 0, 3}},
      {u"zz 41zz 0x48,0x65 \t g4", 2, {2, 3, 4, 5}, 3, {1, 0, 2, 0}},
      {u"  41\t;  ", 1, {1, 2, 4, 5}, 0, {}},
      {clean + clean + u"4;1 " + clean + u" 1", 1, {29, 84, 3, 85}, 1, {44, 130, 0, 130}},
      {clean + u" " + clean + clean, 0, {}, 1, {15, 42, 0, 42}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(Utf8(c.hex));
    for (const UnreadGroups& found :
         {FindUnreadGroups(c.hex), FindUnreadGroups(std::string_view(Utf8(c.hex)))}) {
      EXPECT_EQ(found.partly_read, c.partly_read);
      EXPECT_EQ(found.without_digit, c.without_digit);
      for (const auto& [got, want] :
           {std::pair{found.first_partly_read, c.first_partly_read},
            std::pair{found.first_without_digit, c.first_without_digit}}) {
        EXPECT_EQ(got.group, want.group);
        EXPECT_EQ(got.offset, want.offset);
        EXPECT_EQ(got.length, want.length);
        EXPECT_EQ(got.unread, want.unread);
      }
    }
  }
}

}  // namespace
}  // namespace 字符串加密
