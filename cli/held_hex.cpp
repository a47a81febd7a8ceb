#include "cli/held_hex.hpp"

#include <algorithm>
#include <cstring>

#include "codec/codec.hpp"
#include "codec/internal/hex_reading.hpp"

namespace vantorel {
namespace {

namespace codec = 字符串加密;

// Characters [from, from + count) of the canonical hex text of bytes, each
// byte's group followed by a space, written at out.
void WriteCanonical(const char* bytes, std::size_t from, std::size_t count, char* out) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  const auto group = [&](std::size_t k, char* to) {
    const auto b = static_cast<unsigned char>(bytes[k]);
    to[0] = kDigits[b >> 4];
    to[1] = kDigits[b & 0xF];
    to[2] = ' ';
  };
  std::size_t k = from / 3;
  if (const std::size_t phase = from % 3; phase != 0) {
    char part[3];
    group(k++, part);
    const std::size_t n = std::min(count, 3 - phase);
    out = std::copy_n(part + phase, n, out);
    count -= n;
  }
  if (const std::size_t whole = count / 3; whole > 0) {
    codec::WriteHex({bytes + k, whole}, out);
    out[3 * whole - 1] = ' ';
    out += 3 * whole;
    k += whole;
    count -= 3 * whole;
  }
  if (count > 0) {
    char part[3];
    group(k, part);
    std::copy_n(part, count, out);
  }
}

}  // namespace

char* HeldChunks::Room(std::size_t n) {
  if (chunks_.empty() || kChunk - sizes_.back() < n) {
    chunks_.push_back(std::make_unique_for_overwrite<char[]>(kChunk));
    sizes_.push_back(0);
    io::PreferHugePages(chunks_.back().get(), kChunk);
  }
  return chunks_.back().get() + sizes_.back();
}

void HeldChunks::Append(std::string_view bytes) {
  while (!bytes.empty()) {
    // What fits in the last chunk, else in a new one.
    std::size_t n = chunks_.empty() ? 0 : std::min(bytes.size(), kChunk - sizes_.back());
    if (n == 0) n = std::min(bytes.size(), kChunk);
    std::memcpy(Room(n), bytes.data(), n);
    Held(n);
    bytes.remove_prefix(n);
  }
}

HeldHex::HeldHex(io::Input& in) {
  // Each block is read whole into one buffer used again.
  const auto text = std::make_unique_for_overwrite<char[]>(kBlock);
  for (;;) {
    std::size_t filled = 0;
    while (filled < kBlock) {
      const std::size_t got = in.Read(text.get() + filled, kBlock - filled);
      if (got == 0) break;
      filled += got;
    }
    if (filled > 0) Hold({text.get(), filled});
    if (filled < kBlock) break;
  }
}

void HeldHex::Hold(std::string_view text) {
  // Room for the text as it came, which its bytes fit in too.
  char* const to = held_.Room(text.size());
  const bool canonical = text.size() == kBlock && codec::hex_reading::ReadUpperGroups(text, to);
  if (!canonical) std::memcpy(to, text.data(), text.size());
  blocks_.push_back({to, canonical});
  held_.Held(canonical ? kGroups : text.size());
  size_ += text.size();
}

std::size_t HeldHex::ReadAt(std::size_t offset, char* to, std::size_t n) const {
  n = std::min(n, size_ - std::min(offset, size_));
  for (std::size_t done = 0; done < n;) {
    const std::size_t at = offset + done, in = at % kBlock;
    const Block& block = blocks_[at / kBlock];
    const std::size_t count = std::min(n - done, kBlock - in);
    if (block.canonical) {
      WriteCanonical(block.held, in, count, to + done);
    } else {
      std::memcpy(to + done, block.held + in, count);
    }
    done += count;
  }
  return n;
}

std::optional<std::string_view> HeldHex::BytesOf(std::size_t offset, std::size_t length) const {
  // The first character of the group after must be held as a byte too.
  const std::size_t next = offset + length + 1;
  if (offset % 3 != 0 || next % 3 != 0 || next >= size_) return std::nullopt;
  const std::size_t first = offset / kBlock;
  for (std::size_t b = first; b <= next / kBlock; ++b) {
    // Each block's bytes right after the one before's, in the same chunk.
    if (!blocks_[b].canonical || (b > first && blocks_[b].held != blocks_[b - 1].held + kGroups))
      return std::nullopt;
  }
  return std::string_view(blocks_[first].held + offset % kBlock / 3, next / 3 - offset / 3);
}

}  // namespace vantorel
