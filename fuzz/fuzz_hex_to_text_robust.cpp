// HexToText as the window and the command-line tool call it, with zero bytes
// and lossy bytes refused, on any input: it never crashes, and when it fails
// the error names a real group of the input for one of the four reasons:
//   - 1 <= group <= the number of groups, and LocateGroup agrees with it;
//   - the text is the group exactly as it stands at the offset, no space in it;
//   - too large: the group's digits make more than FF; zero byte: they make 0.
// Beyond that the answer must be the one worked out the plain way: the plain
// reader, then the platform's converters to decode, and to encode again one
// character at a time until one does not come back as the bytes it was read
// from.
// Bits 5 and 6 of the first byte choose a second set of checks to try; bit 3
// repeats the hex text to some thousands of groups.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "codec/codec.hpp"
#include "codec/internal/platform.hpp"
#include "codec/internal/reference.hpp"
#include "fuzz/fuzz_support.hpp"
#include "fuzz/hex_mutator.hpp"

namespace 字符串加密::fuzz {
namespace {

// The value of a group's digits, read as leniently as any reader must, or
// nothing when it is above FF.
std::optional<unsigned> GroupValue(std::u16string_view group) {
  unsigned value = 0;
  for (const char16_t c : group) {
    if (c == u'\t' || c == u'\n' || c == u'\r') continue;
    unsigned digit;
    if (c >= u'0' && c <= u'9') {
      digit = c - u'0';
    } else if (c >= u'A' && c <= u'F') {
      digit = c - u'A' + 10;
    } else if (c >= u'a' && c <= u'f') {
      digit = c - u'a' + 10;
    } else {
      break;
    }
    value = value * 16 + digit;
    if (value > 0xFF) return std::nullopt;
  }
  return value;
}

// Where each group starts, counted after the outer spaces are trimmed.
std::vector<GroupSpan> Groups(std::u16string_view hex) {
  std::vector<GroupSpan> groups;
  const std::size_t first = hex.find_first_not_of(u' ');
  if (first == hex.npos) return groups;
  const std::size_t end = hex.find_last_not_of(u' ') + 1;
  std::size_t start = first;
  for (;;) {
    std::size_t stop = hex.find(u' ', start);
    if (stop == hex.npos || stop > end) stop = end;
    groups.push_back({start, stop - start});
    if (stop == end) break;
    start = stop + 1;
  }
  return groups;
}

void CheckError(std::u16string_view hex, const GroupError& e, DecodeChecks checks) {
  using Reason = GroupError::Reason;
  const bool lossy = e.reason == Reason::kNotText || e.reason == Reason::kWrittenOtherwise;
  VANTOREL_CHECK(e.reason == Reason::kTooLarge || e.reason == Reason::kZeroByte || lossy);
  VANTOREL_CHECK(e.reason != Reason::kZeroByte || checks.refuse_zero_bytes);
  VANTOREL_CHECK(!lossy || checks.refuse_lossy_bytes);

  const std::vector<GroupSpan> groups = Groups(hex);
  VANTOREL_CHECK(e.group >= 1 && e.group <= groups.size());
  VANTOREL_CHECK(e.offset <= hex.size() && e.text.size() <= hex.size() - e.offset);
  VANTOREL_CHECK(hex.substr(e.offset, e.text.size()) == e.text);
  VANTOREL_CHECK(e.text.find(u' ') == e.text.npos);
  VANTOREL_CHECK(groups[e.group - 1].offset == e.offset);
  VANTOREL_CHECK(groups[e.group - 1].length == e.text.size());
  const GroupSpan located = LocateGroup(hex, e.group);
  VANTOREL_CHECK(located.offset == e.offset && located.length == e.text.size());

  const std::optional<unsigned> value = GroupValue(e.text);
  if (e.reason == Reason::kTooLarge) VANTOREL_CHECK(!value.has_value());
  if (e.reason == Reason::kZeroByte) VANTOREL_CHECK(value == 0u);
  if (lossy) VANTOREL_CHECK(value.has_value());
  if (e.reason == Reason::kWrittenOtherwise) {
    VANTOREL_CHECK(!e.read.empty() && e.read != e.written &&
                   value == static_cast<unsigned char>(e.read[0]));
  }
}

// Why the character read from the bytes at `at` does not come back: the
// shortest run of bytes there that is text, when it is one character; else
// they are not text.
GroupError WhyNot(const std::string& bytes, std::size_t at, CodePage cp) {
  GroupError why{GroupError::Reason::kNotText, 0, 0, u""};
  for (std::size_t n = 1; n <= 4 && at + n <= bytes.size(); ++n) {
    const auto text = platform::DecodeIfText(bytes.substr(at, n), cp);
    if (!text) continue;
    const bool pair = text->size() == 2 && (*text)[0] >= 0xD800 && (*text)[0] <= 0xDBFF;
    if (text->size() != 1 && !pair) return why;
    const EncodedText written = platform::EncodeText(*text, cp);
    if (written.bytes == bytes.substr(at, n)) return why;
    why.reason = GroupError::Reason::kWrittenOtherwise;
    why.character =
        pair ? 0x10000 + (((*text)[0] - 0xD800u) << 10) + ((*text)[1] - 0xDC00u) : (*text)[0];
    why.read = bytes.substr(at, n);
    if (written.unmappable == 0) why.written = written.bytes;
    return why;
  }
  return why;
}

// What HexToText must answer, the plain way.
Result<std::u16string> Expected(std::u16string_view hex, CodePage cp, DecodeChecks checks) {
  const auto bytes = reference::HexToBytes(hex);
  if (!bytes.ok()) return bytes.error();
  std::u16string text = platform::DecodeBytes(bytes.value(), cp);

  std::size_t zero = 0;  // 1-based; 0 for none
  if (checks.refuse_zero_bytes) {
    const std::size_t at = bytes.value().find('\0');
    if (at != std::string::npos) zero = at + 1;
  }
  std::size_t lossy = 0;  // 1-based; 0 for none
  if (checks.refuse_lossy_bytes) {
    const std::string& in = bytes.value();
    std::size_t at = 0;
    for (std::size_t i = 0; i < text.size() && lossy == 0;) {
      const bool pair = text[i] >= 0xD800 && text[i] <= 0xDBFF && i + 1 < text.size() &&
                        text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF;
      const std::string own = platform::EncodeText(text.substr(i, pair ? 2 : 1), cp).bytes;
      if (in.compare(at, own.size(), own) != 0) {
        lossy = at + 1;
      } else {
        at += own.size();
        i += pair ? 2 : 1;
      }
    }
    if (lossy == 0 && at != in.size()) lossy = at + 1;
  }
  if (zero == 0 && lossy == 0) return text;
  const bool is_zero = zero != 0 && (lossy == 0 || zero <= lossy);
  const std::size_t group = is_zero ? zero : lossy;
  const std::vector<GroupSpan> groups = Groups(hex);
  const GroupSpan span = group <= groups.size() ? groups[group - 1] : GroupSpan{hex.size(), 0};
  GroupError error = is_zero ? GroupError{GroupError::Reason::kZeroByte, 0, 0, u""}
                             : WhyNot(bytes.value(), group - 1, cp);
  error.group = group;
  error.offset = span.offset;
  error.text = hex.substr(span.offset, span.length);
  return error;
}

void Check(std::u16string_view hex, CodePage cp, DecodeChecks checks) {
  const auto result = HexToText(hex, cp, checks);
  if (!result.ok()) CheckError(hex, result.error(), checks);
  VANTOREL_CHECK_SAME_RESULT(result, Expected(hex, cp, checks));
}

void Run(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return;
  const Steering steering = SteeringFrom(data[0]);
  const std::string_view rest(reinterpret_cast<const char*>(data + 1), size - 1);
  std::u16string hex = steering.mixed ? UnitsFromMixed(rest) : UnitsFromLatin1(rest);
  if (steering.long_input && !hex.empty()) {
    // At least kLongInput groups, so that the bytes go through the tables.
    const std::u16string piece = hex + u' ';
    const auto spaces = static_cast<std::size_t>(std::count(piece.begin(), piece.end(), u' '));
    std::u16string longer;
    for (std::size_t groups = 0; groups < kLongInput; groups += spaces) longer += piece;
    hex = std::move(longer);
  }

  Check(hex, steering.cp, DecodeChecks{true, true});
  const DecodeChecks other{steering.bit5, steering.bit6};
  if (!(other.refuse_zero_bytes && other.refuse_lossy_bytes)) Check(hex, steering.cp, other);
}

}  // namespace
}  // namespace 字符串加密::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  字符串加密::fuzz::Run(data, size);
  return 0;
}
