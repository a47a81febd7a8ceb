// The byte stage on its own: the hex text format and its lenient reading.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "codec/codec.hpp"
#include "tests/codec/group_error_printer.hpp"

namespace 字符串加密 {
namespace {

using Reason = GroupError::Reason;
using namespace std::string_literals;

std::string Narrow(std::u16string_view s) { return std::string(s.begin(), s.end()); }

TEST(BytesToHex, EveryByteValueGoesBothWays) {
  std::string all, upper, lower;
  for (int b = 0; b < 256; ++b) {
    all.push_back(static_cast<char>(b));
    char hex[8];
    std::snprintf(hex, sizeof hex, b == 0 ? "%02X" : " %02X", b);
    upper += hex;
    std::snprintf(hex, sizeof hex, b == 0 ? "%02x" : " %02x", b);
    lower += hex;
  }
  EXPECT_EQ(Narrow(BytesToHex(all)), upper);
  for (const std::string& hex : {upper, lower}) {
    const auto back = HexToBytes(hex);
    ASSERT_TRUE(back.ok());
    EXPECT_EQ(back.value(), all);
  }
}

TEST(HexToBytes, ReadsLeniently) {
  const struct {
    std::u16string hex;
    std::string bytes;
  } cases[] = {
      {u"", ""},
      {u"   ", ""},
      {u"48 69", "Hi"},
      {u"   48 69   ", "Hi"},
      {u"48 6a", "Hj"},
      {u"ff", "\xff"},
      {u"Ff fF", "\xff\xff"},
      {u"0000000041", "A"},
      {u"0FF", "\xff"},
      {u"41zz", "A"},
      {u"4g1", "\x04"},
      {u"48  69", "H\0i"s},
      {u"48   69", "H\0\0i"s},
      {u"zz", "\0"s},
      {u"x41", "\0"s},
      {u"&H41", "\0"s},
      {u"4\t1", "A"},
      {u"4\n1", "A"},
      {u"4\r\n1", "A"},
      {u"\t41\t", "A"},
      {u"\r\n41 42\r\n", "AB"},
      {u"\t", "\0"s},
      {u"4 1", "\x04\x01"},
      {u"41\u30004", "A"},
      {u"\u300041", "\0"s},
  };
  for (const auto& c : cases) {
    const auto wide = HexToBytes(c.hex);
    ASSERT_TRUE(wide.ok()) << Narrow(c.hex);
    EXPECT_EQ(wide.value(), c.bytes) << Narrow(c.hex);
    if (c.hex.find_first_of(u"\u3000") == c.hex.npos) {
      const auto narrow = HexToBytes(Narrow(c.hex));
      ASSERT_TRUE(narrow.ok()) << Narrow(c.hex);
      EXPECT_EQ(narrow.value(), c.bytes) << Narrow(c.hex);
    }
  }
}

TEST(HexToBytes, NamesTheFirstGroupAboveFF) {
  const struct {
    std::u16string hex;
    std::size_t group;
    std::size_t offset;
    std::u16string text;
  } cases[] = {
      {u"100", 1, 0, u"100"},
      {u"486 69", 1, 0, u"486"},
      {u"48 486 69", 2, 3, u"486"},
      {u"48 69 FFFF", 3, 6, u"FFFF"},
      {u"  48 69 FFFF  ", 3, 8, u"FFFF"},
      {u"48 100000041", 2, 3, u"100000041"},
      {u"0000000100", 1, 0, u"0000000100"},
      {u"48 1\t00 2000", 2, 3, u"1\t00"},
      {u"48\r\n69", 1, 0, u"48\r\n69"},
      {u"48  1FFz 300", 3, 4, u"1FFz"},
      {u"41 fff", 2, 3, u"fff"},
      // Characters beyond Latin-1 kept in the group's text; a byte above 7F
      // read as the character of that number.
      {u"41 100中", 2, 3, u"100中"},
      {u"41 100\u00ff", 2, 3, u"100\u00ff"},
  };
  for (const auto& c : cases) {
    const auto wide = HexToBytes(c.hex);
    ASSERT_FALSE(wide.ok()) << Narrow(c.hex);
    EXPECT_EQ(wide.error(), (GroupError{Reason::kTooLarge, c.group, c.offset, c.text}))
        << Narrow(c.hex);
    if (c.hex.back() == u'中') continue;  // no narrow form
    const auto narrow = HexToBytes(Narrow(c.hex));
    ASSERT_FALSE(narrow.ok()) << Narrow(c.hex);
    EXPECT_EQ(narrow.error(), wide.error());
  }
}

TEST(LocateGroup, FindsGroupsAsTheReaderCountsThem) {
  const struct {
    std::u16string hex;
    std::size_t group;
    GroupSpan span;
  } cases[] = {
      {u"48 69", 1, {0, 2}},  {u"48 69", 2, {3, 2}},  {u"  48 69 ", 2, {5, 2}},
      {u"48  69", 2, {3, 0}}, {u"48  69", 3, {4, 2}}, {u"48 69", 3, {5, 0}},
      {u"zz", 1, {0, 2}},
  };
  for (const auto& c : cases) {
    const GroupSpan span = LocateGroup(c.hex, c.group);
    EXPECT_EQ(span.offset, c.span.offset) << Narrow(c.hex) << " group " << c.group;
    EXPECT_EQ(span.length, c.span.length) << Narrow(c.hex) << " group " << c.group;
  }
}

}  // namespace
}  // namespace 字符串加密
