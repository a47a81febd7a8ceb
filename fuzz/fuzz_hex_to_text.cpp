// Hex to text: the fast paths against the plain ones on any hex text.
//   - HexToBytes, for UTF-16 and for narrow text, against
//     reference::HexToBytes: the same bytes, or the same group error;
//   - LocateGroup on the group an error names;
//   - HexToText against reference::HexToText;
//   - the lookup tables, whenever they answer, and the code-page layer's own
//     choice against the platform's converter, on the bytes the hex text
//     reads as and on the input's own bytes.
// Bit 4 of the first byte: 0 reads the rest byte for byte, as both UTF-16
// and narrow text; 1 lets other code units in (see UnitsFromMixed).
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "codec/codec.hpp"
#include "codec/internal/platform.hpp"
#include "codec/internal/reference.hpp"
#include "codec/internal/tables.hpp"
#include "fuzz/fuzz_support.hpp"
#include "fuzz/hex_mutator.hpp"

namespace 字符串加密::fuzz {
namespace {

void CheckDecoding(std::string_view bytes, CodePage cp, bool long_input) {
  const std::string input =
      long_input ? RepeatTo(std::string(bytes), kLongInput) : std::string(bytes);
  const std::u16string plain = platform::DecodeBytes(input, cp);
  if (const auto tabled = tables::DecodeBytes(input, cp)) VANTOREL_CHECK_SAME(*tabled, plain);
  VANTOREL_CHECK_SAME(DecodeBytes(input, cp), plain);
}

void Run(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return;
  const Steering steering = SteeringFrom(data[0]);
  const CodePage cp = steering.cp;
  const std::string_view rest(reinterpret_cast<const char*>(data + 1), size - 1);
  const std::u16string hex = steering.mixed ? UnitsFromMixed(rest) : UnitsFromLatin1(rest);

  // The byte stage.
  const auto plain = reference::HexToBytes(hex);
  VANTOREL_CHECK_SAME_RESULT(HexToBytes(hex), plain);
  if (!steering.mixed) VANTOREL_CHECK_SAME_RESULT(HexToBytes(rest), plain);
  if (!plain.ok()) {
    const GroupError& e = plain.error();
    const GroupSpan span = LocateGroup(hex, e.group);
    VANTOREL_CHECK(span.offset == e.offset && span.length == e.text.size());
  }

  // The conversion as a whole.
  VANTOREL_CHECK_SAME_RESULT(HexToText(hex, cp), reference::HexToText(hex, cp));

  // The code-page layer.
  if (plain.ok()) CheckDecoding(plain.value(), cp, steering.long_input);
  CheckDecoding(rest, cp, steering.long_input);
}

}  // namespace
}  // namespace 字符串加密::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  字符串加密::fuzz::Run(data, size);
  return 0;
}
