// Lets GoogleTest show a GroupError readably when an expectation fails.
#pragma once

#include <ostream>

#include "codec/codec.hpp"

namespace 字符串加密 {

inline void PrintTo(const GroupError& e, std::ostream* os) {
  static const char* const kReasons[] = {"too large", "zero byte", "not text"};
  *os << "{" << kReasons[static_cast<int>(e.reason)] << ", group " << e.group << ", offset "
      << e.offset << ", \"";
  for (char16_t c : e.text) {
    if (c >= 0x20 && c < 0x7F) {
      *os << static_cast<char>(c);
    } else {
      *os << "\\u" << std::hex << static_cast<unsigned>(c) << std::dec;
    }
  }
  *os << "\"}";
}

}  // namespace 字符串加密
