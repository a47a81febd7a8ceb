// Text to hex: the fast paths against the plain ones on any text, surrogates
// and NULs included, in each code page we care about.
//   - TextToHex against reference::TextToHex;
//   - the lookup tables, whenever they answer, and the code-page layer's own
//     choice against the platform's converter (bytes and unmappable count);
//   - the byte stage: both WriteHex overloads and BytesToHex
//     against reference::BytesToHex, and the hex read back to the same bytes
//     in upper and lower case.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "codec/codec.hpp"
#include "codec/internal/platform.hpp"
#include "codec/internal/reference.hpp"
#include "codec/internal/tables.hpp"
#include "fuzz/fuzz_support.hpp"

namespace 字符串加密::fuzz {
namespace {

void CheckSameEncoding(const EncodedText& a, const EncodedText& b) {
  VANTOREL_CHECK_SAME(a.bytes, b.bytes);
  VANTOREL_CHECK(a.unmappable == b.unmappable);
  if (a.unmappable != 0) VANTOREL_CHECK(a.first_unmappable == b.first_unmappable);
}

void CheckByteStage(std::string_view bytes) {
  const std::u16string plain = reference::BytesToHex(bytes);
  const std::size_t n = HexLength(bytes.size());
  VANTOREL_CHECK(plain.size() == n);

  // Buffers of exactly the promised length, so that AddressSanitizer sees a
  // store past the end.
  const auto narrow = std::make_unique<char[]>(n);
  const auto wide = std::make_unique<char16_t[]>(n);
  WriteHex(bytes, narrow.get());
  WriteHex(bytes, wide.get());
  VANTOREL_CHECK_SAME(std::u16string(wide.get(), n), plain);
  VANTOREL_CHECK_SAME(std::string(narrow.get(), n), std::string(plain.begin(), plain.end()));
  VANTOREL_CHECK_SAME(BytesToHex(bytes), plain);

  // And back, also in lower case.
  const std::string expected(bytes);
  const auto back = HexToBytes(plain);
  VANTOREL_CHECK(back.ok());
  VANTOREL_CHECK_SAME(back.value(), expected);
  const auto back_narrow = HexToBytes(std::string_view(narrow.get(), n));
  VANTOREL_CHECK(back_narrow.ok());
  VANTOREL_CHECK_SAME(back_narrow.value(), expected);
  std::u16string lower = plain;
  for (char16_t& c : lower) {
    if (c >= u'A' && c <= u'F') c = static_cast<char16_t>(c - u'A' + u'a');
  }
  const auto back_lower = HexToBytes(lower);
  VANTOREL_CHECK(back_lower.ok());
  VANTOREL_CHECK_SAME(back_lower.value(), expected);
}

void Run(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return;
  const Steering steering = SteeringFrom(data[0]);
  const CodePage cp = steering.cp;
  const std::string_view rest(reinterpret_cast<const char*>(data + 1), size - 1);
  std::u16string text = steering.mixed ? UnitsFromMixed(rest) : UnitsFromPairs(rest);
  if (steering.long_input) text = RepeatTo(text, kLongInput);

  // The conversion as a whole.
  VANTOREL_CHECK_SAME(TextToHex(text, cp), reference::TextToHex(text, cp));

  // The code-page layer.
  const EncodedText plain = platform::EncodeText(text, cp);
  if (const auto tabled = tables::EncodeText(text, cp)) {
    CheckSameEncoding(*tabled, plain);
  } else {
    VANTOREL_CHECK(!HasTables(cp) || HasSurrogate(text));
  }
  CheckSameEncoding(EncodeText(text, cp), plain);

  // The byte stage, on the text's bytes and on the input's own.
  CheckByteStage(plain.bytes);
  CheckByteStage(rest);
}

}  // namespace
}  // namespace 字符串加密::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  字符串加密::fuzz::Run(data, size);
  return 0;
}
