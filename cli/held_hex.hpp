// What is held of input that cannot be read again (a pipe's): bytes in
// chunks that never move (HeldChunks), and decode's hex text (HeldHex).
#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <string_view>
#include <vector>

#include "cli/io.hpp"

namespace vantorel {

// Bytes held one after another in chunks, each allocated once (its pages
// come as they are first written): nothing held is ever copied to make room.
class HeldChunks {
 public:
  static constexpr std::size_t kChunk = std::size_t{8} << 20;

  // Room for n bytes (at most kChunk) in one piece after what is held; then
  // Held() with how many were written there.
  char* Room(std::size_t n);
  void Held(std::size_t n) { sizes_.back() += n; }

  // Appends bytes, across chunks where they do not fit in one.
  void Append(std::string_view bytes);

  // Hands each chunk's bytes, in order, to each.
  template <typename Each>
  void ForEach(const Each& each) const {
    for (std::size_t i = 0; i < chunks_.size(); ++i)
      each(std::string_view(chunks_[i].get(), sizes_[i]));
  }

 private:
  std::vector<std::unique_ptr<char[]>> chunks_;
  std::vector<std::size_t> sizes_;  // how much of each is held
};

// Hex text held for decode's passes over it. Where a block of it is
// canonical (upper-case pairs, a single space after each), only its bytes
// are held, a third of its size, and its text is written out again from them
// whenever it is read; the rest is held as it came. What is read back is
// always the text as it came.
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

  struct Block {
    const char* held;  // its bytes, or its text as it came
    bool canonical;    // held as its bytes
  };

  void Hold(std::string_view text);

  HeldChunks held_;
  std::vector<Block> blocks_;  // every kBlock characters, the last one shorter
  std::size_t size_ = 0;       // characters
};

}  // namespace vantorel
