#include "cli/cli.hpp"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <functional>
#include <istream>
#include <memory>
#include <new>
#include <optional>
#include <ostream>
#include <string>
#include <type_traits>
#include <utility>
#include <variant>
#include <vector>

#include "cli/utf8.hpp"
#include "codec/codec.hpp"
#include "resources/version.h"

namespace vantorel {
namespace {

namespace codec = 字符串加密;

constexpr std::string_view kUsage =
    "usage: vantorel [-c CODEPAGE] encode [--as SHAPE] [--lower] [TEXT]\n"
    "       vantorel [-c CODEPAGE] decode [--strict | --any] [HEX]\n";

constexpr std::string_view kHelp =
    R"(usage: vantorel [-c CODEPAGE] encode [--as SHAPE] [--lower] [TEXT]
       vantorel [-c CODEPAGE] decode [--strict | --any] [HEX]

Writes text as hex text and back: the bytes of the text in a code page, two
upper-case hex digits each, single spaces between (中 is D6 D0 in code page 936).

  encode [TEXT]  the hex text of TEXT, or of all of standard input, read as
                 UTF-8, then one newline. Characters the code page lacks
                 become 3F; standard error says how many and where.
  decode [HEX]   the text that HEX, or all of standard input, spells in the
                 code page, written as UTF-8 with nothing added (zero bytes
                 included). Spaces, tabs and line breaks at both ends are
                 ignored and every space ends a group; a group's digits, of
                 either case, are read from its start (tabs and line breaks
                 are skipped) up to the first other character, and a group
                 without digits is 00. Standard error says how many groups
                 had characters left unread, or no digit, and which first.

options, before or after the command word:
  -c, --code-page CODEPAGE  the code page, 936 (GBK) unless given: its number
                            or one of these names, of either case,
@NAMES@
                            or the number of another the system provides
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

constexpr codec::CodePage kDefaultCodePage = 936;

// The help, with the code pages' names where kHelp says @NAMES@: a line each,
// under the options' descriptions.
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
  return help.replace(help.find("@NAMES@\n"), 8, names);
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
constexpr std::size_t kPieceBytes = std::size_t{1} << 20;

// Standard output leaves in blocks of at least this many bytes (the last one
// may be shorter), from one buffer used again for every block.
constexpr std::size_t kOutputBytes = std::size_t{1} << 20;

// Input is worked on in segments of about this many bytes (more only where
// none of that length can be cut off), a regular file read a window of that
// size at a time.
constexpr std::size_t kWindowBytes = std::size_t{2} << 20;

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

std::size_t CodePointsIn(std::u16string_view units) {
  std::size_t low_surrogates = 0;
  for (const char16_t u : units) low_surrogates += (u >= 0xDC00 && u <= 0xDFFF);
  return units.size() - low_surrogates;
}

char32_t CodePointAt(std::u16string_view units, std::size_t i) {
  const char16_t u = units[i];
  if (u >= 0xD800 && u <= 0xDBFF && i + 1 < units.size())
    return 0x10000 + ((char32_t{u} - 0xD800) << 10) + (char32_t{units[i + 1]} - 0xDC00);
  return u;
}

// All of an input stream in one block. The block grows with realloc, which
// moves a large block by remapping its pages rather than copying them, and
// nothing is written into room not yet filled: reading n bytes from a pipe
// needs n bytes of memory, not the 3n that doubling a string can take.
class InputBlock {
 public:
  void ReadAll(std::istream& in) {
    std::streambuf* const buf = in.rdbuf();
    // For a regular file this is what is left of it: one block, one read.
    const std::streamsize known = buf->in_avail();
    std::size_t capacity = std::max<std::size_t>(
        std::size_t{1} << 16, known > 0 ? static_cast<std::size_t>(known) + 1 : 0);
    Grow(capacity);
    for (;;) {
      if (size_ == capacity) Grow(capacity *= 2);
      const std::streamsize got =
          buf->sgetn(data_.get() + size_, static_cast<std::streamsize>(capacity - size_));
      if (got <= 0) break;
      size_ += static_cast<std::size_t>(got);
    }
  }

  std::string_view view() const { return {data_.get(), size_}; }

 private:
  struct Free {
    void operator()(char* p) const { std::free(p); }
  };

  void Grow(std::size_t capacity) {
    char* const grown = static_cast<char*>(std::realloc(data_.get(), capacity));
    if (grown == nullptr) throw std::bad_alloc();
    data_.release();
    data_.reset(grown);
  }

  std::unique_ptr<char, Free> data_;
  std::size_t size_ = 0;
};

std::string ErrnoText(int error) { return std::strerror(error); }

// Standard input could not be read; why.
struct ReadFailure {
  int error;
};

// A regular file read again for a later pass is no longer what the first
// pass read.
struct InputChanged {};

// All of what a descriptor that is not a regular file (a pipe, a terminal)
// holds, read into anonymous memory reserved up front and filled in order, in
// huge pages where the kernel gives them: each first touch of a page is a
// fault, and one fault for 2 MiB costs far less than 512 for 4 KiB each.
class WholeInput {
 public:
  WholeInput() = default;
  WholeInput(const WholeInput&) = delete;
  WholeInput& operator=(const WholeInput&) = delete;
  ~WholeInput() {
    if (base_ != nullptr) munmap(base_, length_);
  }

  // False, with errno set, when the descriptor cannot be read.
  bool ReadAll(int fd) {
    // As much as the system lets a mapping hold without counting it against
    // memory, and far more than any input: the pages only come when used.
    bool reserved = false;
    for (std::size_t length = std::size_t{64} << 30; !reserved && length >= kHugePage; length /= 4)
      reserved = Reserve(length);
    if (!reserved) return false;
    for (;;) {
      if (size_ == capacity_ && !Enlarge()) return false;
      const ssize_t got = read(fd, buffer_ + size_, std::min(capacity_ - size_, kMaxRead));
      if (got == 0) break;
      if (got < 0) {
        if (errno == EINTR) continue;
        return false;
      }
      size_ += static_cast<std::size_t>(got);
    }
    return true;
  }

  std::string_view view() const { return {buffer_, size_}; }

 private:
  static constexpr std::size_t kHugePage = std::size_t{2} << 20;
  static constexpr std::size_t kMaxRead = std::size_t{1} << 30;

  // Address space only: no page is given until it is written.
  bool Reserve(std::size_t length) {
    void* const base = mmap(nullptr, length + kHugePage, PROT_READ | PROT_WRITE,
                            MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    if (base == MAP_FAILED) return false;
    base_ = base;
    length_ = length + kHugePage;
    // Start on a huge page's edge, so that every huge page can be one.
    const auto address = reinterpret_cast<std::uintptr_t>(base);
    buffer_ = static_cast<char*>(base) + (kHugePage - address % kHugePage) % kHugePage;
    capacity_ = length;
    madvise(base, length_, MADV_HUGEPAGE);
    return true;
  }

  // Moves the pages to a larger range when the reserved one is full.
  bool Enlarge() {
    const std::size_t offset = static_cast<std::size_t>(buffer_ - static_cast<char*>(base_));
    const std::size_t length = 2 * length_;
    void* const base = mremap(base_, length_, length, MREMAP_MAYMOVE);
    if (base == MAP_FAILED) return false;
    base_ = base;
    buffer_ = static_cast<char*>(base) + offset;
    capacity_ += length - length_;
    length_ = length;
    madvise(base, length_, MADV_HUGEPAGE);
    return true;
  }

  void* base_ = nullptr;  // the mapping, to unmap
  std::size_t length_ = 0;
  char* buffer_ = nullptr;  // where read input goes
  std::size_t capacity_ = 0;
  std::size_t size_ = 0;
};

// Part of the input, as a pass over it sees it.
struct Segment {
  std::string_view text;
  std::size_t offset;  // in the input
  bool first, last;
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
// in memory is cut where it lies; a regular file is read with pread(2) into
// one window used again for every segment, so that what the process holds
// does not grow with the file. (Mapping the file instead costs a fault for
// every few pages in every pass, and more time than copying them.) Before
// each pass after the first, the file must still have the size and the
// modification time it had before the first, or what was checked is not what
// would be written: the pass throws InputChanged.
class Input {
 public:
  explicit Input(std::string_view text) : text_(text) {}
  // The `length` bytes of a regular file from `start` on; `read` is the
  // file's state before the first pass.
  Input(int fd, off_t start, std::size_t length, const struct stat& read,
        const std::function<void()>& between_passes)
      : fd_(fd), start_(start), length_(length), read_(read), between_passes_(between_passes) {}

  // Hands each segment in order to each, until it returns false.
  template <typename Each>
  void Pass(CutRule cut, const Each& each) {
    if (fd_ >= 0 && passes_++ > 0) CheckUnchanged();
    std::size_t size = kWindowBytes;
    for (std::size_t offset = 0;;) {
      const std::string_view window = Window(offset, size);
      const bool last = window.size() < size;
      const Cut at = last ? Cut{window.size(), window.size()} : cut(window);
      if (!last && at.end == 0) {
        size *= 2;
        continue;
      }
      const Segment segment{window.substr(0, at.end), skipped_ + offset, offset == 0, last};
      if (!each(segment) || last) return;
      offset += at.next;
    }
  }

  // Leaves out the bytes in `chars` at both ends of the input. Offsets still
  // count from its first byte.
  void Trim(std::string_view chars) {
    if (fd_ < 0) {
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
    start_ += static_cast<off_t>(first);
    length_ -= first;
    skipped_ = first;
  }

  // Up to `length` bytes from `offset`, counted as segments count it.
  std::string Slice(std::size_t offset, std::size_t length) {
    offset -= std::min(offset, skipped_);
    if (fd_ < 0) return std::string(text_.substr(std::min(offset, text_.size()), length));
    std::string slice(std::min(length, length_ - std::min(offset, length_)), '\0');
    slice.resize(Read(offset, slice.data(), slice.size()));
    return slice;
  }

 private:
  // Up to size bytes from offset on, short only at the end of the input.
  std::string_view Window(std::size_t offset, std::size_t size) {
    if (fd_ < 0) return text_.substr(std::min(offset, text_.size()), size);
    if (capacity_ < size) {
      window_ = std::make_unique_for_overwrite<char[]>(size);
      capacity_ = size;
    }
    return {window_.get(),
            Read(offset, window_.get(), std::min(size, length_ - std::min(offset, length_)))};
  }

  // Reads up to n bytes of the file from offset on; how many it read.
  std::size_t Read(std::size_t offset, char* to, std::size_t n) {
    std::size_t filled = 0;
    while (filled < n) {
      const ssize_t got =
          pread(fd_, to + filled, n - filled, start_ + static_cast<off_t>(offset + filled));
      if (got == 0) break;
      if (got < 0) {
        if (errno == EINTR) continue;
        throw ReadFailure{errno};
      }
      filled += static_cast<std::size_t>(got);
    }
    return filled;
  }

  void CheckUnchanged() const {
    if (between_passes_) between_passes_();
    struct stat now {};
    if (fstat(fd_, &now) != 0) throw ReadFailure{errno};
    if (now.st_size != read_.st_size || now.st_mtim.tv_sec != read_.st_mtim.tv_sec ||
        now.st_mtim.tv_nsec != read_.st_mtim.tv_nsec) {
      throw InputChanged{};
    }
  }

  std::string_view text_;
  int fd_ = -1;
  off_t start_ = 0;
  std::size_t length_ = 0;
  std::size_t skipped_ = 0;  // bytes trimmed at the start
  struct stat read_ {};
  std::function<void()> between_passes_;
  int passes_ = 0;
  std::unique_ptr<char[]> window_;
  std::size_t capacity_ = 0;
};

// Standard output failed; what the message adds after "cannot write to
// standard output", if anything.
struct WriteFailure {
  std::string reason;
};

// Standard output: what is converted gathers in one buffer, which leaves in
// blocks of about kOutputBytes and is then used again.
class Output {
 public:
  explicit Output(std::ostream& stream) : stream_(&stream) {}
  explicit Output(int fd) : fd_(fd) {}

  // Room for n bytes; write them, then call Wrote() with their end.
  char* Room(std::size_t n) {
    if (capacity_ - size_ < n) {
      Flush();
      if (capacity_ < n) {
        capacity_ = std::max(n, kOutputBytes + 3 * kPieceBytes);
        data_ = std::make_unique_for_overwrite<char[]>(capacity_);
      }
    }
    return data_.get() + size_;
  }
  void Wrote(const char* end) {
    size_ = static_cast<std::size_t>(end - data_.get());
    if (size_ >= kOutputBytes) Flush();
  }
  void Append(std::string_view s) { Wrote(std::copy(s.begin(), s.end(), Room(s.size()))); }

  void Flush() {
    if (stream_ != nullptr) {
      stream_->write(data_.get(), static_cast<std::streamsize>(size_));
      if (!*stream_) throw WriteFailure{};
    } else {
      for (std::size_t at = 0; at < size_;) {
        const ssize_t wrote = write(fd_, data_.get() + at, size_ - at);
        if (wrote < 0 && errno == EINTR) continue;
        if (wrote <= 0) throw WriteFailure{": " + ErrnoText(wrote < 0 ? errno : EIO)};
        at += static_cast<std::size_t>(wrote);
      }
    }
    size_ = 0;
  }

  // Everything written and handed on.
  void Finish() {
    Flush();
    if (stream_ != nullptr && !stream_->flush()) throw WriteFailure{};
  }

 private:
  std::ostream* stream_ = nullptr;
  int fd_ = -1;
  std::unique_ptr<char[]> data_;
  std::size_t size_ = 0;
  std::size_t capacity_ = 0;
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

std::optional<Failure> Encode(Input& input, std::string_view what, codec::CodePage cp,
                              codec::HexStyle style, Output& out, std::ostream& err) {
  std::optional<Failure> not_utf8;
  input.Pass(TextCut,
             [&](const Segment& segment) { return !(not_utf8 = CheckUtf8(segment, what)); });
  if (not_utf8) return not_utf8;

  std::u16string units;
  bool wrote_any = false;
  std::size_t characters_before = 0;  // in the pieces already done
  std::size_t unmappable = 0;
  std::size_t first_position = 0;  // 1-based, in characters
  char32_t first_character = 0;
  const codec::HexFrame frame = codec::FrameOf(style.shape);
  out.Append(frame.open);
  input.Pass(TextCut, [&](const Segment& segment) {
    for (std::string_view text = segment.text; !text.empty();) {
      const std::size_t piece = CharacterBoundary(text, kPieceBytes);
      units.clear();
      AppendUtf16(text.substr(0, piece), units);  // valid: checked above
      text.remove_prefix(piece);

      const codec::EncodedText encoded = codec::EncodeText(units, cp);
      if (encoded.unmappable != 0 && unmappable == 0) {
        first_position =
            characters_before +
            CodePointsIn(std::u16string_view(units).substr(0, encoded.first_unmappable)) + 1;
        first_character = CodePointAt(units, encoded.first_unmappable);
      }
      unmappable += encoded.unmappable;
      characters_before += CodePointsIn(units);

      if (encoded.bytes.empty()) continue;
      // What stands between groups joins this piece's groups to the previous piece's.
      const std::string_view lead = wrote_any ? frame.between : "";
      const std::size_t length = codec::GroupsLength(encoded.bytes.size(), style);
      char* const hex = std::copy(lead.begin(), lead.end(), out.Room(lead.size() + length));
      codec::WriteGroups(encoded.bytes, style, hex);
      out.Wrote(hex + length);
      wrote_any = true;
    }
    return true;
  });
  out.Append(frame.close);
  out.Append("\n");
  out.Finish();

  if (unmappable == 1) {
    err << "vantorel: 1 character is not in code page " << cp << " and became 3F; it is character "
        << first_position << " (" << CodePoint(first_character) << ")\n";
  } else if (unmappable > 1) {
    err << "vantorel: " << unmappable << " characters are not in code page " << cp
        << " and became 3F; the first is character " << first_position << " ("
        << CodePoint(first_character) << ")\n";
  }
  return std::nullopt;
}

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
      const auto bytes = codec::HexToBytes(piece);
      if (!bytes) {
        too_large_ = pieces_.count() + bytes.error().group;
        return false;
      }
      if (unread_ != nullptr) {
        Note(codec::FindUnreadGroups(piece),
             segment.offset + static_cast<std::size_t>(piece.data() - segment.text.data()));
      }
      body.remove_prefix(std::min(body.size(), cut + 1));
      pieces_.Add(bytes.value());
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

// Writes text as UTF-8 a piece at a time, a surrogate pair kept together.
void WriteText(std::u16string_view text, Output& out) {
  for (std::size_t at = 0; at < text.size();) {
    std::size_t end = std::min(text.size(), at + kPieceBytes);
    if (end < text.size() && text[end - 1] >= 0xD800 && text[end - 1] <= 0xDBFF) ++end;
    out.Wrote(WriteUtf8(text.substr(at, end - at), out.Room(3 * (end - at))));
    at = end;
  }
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
// time; then each piece is read and decoded again and written. Decoding
// twice a piece that stays in the cache costs less than holding the whole
// text, whose pages are new memory. Spaces, tabs and line breaks at both ends
// of the input are left out first.
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
      input.Pass(HexCut, [&](const Segment& segment) { return also(segment, reader); });
    }
  };
  std::optional<std::size_t> lossy;  // the byte, 1-based
  unsigned lossy_value = 0;
  codec::CheckedText::Refusal refusal{};
  std::size_t pieces = 0;
  std::u16string only_text;  // of the first piece, kept while it is the only one
  codec::UnreadGroups unread;
  {
    Pieces check(cp, [&](std::string_view bytes, std::size_t before) {
      // After bytes that are not text, only a group above FF, which wins, matters.
      if (lossy) return;
      codec::CheckedText checked = codec::DecodeBytes(bytes, cp, {.refuse_lossy_bytes = true});
      if (checked.refused) {
        lossy = before + checked.refused->byte + 1;
        lossy_value = static_cast<unsigned char>(bytes[checked.refused->byte]);
        refusal = std::move(*checked.refused);
      }
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

  if (pieces == 1) {
    WriteText(only_text, out);
  } else {
    Pieces write(cp, [&](std::string_view bytes, std::size_t) {
      WriteText(codec::DecodeBytes(bytes, cp), out);
    });
    pass(write, nullptr, [](const Segment& segment, auto& reader) { return reader.Read(segment); });
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
  codec::CodePage cp = kDefaultCodePage;
  ShapeOptions shapes;
};

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
  if (failure.usage) err << kUsage;
  return failure.status;
}

// Reads standard input, or gets ready to; a failure to is reported as such.
using ReadInput = std::function<std::optional<Failure>(std::optional<Input>&)>;

int Run(std::span<const std::string_view> args, const ReadInput& read_input, Output& out,
        std::ostream& err) {
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
        std::optional<Input> input;
        std::string_view what;
        if (command.operand) {
          input.emplace(*command.operand);
          what = encode ? "the TEXT argument" : "the HEX argument";
        } else {
          failure = read_input(input);
          what = "standard input";
        }
        if (!failure) {
          failure = encode ? Encode(*input, what, command.cp, command.shapes.style, out, err)
                           : Decode(*input, what, command.cp, command.shapes.strict,
                                    command.shapes.any, out, err);
        }
        break;
      }
    }
    if (failure) return Report(*failure, err);
  } catch (const WriteFailure& e) {
    return Report(Failure{1, "cannot write to standard output" + e.reason}, err);
  } catch (const InputChanged&) {
    return Report(Failure{1, "standard input changed while it was read"}, err);
  } catch (const ReadFailure& e) {
    return Report(Failure{1, "cannot read standard input: " + ErrnoText(e.error)}, err);
  } catch (const std::exception& e) {
    return Report(Failure{1, std::string("internal error: ") + e.what()}, err);
  }
  return 0;
}

}  // namespace

int RunCli(std::span<const std::string_view> args, std::istream& in, std::ostream& out,
           std::ostream& err) {
  InputBlock block;
  Output output(out);
  return Run(
      args,
      [&](std::optional<Input>& input) -> std::optional<Failure> {
        block.ReadAll(in);
        input.emplace(block.view());
        return std::nullopt;
      },
      output, err);
}

int RunCli(std::span<const std::string_view> args, int in, int out, std::ostream& err,
           const std::function<void()>& between_passes) {
  WholeInput whole;
  Output output(out);
  return Run(
      args,
      [&](std::optional<Input>& input) -> std::optional<Failure> {
        // A regular file is read from where its offset stands, a window at a
        // time, in every pass.
        struct stat st {};
        if (fstat(in, &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0) {
          const off_t start = std::clamp<off_t>(lseek(in, 0, SEEK_CUR), 0, st.st_size);
          input.emplace(in, start, static_cast<std::size_t>(st.st_size - start), st,
                        between_passes);
          return std::nullopt;
        }
        if (!whole.ReadAll(in))
          return Failure{1, "cannot read standard input: " + ErrnoText(errno)};
        input.emplace(whole.view());
        return std::nullopt;
      },
      output, err);
}

}  // namespace vantorel
