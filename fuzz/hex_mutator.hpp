// A mutator for hex text. libFuzzer's own mutations seldom build the long
// stretches of canonical groups ("48 69 ...") that the vector loops read 48
// characters at a time, so now and then this one writes such a stretch into
// the input, or rewrites the whole input as canonical hex text; the rest of
// the time libFuzzer mutates as usual (with the dictionary, when given one),
// which breaks the stretches up again with junk, lower case and odd spaces.
//
// It defines libFuzzer's mutator hook: include it in one file per target.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <random>
#include <string>

#include "codec/internal/reference.hpp"
#include "fuzz/fuzz_support.hpp"

extern "C" std::size_t LLVMFuzzerMutate(std::uint8_t* data, std::size_t size, std::size_t max_size);

namespace 字符串加密::fuzz {

inline std::string CanonicalGroups(std::minstd_rand& rng, std::size_t groups, bool lower) {
  static constexpr char kUpper[] = "0123456789ABCDEF";
  static constexpr char kLower[] = "0123456789abcdef";
  const char* digits = lower ? kLower : kUpper;
  std::string hex;
  hex.reserve(3 * groups);
  for (std::size_t g = 0; g < groups; ++g) {
    const unsigned b = rng() & 0xFF;
    hex += digits[b >> 4];
    hex += digits[b & 0xF];
    hex += ' ';
  }
  return hex;
}

// Writes a stretch of canonical groups at a random place after the first
// byte; returns the new size.
inline std::size_t InsertCanonical(std::uint8_t* data, std::size_t size, std::size_t max_size,
                                   std::minstd_rand& rng) {
  if (size == 0 || max_size <= size) return 0;
  const std::size_t room = (max_size - size) / 3;
  if (room == 0) return 0;
  // Mostly around one to four blocks of 16 groups.
  const std::size_t groups = 1 + rng() % std::min<std::size_t>(room, 70);
  const std::string run = CanonicalGroups(rng, groups, rng() % 8 == 0);
  const std::size_t at = 1 + rng() % size;
  std::memmove(data + at + run.size(), data + at, size - at);
  std::memcpy(data + at, run.data(), run.size());
  return size + run.size();
}

// Reads the input as hex text and writes its bytes back canonically: long
// clean stretches that a following mutation can then spoil in one place.
inline std::size_t Canonicalize(std::uint8_t* data, std::size_t size, std::size_t max_size) {
  if (size < 2) return 0;
  const std::string_view rest(reinterpret_cast<const char*>(data + 1), size - 1);
  const auto bytes = reference::HexToBytes(UnitsFromLatin1(rest));
  if (!bytes.ok() || bytes.value().empty()) return 0;
  const std::u16string hex = reference::BytesToHex(bytes.value());
  if (1 + hex.size() > max_size) return 0;
  for (std::size_t i = 0; i < hex.size(); ++i) data[1 + i] = static_cast<std::uint8_t>(hex[i]);
  return 1 + hex.size();
}

inline std::size_t MutateHex(std::uint8_t* data, std::size_t size, std::size_t max_size,
                             unsigned seed) {
  std::minstd_rand rng(seed);
  std::size_t n = 0;
  switch (rng() % 8) {
    case 0:
      n = InsertCanonical(data, size, max_size, rng);
      break;
    case 1:
      n = Canonicalize(data, size, max_size);
      if (n != 0) n = LLVMFuzzerMutate(data, n, max_size);
      break;
    default:
      break;
  }
  return n != 0 ? n : LLVMFuzzerMutate(data, size, max_size);
}

}  // namespace 字符串加密::fuzz

extern "C" std::size_t LLVMFuzzerCustomMutator(std::uint8_t* data, std::size_t size,
                                               std::size_t max_size, unsigned seed) {
  return 字符串加密::fuzz::MutateHex(data, size, max_size, seed);
}
