// What the fuzz targets share: how an input becomes a code page and a text,
// how two answers are compared, and how a run stops when they differ.
//
// The first byte of every input steers the run:
//   bits 0-2  the code page (kCodePages below)
//   bit 3     repeat the text or bytes to at least kLongInput units, so that
//             the code-page layer takes its tables rather than the converters
//   bit 4     how the rest of the input becomes UTF-16 (see TextFrom)
//   bits 5-6  free for the target's own use
// The rest of the input is the text or the hex text.
//
// With VANTOREL_FUZZ_SCALAR=1 in the environment the codec is told that the
// processor lacks AVX2, so that the plain loops (the only ones the 32-bit
// Windows build has) are the ones held to the reference.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>

#include "codec/codec.hpp"
#include "codec/internal/simd.hpp"
#include "codec/internal/tables.hpp"

namespace 字符串加密::fuzz {

inline constexpr CodePage kCodePages[8] = {936, 932, 949, 950, 1252, 65001, 54936, 936};

// Texts from this length on go through the lookup tables (when the code page
// has them) instead of the platform's converter.
inline constexpr std::size_t kLongInput = 4096;

struct Steering {
  CodePage cp;
  bool long_input;
  bool mixed;  // bit 4
  bool bit5;
  bool bit6;
};

inline Steering SteeringFrom(std::uint8_t b) {
  return {kCodePages[b & 7], (b & 0x08) != 0, (b & 0x10) != 0, (b & 0x20) != 0, (b & 0x40) != 0};
}

// Each pair of bytes is one code unit, low byte first; an odd last byte is a
// unit of its own. Every code unit, surrogates and NUL included, is as likely.
inline std::u16string UnitsFromPairs(std::string_view bytes) {
  std::u16string text;
  text.reserve(bytes.size() / 2 + 1);
  std::size_t i = 0;
  for (; i + 1 < bytes.size(); i += 2) {
    text.push_back(static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                         static_cast<unsigned char>(bytes[i + 1]) << 8));
  }
  if (i < bytes.size()) text.push_back(static_cast<unsigned char>(bytes[i]));
  return text;
}

// A byte below 80 is that character; a byte from 80 on is followed by two
// bytes that give any code unit, high byte first. ASCII stays readable (and
// the hex dictionary works as is) while any other unit can still occur.
inline std::u16string UnitsFromMixed(std::string_view bytes) {
  std::u16string text;
  text.reserve(bytes.size());
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    const auto b = static_cast<unsigned char>(bytes[i]);
    if (b < 0x80 || i + 2 >= bytes.size()) {
      text.push_back(b);
    } else {
      text.push_back(static_cast<char16_t>(static_cast<unsigned char>(bytes[i + 1]) << 8 |
                                           static_cast<unsigned char>(bytes[i + 2])));
      i += 2;
    }
  }
  return text;
}

// Each byte is the code unit of the same value, as the narrow hex reader
// sees it.
inline std::u16string UnitsFromLatin1(std::string_view bytes) {
  std::u16string text;
  text.reserve(bytes.size());
  for (const char c : bytes) text.push_back(static_cast<unsigned char>(c));
  return text;
}

template <class S>
S RepeatTo(const S& s, std::size_t at_least) {
  if (s.empty()) return s;
  S repeated;
  repeated.reserve(at_least + s.size());
  while (repeated.size() < at_least) repeated += s;
  return repeated;
}

inline bool HasSurrogate(std::u16string_view text) {
  return std::any_of(text.begin(), text.end(),
                     [](char16_t c) { return c >= 0xD800 && c <= 0xDFFF; });
}

// Whether the code page has lookup tables (they answer for any text without
// surrogates then).
inline bool HasTables(CodePage cp) { return tables::EncodeText(u"", cp).has_value(); }

// ---------------------------------------------------------------------------
// Stopping and reporting.

inline void PrintUnits(const char* label, std::u16string_view s, std::size_t around) {
  const std::size_t from = around > 16 ? around - 16 : 0;
  const std::size_t to = std::min(s.size(), around + 16);
  std::fprintf(stderr, "  %s (%zu units) from %zu:", label, s.size(), from);
  for (std::size_t i = from; i < to; ++i)
    std::fprintf(stderr, " %04X", static_cast<unsigned>(s[i]));
  std::fprintf(stderr, "\n");
}

inline void PrintUnits(const char* label, std::string_view s, std::size_t around) {
  std::u16string wide;
  for (const char c : s) wide.push_back(static_cast<unsigned char>(c));
  PrintUnits(label, wide, around);
}

[[noreturn]] inline void Fail(const char* what, const char* file, int line) {
  std::fprintf(stderr, "\n%s:%d: does not hold: %s\n", file, line, what);
  std::fflush(stderr);
  std::abort();
}

#define VANTOREL_CHECK(condition)                                               \
  do {                                                                          \
    if (!(condition)) ::字符串加密::fuzz::Fail(#condition, __FILE__, __LINE__); \
  } while (false)

// Two strings of code units or bytes that must be equal; on a difference
// shows where they part.
#define VANTOREL_CHECK_SAME(a, b) \
  ::字符串加密::fuzz::CheckSame((a), (b), #a " == " #b, __FILE__, __LINE__)

template <class S>
void CheckSame(const S& a, const S& b, const char* what, const char* file, int line) {
  if (a == b) return;
  const auto [ia, ib] = std::mismatch(a.begin(), a.end(), b.begin(), b.end());
  const auto at = static_cast<std::size_t>(ia - a.begin());
  std::fprintf(stderr, "\nfirst difference at %zu\n", at);
  PrintUnits("left", std::basic_string_view<typename S::value_type>(a), at);
  PrintUnits("right", std::basic_string_view<typename S::value_type>(b), at);
  Fail(what, file, line);
}

inline void PrintError(const char* label, const GroupError& e) {
  std::fprintf(stderr, "  %s: reason %d, group %zu, offset %zu\n", label,
               static_cast<int>(e.reason), e.group, e.offset);
  PrintUnits("  text", e.text, 0);
}

// Two results that must both be the same value or both the same group error.
template <class T>
void CheckSameResult(const Result<T>& a, const Result<T>& b, const char* what, const char* file,
                     int line) {
  if (a.ok() && b.ok()) return CheckSame(a.value(), b.value(), what, file, line);
  if (!a.ok() && !b.ok() && a.error() == b.error()) return;
  if (a.ok()) PrintUnits("left value", a.value(), 0);
  if (!a.ok()) PrintError("left error", a.error());
  if (b.ok()) PrintUnits("right value", b.value(), 0);
  if (!b.ok()) PrintError("right error", b.error());
  Fail(what, file, line);
}

#define VANTOREL_CHECK_SAME_RESULT(a, b) \
  ::字符串加密::fuzz::CheckSameResult((a), (b), #a " == " #b, __FILE__, __LINE__)

// ---------------------------------------------------------------------------
// Running without the vector loops.

// Clears the AVX2 bit of what the processor was found to support
// (cpu_features.cpp).
void ClearAvx2Feature();

inline void HideAvx2IfAsked() {
  const char* scalar = std::getenv("VANTOREL_FUZZ_SCALAR");
  if (scalar == nullptr || std::string_view(scalar) != "1") return;
#ifdef VANTOREL_AVX2
  // Before anything has asked: the codec asks once and keeps the answer.
  ClearAvx2Feature();
  if (simd::HasAvx2()) {
    std::fprintf(stderr, "could not hide AVX2 from the codec\n");
    std::abort();
  }
#endif
  std::fprintf(stderr, "INFO: without AVX2: the plain loops run\n");
}

}  // namespace 字符串加密::fuzz

// libFuzzer calls this once, before the first input.
extern "C" int LLVMFuzzerInitialize(int*, char***) {
  字符串加密::fuzz::HideAvx2IfAsked();
  return 0;
}
