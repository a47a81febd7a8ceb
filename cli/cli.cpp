#include "cli/cli.hpp"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <exception>
#include <functional>
#include <istream>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <system_error>
#include <type_traits>
#include <utility>
#include <variant>
#include <vector>

#include "cli/held_hex.hpp"
#include "cli/io.hpp"
#include "cli/utf8.hpp"
#include "cli/worker.hpp"
#include "codec/codec.hpp"
#include "codec/internal/hex_reading.hpp"
#include "codec/internal/tables.hpp"
#include "resources/version.h"

namespace vantorel {
namespace {

namespace codec = 字符串加密;

// The usage lines, with the command's name on this system.
std::string Usage() {
  const std::string name(io::kCommandName);
  return "usage: " + name + " [-c CODEPAGE] encode [--as SHAPE] [--lower] [TEXT]\n       " + name +
         " [-c CODEPAGE] decode [--strict | --any] [HEX]\n";
}

constexpr std::string_view kHelp =
    R"(@USAGE@

Writes text as hex text and back: the bytes of the text in a code page, two
upper-case hex digits each, single spaces between (中 is D6 D0 in code page 936).

  encode [TEXT]  the hex text of TEXT, or of all of standard input, then one
                 newline. Characters the code page lacks become 3F; standard
                 error says how many and where.
  decode [HEX]   the text that HEX, or all of standard input, spells in the
                 code page, written with nothing added (zero bytes
                 included). Spaces, tabs and line breaks at both ends are
                 ignored and every space ends a group; a group's digits, of
                 either case, are read from its start (tabs and line breaks
                 are skipped) up to the first other character, and a group
                 without digits is 00. Standard error says how many groups
                 had characters left unread, or no digit, and which first.

options, before or after the command word:
  -c, --code-page CODEPAGE  the code page: its number or one of these names,
                            of either case,
@NAMES@
                            or the number of another the system provides;
                            unless given, @DEFAULT@
      --text-encoding ENC   the text of encode's standard input and of
                            decode's output: utf-8, utf-16le (no BOM written)
                            or ansi (the ANSI code page, @ANSI@); unless given,
@TEXT@
  -h, --help                this help
      --version             the version
  --                        the rest is TEXT or HEX, even when it starts with -

hex in other shapes:
  decode --strict    a group with characters left unread, or without a digit,
                     is an error instead
  decode --any       reads the shapes hex is pasted in: groups separated by
                     spaces, tabs, line breaks, commas, semicolons, colons or
                     hyphens; each 48, 0x48, \x48, &H48 or 48h; an even run of
                     digits two to a byte (48656C); the whole perhaps inside
                     { }, [ ] or double quotes. What it cannot read in exactly
                     one way is an error naming the place.
  encode --as SHAPE  spaced (48 65, the default), plain (4865), 0x (0x48,
                     0x65), c ({ 0x48, 0x65 }) or escaped (\x48\x65); decode
                     --any reads each back to the same bytes
  encode --lower     lower-case digits (48 6c)

exit status: 0 done; 1 bad input (a message on standard error and nothing on
standard output); 2 usage error or unavailable code page.
)";

// A code page as the help names it: "936 (GBK)", "1252 (Windows-1252)", "1251".
std::string CodePageName(codec::CodePage cp) {
  std::string name = std::to_string(cp);
  for (const codec::NamedCodePage& named : codec::NamedCodePages()) {
    if (named.cp == cp) {
      const std::string_view display = named.display.substr(0, named.display.find(" ("));
      if (display != name) name += " (" + std::string(display) + ")";
    }
  }
  return name;
}

// Puts text where kHelp says @WHAT@.
void Fill(std::string& help, std::string_view what, std::string_view text) {
  help.replace(help.find(what), what.size(), text);
}

// The help, with the code pages' names where kHelp says @NAMES@: a line each,
// under the options' descriptions; the usage lines, the default code page and
// how text comes and goes as this system has them.
std::string Help() {
  constexpr std::size_t kIndent = 30, kNamesWidth = 24;
  std::string names;
  for (const codec::NamedCodePage& named : codec::NamedCodePages()) {
    std::string line(kIndent, ' ');
    for (const char c : named.names) line += c == ' ' ? std::string(", ") : std::string(1, c);
    line.resize(kIndent + kNamesWidth, ' ');
    line += named.display;
    if (named.display.find('(') == std::string_view::npos)
      line += " (" + std::to_string(named.cp) + ")";
    names += line + "\n";
  }
  std::string help(kHelp);
  Fill(help, "@USAGE@\n", Usage());
  Fill(help, "@NAMES@\n", names);
  Fill(help, "@DEFAULT@",
       std::string(io::kDefaultCodePageHelp) + CodePageName(codec::SystemCodePage()));
  Fill(help, "@ANSI@", std::to_string(codec::SystemCodePage()));
  Fill(help, "@TEXT@\n", io::kTextHelp);
  return help;
}

// The names -c takes, for a message: "gbk, cp936, gb2312 (936); gb18030 (54936); ...".
std::string NamesList() {
  std::string list;
  for (const codec::NamedCodePage& named : codec::NamedCodePages()) {
    if (!list.empty()) list += "; ";
    for (const char c : named.names) list += c == ' ' ? std::string(", ") : std::string(1, c);
    list += " (" + std::to_string(named.cp) + ")";
  }
  return list;
}

// Input is converted and written in pieces of about this many bytes, so a
// large input needs little memory beyond itself.
constexpr std::size_t kPieceBytes = std::size_t{64} << 10;

// Standard output leaves in blocks of at least this many bytes (the last one
// may be shorter), from one buffer used again for every block.
constexpr std::size_t kOutputBytes = std::size_t{256} << 10;

// Decode keeps up to this much of its output as it checks the input, and
// then writes it without reading and decoding the input again; more, and it
// does.
constexpr std::size_t kHeldOutputBytes = std::size_t{32} << 20;

// Encode converts input of at least this many bytes on two threads, where
// that pays (mostly characters beyond ASCII).
constexpr std::size_t kTwoThreadsFrom = std::size_t{1} << 20;

// Input is worked on in segments of about this many bytes (more only where
// none of that length can be cut off), a regular file read a window of that
// size at a time.
constexpr std::size_t kWindowBytes = std::size_t{256} << 10;

// Group text in messages is cut after this many bytes.
constexpr std::size_t kMaxShownGroup = 64;

struct Failure {
  int status;
  std::string message;  // without the "vantorel: " prefix
  bool usage = false;   // followed by the usage line
};

std::string Quoted(std::string_view s) {
  std::string q = "\"";
  q += s;
  q += '"';
  return q;
}

// A group as typed, for a message: control characters escaped, and a long
// group cut short.
std::string ShowGroup(std::string_view group) {
  const std::size_t shown = CharacterBoundary(group, kMaxShownGroup);
  std::string text = "\"";
  for (const char c : group.substr(0, shown)) {
    const auto b = static_cast<unsigned char>(c);
    if (c == '\t') {
      text += "\\t";
    } else if (c == '\n') {
      text += "\\n";
    } else if (c == '\r') {
      text += "\\r";
    } else if (b < 0x20 || b == 0x7F) {
      char escaped[5];
      std::snprintf(escaped, sizeof escaped, "\\x%02X", b);
      text += escaped;
    } else {
      text += c;
    }
  }
  if (shown < group.size()) text += "...";
  text += '"';
  return text;
}

// Group n (1-based) of a hex text: between spaces, after the outer spaces
// are trimmed. The group must exist.
std::string_view GroupOf(std::string_view hex, std::size_t n) {
  const std::size_t first = hex.find_first_not_of(' ');
  const std::size_t last = hex.find_last_not_of(' ');
  std::string_view body = hex.substr(first, last - first + 1);
  for (std::size_t i = 1; i < n; ++i) body.remove_prefix(body.find(' ') + 1);
  return body.substr(0, body.find(' '));
}

std::string CodePoint(char32_t cp) {
  char text[16];
  std::snprintf(text, sizeof text, "U+%04X", static_cast<unsigned>(cp));
  return text;
}

char32_t CodePointAt(std::u16string_view units, std::size_t i) {
  const char16_t u = units[i];
  if (u >= 0xD800 && u <= 0xDBFF && i + 1 < units.size())
    return 0x10000 + ((char32_t{u} - 0xD800) << 10) + (char32_t{units[i + 1]} - 0xDC00);
  return u;
}

// A regular file read again for a later pass is no longer what the first
// pass read.
struct InputChanged {};

// Part of the input, as a pass over it sees it: its text, or for a pass
// that takes them (Input::Pass's bytes_will_do), where the text is canonical
// hex text held as its bytes (HeldHex), those bytes instead.
struct Segment {
  std::string_view text;
  std::size_t offset;  // in the input
  bool first, last;
  std::optional<std::string_view> bytes;
};

// Where a pass cuts a window of the input that stops short of its end: the
// segment ends at `end` and the next one starts at `next`; end 0 when the
// window holds no place to cut (it is then made larger).
struct Cut {
  std::size_t end, next;
};
using CutRule = Cut (*)(std::string_view window);

// The input, read again for every pass over it, in segments of about
// kWindowBytes, each of which stays in the cache while it is worked on. Text
// in memory is cut where it lies; a regular file is read at offsets into
// one window used again for every segment, so that what the process holds
// does not grow with the file; held hex text is written out into that window. (Mapping the file
// instead costs a fault for every few pages in every pass, and more time than copying them.) Before
// each pass after the first, the file must still have the size and the
// modification time it had before the first, or what was checked is not what
// would be written: the pass throws InputChanged.
class Input {
 public:
  explicit Input(std::string_view text) : text_(text) {}
  // The `length` bytes of a regular file from `start` on, as FileLength()
  // found it before the first pass.
  Input(io::Input& file, std::uint64_t start, std::size_t length,
        const std::function<void()>& between_passes)
      : file_(&file), start_(start), length_(length), between_passes_(between_passes) {}
  // The `length` characters of held hex text from `start` on.
  Input(const HeldHex& held, std::size_t start, std::size_t length)
      : held_(&held), start_(start), length_(length) {}

  // Hands each segment in order to each, until it returns false. Where
  // bytes_will_do, a segment of held canonical hex text comes as its bytes,
  // cut where HexCut would cut it (at the space after its last group).
  template <typename Each>
  void Pass(CutRule cut, const Each& each, bool bytes_will_do = false) {
    if (file_ != nullptr && passes_++ > 0) CheckUnchanged();
    std::size_t size = kWindowBytes;
    for (std::size_t offset = 0;;) {
      if (bytes_will_do && held_ != nullptr) {
        constexpr std::size_t kGroupsText = kWindowBytes / 3 * 3 - 1;
        if (const auto bytes = held_->BytesOf(start_ + offset, kGroupsText);
            bytes && offset + kGroupsText + 1 < length_) {
          if (!each(Segment{{}, skipped_ + offset, offset == 0, false, bytes})) return;
          offset += kGroupsText + 1;
          continue;
        }
      }
      const std::string_view window = Window(offset, size);
      const bool last = window.size() < size;
      const Cut at = last ? Cut{window.size(), window.size()} : cut(window);
      if (!last && at.end == 0) {
        size *= 2;
        continue;
      }
      const Segment segment{window.substr(0, at.end), skipped_ + offset, offset == 0, last, {}};
      if (!each(segment) || last) return;
      offset += at.next;
    }
  }

  // Leaves out the bytes in `chars` at both ends of the input. Offsets still
  // count from its first byte.
  void Trim(std::string_view chars) {
    if (InView()) {
      const std::size_t first = std::min(text_.size(), text_.find_first_not_of(chars));
      text_.remove_prefix(first);
      text_ = text_.substr(0, text_.find_last_not_of(chars) + 1);
      skipped_ = first;
      return;
    }
    // A block at a time from each end until a byte to keep.
    constexpr std::size_t kBlock = 4096;
    std::size_t first = 0;
    for (std::string block; first < length_;) {
      block = Slice(first, kBlock);
      const std::size_t kept = block.find_first_not_of(chars);
      first += std::min(kept, block.size());
      if (kept != block.npos) break;
    }
    while (length_ > first) {
      const std::size_t from = length_ - std::min(length_ - first, kBlock);
      const std::string block = Slice(from, length_ - from);
      const std::size_t kept = block.find_last_not_of(chars);
      if (kept != block.npos) {
        length_ = from + kept + 1;
        break;
      }
      length_ = from;
    }
    start_ += first;
    length_ -= first;
    skipped_ = first;
  }

  // A regular file read once already must still be as it was then, as
  // before another pass over it: else InputChanged.
  void CheckStillUnchanged() {
    if (file_ != nullptr && passes_ > 0) CheckUnchanged();
  }

  // How many bytes the passes read.
  std::size_t size() const { return InView() ? text_.size() : length_; }

  // Up to `length` bytes from `offset`, counted as segments count it.
  std::string Slice(std::size_t offset, std::size_t length) {
    offset -= std::min(offset, skipped_);
    if (InView()) return std::string(text_.substr(std::min(offset, text_.size()), length));
    std::string slice(std::min(length, length_ - std::min(offset, length_)), '\0');
    slice.resize(Read(offset, slice.data(), slice.size()));
    return slice;
  }

 private:
  // Whether all of the text is in memory as it stands (text_).
  bool InView() const { return file_ == nullptr && held_ == nullptr; }

  // Up to size bytes from offset on, short only at the end of the input.
  std::string_view Window(std::size_t offset, std::size_t size) {
    if (InView()) return text_.substr(std::min(offset, text_.size()), size);
    if (capacity_ < size) {
      // A few bytes more, and set: encode's second pass takes the file's
      // text as UTF-8 checked in the first, and a file that changed in
      // between without a change of size or time may end a segment with a
      // character's lead byte, whose trail bytes would then be read past it.
      window_ = std::make_unique_for_overwrite<char[]>(size + kPastWindow);
      std::fill_n(window_.get() + size, kPastWindow, '\0');
      capacity_ = size;
    }
    return {window_.get(),
            Read(offset, window_.get(), std::min(size, length_ - std::min(offset, length_)))};
  }

  // Reads up to n bytes of the file from offset on; how many it read.
  std::size_t Read(std::size_t offset, char* to, std::size_t n) {
    return held_ != nullptr ? held_->ReadAt(start_ + offset, to, n)
                            : file_->ReadAt(start_ + offset, to, n);
  }

  void CheckUnchanged() const {
    if (between_passes_) between_passes_();
    if (!file_->Unchanged()) throw InputChanged{};
  }

  std::string_view text_;
  io::Input* file_ = nullptr;
  const HeldHex* held_ = nullptr;
  std::uint64_t start_ = 0;
  std::size_t length_ = 0;
  std::size_t skipped_ = 0;  // bytes trimmed at the start
  std::function<void()> between_passes_;
  int passes_ = 0;
  static constexpr std::size_t kPastWindow = 4;
  std::unique_ptr<char[]> window_;
  std::size_t capacity_ = 0;
};

// How decode writes its text and encode reads standard input
// (--text-encoding): ansi is the system's ANSI code page.
enum class TextEncoding { kUtf8, kUtf16Le, kAnsi };

// Characters a code page lacks, which became 3F: how many, and the first.
struct Unmappable {
  std::size_t count = 0;
  std::size_t position = 0;  // of the first, 1-based, in characters
  char32_t character = 0;
  std::size_t characters_before = 0;  // in the pieces already done

  // Counts what the encoding of units, the text's next piece, lacked.
  void Add(std::u16string_view units, const codec::EncodedText& encoded) {
    if (encoded.unmappable != 0 && count == 0) {
      position = characters_before + CodePointsIn(units.substr(0, encoded.first_unmappable)) + 1;
      character = CodePointAt(units, encoded.first_unmappable);
    }
    count += encoded.unmappable;
    characters_before += CodePointsIn(units);
  }
  // The same for a piece encoded straight from its UTF-8.
  void Add(const codec::tables::Utf8Encoded& encoded) {
    if (encoded.unmappable != 0 && count == 0) {
      position = characters_before + encoded.first_unmappable + 1;
      character = encoded.first_character;
    }
    count += encoded.unmappable;
    characters_before += encoded.characters;
  }

  void Warn(codec::CodePage cp, std::ostream& err) const {
    if (count == 1) {
      err << "vantorel: 1 character is not in code page " << cp
          << " and became 3F; it is character " << position << " (" << CodePoint(character)
          << ")\n";
    } else if (count > 1) {
      err << "vantorel: " << count << " characters are not in code page " << cp
          << " and became 3F; the first is character " << position << " (" << CodePoint(character)
          << ")\n";
    }
  }
};

// Standard output: what is converted gathers in one buffer, which leaves in
// blocks of about kOutputBytes and is then used again. While it holds (Hold),
// nothing leaves: everything gathers, up to a limit.
class Output {
 public:
  explicit Output(io::Output& sink) : sink_(sink) {}

  // Room for n bytes; write them, then call Wrote() with their end.
  char* Room(std::size_t n) {
    if (capacity_ - size_ < n) {
      if (hold_ == Hold::kHolding) {
        hold_ = Hold::kTooMuch;  // dropped, and whatever comes after it
        size_ = 0;
      }
      if (hold_ == Hold::kNone) Flush();
      if (capacity_ - size_ < n) {
        capacity_ = std::max(n, kOutputBytes + 3 * kPieceBytes);
        data_ = std::make_unique_for_overwrite<char[]>(capacity_);
        size_ = 0;
      }
    }
    return data_.get() + size_;
  }
  void Wrote(const char* end) {
    size_ = static_cast<std::size_t>(end - data_.get());
    if (hold_ == Hold::kTooMuch) size_ = 0;
    if (hold_ == Hold::kNone && size_ >= kOutputBytes) Flush();
  }
  void Append(std::string_view s) { Wrote(std::copy(s.begin(), s.end(), Room(s.size()))); }

  // From here on, what is written is held, up to `limit` bytes (the pages of
  // the buffer come as they are first written), until Finish() hands it on or
  // Drop() drops it; more than that is dropped at once.
  void StartHolding(std::size_t limit) {
    if (size_ > 0) Flush();
    capacity_ = std::max(limit, capacity_);
    data_ = std::make_unique_for_overwrite<char[]>(capacity_);
    io::PreferHugePages(data_.get(), capacity_);
    hold_ = Hold::kHolding;
  }
  // Whether all that was written since StartHolding() is held.
  bool holds_all() const { return hold_ == Hold::kHolding; }
  // Drops what is held; what is written from here on leaves as usual.
  void Drop() {
    size_ = 0;
    hold_ = Hold::kNone;
  }

  // Everything written and handed on.
  void Finish() {
    hold_ = Hold::kNone;
    Flush();
  }

  // Decode's text in the encoding given (bytes, even to a console), or
  // without one as UTF-8 text.
  void SetTextEncoding(std::optional<TextEncoding> encoding) {
    encoding_ = encoding.value_or(TextEncoding::kUtf8);
    text_ = !encoding;
  }
  TextEncoding encoding() const { return encoding_; }
  // What the ANSI code page lacked of decode's text.
  Unmappable& lost() { return lost_; }

 private:
  void Flush() {
    sink_.Write({data_.get(), size_}, text_);
    size_ = 0;
  }

  io::Output& sink_;
  std::unique_ptr<char[]> data_;
  std::size_t size_ = 0;
  std::size_t capacity_ = 0;
  enum class Hold { kNone, kHolding, kTooMuch } hold_ = Hold::kNone;
  TextEncoding encoding_ = TextEncoding::kUtf8;
  bool text_ = true;
  Unmappable lost_;
};

// Where UTF-8 can be cut near max_bytes so that each part is found valid, or
// not, just as within the whole: before the lead byte of a character that
// max_bytes would cut, or at max_bytes itself when none of the three bytes
// before it is a lead byte (the continuation bytes there are stray on either
// side of the cut).
std::size_t CheckBoundary(std::string_view utf8, std::size_t max_bytes) {
  if (max_bytes >= utf8.size()) return utf8.size();
  const auto continues = [&](std::size_t at) {
    return (static_cast<unsigned char>(utf8[at]) & 0xC0) == 0x80;
  };
  std::size_t end = max_bytes;
  while (end + 3 > max_bytes && continues(end)) --end;
  return continues(end) ? max_bytes : end;
}

// Text is cut between characters; a window always has more than four bytes.
Cut TextCut(std::string_view window) {
  const std::size_t end = CheckBoundary(window, window.size() - 1);
  return {end, end};
}

// Hex text is cut at a space with no space on either side, which is left
// out: each segment then starts and ends with its first and last group as
// they stand in the whole text, and reads exactly as it does there (an outer
// space would be trimmed, and the empty group beside it lost). Spaces at both
// ends of the whole are the first and last segment's.
Cut HexCut(std::string_view window) {
  for (std::size_t at = window.size() - 1; at-- > 1;) {
    if (window[at] == ' ' && window[at - 1] != ' ' && window[at + 1] != ' ') return {at, at + 1};
  }
  return {0, 0};
}

std::string_view Trimmed(const Segment& segment) {
  std::string_view body = segment.text;
  if (segment.first) body.remove_prefix(std::min(body.size(), body.find_first_not_of(' ')));
  if (segment.last) body = body.substr(0, body.find_last_not_of(' ') + 1);
  return body;
}

std::optional<Failure> CheckUtf8(const Segment& segment, std::string_view what) {
  const auto error = FindInvalidUtf8(segment.text);
  if (!error) return std::nullopt;
  return Failure{1, std::string(what) + " is not UTF-8: " + std::string(Describe(error->kind)) +
                        " at byte offset " + std::to_string(segment.offset + error->offset)};
}

// Encode's hex text, written a piece of bytes at a time in the shape asked
// for: the frame's opening first, its `between` joining each piece's groups
// to the previous piece's, and at the end its closing and a line feed.
class HexWriter {
 public:
  HexWriter(Output& out, codec::HexStyle style)
      : out_(out), style_(style), frame_(codec::FrameOf(style.shape)) {
    out_.Append(frame_.open);
  }

  void Write(std::string_view bytes) {
    if (bytes.empty()) return;
    const std::string_view lead = wrote_any_ ? frame_.between : "";
    const std::size_t length = codec::GroupsLength(bytes.size(), style_);
    char* const hex = std::copy(lead.begin(), lead.end(), out_.Room(lead.size() + length));
    codec::WriteGroups(bytes, style_, hex);
    out_.Wrote(hex + length);
    wrote_any_ = true;
  }

  // Everything written and handed on.
  void End() {
    out_.Append(frame_.close);
    out_.Append("\n");
    out_.Finish();
  }

 private:
  Output& out_;
  codec::HexStyle style_;
  codec::HexFrame frame_;
  bool wrote_any_ = false;
};

// Encode's conversion of pieces of valid UTF-8 (kPieceBytes at most) to the
// code page's bytes, counting the characters it lacks: in code page 65001
// the UTF-8 is its own bytes, every character of it written; a large piece
// in another goes straight to the bytes through the tables where it can; the
// rest, through UTF-16.
class PieceEncoder {
 public:
  explicit PieceEncoder(codec::CodePage cp) : cp_(cp) {}

  // The bytes of utf8: at room (which has room for utf8.size() + 1 bytes)
  // where they come straight from the tables, else somewhere kept until the
  // next call.
  std::string_view Encode(std::string_view utf8, char* room) {
    if (cp_ == 65001) return utf8;
    if (utf8.size() >= codec::tables::kTablesFrom) {
      if (const auto encoded = codec::tables::EncodeUtf8(utf8, cp_, room))
        return Encoded(*encoded, room);
    }
    if (!units_) units_ = std::make_unique_for_overwrite<char16_t[]>(kPieceBytes);
    const std::u16string_view units(
        units_.get(), static_cast<std::size_t>(WriteUtf16(utf8, units_.get()) - units_.get()));
    encoded_ = codec::EncodeText(units, cp_);
    unmappable_.Add(units, encoded_);
    return encoded_.bytes;
  }

  // The bytes the tables gave for the next piece elsewhere (on another
  // thread), counted in their turn.
  std::string_view Encoded(const codec::tables::Utf8Encoded& encoded, const char* bytes) {
    unmappable_.Add(encoded);
    return {bytes, encoded.bytes};
  }

  const Unmappable& unmappable() const { return unmappable_; }

 private:
  codec::CodePage cp_;
  std::unique_ptr<char16_t[]> units_;
  codec::EncodedText encoded_;
  Unmappable unmappable_;
};

// Whether the start of the input is mostly characters beyond ASCII.
bool MostlyBeyondAscii(Input& input) {
  const std::string start = input.Slice(0, 4096);
  const auto beyond = std::count_if(start.begin(), start.end(),
                                    [](char c) { return static_cast<unsigned char>(c) >= 0x80; });
  return 2 * static_cast<std::size_t>(beyond) >= start.size();
}

std::optional<Failure> Encode(Input& input, std::string_view what, codec::CodePage cp,
                              codec::HexStyle style, Output& out, std::ostream& err) {
  std::optional<Failure> not_utf8;
  input.Pass(TextCut,
             [&](const Segment& segment) { return !(not_utf8 = CheckUtf8(segment, what)); });
  if (not_utf8) return not_utf8;

  // A piece's bytes when they come straight from its UTF-8, in a buffer
  // used again for every piece.
  const auto piece_bytes = std::make_unique_for_overwrite<char[]>(kPieceBytes + 1);
  PieceEncoder encoder(cp);
  const auto convert_all = [&](std::string_view text, HexWriter& hex) {
    while (!text.empty()) {
      const std::size_t piece = CharacterBoundary(text, kPieceBytes);
      hex.Write(encoder.Encode(text.substr(0, piece), piece_bytes.get()));  // valid: checked above
      text.remove_prefix(piece);
    }
  };

  // Text mostly beyond ASCII (Chinese), which the tables take several times
  // as long to convert as it takes to read, is converted by two threads a
  // segment at a time where there is much of it: the second half of the
  // segment on a worker, into bytes of its own, while this thread converts
  // the first half and writes its hex text; then the worker's, in order.
  struct Ahead {
    std::string_view utf8;
    const char* bytes;
    std::optional<codec::tables::Utf8Encoded> encoded;  // nothing: converted here instead
  };
  std::vector<Ahead> ahead;
  std::unique_ptr<char[]> ahead_bytes;
  std::size_t ahead_room = 0;
  std::optional<Worker> worker;  // after what its jobs use, so that it ends first
  if (cp != 65001 && input.size() >= kTwoThreadsFrom && MostlyBeyondAscii(input)) {
    try {
      worker.emplace();
    } catch (const std::system_error&) {
      // No thread to be had: this one converts it all.
    }
  }
  HexWriter hex(out, style);
  input.Pass(TextCut, [&](const Segment& segment) {
    std::string_view text = segment.text, second;
    if (worker && text.size() >= 4 * codec::tables::kTablesFrom) {
      const std::size_t half = CharacterBoundary(text, text.size() / 2);
      second = text.substr(half);
      text = text.substr(0, half);
      // Each piece's bytes at most its UTF-8 and one more.
      if (ahead_room < segment.text.size()) {
        ahead_room = segment.text.size();
        ahead_bytes = std::make_unique_for_overwrite<char[]>(ahead_room);
      }
      worker->Start([&, second] {
        ahead.clear();
        char* to = ahead_bytes.get();
        for (std::string_view rest = second; !rest.empty();) {
          const std::string_view utf8 = rest.substr(0, CharacterBoundary(rest, kPieceBytes));
          rest.remove_prefix(utf8.size());
          ahead.push_back({utf8, to, codec::tables::EncodeUtf8(utf8, cp, to)});
          to += utf8.size() + 1;
        }
      });
    }
    convert_all(text, hex);
    if (!second.empty()) {
      worker->Wait();
      for (const Ahead& a : ahead) {
        hex.Write(a.encoded ? encoder.Encoded(*a.encoded, a.bytes)
                            : encoder.Encode(a.utf8, piece_bytes.get()));
      }
    }
    return true;
  });
  hex.End();
  encoder.unmappable().Warn(cp, err);
  return std::nullopt;
}

// Encode of UTF-8 that comes as it comes (a pipe's, a stream's), in one
// pass: each part is checked and converted as soon as it is read, while the
// writer writes the next, and the code page's bytes are held (not the input,
// nor their hex text, three times their size) until the end, since nothing
// is written before all of the input is found UTF-8; then their hex text.
class EncodeAsRead {
 public:
  EncodeAsRead(std::string_view what, codec::CodePage cp, codec::HexStyle style)
      : what_(what), cp_(cp), style_(style), encoder_(cp) {}

  // The first bytes, read before.
  void Add(std::string_view bytes) {
    for (; !bytes.empty(); bytes.remove_prefix(std::min(bytes.size(), kWindowBytes))) {
      std::copy_n(bytes.data(), std::min(bytes.size(), kWindowBytes), Room());
      Take(std::min(bytes.size(), kWindowBytes), false);
    }
  }
  // The next bytes from in, as many as come at once up to a window's worth;
  // false at the end of the input, once all is checked and converted.
  bool ReadFrom(io::Input& in) {
    const std::size_t got = in.Read(Room(), kWindowBytes);
    Take(got, got == 0);
    return got > 0;
  }

  // Writes the hex text of all that was read, or says why not.
  std::optional<Failure> Finish(Output& out, std::ostream& err) {
    if (not_utf8_) return not_utf8_;
    HexWriter hex(out, style_);
    held_.ForEach([&](std::string_view bytes) {
      for (; !bytes.empty(); bytes.remove_prefix(std::min(bytes.size(), kPieceBytes)))
        hex.Write(bytes.substr(0, kPieceBytes));
    });
    hex.End();
    encoder_.unmappable().Warn(cp_, err);
    return std::nullopt;
  }

 private:
  // Where the next bytes go: after the character begun in the last part.
  char* Room() {
    if (!buffer_) buffer_ = std::make_unique_for_overwrite<char[]>(kCarried + kWindowBytes);
    return buffer_.get() + carried_;
  }

  // Checks and converts what was carried and the n bytes read after it, up
  // to a cut where UTF-8 is found valid or not just as in the whole (all of
  // it at the end), and carries the rest.
  void Take(std::size_t n, bool end) {
    const std::string_view text(buffer_.get(), carried_ + n);
    const std::size_t cut = end                      ? text.size()
                            : text.size() > kCarried ? CheckBoundary(text, text.size() - 1)
                                                     : 0;
    const std::string_view whole = text.substr(0, cut);
    if (!not_utf8_ && !(not_utf8_ = CheckUtf8(Segment{whole, read_, read_ == 0, end, {}}, what_)))
      Convert(whole);
    read_ += cut;
    carried_ = text.size() - cut;
    std::copy_n(text.data() + cut, carried_, buffer_.get());
  }

  // Valid UTF-8 to the code page's bytes, held, a piece at a time: where
  // the tables write them, straight into what is held.
  void Convert(std::string_view text) {
    while (!text.empty()) {
      const std::size_t piece = CharacterBoundary(text, kPieceBytes);
      char* const to = held_.Room(piece + 1);  // the room PieceEncoder asks for
      const std::string_view bytes = encoder_.Encode(text.substr(0, piece), to);
      if (bytes.data() == to) {
        held_.Held(bytes.size());
      } else {
        held_.Append(bytes);
      }
      text.remove_prefix(piece);
    }
  }

  // At most the three bytes of a character begun, and one more.
  static constexpr std::size_t kCarried = 4;

  std::string_view what_;
  codec::CodePage cp_;
  codec::HexStyle style_;
  std::unique_ptr<char[]> buffer_;  // what is carried, then what is read
  std::size_t carried_ = 0;
  std::size_t read_ = 0;  // bytes before the buffer's
  PieceEncoder encoder_;
  HeldChunks held_;
  std::optional<Failure> not_utf8_;
};

// How many of bytes, which start at a character's start, can be decoded on
// their own, each part decoding (and failing to) exactly as within the whole;
// npos when the code page is not known to allow any cut. UTF-16: whole code
// units, a surrogate pair kept together. In code pages whose
// characters the lead byte alone tells apart, the whole characters (GBK, Big5
// and UHC: a byte from 81 to FE leads two; Shift-JIS: 81 to 9F and E0 to FC;
// UTF-8: a character ends before any byte that does not continue one;
// windows-1252: one byte each): a converter reads a lead byte with whatever
// follows it, fit or not, so cutting there cuts where the whole would. In
// GB18030, up to the last byte below 30, which is always a character of its
// own (its four-byte characters' digits start at 30); bytes before `fresh`
// were looked at before and hold none.
std::size_t WholeCharacters(std::string_view bytes, std::size_t fresh, codec::CodePage cp) {
  const auto byte = [&](std::size_t at) { return static_cast<unsigned char>(bytes[at]); };
  switch (cp) {
    case 1252:
      return bytes.size();
    case 65001: {
      std::size_t end = bytes.size();
      while (end > 0 && (byte(end - 1) & 0xC0) == 0x80) --end;
      return end > 0 ? end - 1 : 0;  // before the last character, which may go on
    }
    case 936:
    case 950:
    case 949:
    case 932: {
      const auto leads = [cp](unsigned char b) {
        return cp == 932 ? (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC)
                         : b >= 0x81 && b <= 0xFE;
      };
      // A byte below 40 is a character of its own, so one starts after the
      // last such byte; from there on, they are told apart one by one.
      std::size_t at = bytes.size();
      while (at > 0 && byte(at - 1) >= 0x40) --at;
      while (at < bytes.size()) {
        const std::size_t length = leads(byte(at)) ? 2 : 1;
        if (at + length > bytes.size()) break;
        at += length;
      }
      return at;
    }
    case 1200:
    case 1201: {
      // Whole code units, a surrogate pair kept together.
      std::size_t end = bytes.size() & ~std::size_t{1};
      const auto high_byte = [&](std::size_t unit) { return byte(cp == 1200 ? unit + 1 : unit); };
      if (end >= 2 && high_byte(end - 2) >= 0xD8 && high_byte(end - 2) <= 0xDB) end -= 2;
      return end;
    }
    case 54936: {
      std::size_t end = bytes.size();
      while (end > fresh && byte(end - 1) >= 0x30) --end;
      return end > fresh ? end : 0;
    }
    default:
      return std::string_view::npos;
  }
}

// Why bytes that do not come back were refused, after "group N "G" ".
std::string WhyNotText(const codec::CheckedText::Refusal& refusal, codec::CodePage cp) {
  const std::string page = "code page " + std::to_string(cp);
  if (refusal.reason != codec::GroupError::Reason::kWrittenOtherwise)
    return "starts bytes that are not text in " + page;
  std::u16string units;
  if (refusal.character < 0x10000) {
    units += static_cast<char16_t>(refusal.character);
  } else {
    units += static_cast<char16_t>(0xD800 + ((refusal.character - 0x10000) >> 10));
    units += static_cast<char16_t>(0xDC00 + ((refusal.character - 0x10000) & 0x3FF));
  }
  std::string shown;
  if (refusal.character >= 0x20 && (refusal.character < 0x7F || refusal.character >= 0xA0)) {
    AppendUtf8(units, shown);
    shown += ' ';
  }
  const auto hex = [](std::string_view bytes) {
    std::string text(codec::HexLength(bytes.size()), ' ');
    codec::WriteHex(bytes, text.data());
    return text;
  };
  return "starts bytes (" + hex(refusal.read) + ") that read as " + shown + "(" +
         CodePoint(refusal.character) + "), which " + page +
         (refusal.written.empty() ? " cannot write" : " writes as " + hex(refusal.written));
}

// Gathers bytes as they are read and hands them on in pieces that can be
// decoded on their own (WholeCharacters), or at the end of all. No buffer is
// sized by the whole text.
class Pieces {
 public:
  // hand(bytes, bytes before them)
  using Hand = std::function<void(std::string_view, std::size_t)>;

  Pieces(codec::CodePage cp, Hand hand) : cp_(cp), hand_(std::move(hand)) {}

  void Add(std::string_view bytes) {
    // Whole characters go on as they are, without a copy, when none wait.
    if (pending_.empty()) {
      const std::size_t whole = WholeCharacters(bytes, 0, cp_);
      if (whole != bytes.npos && whole > 0) {
        hand_(bytes.substr(0, whole), before_);
        before_ += whole;
        bytes.remove_prefix(whole);
      }
      pending_ = bytes;
      return;
    }
    const std::size_t old_size = pending_.size();
    pending_ += bytes;
    const std::size_t whole = WholeCharacters(pending_, old_size, cp_);
    if (whole != pending_.npos && whole > 0) HandOn(whole);
  }

  // The input is at its end: the rest goes.
  void End() {
    if (!pending_.empty()) HandOn(pending_.size());
  }

  // Bytes added so far.
  std::size_t count() const { return before_ + pending_.size(); }

 private:
  void HandOn(std::size_t end) {
    hand_(std::string_view(pending_).substr(0, end), before_);
    before_ += end;
    pending_.erase(0, end);
  }

  codec::CodePage cp_;
  Hand hand_;
  std::string pending_;  // bytes not yet handed on, from the start of a character
  std::size_t before_ = 0;
};

// Reads hex text leniently, a segment at a time, a piece of about
// kPieceBytes of hex text at a time (cut as HexCut cuts), one byte a group,
// into Pieces. Where given somewhere to note them, it also finds the groups
// read with characters left unread or without a digit.
class HexReader {
 public:
  explicit HexReader(Pieces& pieces, codec::UnreadGroups* unread = nullptr)
      : pieces_(pieces), unread_(unread) {}

  // False at a group above FF.
  bool Read(const Segment& segment) {
    if (segment.bytes) {
      // Canonical hex text: every group read whole, and its bytes known.
      for (std::string_view bytes = *segment.bytes; !bytes.empty();) {
        const std::size_t piece = std::min(bytes.size(), kPieceBytes / 3);
        pieces_.Add(bytes.substr(0, piece));
        bytes.remove_prefix(piece);
      }
      if (segment.last) pieces_.End();
      return true;
    }
    std::string_view body = Trimmed(segment);
    while (!body.empty()) {
      std::size_t cut = body.size();
      for (std::size_t at = kPieceBytes; at < body.size(); ++at) {
        at = body.find(' ', at);
        if (at == body.npos) break;
        if (body[at - 1] != ' ' && at + 1 < body.size() && body[at + 1] != ' ') {
          cut = at;
          break;
        }
      }
      const std::string_view piece = body.substr(0, cut);
      // At most a byte per character and one more, in a buffer used again.
      if (room_ < piece.size() + 1) {
        room_ = piece.size() + 1;
        bytes_ = std::make_unique_for_overwrite<char[]>(room_);
      }
      bool all_read = false;
      const auto read = codec::hex_reading::HexToBytesAt(piece, bytes_.get(), all_read);
      if (!read) {
        too_large_ = pieces_.count() + read.error().group;
        return false;
      }
      // Nothing to look for where every group was read whole.
      if (unread_ != nullptr && !all_read) {
        Note(codec::FindUnreadGroups(piece),
             segment.offset + static_cast<std::size_t>(piece.data() - segment.text.data()));
      }
      body.remove_prefix(std::min(body.size(), cut + 1));
      pieces_.Add({bytes_.get(), read.value()});
    }
    if (segment.last) pieces_.End();
    return true;
  }

  // The first group above FF (1-based), once Read() met it.
  std::optional<std::size_t> too_large() const { return too_large_; }

 private:
  // Adds what a piece at `offset` left unread, its groups counted in the whole.
  void Note(const codec::UnreadGroups& found, std::size_t offset) {
    const std::size_t groups = pieces_.count();
    const auto add = [&](std::size_t& count, codec::UnreadGroup& first, std::size_t n,
                         const codec::UnreadGroup& g) {
      if (n == 0) return;
      if (count == 0) first = {groups + g.group, offset + g.offset, g.length, offset + g.unread};
      count += n;
    };
    add(unread_->partly_read, unread_->first_partly_read, found.partly_read,
        found.first_partly_read);
    add(unread_->without_digit, unread_->first_without_digit, found.without_digit,
        found.first_without_digit);
  }

  Pieces& pieces_;
  codec::UnreadGroups* unread_;
  std::optional<std::size_t> too_large_;
  std::unique_ptr<char[]> bytes_;
  std::size_t room_ = 0;
};

// Reads hex text in any shape, a segment at a time (cut as TextCut cuts),
// into Pieces: the any-shape reading goes on from one segment to the next.
class AnyReader {
 public:
  explicit AnyReader(Pieces& pieces) : pieces_(pieces) {}

  // False where it cannot read.
  bool Read(const Segment& segment) {
    if (segment.first) start_ = segment.offset;
    bytes_.clear();
    error_ = reader_.Read(segment.text, segment.last, bytes_);
    if (error_) {
      error_->offset += start_;
      return false;
    }
    pieces_.Add(bytes_);
    if (segment.last) pieces_.End();
    return true;
  }

  // What it could not read, its offset in the input, once Read() met it.
  const std::optional<codec::ShapeError>& error() const { return error_; }

 private:
  Pieces& pieces_;
  codec::AnyShapeReader reader_;
  std::string bytes_;
  std::size_t start_ = 0;
  std::optional<codec::ShapeError> error_;
};

// Group n (1-based) of the hex text, as a message shows it; read again from
// the start, since its segment is long gone.
std::string ShownGroup(Input& input, std::size_t n) {
  std::string shown;
  std::size_t before = 0;  // groups in the segments already seen
  input.Pass(HexCut, [&](const Segment& segment) {
    const std::string_view body = Trimmed(segment);
    if (body.empty()) return true;
    const auto groups = static_cast<std::size_t>(std::count(body.begin(), body.end(), ' ')) + 1;
    if (before + groups < n) {
      before += groups;
      return true;
    }
    shown = ShowGroup(GroupOf(body, n - before));
    return false;
  });
  return shown;
}

// The input from offset on, length bytes, as a message shows it.
std::string ShownAt(Input& input, std::size_t offset, std::size_t length) {
  // A little more than is shown, so that ShowGroup knows to cut it short.
  return ShowGroup(input.Slice(offset, std::min(length, kMaxShownGroup + 4)));
}

// Writes text in the output's encoding a piece at a time, a surrogate pair
// kept together.
void WriteText(std::u16string_view text, Output& out) {
  for (std::size_t at = 0; at < text.size();) {
    std::size_t end = std::min(text.size(), at + kPieceBytes);
    if (end < text.size() && text[end - 1] >= 0xD800 && text[end - 1] <= 0xDBFF) ++end;
    const std::u16string_view piece = text.substr(at, end - at);
    switch (out.encoding()) {
      case TextEncoding::kUtf8:
        out.Wrote(WriteUtf8(piece, out.Room(3 * piece.size())));
        break;
      case TextEncoding::kUtf16Le: {
        char* to = out.Room(2 * piece.size());
        for (const char16_t unit : piece) {
          *to++ = static_cast<char>(unit & 0xFF);
          *to++ = static_cast<char>(unit >> 8);
        }
        out.Wrote(to);
        break;
      }
      case TextEncoding::kAnsi: {
        const codec::EncodedText encoded = codec::EncodeText(piece, codec::SystemCodePage());
        out.lost().Add(piece, encoded);
        out.Append(encoded.bytes);
        break;
      }
    }
    at = end;
  }
}

// Decoded bytes written as UTF-8 straight from the code page's tables, where
// the output is UTF-8 and every byte comes back when written again; false,
// with nothing written, where the piece must go the way of WriteText instead
// (bytes that do not come back, a code page without tables, a short piece).
bool WriteUtf8Directly(std::string_view bytes, codec::CodePage cp, Output& out) {
  if (out.encoding() != TextEncoding::kUtf8 || bytes.size() < codec::tables::kTablesFrom)
    return false;
  char* const end =
      codec::tables::DecodeComingBackToUtf8(bytes, cp, out.Room(3 * bytes.size() + 1));
  if (end == nullptr) return false;
  out.Wrote(end);
  return true;
}

// ---- Hex in other shapes, and what the lenient reading leaves unread -----

// "group 2 "4g"", and for an empty group what it is.
std::string NamedGroup(Input& input, const codec::UnreadGroup& g) {
  std::string named = "group " + std::to_string(g.group) + " " + ShownAt(input, g.offset, g.length);
  if (g.length == 0) named += " (two spaces in a row)";
  return named;
}

std::string NotReadPart(Input& input, const codec::UnreadGroup& g) {
  return ShownAt(input, g.unread, g.offset + g.length - g.unread);
}

// With --strict, the first group read only in part or without a digit.
Failure StrictFailure(Input& input, const codec::UnreadGroups& unread) {
  const bool partly = unread.partly_read != 0 &&
                      (unread.without_digit == 0 ||
                       unread.first_partly_read.group < unread.first_without_digit.group);
  if (partly) {
    return Failure{1, NamedGroup(input, unread.first_partly_read) + " was read only in part: " +
                          NotReadPart(input, unread.first_partly_read) +
                          " was not read (--strict)"};
  }
  return Failure{1, NamedGroup(input, unread.first_without_digit) + " has no hex digit (--strict)"};
}

// Without --strict, a warning for each kind, the kind met first first.
void WarnUnread(Input& input, const codec::UnreadGroups& unread, std::ostream& err) {
  std::string partly, without;
  if (const std::size_t n = unread.partly_read) {
    partly = n == 1 ? "1 group was read only in part; it is "
                    : std::to_string(n) + " groups were read only in part; the first is ";
    partly += NamedGroup(input, unread.first_partly_read) + ", of which " +
              NotReadPart(input, unread.first_partly_read) + " was not read";
  }
  if (const std::size_t n = unread.without_digit) {
    without = n == 1 ? "1 group has no hex digit and became 00; it is "
                     : std::to_string(n) + " groups have no hex digit and became 00; the first is ";
    without += NamedGroup(input, unread.first_without_digit);
  }
  if (!partly.empty() && !without.empty() &&
      unread.first_without_digit.group < unread.first_partly_read.group)
    std::swap(partly, without);
  for (const std::string& warning : {partly, without}) {
    if (!warning.empty()) err << "vantorel: " << warning << '\n';
  }
}

std::string_view Why(codec::ShapeError::Reason reason) {
  using Reason = codec::ShapeError::Reason;
  switch (reason) {
    case Reason::kNotDigit:
      return "its last character is no hex digit, separator or prefix";
    case Reason::kOddDigits:
      return "an odd number of digits, two to a byte";
    case Reason::kTooManyDigits:
      return "more than two digits with a prefix or suffix";
    case Reason::kNoDigits:
      return "a prefix or suffix without digits";
    case Reason::kNoGroup:
      return "a separator where a group belongs";
    case Reason::kNoSeparator:
      return "no separator after the suffix h";
    case Reason::kUnclosed:
      return "never closed";
    case Reason::kMisplaced:
      return "a bracket or quote that does not enclose the whole";
    case Reason::kAfterClose:
      break;
  }
  return "after the closing bracket or quote";
}

// After the lenient reading refused a group above FF: what decode --any
// reads the whole input as, if it reads it ("; decode --any reads it as 48 65
// 6C 6C 6F"), its first bytes only where there are many; else nothing.
std::string AnyShapeHint(Input& input) {
  constexpr std::size_t kShownBytes = 8;
  codec::AnyShapeReader reader;
  std::string bytes, first;
  std::size_t count = 0;
  bool read = true;
  input.Pass(TextCut, [&](const Segment& segment) {
    bytes.clear();
    if (reader.Read(segment.text, segment.last, bytes)) return read = false;
    count += bytes.size();
    first += std::string_view(bytes).substr(0, kShownBytes - std::min(kShownBytes, first.size()));
    return true;
  });
  if (!read) return {};
  std::string hex(codec::HexLength(first.size()), ' ');
  codec::WriteHex(first, hex.data());
  if (count > first.size()) hex += " ... (" + std::to_string(count) + " bytes)";
  return "; decode --any reads it as " + hex;
}

Failure ShapeFailure(Input& input, const codec::ShapeError& error) {
  return Failure{1, "cannot read " + ShownAt(input, error.offset, error.length) +
                        " at byte offset " + std::to_string(error.offset) + " (" +
                        std::string(Why(error.reason)) + ")"};
}

// ---------------------------------------------------------------------------

// All of the hex text is checked before anything is written, a piece at a
// time, and the text of each piece is held as it will be written, up to
// kHeldOutputBytes; all of it held, it is written once the input is found
// good. Beyond that the rest is only checked, and each piece is read and
// decoded again and written: decoding twice a piece that stays in the cache
// costs less than holding all of a large text, whose pages are new memory.
// Spaces, tabs and line breaks at both ends of the input are left out first.
std::optional<Failure> Decode(Input& input, std::string_view what, codec::CodePage cp, bool strict,
                              bool any, Output& out, std::ostream& err) {
  // Hex digits, spaces, tabs and line breaks are ASCII, and UTF-8 never uses
  // ASCII bytes inside a longer sequence: the hex text reads the same as bytes.
  input.Trim(" \t\r\n");
  const auto failure = [&](std::size_t group, const std::string& why) {
    return Failure{1,
                   "group " + std::to_string(group) + " " + ShownGroup(input, group) + " " + why};
  };
  // The lenient reading and the any-shape one, on the pieces it hands on.
  const auto pass = [&](Pieces& pieces, codec::UnreadGroups* unread, auto&& also) {
    if (any) {
      AnyReader reader(pieces);
      input.Pass(TextCut, [&](const Segment& segment) { return also(segment, reader); });
    } else {
      HexReader reader(pieces, unread);
      input.Pass(
          HexCut, [&](const Segment& segment) { return also(segment, reader); }, true);
    }
  };
  std::optional<std::size_t> lossy;  // the byte, 1-based
  unsigned lossy_value = 0;
  codec::CheckedText::Refusal refusal{};
  std::size_t pieces = 0;
  std::u16string only_text;  // of the first piece, kept while it is the only one
  codec::UnreadGroups unread;
  // Text in the ANSI code page is written as it is counted (what it lacks),
  // once: it is not held. Nor is the text of more than the hold's worth of
  // canonical hex text (a byte for every three characters, text of a byte at
  // least for each), which would not fit: the first pass only checks it.
  // Hex text of other shapes that would have fit is then read twice.
  const bool hold = out.encoding() != TextEncoding::kAnsi && input.size() / 3 <= kHeldOutputBytes;
  // A byte at most for every character of the input and a group at its end,
  // each written in three bytes at most.
  if (hold) out.StartHolding(std::min(kHeldOutputBytes, 3 * (input.size() + 1)));
  {
    Pieces check(cp, [&](std::string_view bytes, std::size_t before) {
      // After bytes that are not text, only a group above FF, which wins, matters.
      if (lossy) return;
      // Held text whose bytes all come back goes straight to UTF-8; the first
      // piece's text is still wanted if the output no longer holds it.
      if (hold && out.holds_all() && WriteUtf8Directly(bytes, cp, out)) {
        if (++pieces == 1 && !out.holds_all()) {
          only_text = codec::DecodeBytes(bytes, cp);
        } else if (pieces > 1) {
          std::u16string().swap(only_text);
        }
        return;
      }
      // Past the first piece, text that is not held is only checked here.
      const bool text_unwanted = pieces > 0 && !(hold && out.holds_all());
      codec::CheckedText checked = codec::DecodeBytes(
          bytes, cp, {.refuse_lossy_bytes = true, .text_unwanted = text_unwanted});
      if (checked.refused) {
        lossy = before + checked.refused->byte + 1;
        lossy_value = static_cast<unsigned char>(bytes[checked.refused->byte]);
        refusal = std::move(*checked.refused);
      }
      if (hold && !lossy && out.holds_all()) WriteText(checked.text, out);
      if (++pieces == 1) {
        only_text = std::move(checked.text);
      } else {
        std::u16string().swap(only_text);
      }
    });
    // Bad UTF-8 anywhere wins over any group: after a group above FF, or
    // what the any-shape reading cannot read, the rest is only checked for that.
    std::optional<Failure> not_utf8, refused;
    pass(check, &unread, [&](const Segment& segment, auto& reader) {
      if ((not_utf8 = CheckUtf8(segment, what))) return false;
      if (!refused && !reader.Read(segment)) {
        if constexpr (std::is_same_v<std::decay_t<decltype(reader)>, AnyReader>) {
          refused = ShapeFailure(input, *reader.error());
        } else {
          refused = failure(*reader.too_large(), "does not fit in a byte (00 to FF)");
        }
      }
      return true;
    });
    if (not_utf8) return not_utf8;
    // A group above FF: read in any shape, the input may be what was meant.
    if (refused && !any) refused->message += AnyShapeHint(input);
    if (refused) return refused;
  }
  // Zero bytes are fine here: UTF-8 output can hold them.
  if (lossy) {
    const std::string why = WhyNotText(refusal, cp);
    if (!any) return failure(*lossy, why);
    char value[8];
    std::snprintf(value, sizeof value, " (%02X) ", lossy_value);
    return Failure{1, "byte " + std::to_string(*lossy) + value + why};
  }
  if (strict && unread.any()) return StrictFailure(input, unread);

  if (hold && out.holds_all()) {
    // What was read is what is written; a file that changed since is still
    // refused, as it would be in a second pass.
    input.CheckStillUnchanged();
  } else {
    out.Drop();
    if (pieces == 1) {
      WriteText(only_text, out);
    } else {
      Pieces write(cp, [&](std::string_view bytes, std::size_t) {
        if (!WriteUtf8Directly(bytes, cp, out)) WriteText(codec::DecodeBytes(bytes, cp), out);
      });
      pass(write, nullptr,
           [](const Segment& segment, auto& reader) { return reader.Read(segment); });
    }
  }
  out.Finish();
  WarnUnread(input, unread, err);
  return std::nullopt;
}

// The options for hex in other shapes, as given.
struct ShapeOptions {
  bool strict = false, any = false;                          // decode's
  codec::HexStyle style;                                     // encode's
  std::optional<std::string_view> decode_only, encode_only;  // the first of each given
  std::optional<std::string_view> shape;
};

struct Command {
  enum class Kind { kRun, kHelp, kVersion } kind = Kind::kRun;
  std::string_view word;  // encode or decode
  std::optional<std::string_view> operand;
  codec::CodePage cp = codec::SystemCodePage();
  ShapeOptions shapes;
  std::optional<TextEncoding> text_encoding;
};

// --text-encoding ENC or --text-encoding=ENC, at args[i].
std::optional<Failure> TakeTextEncoding(std::span<const std::string_view> args, std::size_t& i,
                                        std::optional<TextEncoding>& encoding) {
  std::string_view name = args[i].substr(std::min(args[i].size(), std::size_t{16}));
  if (args[i] == "--text-encoding") {
    if (i + 1 == args.size())
      return Failure{2, "option --text-encoding needs an encoding: utf-8, utf-16le or ansi", true};
    name = args[++i];
  }
  static constexpr std::pair<std::string_view, TextEncoding> kEncodings[] = {
      {"utf-8", TextEncoding::kUtf8},
      {"utf-16le", TextEncoding::kUtf16Le},
      {"ansi", TextEncoding::kAnsi},
  };
  for (const auto& [known, value] : kEncodings) {
    if (known == name) {
      encoding = value;
      return std::nullopt;
    }
  }
  return Failure{2, "unknown text encoding " + Quoted(name) + " (utf-8, utf-16le or ansi)", true};
}

// Takes args[i] when it is an option for hex in other shapes, and the value
// after it; false when it is not one. A failure when its value is missing.
std::variant<bool, Failure> TakeShapeOption(std::span<const std::string_view> args, std::size_t& i,
                                            ShapeOptions& options) {
  const std::string_view arg = args[i];
  if (arg == "--strict" || arg == "--any") {
    (arg == "--strict" ? options.strict : options.any) = true;
    if (!options.decode_only) options.decode_only = arg;
  } else if (arg == "--lower" || arg == "--as" || arg.starts_with("--as=")) {
    if (arg == "--lower") {
      options.style.lower = true;
    } else if (arg != "--as") {
      options.shape = arg.substr(5);
    } else if (i + 1 < args.size()) {
      options.shape = args[++i];
    } else {
      return Failure{2, "option --as needs a shape: spaced, plain, 0x, c or escaped", true};
    }
    if (!options.encode_only) options.encode_only = arg.substr(0, arg.find('='));
  } else {
    return false;
  }
  return true;
}

// The options for hex in other shapes, once the command is known.
std::optional<Failure> CheckShapeOptions(std::string_view word, ShapeOptions& options) {
  const auto misplaced = word == "encode" ? options.decode_only : options.encode_only;
  if (misplaced) {
    return Failure{
        2, std::string(*misplaced) + " is for " + (word == "encode" ? "decode" : "encode"), true};
  }
  if (options.strict && options.any)
    return Failure{2, "--strict and --any do not go together: --any refuses what it cannot read",
                   true};
  if (!options.shape) return std::nullopt;
  static constexpr std::pair<std::string_view, codec::HexShape> kShapes[] = {
      {"spaced", codec::HexShape::kSpaced},   {"plain", codec::HexShape::kPlain},
      {"0x", codec::HexShape::k0x},           {"c", codec::HexShape::kC},
      {"escaped", codec::HexShape::kEscaped},
  };
  for (const auto& [name, shape] : kShapes) {
    if (name == *options.shape) {
      options.style.shape = shape;
      return std::nullopt;
    }
  }
  return Failure{
      2, "unknown shape " + Quoted(*options.shape) + " (spaced, plain, 0x, c or escaped)", true};
}

// Reads the arguments; a failure is a usage error or an unavailable code page.
std::variant<Command, Failure> Parse(std::span<const std::string_view> args) {
  Command command;
  std::vector<std::string_view> words;
  std::optional<std::string_view> code_page;
  bool options_done = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string_view arg = args[i];
    if (options_done || arg.size() < 2 || arg[0] != '-') {
      words.push_back(arg);
    } else if (arg == "--") {
      options_done = true;
    } else if (arg == "-h" || arg == "--help") {
      command.kind = Command::Kind::kHelp;
      return command;
    } else if (arg == "--version") {
      command.kind = Command::Kind::kVersion;
      return command;
    } else if (arg == "-c" || arg == "--code-page") {
      if (i + 1 == args.size())
        return Failure{2, "option " + std::string(arg) + " needs a code page", true};
      code_page = args[++i];
    } else if (arg.starts_with("--code-page=")) {
      code_page = arg.substr(12);
    } else if (arg.starts_with("-c")) {
      code_page = arg.substr(2);
    } else if (arg == "--text-encoding" || arg.starts_with("--text-encoding=")) {
      if (auto failure = TakeTextEncoding(args, i, command.text_encoding)) return *failure;
    } else {
      const auto shape_option = TakeShapeOption(args, i, command.shapes);
      if (const auto* failure = std::get_if<Failure>(&shape_option)) return *failure;
      if (!std::get<bool>(shape_option)) return Failure{2, "unknown option " + Quoted(arg), true};
    }
  }

  if (words.empty()) return Failure{2, "missing command: encode or decode", true};
  command.word = words[0];
  if (command.word != "encode" && command.word != "decode")
    return Failure{2, "unknown command " + Quoted(command.word) + " (encode or decode)", true};
  if (words.size() > 2) {
    return Failure{2,
                   std::string(command.word) + " takes one " +
                       (command.word == "encode" ? "TEXT" : "HEX") +
                       " argument; quote it if it holds spaces",
                   true};
  }
  if (words.size() == 2) command.operand = words[1];
  if (auto failure = CheckShapeOptions(command.word, command.shapes)) return *failure;

  if (code_page) {
    const auto cp = codec::CodePageByName(*code_page);
    if (!cp) {
      return Failure{2, "unknown code page " + Quoted(*code_page) +
                            ": give its number or one of these names: " + NamesList()};
    }
    command.cp = *cp;
  }
  if (!codec::IsCodePageAvailable(command.cp)) {
    std::string named;
    const auto all = codec::NamedCodePages();
    for (std::size_t i = 0; i < all.size(); ++i)
      named += (i == 0 ? "" : i + 1 == all.size() ? " and " : ", ") + std::to_string(all[i].cp);
    return Failure{
        2, "code page " + std::to_string(command.cp) + " is not available (" + named + " are)"};
  }
  return command;
}

int Report(const Failure& failure, std::ostream& err) {
  err << "vantorel: " << failure.message << '\n';
  if (failure.usage) err << Usage();
  return failure.status;
}

// Text that came as UTF-16, into held as UTF-8. A lone surrogate, which
// UTF-8 cannot carry, is refused.
std::optional<Failure> FromUtf16(std::u16string_view units, std::string& held) {
  for (std::size_t i = 0; i < units.size(); ++i) {
    const bool high = units[i] >= 0xD800 && units[i] <= 0xDBFF;
    if (high && i + 1 < units.size() && units[i + 1] >= 0xDC00 && units[i + 1] <= 0xDFFF) {
      ++i;
    } else if (high || (units[i] >= 0xDC00 && units[i] <= 0xDFFF)) {
      return Failure{1, "standard input is not UTF-16: a lone surrogate (" + CodePoint(units[i]) +
                            ") at byte offset " + std::to_string(2 * i)};
    }
  }
  AppendUtf8(units, held);
  return std::nullopt;
}

// Bytes of text in an encoding other than UTF-8, into held as UTF-8.
std::optional<Failure> FromBytes(std::string_view bytes, TextEncoding encoding, std::string& held) {
  if (encoding == TextEncoding::kUtf16Le) {
    if (bytes.size() % 2 != 0) {
      return Failure{1, "standard input is not UTF-16: an odd number of bytes (" +
                            std::to_string(bytes.size()) + ")"};
    }
    std::u16string units(bytes.size() / 2, u'\0');
    for (std::size_t i = 0; i < units.size(); ++i) {
      units[i] = static_cast<char16_t>(static_cast<unsigned char>(bytes[2 * i]) |
                                       static_cast<unsigned char>(bytes[2 * i + 1]) << 8);
    }
    return FromUtf16(units, held);
  }
  // The ANSI code page's bytes, which must come back as themselves.
  const codec::CodePage cp = codec::SystemCodePage();
  const codec::CheckedText checked = codec::DecodeBytes(bytes, cp, {.refuse_lossy_bytes = true});
  if (checked.refused) {
    return Failure{1, "byte offset " + std::to_string(checked.refused->byte) +
                          " of standard input " + WhyNotText(*checked.refused, cp)};
  }
  AppendUtf8(checked.text, held);
  return std::nullopt;
}

// Up to n bytes from in, fewer only at its end.
std::string ReadFirst(io::Input& in, std::size_t n) {
  std::string first(n, '\0');
  std::size_t filled = 0;
  for (std::size_t got = 1; filled < n && got > 0; filled += got)
    got = in.Read(first.data() + filled, n - filled);
  first.resize(filled);
  return first;
}

// All that in gives from here on, after text.
void ReadRest(io::Input& in, std::string& text) {
  for (std::size_t got = 1; got > 0;) {
    const std::size_t size = text.size();
    text.resize(std::max<std::size_t>(2 * size, std::size_t{1} << 16));
    got = in.Read(text.data() + size, text.size() - size);
    text.resize(size + got);
  }
}

// Standard input as the passes read it: UTF-8, from a regular file a window
// at a time, else whole in memory: decode's (where `hex` is given) as
// HeldHex holds it; encode's is instead taken as it comes by as_read, and
// input is left empty. `encoding` is the one given (for encode's input).
// Without one, a console gives characters; and where the system reads byte
// order marks, input that starts with FF FE is UTF-16 LE and a UTF-8 BOM is
// left out. Text in another encoding than UTF-8 is converted whole into held.
std::optional<Failure> OpenInput(io::Input& in, std::optional<TextEncoding> encoding,
                                 const std::function<void()>& between_passes, std::string& held,
                                 std::optional<HeldHex>* hex, EncodeAsRead* as_read,
                                 std::optional<Input>& input) {
  if (!encoding) {
    if (const std::optional<std::u16string> typed = in.ReadConsoleText()) {
      if (auto failure = FromUtf16(*typed, held)) return failure;
      input.emplace(held);
      return std::nullopt;
    }
  }
  const std::optional<std::uint64_t> length = in.FileLength();
  std::string start(3, '\0');
  if (length) {
    if (!encoding && io::kReadsByteOrderMarks) start.resize(in.ReadAt(0, start.data(), 3));
  } else if (hex != nullptr) {
    start.resize(hex->emplace(in).ReadAt(0, start.data(), 3));
  } else {
    start = ReadFirst(in, 3);
  }
  TextEncoding as = encoding.value_or(TextEncoding::kUtf8);
  std::size_t skip = 0;
  if (!encoding && io::kReadsByteOrderMarks) {
    if (start.starts_with("\xEF\xBB\xBF")) {
      skip = 3;
    } else if (start.starts_with("\xFF\xFE")) {
      as = TextEncoding::kUtf16Le;
      skip = 2;
    }
  }
  if (as == TextEncoding::kUtf8) {
    if (length) {
      input.emplace(in, skip, static_cast<std::size_t>(*length - skip), between_passes);
    } else if (hex != nullptr) {
      input.emplace(**hex, skip, (*hex)->size() - skip);
    } else {
      as_read->Add(std::string_view(start).substr(std::min(skip, start.size())));
      while (as_read->ReadFrom(in)) {
      }
    }
    return std::nullopt;
  }
  std::string bytes;
  if (length || hex != nullptr) {
    bytes.resize(length ? static_cast<std::size_t>(*length) : (*hex)->size());
    bytes.resize(length ? in.ReadAt(0, bytes.data(), bytes.size())
                        : (*hex)->ReadAt(0, bytes.data(), bytes.size()));
  } else {
    bytes = std::move(start);
    ReadRest(in, bytes);
  }
  if (auto failure = FromBytes(std::string_view(bytes).substr(skip), as, held)) return failure;
  input.emplace(held);
  return std::nullopt;
}

int Run(std::span<const std::string_view> args, io::Input& in, Output& out, std::ostream& err,
        const std::function<void()>& between_passes) {
  const auto parsed = Parse(args);
  if (const auto* failure = std::get_if<Failure>(&parsed)) return Report(*failure, err);
  const Command& command = std::get<Command>(parsed);

  try {
    std::optional<Failure> failure;
    switch (command.kind) {
      case Command::Kind::kHelp:
        out.Append(Help());
        out.Finish();
        break;
      case Command::Kind::kVersion:
        out.Append("vantorel " VANTOREL_VERSION_TEXT "\n");
        out.Finish();
        break;
      case Command::Kind::kRun: {
        const bool encode = command.word == "encode";
        if (!encode) out.SetTextEncoding(command.text_encoding);
        std::string held;  // standard input, converted to UTF-8
        std::optional<HeldHex> held_hex;
        std::optional<Input> input;
        std::string_view what;
        EncodeAsRead as_read("standard input", command.cp, command.shapes.style);
        if (command.operand) {
          input.emplace(*command.operand);
          what = encode ? "the TEXT argument" : "the HEX argument";
        } else {
          failure =
              OpenInput(in, encode ? command.text_encoding : std::nullopt, between_passes, held,
                        encode ? nullptr : &held_hex, encode ? &as_read : nullptr, input);
          what = "standard input";
        }
        if (!failure && !input) {
          failure = as_read.Finish(out, err);
        } else if (!failure) {
          failure = encode ? Encode(*input, what, command.cp, command.shapes.style, out, err)
                           : Decode(*input, what, command.cp, command.shapes.strict,
                                    command.shapes.any, out, err);
        }
        if (!failure) out.lost().Warn(codec::SystemCodePage(), err);
        break;
      }
    }
    if (failure) return Report(*failure, err);
  } catch (const io::WriteFailure& e) {
    return Report(Failure{1, "cannot write to standard output" + e.reason}, err);
  } catch (const InputChanged&) {
    return Report(Failure{1, "standard input changed while it was read"}, err);
  } catch (const io::ReadFailure& e) {
    return Report(Failure{1, "cannot read standard input: " + e.reason}, err);
  } catch (const std::exception& e) {
    return Report(Failure{1, std::string("internal error: ") + e.what()}, err);
  }
  return 0;
}

// A stream, read whole: what the tests give in-process.
class StreamInput final : public io::Input {
 public:
  explicit StreamInput(std::istream& in) : in_(in) {}
  std::optional<std::uint64_t> FileLength() override { return std::nullopt; }
  std::size_t ReadAt(std::uint64_t, char*, std::size_t) override { return 0; }
  bool Unchanged() override { return true; }
  std::optional<std::u16string> ReadConsoleText() override { return std::nullopt; }
  std::size_t Read(char* to, std::size_t n) override {
    const std::streamsize got = in_.rdbuf()->sgetn(to, static_cast<std::streamsize>(n));
    return got > 0 ? static_cast<std::size_t>(got) : 0;
  }

 private:
  std::istream& in_;
};

class StreamOutput final : public io::Output {
 public:
  explicit StreamOutput(std::ostream& out) : out_(out) {}
  void Write(std::string_view bytes, bool) override {
    if (!out_.write(bytes.data(), static_cast<std::streamsize>(bytes.size())).flush())
      throw io::WriteFailure{};
  }

 private:
  std::ostream& out_;
};

}  // namespace

int RunCli(std::span<const std::string_view> args, std::istream& in, std::ostream& out,
           std::ostream& err) {
  StreamInput input(in);
  StreamOutput output(out);
  return RunCli(args, input, output, err);
}

int RunCli(std::span<const std::string_view> args, io::Input& in, io::Output& out,
           std::ostream& err, const std::function<void()>& between_passes) {
  Output output(out);
  return Run(args, in, output, err, between_passes);
}

}  // namespace vantorel
