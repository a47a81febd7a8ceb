// UTF-16 written as UTF-8 a block at a time, for the codec's own UTF-8 and the
// command-line tool's standard streams alike.
#pragma once

#include <cstddef>

namespace 字符串加密::utf8_blocks {

// Code units that are ASCII or from U+0800 to U+FFFF and no surrogates (text
// in Chinese, ASCII among it), written as their one or three bytes each at
// out: 16 of ASCII or eight of either at a time, with AVX2 where the
// processor has it, while such units go on and ten are left (the room for
// those holds what is written past their bytes). Returns how many units it
// took and moves out past their bytes; 0 where it cannot start, or without
// AVX2, so that the caller's plain loop goes on from there.
std::size_t WriteRun(const char16_t* in, std::size_t n, char*& out);

}  // namespace 字符串加密::utf8_blocks
