// UTF-8 <-> UTF-16, for the command line: arguments and standard input arrive
// as UTF-8, the codec works on UTF-16 code units.
//
// Reading is strict: an overlong form, a surrogate written in UTF-8, a value
// above U+10FFFF, a stray continuation byte or a cut-off sequence is refused,
// and the caller learns the byte offset where the bad sequence starts.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace vantorel {

struct Utf8Error {
  enum class Kind {
    kInvalidByte,        // C0, C1 or F5 to FF can never appear
    kStrayContinuation,  // 80 to BF where a character should start
    kOverlong,           // a character written with more bytes than it needs
    kSurrogate,          // U+D800 to U+DFFF written as UTF-8
    kTooLarge,           // above U+10FFFF
    kTruncated,          // a sequence cut short by another byte or by the end
  };
  Kind kind;
  std::size_t offset;  // of the sequence's first byte, counted from 0

  bool operator==(const Utf8Error&) const = default;
};

// A few words for a message: "overlong sequence" and the like.
std::string_view Describe(Utf8Error::Kind kind);

// The first invalid sequence, if any.
std::optional<Utf8Error> FindInvalidUtf8(std::string_view utf8);

// Appends the UTF-16 form of utf8 to out; on invalid input returns the error
// and leaves out as it was.
std::optional<Utf8Error> AppendUtf16(std::string_view utf8, std::u16string& out);

// The UTF-16 form of utf8, which FindInvalidUtf8 found valid, into out, which
// has room for a code unit per byte (nothing is made ready, as a string's
// resize would); returns the end of what it wrote (out, for invalid input).
char16_t* WriteUtf16(std::string_view utf8, char16_t* out);

// Appends the UTF-8 form of utf16 to out. A lone surrogate, which has no UTF-8
// form, becomes U+FFFD.
void AppendUtf8(std::u16string_view utf16, std::string& out);

// The same into out, which has room for three bytes per code unit (a pair
// takes four for two); returns the end of what it wrote.
char* WriteUtf8(std::u16string_view utf16, char* out);

// How many characters code units hold: a surrogate pair is one.
std::size_t CodePointsIn(std::u16string_view units);

// The longest prefix of valid UTF-8 that is at most max_bytes long and does
// not cut a character in two; for splitting large input into pieces.
std::size_t CharacterBoundary(std::string_view utf8, std::size_t max_bytes);

}  // namespace vantorel
