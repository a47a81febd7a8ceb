// The code pages that write all of Unicode (GB18030, UTF-8, UTF-16 LE and BE)
// give the same bytes on every build: Windows' converters under Wine, the
// codec's own elsewhere. Every code point is encoded (lone surrogates as code
// units of their own), and a fixed set of byte sequences is decoded with the
// checks (every sequence of one and two bytes, and every one of three and four
// made of bytes that sit at the edges of these encodings' ranges); digests of
// what comes out are compared with digests written once, here. A code page the
// system lacks (Wine has no GB18030) is left out, and says so.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "codec/codec.hpp"

namespace 字符串加密 {
namespace {

// FNV-1a, 64 bits.
class Digest {
 public:
  void Add(std::string_view bytes) {
    for (const char b : bytes) Byte(static_cast<unsigned char>(b));
  }
  void Add(std::uint64_t n) {
    for (int i = 0; i < 64; i += 8) Byte(n >> i & 0xFF);
  }
  void Add(std::u16string_view units) {
    for (const char16_t u : units) Add(std::uint64_t{u});
  }
  std::uint64_t value() const { return value_; }

 private:
  void Byte(std::uint64_t b) { value_ = (value_ ^ b) * 0x100000001B3u; }

  std::uint64_t value_ = 0xCBF29CE484222325u;
};

void AddCodePoint(char32_t c, std::u16string& text) {
  if (c < 0x10000) {
    text += static_cast<char16_t>(c);
  } else {
    text += static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10));
    text += static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
  }
}

// The first plane, the low surrogates before the high ones so that none pairs
// with its neighbour; or everything beyond it.
std::uint64_t EncodingDigest(CodePage cp, bool first_plane) {
  std::u16string text;
  if (first_plane) {
    for (char32_t c = 0; c < 0xD800; ++c) AddCodePoint(c, text);
    for (char32_t c = 0xDC00; c < 0xE000; ++c) AddCodePoint(c, text);
    for (char32_t c = 0xD800; c < 0xDC00; ++c) AddCodePoint(c, text);
    for (char32_t c = 0xE000; c < 0x10000; ++c) AddCodePoint(c, text);
  } else {
    for (char32_t c = 0x10000; c < 0x110000; ++c) AddCodePoint(c, text);
  }
  const EncodedText encoded = EncodeText(text, cp);
  Digest digest;
  digest.Add(encoded.bytes);
  digest.Add(encoded.unmappable);
  digest.Add(encoded.first_unmappable);
  return digest.value();
}

// Whether each sequence is refused, and where and why, or else the text it reads as.
std::uint64_t DecodingDigest(CodePage cp) {
  static constexpr unsigned char kEdges[] = {0x00, 0x30, 0x39, 0x41, 0x80, 0x81, 0x84, 0x90, 0xA4,
                                             0xBF, 0xC2, 0xD8, 0xDC, 0xE3, 0xED, 0xF0, 0xF4, 0xFE};
  Digest digest;
  const auto add = [&](const std::string& bytes) {
    const CheckedText checked = DecodeBytes(bytes, cp, {.refuse_lossy_bytes = true});
    if (const auto& refused = checked.refused) {
      digest.Add(static_cast<std::uint64_t>(refused->reason) << 32 | refused->byte);
      digest.Add(std::uint64_t{refused->character});
      digest.Add(refused->read);
      digest.Add(refused->written);
    } else {
      digest.Add(checked.text);
    }
  };
  for (unsigned a = 0; a < 0x100; ++a) {
    add(std::string(1, static_cast<char>(a)));
    for (unsigned b = 0; b < 0x100; ++b) add({static_cast<char>(a), static_cast<char>(b)});
  }
  for (const unsigned char a : kEdges) {
    for (const unsigned char b : kEdges) {
      for (const unsigned char c : kEdges) {
        const std::string three{static_cast<char>(a), static_cast<char>(b), static_cast<char>(c)};
        add(three);
        for (const unsigned char d : kEdges) add(three + static_cast<char>(d));
      }
    }
  }
  return digest.value();
}

TEST(EveryCharacter, TheSameBytesOnEveryBuild) {
  const struct {
    CodePage cp;
    std::uint64_t first_plane, beyond, decoded;
  } cases[] = {
      {54936, 0xBA9C9C3727DB61A5, 0xA8852D8E9BEE4D85, 0x696AA20B570FD457},
      {65001, 0x554F849B087C5035, 0xD5BB22824EFFFC65, 0x228AB5F50E3BFBC5},
      {1200, 0x68344CB6D38D7CF5, 0xE547502E9DA13C65, 0x599DD271173AE1B5},
      {1201, 0x4CDB06A1F874B6F5, 0x43E46CC4B6C02465, 0x980A664A1B0FE495},
  };
  for (const auto& c : cases) {
    if (!IsCodePageAvailable(c.cp)) {
      std::printf("code page %u is not available here: left out\n", c.cp);
      continue;
    }
    EXPECT_EQ(EncodingDigest(c.cp, true), c.first_plane) << c.cp;
    EXPECT_EQ(EncodingDigest(c.cp, false), c.beyond) << c.cp;
    EXPECT_EQ(DecodingDigest(c.cp), c.decoded) << c.cp;
  }
}

}  // namespace
}  // namespace 字符串加密
