// The fast paths against the plain ones, on inputs long enough to cross the
// block boundaries of the vector loops and varied enough to leave them.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <string>

#include "codec/codec.hpp"
#include "codec/internal/hex_reading.hpp"
#include "codec/internal/platform.hpp"
#include "codec/internal/reference.hpp"
#include "codec/internal/tables.hpp"
#include "tests/codec/group_error_printer.hpp"

namespace 字符串加密 {
namespace {

// A fixed sequence of pseudo-random numbers, the same on every platform.
using Lcg = std::minstd_rand;
std::uint32_t Below(Lcg& rng, std::uint32_t bound) {
  return static_cast<std::uint32_t>(rng() % bound);
}

std::string RandomBytes(Lcg& rng, std::size_t n) {
  std::string bytes;
  for (std::size_t i = 0; i < n; ++i) bytes.push_back(static_cast<char>(Below(rng, 256)));
  return bytes;
}

// Hex text of the kinds a person may type: canonical stretches broken by
// lower case, short groups, junk, tabs and line breaks, extra spaces.
std::u16string RandomHex(Lcg& rng, std::size_t groups) {
  // The plain pieces first: no tabs or line breaks.
  static constexpr char16_t kPieces[][6] = {u"4",      u"0A",  u"ff",  u"7",  u"00", u"41z",
                                            u"",       u"Fe",  u"q",   u"b9", u"5é", u"000C",
                                            u"\t4\t1", u"9\r", u"3\n", u"1F0"};
  constexpr std::uint32_t kPlain = 11;
  std::u16string hex;
  const std::uint32_t mode = Below(rng, 3);  // mostly canonical, plain or anything
  for (std::size_t g = 0; g < groups; ++g) {
    if (g != 0) hex += u' ';
    if (mode == 0 && Below(rng, 40) != 0) {
      hex += BytesToHex(std::string(1, static_cast<char>(Below(rng, 256))));
    } else {
      hex += kPieces[Below(rng, mode == 1 ? kPlain : std::size(kPieces))];
    }
  }
  if (Below(rng, 4) == 0) hex = u"  " + hex + u" ";
  return hex;
}

// Text mixing ASCII runs, Chinese, characters the code page lacks and, now
// and then, a surrogate; or Chinese for the most part.
std::u16string RandomText(Lcg& rng, std::size_t n) {
  const std::uint32_t ascii_share = Below(rng, 2) == 0 ? 6 : 1;
  std::u16string text;
  for (std::size_t i = 0; i < n; ++i) {
    const std::uint32_t pick = Below(rng, 8);
    if (pick < ascii_share) {
      text += static_cast<char16_t>(1 + Below(rng, 0x7F));
    } else if (pick == 7) {
      text += static_cast<char16_t>(Below(rng, 0x10000));
    } else {
      text += static_cast<char16_t>(0x4E00 + Below(rng, 0x51A6));
    }
  }
  return text;
}

TEST(FastPaths, AgreeWithThePlainOnes) {
  Lcg rng(20261206);
  std::size_t all_read_seen = 0;
  for (std::size_t n = 0; n < 300; ++n) {
    const std::string bytes = RandomBytes(rng, n);
    const std::u16string hex = BytesToHex(bytes);
    ASSERT_EQ(hex, reference::BytesToHex(bytes)) << n;
    std::string narrow(HexLength(n), '\0');
    WriteHex(bytes, narrow.data());
    ASSERT_EQ(narrow, std::string(hex.begin(), hex.end())) << n;

    const auto back = HexToBytes(hex);
    ASSERT_TRUE(back.ok()) << n;
    ASSERT_EQ(back.value(), bytes) << n;

    const std::u16string lenient = RandomHex(rng, n);
    const auto fast = HexToBytes(lenient);
    const auto plain = reference::HexToBytes(lenient);
    ASSERT_EQ(fast.ok(), plain.ok()) << n;
    if (fast.ok()) {
      ASSERT_EQ(fast.value(), plain.value()) << n;
    } else {
      ASSERT_EQ(fast.error(), plain.error()) << n;
    }
    // The same into a buffer, as the tool reads: where it says every group
    // was read whole, nothing was left unread.
    const std::string utf8 = platform::EncodeText(lenient, 65001).bytes;
    std::string at(utf8.size() + 1, '\0');
    bool all_read = false;
    const auto read = hex_reading::HexToBytesAt(utf8, at.data(), all_read);
    ASSERT_EQ(read.ok(), plain.ok()) << n;
    if (read.ok()) {
      ASSERT_EQ(at.substr(0, read.value()), plain.value()) << n;
      ASSERT_TRUE(!all_read || !FindUnreadGroups(utf8).any()) << n;
      all_read_seen += all_read;
    }

    for (const CodePage cp : {936u, 1252u, 932u}) {
      const std::u16string text = RandomText(rng, n);
      ASSERT_EQ(TextToHex(text, cp), reference::TextToHex(text, cp)) << n << " cp " << cp;
      const EncodedText encoded = tables::EncodeText(text, cp).value_or(EncodeText(text, cp));
      const EncodedText plain_encoded = platform::EncodeText(text, cp);
      ASSERT_EQ(encoded.bytes, plain_encoded.bytes) << n << " cp " << cp;
      ASSERT_EQ(encoded.unmappable, plain_encoded.unmappable) << n << " cp " << cp;
      if (encoded.unmappable != 0) {
        ASSERT_EQ(encoded.first_unmappable, plain_encoded.first_unmappable) << n << " cp " << cp;
      }
      // Straight from UTF-8 (lone surrogates made U+FFFD): the same bytes and
      // counts, or nothing where a character is beyond the first plane.
      const std::string utf8 = EncodeText(text, 65001).bytes;
      const std::u16string valid = DecodeBytes(utf8, 65001);
      std::string from_utf8(utf8.size() + 1, '\0');
      const auto direct = tables::EncodeUtf8(utf8, cp, from_utf8.data());
      const bool beyond = std::any_of(valid.begin(), valid.end(),
                                      [](char16_t c) { return c >= 0xD800 && c <= 0xDFFF; });
      ASSERT_EQ(direct.has_value(), !beyond) << n << " cp " << cp;
      const std::string with_pair = utf8 + "\xF0\x9F\x98\x80";
      std::string room(with_pair.size() + 1, '\0');
      ASSERT_FALSE(tables::EncodeUtf8(with_pair, cp, room.data())) << n << " cp " << cp;
      if (direct) {
        const EncodedText expected = platform::EncodeText(valid, cp);
        ASSERT_EQ(from_utf8.substr(0, direct->bytes), expected.bytes) << n << " cp " << cp;
        ASSERT_EQ(direct->characters, valid.size()) << n << " cp " << cp;
        ASSERT_EQ(direct->unmappable, expected.unmappable) << n << " cp " << cp;
        if (expected.unmappable != 0) {
          ASSERT_EQ(direct->first_unmappable, expected.first_unmappable) << n << " cp " << cp;
          ASSERT_EQ(direct->first_character, valid[expected.first_unmappable]) << n;
        }
      }
      const auto decoded = HexToText(hex, cp);
      const auto plain_decoded = reference::HexToText(hex, cp);
      ASSERT_TRUE(decoded.ok() && plain_decoded.ok());
      ASSERT_EQ(decoded.value(), plain_decoded.value()) << n << " cp " << cp;
      ASSERT_EQ(tables::DecodeBytes(encoded.bytes, cp).value_or(u"(none)"),
                platform::DecodeBytes(encoded.bytes, cp))
          << n << " cp " << cp;
      const auto decoded_bytes = tables::DecodeBytes(bytes, cp);
      if (decoded_bytes) {
        ASSERT_EQ(*decoded_bytes, platform::DecodeBytes(bytes, cp)) << n << " cp " << cp;
      }
      // The checked decode's shortcut: text exactly where the bytes come back,
      // also written straight as UTF-8; and text with one byte changed.
      std::string changed = encoded.bytes;
      if (!changed.empty())
        changed[Below(rng, static_cast<std::uint32_t>(changed.size()))] = RandomBytes(rng, 1)[0];
      const std::string& changed_bytes = changed;
      for (const std::string* b : {&encoded.bytes, &bytes, &changed_bytes}) {
        const auto coming_back = tables::DecodeComingBack(*b, cp);
        ASSERT_EQ(tables::ComeBack(*b, cp), coming_back.has_value()) << n << " cp " << cp;
        std::string utf8(3 * b->size() + 1, '\0');
        char* const utf8_end = tables::DecodeComingBackToUtf8(*b, cp, utf8.data());
        ASSERT_EQ(utf8_end != nullptr, coming_back.has_value()) << n << " cp " << cp;
        if (coming_back) {
          ASSERT_EQ(std::string(utf8.data(), utf8_end),
                    platform::EncodeText(*coming_back, 65001).bytes)
              << n << " cp " << cp;
        }
        const auto text = tables::DecodeBytes(*b, cp);
        ASSERT_EQ(coming_back.has_value(), text && platform::EncodeText(*text, cp).bytes == *b)
            << n << " cp " << cp;
        if (coming_back) {
          ASSERT_EQ(*coming_back, *text) << n << " cp " << cp;
        }
      }
    }
  }
  EXPECT_GT(all_read_seen, 20u);
}

// The tables against the converters on every code unit of the first plane
// and every sequence of one or two bytes: the tables are filled from the
// converters' own lookups where the codec has them, else by running them.
TEST(FastPaths, TablesAgreeWithTheConvertersOnEverything) {
  for (const CodePage cp : {936u, 950u, 932u, 949u, 1252u}) {
    std::u16string all;
    for (std::uint32_t u = 0; u < 0x10000; ++u) {
      if (u < 0xD800 || u > 0xDFFF) all += static_cast<char16_t>(u);
    }
    const auto encoded = tables::EncodeText(all, cp);
    ASSERT_TRUE(encoded) << cp;
    const EncodedText plain = platform::EncodeText(all, cp);
    ASSERT_EQ(encoded->bytes, plain.bytes) << cp;
    ASSERT_EQ(encoded->unmappable, plain.unmappable) << cp;
    ASSERT_EQ(encoded->first_unmappable, plain.first_unmappable) << cp;
    for (std::uint32_t s = 0; s < 0x10100; ++s) {
      // 00 to FF alone, then every lead byte with every trail byte.
      const std::string bytes =
          s < 0x100 ? std::string(1, static_cast<char>(s))
                    : std::string{static_cast<char>((s - 0x100) >> 8), static_cast<char>(s & 0xFF)};
      const auto text = tables::DecodeBytes(bytes, cp);
      if (!text) continue;
      ASSERT_EQ(*text, platform::DecodeBytes(bytes, cp)) << cp << " " << s;
      ASSERT_EQ(tables::DecodeComingBack(bytes, cp).has_value(),
                platform::EncodeText(*text, cp).bytes == bytes)
          << cp << " " << s;
    }
  }
}

}  // namespace
}  // namespace 字符串加密
