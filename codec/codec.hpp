// The hex codec, all that callers see of it: text to hex text through a code
// page and back (TextToHex, HexToText), and the two stages they are made of,
// which callers with bytes of their own use alone: the code-page stage (text
// to bytes and back) and the byte stage (bytes to hex text and back).
//
// Hex text is two upper-case digits per byte with single spaces between the
// groups and nothing around them ("48 69"). Reading it is lenient: spaces at
// both ends are ignored, every space ends a group, digits of either case are
// read from the start of a group (tabs, line feeds and carriage returns are
// dropped wherever they stand) up to the first other character, and a group
// without digits reads as 0. Only a group above FF fails.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

namespace 字符串加密 {

// ---- Results ---------------------------------------------------------------

// Why a hex text could not be turned into what the caller asked for, and
// which group is to blame.
struct GroupError {
  enum class Reason {
    kTooLarge,  // the group's value does not fit in a byte
    kZeroByte,  // the group starts a character U+0000 (a zero byte; in UTF-16
                // two), which a text box cannot hold
    kNotText,   // the bytes from this group on are not text in the code page
    // The bytes from this group on read as a character that the code page
    // writes as other bytes (Big5's A2 CC is 十, which Big5 writes as A4 51).
    kWrittenOtherwise,
  };
  Reason reason;
  std::size_t group;    // 1-based, counted after the outer spaces are trimmed
  std::size_t offset;   // where the group starts in the hex text passed in
  std::u16string text;  // the group exactly as typed
  // kWrittenOtherwise: the character, the bytes that read as it (from this
  // group on), and the bytes the code page writes for it (none when it cannot
  // write it at all).
  char32_t character = 0;
  std::string read = {};
  std::string written = {};

  bool operator==(const GroupError&) const = default;
};

// A value or the error that prevented it: a group error, or for the
// any-shape reading a ShapeError (below).
template <class T, class Error = GroupError>
class Result {
 public:
  Result(T value) : v_(std::in_place_index<0>, std::move(value)) {}
  Result(Error error) : v_(std::in_place_index<1>, std::move(error)) {}

  bool ok() const { return v_.index() == 0; }
  explicit operator bool() const { return ok(); }
  T& value() { return std::get<0>(v_); }
  const T& value() const { return std::get<0>(v_); }
  const Error& error() const { return std::get<1>(v_); }

 private:
  std::variant<T, Error> v_;
};

// ---- Code pages ------------------------------------------------------------

using CodePage = unsigned int;

// The ANSI code page on Windows; 936 elsewhere.
CodePage SystemCodePage();

// Whether the codec can convert to and from the code page.
bool IsCodePageAvailable(CodePage cp);

// A code page offered by name, in the window's encoding menu and to the
// command-line tool.
struct NamedCodePage {
  CodePage cp;
  std::string_view display;  // as the window shows it: "GBK (936)", "UTF-8" (ASCII)
  std::string_view names;    // what the tool takes besides the number, lower case, space-separated
};

// GBK (936), GB18030 (54936), Big5 (950), Shift-JIS (932), UHC (949),
// Windows-1252, UTF-8 (65001), UTF-16 LE (1200), UTF-16 BE (1201), in that
// order.
std::span<const NamedCodePage> NamedCodePages();

// The code page a name ("gbk", "UTF-16LE": any case) or a number ("936")
// stands for, available or not; nothing for anything else.
std::optional<CodePage> CodePageByName(std::string_view name);

// ---- Text to hex text ------------------------------------------------------

// The hex text of the text's bytes in the code page. Never fails.
std::u16string TextToHex(std::u16string_view text, CodePage cp = SystemCodePage());

// What a caller that must not lose bytes wants refused, beyond groups above FF.
struct DecodeChecks {
  bool refuse_zero_bytes = false;   // a text box cannot hold a NUL (in UTF-16, 00 00)
  bool refuse_lossy_bytes = false;  // bytes that do not come back when encoded again
  // Only whether and where the checks refuse is wanted: the text may be left
  // empty where they refuse nothing.
  bool text_unwanted = false;
};

// The text a hex text spells in the code page. Fails, all or nothing, on the
// first group above FF, and on the first group the checks refuse.
Result<std::u16string> HexToText(std::u16string_view hex, CodePage cp = SystemCodePage(),
                                 DecodeChecks checks = {});

// ---- The code-page stage ---------------------------------------------------

struct EncodedText {
  std::string bytes;
  // Characters the code page cannot represent (a surrogate pair counts once);
  // each of their code units became one byte 3F, but for a lone surrogate in
  // UTF-8 and UTF-16, which lack nothing else: U+FFFD, as Windows writes it.
  std::size_t unmappable = 0;
  // Index of the first of them in the text (valid when unmappable > 0).
  std::size_t first_unmappable = 0;
};

// Never fails for an available code page. A character the code page lacks
// becomes 3F, never a look-alike; one 3F per UTF-16 code unit, so a
// character outside the BMP becomes 3F 3F where the code page lacks it.
EncodedText EncodeText(std::u16string_view text, CodePage cp);

// Bytes that are not text in the code page become U+003F per byte.
std::u16string DecodeBytes(std::string_view bytes, CodePage cp);

// The text the bytes spell, and the first byte (0-based) the checks refuse:
// a zero byte (a character U+0000), or where the first character starts that
// does not come back as the same bytes when decoded and encoded again (either
// its bytes are not text, or they read as a character that the code page
// writes otherwise); whichever comes first.
struct CheckedText {
  std::u16string text;
  struct Refusal {
    GroupError::Reason reason;  // kZeroByte, kNotText or kWrittenOtherwise
    std::size_t byte;
    // kWrittenOtherwise: as in GroupError.
    char32_t character = 0;
    std::string read = {};
    std::string written = {};
  };
  std::optional<Refusal> refused;
};
CheckedText DecodeBytes(std::string_view bytes, CodePage cp, DecodeChecks checks);

// ---- The byte stage: no code page involved ---------------------------------

// 3n - 1 characters for n bytes, none for none.
constexpr std::size_t HexLength(std::size_t bytes) { return bytes == 0 ? 0 : 3 * bytes - 1; }

// Writes exactly HexLength(bytes.size()) characters to out.
void WriteHex(std::string_view bytes, char* out);
void WriteHex(std::string_view bytes, char16_t* out);

std::u16string BytesToHex(std::string_view bytes);

// The bytes a hex text reads as, or the first group above FF.
Result<std::string> HexToBytes(std::u16string_view hex);
Result<std::string> HexToBytes(std::string_view hex);

// Where group n (1-based) of a hex text stands: its offset and its length.
// Past the last group the offset is hex.size() and the length 0.
struct GroupSpan {
  std::size_t offset;
  std::size_t length;
};
GroupSpan LocateGroup(std::u16string_view hex, std::size_t group);

// What the lenient reading passed over in a hex text: groups whose digits are
// followed by characters it did not read (the tabs, line feeds and carriage
// returns it drops aside), and groups in which it read no digit and so read
// 00 (the empty group between two spaces in a row among them). For each kind
// how many, and the first: its number (1-based, counted as GroupError counts
// them), where it stands, and where its unread characters start (at the
// group's start for a group without a digit). One pass; the reading itself
// is not repeated, nor its result changed.
struct UnreadGroup {
  std::size_t group = 0;
  std::size_t offset = 0;
  std::size_t length = 0;
  std::size_t unread = 0;
};
struct UnreadGroups {
  std::size_t partly_read = 0;  // digits read, then characters that were not
  UnreadGroup first_partly_read;
  std::size_t without_digit = 0;  // read as 00 for want of a digit
  UnreadGroup first_without_digit;

  bool any() const { return partly_read != 0 || without_digit != 0; }
};
UnreadGroups FindUnreadGroups(std::u16string_view hex);
UnreadGroups FindUnreadGroups(std::string_view hex);

// ---- Hex text in other shapes ----------------------------------------------

// Hex text also comes as 48656C6C6F, 0x48, 0x65, \x48\x65, 48-65-6C, one byte
// a line, or a C array. The any-shape reading takes all of these:
//   - groups separated by any mix of spaces, tabs, line breaks, U+3000 and at
//     most one of , ， ; : - between two groups (one may also follow the last);
//   - each group optionally prefixed 0x, 0X, \x, &H or &h, or suffixed h or H;
//   - the whole optionally inside { }, [ ] or double quotes;
//   - a group of one or two digits is one byte; so is 0FFh, as assemblers
//     write a byte whose first digit is a letter; a run of an even number of
//     digits without prefix or suffix is read two digits a byte (48656C);
//   - a \x group may follow another without a separator (\x48\x65).
// It never guesses: whatever it cannot read in exactly one way it refuses,
// naming the first place it could not read.
struct ShapeError {
  enum class Reason {
    kNotDigit,       // a character that is no digit, separator or prefix (zz, 4g)
    kOddDigits,      // an odd run of three digits or more (486)
    kTooManyDigits,  // more than two digits with a prefix or suffix (0x123, 4865h)
    kNoDigits,       // a prefix or suffix without digits (0x, \x, &H, h)
    kNoGroup,        // a separator where a group belongs (,48  48,,65  -)
    kNoSeparator,    // a group straight after a suffix h (48h65)
    kUnclosed,       // the opening { [ or " that is never closed
    kMisplaced,      // a bracket or quote anywhere but around the whole
    kAfterClose,     // more after the closing } ] or "
  };
  Reason reason;
  // What could not be read: the group up to and including its first
  // character that could not be read, or all of it where its end is what is
  // wrong (kOddDigits, kNoDigits); the separator, bracket or quote; for
  // kAfterClose, the first character after the closing one. In code units of
  // the text read: UTF-16 units, or bytes of UTF-8.
  std::size_t offset;
  std::size_t length;

  bool operator==(const ShapeError&) const = default;
};

// The bytes of a hex text in any of the shapes above. Narrow text is UTF-8.
Result<std::string, ShapeError> HexToBytesAnyShape(std::u16string_view hex);
Result<std::string, ShapeError> HexToBytesAnyShape(std::string_view hex);

// The same reading of a text that comes in parts, each read as it comes:
// reads exactly as the whole would read, wherever the parts are cut (narrow
// parts between UTF-8 characters). Offsets count from the first part.
class AnyShapeReader {
 public:
  // Appends the bytes read from the part to out; `last` says no part follows.
  // After an error the reader is done and gives the same error again.
  std::optional<ShapeError> Read(std::u16string_view part, bool last, std::string& out);
  std::optional<ShapeError> Read(std::string_view part, bool last, std::string& out);

 private:
  template <class Char>
  std::optional<ShapeError> ReadPart(const Char* text, std::size_t n, bool last, std::string& out);

  // Where the reading stands between parts.
  struct State {
    std::size_t group_start = 0;  // of the group being read
    std::size_t opener_offset = 0;
    std::size_t digits = 0;  // of the group being read
    std::uint32_t held = 0;  // its digits not yet written, four bits each
    std::uint8_t phase = 0;
    char opener = 0;          // {, [ or " when the text opened with one
    bool groups = false;      // a group has been read
    bool punctuated = false;  // a , ; : - or ， since the last group
  };
  State state_;
  std::size_t offset_ = 0;  // of the part being read
  std::optional<ShapeError> error_;
};

// Hex text written in other shapes, for 48 65:
//   kSpaced   48 65            the hex text above, canonical
//   kPlain    4865
//   k0x       0x48, 0x65
//   kC        { 0x48, 0x65 }   ({ } for no bytes)
//   kEscaped  \x48\x65
// each in upper or lower case. The any-shape reading reads every one of them
// back to the same bytes.
enum class HexShape { kSpaced, kPlain, k0x, kC, kEscaped };
struct HexStyle {
  HexShape shape = HexShape::kSpaced;
  bool lower = false;
};

// What a shape writes before the first group, between two, and after the
// last; for writing hex text in pieces.
struct HexFrame {
  std::string_view open, between, close;
};
HexFrame FrameOf(HexShape shape);

// The groups of the bytes in the style with the frame's `between` between
// them, without its open and close: GroupsLength(bytes.size(), style)
// characters.
std::size_t GroupsLength(std::size_t bytes, HexStyle style);
void WriteGroups(std::string_view bytes, HexStyle style, char* out);

// The whole hex text of the bytes in the style, frame and all.
// BytesToHex(bytes, {}) is BytesToHex(bytes).
std::u16string BytesToHex(std::string_view bytes, HexStyle style);

// ---- Where each character's bytes are -----------------------------------------

// A stretch of text or bytes: from `start` up to, not including, `end`.
struct Range {
  std::size_t start = 0;
  std::size_t end = 0;

  bool empty() const { return start == end; }
  bool operator==(const Range&) const = default;
};

// Where the bytes of each character of a text start, as EncodeText writes
// them: made from that one encode, it gives the bytes of any part of the text,
// and the characters any bytes belong to, without encoding again. A
// character is a code unit, a surrogate pair (written as one character, or as
// 3F 3F where the code page lacks it) or a line break "\r\n"; a range that
// takes part of one takes all of it.
class ByteMap {
 public:
  ByteMap() = default;  // of the empty text
  // `encoded` is EncodeText(text, cp).
  ByteMap(std::u16string_view text, const EncodedText& encoded, CodePage cp);

  std::size_t units() const { return offsets_.size() - 1; }
  std::size_t bytes() const { return offsets_.back(); }

  // The bytes of the characters in a range of code units. Where it is empty
  // (a caret), those of the character after it; at the text's end, none.
  Range BytesOf(Range units) const;
  // The code units of the characters whose bytes a range touches. Where it is
  // empty, the character whose bytes hold byte `start`; past the last, none.
  Range UnitsOf(Range bytes) const;

 private:
  bool Walk(std::u16string_view text, std::string_view bytes, CodePage cp);
  void EncodeEach(std::u16string_view text, std::size_t total, CodePage cp);
  std::size_t CharacterStart(std::size_t unit) const;
  std::size_t CharacterEnd(std::size_t unit) const;

  // Where each code unit's bytes start (for the second half of a pair written
  // as one character, where the pair's do), then where the bytes end.
  std::vector<std::size_t> offsets_ = {0};
  // Whether a code unit belongs to the character of the one before it.
  std::vector<bool> joined_;
};

// In canonical hex text (BytesToHex: two digits a byte, a space between): the
// bytes whose groups a range of its characters touches; where the range is
// empty, the group the caret stands before or in (at a space, the next one).
Range GroupsIn(Range hex);
// The characters the groups of a range of bytes take in canonical hex text,
// from the first group's first digit to the last one's second.
Range HexOfGroups(Range bytes);

}  // namespace 字符串加密
