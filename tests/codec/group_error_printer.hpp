// Lets GoogleTest show a GroupError readably when an expectation fails.
#pragma once

#include <ostream>

#include "codec/codec.hpp"

namespace 字符串加密 {

inline void PrintTo(const GroupError& e, std::ostream* os) {
  static const char* const kReasons[] = {"too large", "zero byte", "not text", "written otherwise"};
  *os << "{" << kReasons[static_cast<int>(e.reason)] << ", group " << e.group << ", offset "
      << e.offset << ", \"";
  for (char16_t c : e.text) {
    if (c >= 0x20 && c < 0x7F) {
      *os << static_cast<char>(c);
    } else {
      *os << "\\u" << std::hex << static_cast<unsigned>(c) << std::dec;
    }
  }
  *os << "\"";
  if (e.reason == GroupError::Reason::kWrittenOtherwise) {
    *os << std::hex << ", U+" << static_cast<unsigned>(e.character) << " read from";
    for (const char b : e.read) *os << " " << static_cast<unsigned>(static_cast<unsigned char>(b));
    *os << ", written as";
    for (const char b : e.written)
      *os << " " << static_cast<unsigned>(static_cast<unsigned char>(b));
    *os << std::dec;
  }
  *os << "}";
}

}  // namespace 字符串加密
