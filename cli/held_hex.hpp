// Hex text that cannot be read again (a pipe's), held in memory for decode's
// passes over it. Where a block of it is canonical (upper-case pairs, a
// single space after each), only its bytes are held, a third of its size,
// and its text is written out again from them whenever it is read; the rest
// is held as it came. What is read back is always the text as it came.
#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <string_view>
#include <vector>

#include "cli/io.hpp"

namespace vantorel {

class HeldHex {
 public:
  // All that `in` gives, read as it comes (io::Input::Read).
  explicit HeldHex(io::Input& in);

  std::size_t size() const { return size_; }

  // Up to n characters from offset on, fewer only at the end; how many.
  std::size_t ReadAt(std::size_t offset, char* to, std::size_t n) const;

  // The bytes of the `length` characters from offset on, when those are
  // canonical hex text throughout (from a group's start to a group's end),
  // followed by a single space and another group: (length + 1) / 3 bytes,
  // read straight from where they are held. Nothing otherwise.
  std::optional<std::string_view> BytesOf(std::size_t offset, std::size_t length) const;

 private:
  // Characters in a block: 2^16 groups of three.
  static constexpr std::size_t kGroups = std::size_t{1} << 16;
  static constexpr std::size_t kBlock = 3 * kGroups;

  // Blocks are held one after another in chunks of this many bytes, each
  // allocated once: nothing held is ever copied to make room.
  static constexpr std::size_t kChunk = std::size_t{8} << 20;

  struct Block {
    const char* held;  // its bytes, or its text as it came
    bool canonical;    // held as its bytes
  };

  void Hold(std::string_view text);
  char* Room(std::size_t n);

  std::vector<std::unique_ptr<char[]>> chunks_;
  std::size_t used_ = kChunk;  // of the last chunk
  std::vector<Block> blocks_;  // every kBlock characters, the last one shorter
  std::size_t size_ = 0;       // characters
};

}  // namespace vantorel
