// The two readings of hex text held to each other, on any input:
//   - the any-shape reading never crashes, and a refusal names a place inside
//     the input: 1 <= length, offset + length <= size;
//   - it reads the same whole (with its fast paths) as in parts of a few
//     units (where they cannot run), and the same from UTF-16 as from the
//     narrow text where the input is ASCII;
//   - where the lenient reading gives bytes, the any-shape reading of their
//     canonical hex text, and of every other shape written, gives the same
//     bytes; and where the input is canonical hex text itself, both readings
//     of it give the same bytes;
//   - what the lenient reading leaves unread is found as the plain path
//     finds it, and every group without a digit reads as 00.
// Bits 5 and 6 of the first byte choose the size of the parts.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "codec/codec.hpp"
#include "codec/internal/reference.hpp"
#include "fuzz/fuzz_support.hpp"
#include "fuzz/hex_mutator.hpp"

namespace 字符串加密::fuzz {
namespace {

using Read = Result<std::string, ShapeError>;

void CheckPlace(const Read& read, std::size_t size) {
  if (read.ok()) return;
  const ShapeError& e = read.error();
  VANTOREL_CHECK(e.length >= 1 && e.offset < size && e.length <= size - e.offset);
}

// Parts of `step` units, a surrogate pair never cut.
Read ReadInParts(std::u16string_view hex, std::size_t step) {
  AnyShapeReader reader;
  std::string bytes;
  for (std::size_t at = 0;;) {
    std::size_t end = std::min(hex.size(), at + step);
    if (end < hex.size() && hex[end - 1] >= 0xD800 && hex[end - 1] < 0xDC00) ++end;
    const bool last = end == hex.size();
    if (const auto error = reader.Read(hex.substr(at, end - at), last, bytes)) return *error;
    if (last) return bytes;
    at = end;
  }
}

void CheckSameRead(const Read& a, const Read& b) {
  if (a.ok() && b.ok()) return VANTOREL_CHECK_SAME(a.value(), b.value());
  VANTOREL_CHECK(!a.ok() && !b.ok() && a.error() == b.error());
}

// Every shape of the bytes reads back as the bytes.
void CheckShapesReadBack(const std::string& bytes) {
  for (const HexShape shape :
       {HexShape::kSpaced, HexShape::kPlain, HexShape::k0x, HexShape::kC, HexShape::kEscaped}) {
    for (const bool lower : {false, true}) {
      const auto back = HexToBytesAnyShape(BytesToHex(bytes, {shape, lower}));
      VANTOREL_CHECK(back.ok());
      VANTOREL_CHECK_SAME(back.value(), bytes);
    }
  }
}

void CheckUnread(std::u16string_view hex, const Result<std::string>& lenient) {
  const UnreadGroups found = FindUnreadGroups(hex);
  const UnreadGroups plain = reference::FindUnreadGroups(hex);
  VANTOREL_CHECK(found.partly_read == plain.partly_read);
  VANTOREL_CHECK(found.without_digit == plain.without_digit);
  for (const auto& [a, b] : {std::pair{found.first_partly_read, plain.first_partly_read},
                             std::pair{found.first_without_digit, plain.first_without_digit}}) {
    VANTOREL_CHECK(a.group == b.group && a.offset == b.offset && a.length == b.length &&
                   a.unread == b.unread);
  }
  if (found.without_digit != 0 && lenient.ok())
    VANTOREL_CHECK(lenient.value()[found.first_without_digit.group - 1] == '\0');
}

void Run(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return;
  const Steering steering = SteeringFrom(data[0]);
  const std::string_view rest(reinterpret_cast<const char*>(data + 1), size - 1);
  const std::u16string hex = steering.mixed ? UnitsFromMixed(rest) : UnitsFromLatin1(rest);

  const Read whole = HexToBytesAnyShape(hex);
  CheckPlace(whole, hex.size());
  static constexpr std::size_t kSteps[] = {1, 2, 7, 64};
  CheckSameRead(ReadInParts(hex, kSteps[steering.bit5 + 2 * steering.bit6]), whole);
  const Read narrow = HexToBytesAnyShape(rest);
  CheckPlace(narrow, rest.size());
  const bool ascii = std::all_of(rest.begin(), rest.end(),
                                 [](char c) { return static_cast<unsigned char>(c) < 0x80; });
  if (!steering.mixed && ascii) CheckSameRead(narrow, whole);

  const auto lenient = reference::HexToBytes(hex);
  CheckUnread(hex, lenient);
  if (!lenient.ok()) return;
  const std::u16string canonical = BytesToHex(lenient.value());
  const Read again = HexToBytesAnyShape(canonical);
  VANTOREL_CHECK(again.ok());
  VANTOREL_CHECK_SAME(again.value(), lenient.value());
  if (hex == canonical) {
    VANTOREL_CHECK(whole.ok());
    VANTOREL_CHECK_SAME(whole.value(), lenient.value());
  }
  if (lenient.value().size() <= 4096) CheckShapesReadBack(lenient.value());
}

}  // namespace
}  // namespace 字符串加密::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  字符串加密::fuzz::Run(data, size);
  return 0;
}
