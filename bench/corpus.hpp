// The inputs the benchmarks time, generated and deterministic, so that every
// run and every machine times the same text: codec_bench and hex_tool (and
// through it bench/peers.sh) draw from the same generators.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "codec/codec.hpp"

namespace vantorel_bench {

// A fixed 64-bit linear congruential generator (Knuth's MMIX constants).
class Lcg {
 public:
  explicit Lcg(std::uint64_t seed) : state_(seed) {}
  // Uniform enough in [0, n) for n far below 2^32.
  std::uint32_t Below(std::uint32_t n) {
    state_ = state_ * 6364136223846793005u + 1442695040888963407u;
    return static_cast<std::uint32_t>((state_ >> 32) % n);
  }

 private:
  std::uint64_t state_;
};

// Printable ASCII prose: words of 1 to 10 letters (some capitalised, some
// digits), spaces, punctuation, and a CR LF line break every 60 to 100
// characters, as a pasted Windows text has them.
inline std::u16string AsciiText(std::size_t units) {
  static constexpr std::string_view kPunctuation = ".,;:!?-()'\"";
  Lcg lcg(0x56616e746f72656cu);
  std::u16string text;
  text.reserve(units);
  std::size_t line = 0;
  const auto put = [&](char16_t c) {
    if (text.size() < units) text.push_back(c);
  };
  while (text.size() < units) {
    const std::uint32_t length = 1 + lcg.Below(10);
    for (std::uint32_t i = 0; i < length; ++i) {
      const std::uint32_t kind = lcg.Below(20);
      if (kind == 0)
        put(static_cast<char16_t>(u'0' + lcg.Below(10)));
      else if (kind == 1 || (i == 0 && lcg.Below(4) == 0))
        put(static_cast<char16_t>(u'A' + lcg.Below(26)));
      else
        put(static_cast<char16_t>(u'a' + lcg.Below(26)));
    }
    if (lcg.Below(6) == 0) put(static_cast<char16_t>(kPunctuation[lcg.Below(kPunctuation.size())]));
    line += length + 1;
    if (line >= 60 + lcg.Below(40)) {
      put(u'\r');
      put(u'\n');
      line = 0;
    } else {
      put(u' ');
    }
  }
  return text;
}

// Chinese text: CJK unified ideographs U+4E00 to U+9FA5 (all of them two
// bytes in code page 936), drawn at random, with a full-width comma or full
// stop every 8 to 24 characters. No ASCII at all, so that every character
// takes the double-byte road.
inline std::u16string ChineseText(std::size_t units) {
  Lcg lcg(0x4368696e657365u);
  std::u16string text;
  text.reserve(units);
  std::uint32_t until_stop = 8 + lcg.Below(17);
  while (text.size() < units) {
    if (until_stop-- == 0) {
      text.push_back(lcg.Below(3) == 0 ? u'\u3002' : u'\uFF0C');
      until_stop = 8 + lcg.Below(17);
    } else {
      text.push_back(static_cast<char16_t>(0x4E00 + lcg.Below(0x9FA5 - 0x4E00 + 1)));
    }
  }
  return text;
}

// Uniformly random bytes, every value 00 to FF.
inline std::string RandomBytes(std::size_t size) {
  Lcg lcg(0x5261776279746573u);
  std::string bytes(size, '\0');
  for (char& b : bytes) b = static_cast<char>(lcg.Below(256));
  return bytes;
}

// Hex text that reads as the bytes, written the way a person might type it
// rather than the canonical way: lower-case digits, no leading zero (bytes
// below 16 are one digit), and junk after the digits of about one group in
// four. Single spaces between the groups.
// Hex text in narrow characters, as the command-line tool writes it.
inline std::string NarrowHex(std::string_view bytes) {
  std::string hex(字符串加密::HexLength(bytes.size()), '\0');
  字符串加密::WriteHex(bytes, hex.data());
  return hex;
}

inline std::string LenientHex(std::string_view bytes) {
  static constexpr char kDigits[] = "0123456789abcdef";
  static constexpr std::string_view kJunk[] = {"g", "z", ".", ";", "h'", "x!", "?", "_q"};
  Lcg lcg(0x4c656e69656e74u);
  std::string hex;
  hex.reserve(bytes.size() * 4);
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    const auto b = static_cast<unsigned char>(bytes[i]);
    if (i != 0) hex.push_back(' ');
    if (b >= 16) hex.push_back(kDigits[b >> 4]);
    hex.push_back(kDigits[b & 0xF]);
    if (lcg.Below(4) == 0) hex += kJunk[lcg.Below(std::size(kJunk))];
  }
  return hex;
}

}  // namespace vantorel_bench
