#include "cli/held_hex.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <string>

#include "codec/codec.hpp"

namespace vantorel {
namespace {

// Text given in parts of a few odd sizes, as a pipe gives it.
class PartsInput final : public io::Input {
 public:
  explicit PartsInput(std::string text) : text_(std::move(text)) {}
  std::optional<std::uint64_t> FileLength() override { return std::nullopt; }
  std::size_t ReadAt(std::uint64_t, char*, std::size_t) override { return 0; }
  bool Unchanged() override { return true; }
  std::optional<std::u16string> ReadConsoleText() override { return std::nullopt; }
  std::size_t Read(char* to, std::size_t n) override {
    n = std::min({n, text_.size() - at_, std::size_t{70'001} + at_ % 7});
    std::copy_n(text_.data() + at_, n, to);
    at_ += n;
    return n;
  }

 private:
  std::string text_;
  std::size_t at_ = 0;
};

// Whatever is held as bytes reads back as the text that came, from any
// offset; bytes are given only for whole groups of canonical text.
TEST(HeldHexTest, ReadsBackWhatCame) {
  constexpr std::size_t kBlock = 3 << 16;
  std::string text;
  for (std::size_t i = 0; text.size() < 2 * kBlock; ++i) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    text += {kDigits[i * 7 % 16], kDigits[i % 16], ' '};
  }
  std::string lower = text.substr(0, kBlock);
  std::ranges::transform(lower, lower.begin(), [](char c) { return c == 'A' ? 'a' : c; });
  // Held as it came, then as bytes again, past where the first 8 MiB of
  // bytes are held (128 blocks), and as it came.
  text += lower;
  while (text.size() < 131 * kBlock) text.append(text, 0, kBlock);
  text += "4G \n";
  PartsInput input(text);
  const HeldHex held(input);
  ASSERT_EQ(held.size(), text.size());
  for (const std::size_t offset :
       {std::size_t{0}, std::size_t{1}, std::size_t{2}, kBlock - 4, kBlock - 2, 2 * kBlock + 5,
        3 * kBlock - 1, 128 * kBlock - 1, text.size() - 7}) {
    for (const std::size_t n : {std::size_t{1}, std::size_t{2}, std::size_t{4}, kBlock + 3}) {
      std::string read(n, '\0');
      read.resize(held.ReadAt(offset, read.data(), n));
      EXPECT_EQ(read, text.substr(offset, n)) << offset << " " << n;
    }
  }
  // The bytes, where given, are those of the text; at the start of a block
  // held apart from the block before, they are not given.
  const auto bytes_of = [&](std::size_t offset, std::size_t length) -> std::optional<std::size_t> {
    const std::optional<std::string_view> bytes = held.BytesOf(offset, length);
    if (!bytes) return std::nullopt;
    std::string hex(3 * bytes->size() - 1, '\0');
    字符串加密::WriteHex(*bytes, hex.data());
    EXPECT_EQ(hex, text.substr(offset, length)) << offset;
    return bytes->size();
  };
  struct Case {
    std::size_t offset, length;
    std::optional<std::size_t> bytes;  // how many, where given
  } const cases[] = {
      {0, 2, 1},
      {3, kBlock + 2, kBlock / 3 + 1},  // across two blocks
      {1, 2, std::nullopt},             // not at a group's start
      {1, 4, std::nullopt},
      {0, 3, std::nullopt},                // not at a group's end
      {kBlock, kBlock + 2, std::nullopt},  // into the lower-case block
      {3 * kBlock, kBlock - 1, kBlock / 3},
      {130 * kBlock, kBlock - 1, std::nullopt},  // the last group follows
  };
  for (const Case& c : cases) EXPECT_EQ(bytes_of(c.offset, c.length), c.bytes) << c.offset;
  int apart = 0;
  for (std::size_t b = 4; b < 130; ++b) apart += !bytes_of(b * kBlock - 3, 5);
  EXPECT_EQ(apart, 1);
}

}  // namespace
}  // namespace vantorel
