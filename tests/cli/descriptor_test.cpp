// The tool on the system's standard streams: a regular file read a window at
// a time, a pipe read whole (even one byte at a time), and standard output
// that goes away. Inputs a little over a window (2 MiB) put characters and
// groups across its edges.
#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "tests/cli/runner.hpp"

namespace vantorel {
namespace {

struct Case {
  std::vector<std::string_view> args;
  std::string input;
  Via via;
  int status;
  std::string err, out;
};

std::string Repeat(std::string_view s, std::size_t times) {
  std::string all;
  for (std::size_t i = 0; i < times; ++i) all += s;
  return all;
}

TEST(DescriptorTest, FilesAndPipesOfAnySizeAndShape) {
  const std::size_t n = 800'000;  // "61 " n times: a little over a window
  const std::string a = std::string(n, 'a'), hex = Repeat("61 ", n);
  const std::string no_byte = " does not fit in a byte (00 to FF)\n";
  std::vector<Case> cases = {
      {{"decode"}, hex + "1FF", Via::kFile, 1, "vantorel: group 800001 \"1FF\"" + no_byte, ""},
      {{"decode"}, hex + "1FF", Via::kPipe, 1, "vantorel: group 800001 \"1FF\"" + no_byte, ""},
      {{"decode"},
       hex + "81",
       Via::kFile,
       1,
       "vantorel: group 800001 \"81\" starts bytes that are not text in code page 936\n",
       ""},
      {{"encode"},
       a + "\xE4\xB8",
       Via::kFile,
       1,
       "vantorel: standard input is not UTF-8: an incomplete sequence at byte offset 800000\n",
       ""},
      {{"decode"},
       "1FF " + hex + "\xFF",
       Via::kFile,
       1,
       "vantorel: standard input is not UTF-8: a byte that never appears in UTF-8 at byte offset "
       "2400004\n",
       ""},
      // No place to cut but at the end: the window grows.
      {{"decode"},
       Repeat("4a  ", n) + "4a",
       Via::kFile,
       0,
       "vantorel: 800000 groups have no hex digit and became 00; the first is group 2 \"\" "
       "(two spaces in a row)\n",
       Repeat(std::string_view("J\0", 2), n) + "J"},
      // The ends trimmed in the first and last window; what is left unread,
      // or what --any cannot read, named from the file; --any across windows.
      {{"decode"},
       std::string("\r\n ") + hex + "4g\n\t\n",
       Via::kFile,
       0,
       "vantorel: 1 group was read only in part; it is group 800001 \"4g\", of which \"g\" was "
       "not read\n",
       a + "\x04"},
      {{"decode", "--any"}, Repeat("0x61, ", n) + "\n", Via::kFile, 0, "", a},
      {{"decode", "--any"}, Repeat("61", n), Via::kPipe, 0, "", a},
      {{"decode", "--any"},
       std::string("\n") + Repeat("0x61, ", n) + "0x1FF",
       Via::kFile,
       1,
       "vantorel: cannot read \"0x1FF\" at byte offset 4800001 (more than two digits with a "
       "prefix or suffix)\n",
       ""},
      {{"encode"}, "", Via::kFile, 0, "", "\n"},
      {{"decode"}, "", Via::kFile, 0, "", ""},
      {{"encode"}, "中a", Via::kByteAtATime, 0, "", "D6 D0 61\n"},
      {{"decode"}, " D6 D0 61 ", Via::kByteAtATime, 0, "", "中a"},
      {{"decode"},
       hex + "61",
       Via::kFileToClosedPipe,
       1,
       "vantorel: cannot write to standard output: Broken pipe\n",
       ""},
  };
  // Every phase of a group (two digits and a space) and of a character (three
  // bytes and four) against the edges of windows and pieces.
  const std::string text = Repeat("中😀", 330'000), text_hex = Repeat("D6 D0 94 39 FC 36 ", 330'000);
  for (std::size_t k = 0; k < 7; ++k) {
    if (k < 3) cases.push_back({{"decode"}, std::string(k, ' ') + hex, Via::kFile, 0, "", a});
    if (k < 2) {
      cases.push_back({{"decode"},
                       Repeat("61 ", k) + Repeat("D6 D0 ", n / 2),
                       Via::kFile,
                       0,
                       "",
                       std::string(k, 'a') + Repeat("中", n / 2)});
    }
    cases.push_back({{"-c", "54936", "encode"},
                     std::string(k, 'a') + text,
                     Via::kFile,
                     0,
                     "",
                     Repeat("61 ", k) + text_hex.substr(0, text_hex.size() - 1) + "\n"});
  }

  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.args) + " < " + c.input.substr(0, 20) + " (" +
                 std::to_string(c.input.size()) + " bytes, way " +
                 std::to_string(static_cast<int>(c.via)) + ")");
    const std::optional<Ran> ran = RunTool(c.args, c.input, c.via);
    if (!ran) continue;  // not a case for this system
    EXPECT_EQ(ran->status, c.status);
    EXPECT_EQ(ran->err, c.err);
    EXPECT_TRUE(ran->out == c.out) << testing::PrintToString(ran->out.substr(0, 80));
  }
}

}  // namespace
}  // namespace vantorel
