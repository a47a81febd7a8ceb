#include "cli.hpp"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <istream>
#include <memory>
#include <new>
#include <optional>
#include <ostream>
#include <string>
#include <variant>
#include <vector>

#include "codec.hpp"
#include "utf8.hpp"
#include "version.h"

namespace vantorel {
namespace {

namespace codec = 字符串加密;

constexpr std::string_view kUsage = "usage: vantorel [-c CODEPAGE] encode [TEXT] | decode [HEX]\n";

constexpr std::string_view kHelp =
    R"(usage: vantorel [-c CODEPAGE] encode [TEXT] | decode [HEX]

Writes text as hex text and back: the bytes of the text in a code page, two
upper-case hex digits each, single spaces between (中 is D6 D0 in code page 936).

  encode [TEXT]  the hex text of TEXT, or of all of standard input, read as
                 UTF-8, then one newline. Characters the code page lacks
                 become 3F; standard error says how many and where.
  decode [HEX]   the text that HEX, or all of standard input, spells in the
                 code page, written as UTF-8 with nothing added (zero bytes
                 included). Spaces at both ends are ignored and every space
                 ends a group; a group's digits, of either case, are read from
                 its start (tabs and line breaks are skipped) up to the first
                 other character, and a group without digits is 00.

options, before or after the command word:
  -c, --code-page CODEPAGE  936 (the default), 54936, 950, 932, 949, 1252,
                            65001 (UTF-8) or another the system provides
  -h, --help                this help
      --version             the version
  --                        the rest is TEXT or HEX, even when it starts with -

exit status: 0 done; 1 bad input (a message on standard error and nothing on
standard output); 2 usage error or unavailable code page.
)";

constexpr codec::CodePage kDefaultCodePage = 936;

// Input is converted and written in pieces of about this many bytes, so a
// large input needs little memory beyond itself.
constexpr std::size_t kPieceBytes = std::size_t{1} << 20;

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

std::optional<Failure> CheckUtf8(std::string_view input, std::string_view what) {
  const auto error = FindInvalidUtf8(input);
  if (!error) return std::nullopt;
  return Failure{1, std::string(what) + " is not UTF-8: " + std::string(Describe(error->kind)) +
                        " at byte offset " + std::to_string(error->offset)};
}

std::optional<Failure> Encode(std::string_view text, std::string_view what, codec::CodePage cp,
                              std::ostream& out, std::ostream& err) {
  if (auto failure = CheckUtf8(text, what)) return failure;

  std::u16string units;
  std::string hex;
  bool wrote_any = false;
  std::size_t characters_before = 0;  // in the pieces already done
  std::size_t unmappable = 0;
  std::size_t first_position = 0;  // 1-based, in characters
  char32_t first_character = 0;
  while (!text.empty()) {
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
    // A space joins this piece's groups to the previous piece's.
    const std::size_t lead = wrote_any ? 1 : 0;
    hex.resize(lead + codec::HexLength(encoded.bytes.size()));
    if (lead) hex[0] = ' ';
    codec::WriteHex(encoded.bytes, hex.data() + lead);
    out.write(hex.data(), static_cast<std::streamsize>(hex.size()));
    wrote_any = true;
  }
  out.put('\n');

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

// Reads hex text into bytes a piece of about kPieceBytes at a time, so that
// no buffer is sized by the whole hex text, and returns the first group above
// FF (1-based), if any. Pieces are cut at a space with no space on either
// side: each piece then starts and ends with its first and last group as
// they stand in the whole text, and reads exactly as it does there (an outer
// space would be trimmed, and the empty group beside it lost).
std::optional<std::size_t> ReadHex(std::string_view hex, std::string& bytes) {
  const std::size_t first = hex.find_first_not_of(' ');
  if (first == hex.npos) return std::nullopt;
  std::string_view body = hex.substr(first, hex.find_last_not_of(' ') - first + 1);
  // Canonical hex text has a third as many groups as characters.
  bytes.reserve(body.size() / 3 + 1);
  std::size_t groups_before = 0;
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
    auto piece = codec::HexToBytes(body.substr(0, cut));
    if (!piece) return groups_before + piece.error().group;
    groups_before += piece.value().size();
    bytes += piece.value();
    body.remove_prefix(std::min(body.size(), cut + 1));
  }
  return std::nullopt;
}

// Code pages whose converters keep no state and in which a byte below 0x30
// is always a character of its own, never part of a longer one (trail bytes
// start at 0x40, GB18030's digit bytes at 0x30, UTF-8's at 0x80): bytes in
// them can be cut after any such byte, and each part decodes, and fails to,
// exactly as it does within the whole.
bool CutsAfterLowBytes(codec::CodePage cp) {
  switch (cp) {
    case 936:
    case 54936:
    case 950:
    case 932:
    case 949:
    case 1252:
    case 65001:
      return true;
    default:
      return false;
  }
}

// The length of the next piece of bytes to decode: up to the last byte below
// 0x30 within kPieceBytes, or past them to the first one, or all.
std::size_t NextPiece(std::string_view bytes) {
  if (bytes.size() <= kPieceBytes) return bytes.size();
  const auto low = [&](std::size_t i) { return static_cast<unsigned char>(bytes[i]) < 0x30; };
  for (std::size_t end = kPieceBytes; end > 0; --end)
    if (low(end - 1)) return end;
  for (std::size_t i = kPieceBytes; i < bytes.size(); ++i)
    if (low(i)) return i + 1;
  return bytes.size();
}

std::optional<Failure> Decode(std::string_view hex, std::string_view what, codec::CodePage cp,
                              std::ostream& out) {
  if (auto failure = CheckUtf8(hex, what)) return failure;

  // Hex digits, spaces, tabs and line breaks are ASCII, and UTF-8 never uses
  // ASCII bytes inside a longer sequence: the hex text reads the same as bytes.
  std::string bytes;
  if (const auto error = ReadHex(hex, bytes)) {
    return Failure{1, "group " + std::to_string(*error) + " " + ShowGroup(GroupOf(hex, *error)) +
                          " does not fit in a byte (00 to FF)"};
  }
  // Zero bytes are fine here: UTF-8 output can hold them.
  const auto not_text = [&](std::size_t group) {
    return Failure{1, "group " + std::to_string(group) + " " + ShowGroup(GroupOf(hex, group)) +
                          " starts bytes that are not text in code page " + std::to_string(cp)};
  };
  std::string utf8;
  const auto write = [&](std::u16string_view text) {
    utf8.clear();
    AppendUtf8(text, utf8);
    out.write(utf8.data(), static_cast<std::streamsize>(utf8.size()));
  };

  const std::string_view all = bytes;
  if (!CutsAfterLowBytes(cp) || NextPiece(all) == all.size()) {
    // One piece: decoded once, checked on the way, written in pieces.
    codec::CheckedText checked = codec::DecodeChecked(all, cp);
    if (const auto lossy = checked.check.lossy_group) return not_text(*lossy);
    std::string().swap(bytes);
    const std::u16string_view text = checked.text;
    for (std::size_t at = 0; at < text.size();) {
      std::size_t end = std::min(text.size(), at + kPieceBytes);
      // Keep a surrogate pair together.
      if (end < text.size() && text[end - 1] >= 0xD800 && text[end - 1] <= 0xDBFF) ++end;
      write(text.substr(at, end - at));
      at = end;
    }
    return std::nullopt;
  }

  // Many pieces: all of them checked before anything is written, then each
  // decoded again and written. Decoding twice a piece that stays in the cache
  // costs less than holding the whole text, whose pages are new memory.
  for (std::size_t at = 0; at < all.size();) {
    const std::size_t size = NextPiece(all.substr(at));
    if (const auto lossy = codec::DecodeChecked(all.substr(at, size), cp).check.lossy_group)
      return not_text(at + *lossy);
    at += size;
  }
  for (std::size_t at = 0; at < all.size();) {
    const std::size_t size = NextPiece(all.substr(at));
    write(codec::DecodeBytes(all.substr(at, size), cp));
    at += size;
  }
  return std::nullopt;
}

struct Command {
  enum class Kind { kRun, kHelp, kVersion } kind = Kind::kRun;
  std::string_view word;  // encode or decode
  std::optional<std::string_view> operand;
  codec::CodePage cp = kDefaultCodePage;
};

std::optional<codec::CodePage> ParseNumber(std::string_view s) {
  codec::CodePage value = 0;
  const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), value);
  if (s.empty() || ec != std::errc() || end != s.data() + s.size()) return std::nullopt;
  return value;
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
        return Failure{2, "option " + std::string(arg) + " needs a code page number", true};
      code_page = args[++i];
    } else if (arg.starts_with("--code-page=")) {
      code_page = arg.substr(12);
    } else if (arg.starts_with("-c")) {
      code_page = arg.substr(2);
    } else {
      return Failure{2, "unknown option " + Quoted(arg), true};
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

  if (code_page) {
    const auto number = ParseNumber(*code_page);
    if (!number) return Failure{2, "code page " + Quoted(*code_page) + " is not a number", true};
    command.cp = *number;
  }
  if (!codec::IsCodePageAvailable(command.cp)) {
    return Failure{2, "code page " + std::to_string(command.cp) +
                          " is not available (936, 54936, 950, 932, 949, 1252 and 65001 are)"};
  }
  return command;
}

int Report(const Failure& failure, std::ostream& err) {
  err << "vantorel: " << failure.message << '\n';
  if (failure.usage) err << kUsage;
  return failure.status;
}

}  // namespace

int RunCli(std::span<const std::string_view> args, std::istream& in, std::ostream& out,
           std::ostream& err) {
  const auto parsed = Parse(args);
  if (const auto* failure = std::get_if<Failure>(&parsed)) return Report(*failure, err);
  const Command& command = std::get<Command>(parsed);

  try {
    std::optional<Failure> failure;
    switch (command.kind) {
      case Command::Kind::kHelp:
        out << kHelp;
        break;
      case Command::Kind::kVersion:
        out << "vantorel " VANTOREL_VERSION_TEXT "\n";
        break;
      case Command::Kind::kRun: {
        const bool encode = command.word == "encode";
        InputBlock input;
        std::string_view text;
        std::string_view what;
        if (command.operand) {
          text = *command.operand;
          what = encode ? "the TEXT argument" : "the HEX argument";
        } else {
          input.ReadAll(in);
          text = input.view();
          what = "standard input";
        }
        failure =
            encode ? Encode(text, what, command.cp, out, err) : Decode(text, what, command.cp, out);
        break;
      }
    }
    if (failure) return Report(*failure, err);
  } catch (const std::exception& e) {
    return Report(Failure{1, std::string("internal error: ") + e.what()}, err);
  }

  out.flush();
  if (!out) return Report(Failure{1, "cannot write to standard output"}, err);
  return 0;
}

}  // namespace vantorel
