// The tool run in-process: exact standard output, standard error and status.
#include "cli.hpp"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <string_view>
#include <vector>

namespace vantorel {
namespace {

using namespace std::string_literals;

struct Case {
  std::vector<std::string_view> args;
  std::string input;  // standard input
  std::string out;
  std::string err;
  int status;
};

void Check(const Case& c) {
  SCOPED_TRACE(testing::PrintToString(c.args) + " < " + testing::PrintToString(c.input));
  std::istringstream in(c.input);
  std::ostringstream out;
  std::ostringstream err;
  EXPECT_EQ(RunCli(c.args, in, out, err), c.status);
  EXPECT_EQ(out.str(), c.out);
  EXPECT_EQ(err.str(), c.err);
}

constexpr std::string_view kUsage = "usage: vantorel [-c CODEPAGE] encode [TEXT] | decode [HEX]\n";

TEST(CliTest, Encodes) {
  const Case cases[] = {
      {{"encode", "中"}, "", "D6 D0\n", "", 0},
      {{"encode", "Hi"}, "", "48 69\n", "", 0},
      {{"encode", ""}, "", "\n", "", 0},
      {{"encode", "  "}, "", "20 20\n", "", 0},
      {{"encode", "\t"}, "", "09\n", "", 0},
      {{"encode", "€"}, "", "80\n", "", 0},
      {{"encode", "é"}, "", "A8 A6\n", "", 0},
      // Standard input, all of it, newline included.
      {{"encode"}, "中\n", "D6 D0 0A\n", "", 0},
      {{"encode"}, "\r\n", "0D 0A\n", "", 0},
      {{"encode"}, "", "\n", "", 0},
      {{"encode"}, "a\0b"s, "61 00 62\n", "", 0},
      // The code page, before or after the command word, in every spelling.
      {{"-c", "65001", "encode", "中"}, "", "E4 B8 AD\n", "", 0},
      {{"encode", "-c", "65001", "中"}, "", "E4 B8 AD\n", "", 0},
      {{"encode", "中", "--code-page", "65001"}, "", "E4 B8 AD\n", "", 0},
      {{"--code-page=1252", "encode", "é"}, "", "E9\n", "", 0},
      {{"-c1252", "encode", "é"}, "", "E9\n", "", 0},
      {{"-c", "936", "-c", "1252", "encode", "é"}, "", "E9\n", "", 0},
      {{"-c", "54936", "encode", "中À€😀"}, "", "D6 D0 81 30 86 38 A2 E3 94 39 FC 36\n", "", 0},
      {{"-c", "950", "encode", "中"}, "", "A4 A4\n", "", 0},
      {{"-c", "932", "encode", "中"}, "", "92 86\n", "", 0},
      {{"-c", "949", "encode", "中한"}, "", "F1 E9 C7 D1\n", "", 0},
      // After "--", and a lone "-", are text.
      {{"encode", "--", "-x"}, "", "2D 78\n", "", 0},
      {{"--", "encode", "-c"}, "", "2D 63\n", "", 0},
      {{"encode", "-"}, "", "2D\n", "", 0},
  };
  for (const Case& c : cases) Check(c);
}

// Characters the code page lacks become 3F, one per UTF-16 unit, and the
// count and the first one's position (in characters, from 1) go to stderr.
TEST(CliTest, EncodeReportsCharactersTheCodePageLacks) {
  const Case cases[] = {
      {{"-c", "1252", "encode", "中€é"},
       "",
       "3F 80 E9\n",
       "vantorel: 1 character is not in code page 1252 and became 3F; it is character 1 (U+4E2D)\n",
       0},
      {{"encode"},
       "ab😀c한",
       "61 62 3F 3F 63 3F\n",
       "vantorel: 2 characters are not in code page 936 and became 3F; the first is character 3 "
       "(U+1F600)\n",
       0},
      {{"encode", "中\nÀ"},
       "",
       "D6 D0 0A 3F\n",
       "vantorel: 1 character is not in code page 936 and became 3F; it is character 3 (U+00C0)\n",
       0},
  };
  for (const Case& c : cases) Check(c);
}

TEST(CliTest, Decodes) {
  const Case cases[] = {
      {{"decode", "48 69"}, "", "Hi", "", 0},
      {{"decode"}, "48 69\n", "Hi", "", 0},
      {{"decode"}, "48 69\r\n", "Hi", "", 0},
      {{"decode", "D6 D0"}, "", "中", "", 0},
      {{"decode", "48 6a"}, "", "Hj", "", 0},
      {{"decode", "0041"}, "", "A", "", 0},
      {{"decode", "0000000041"}, "", "A", "", 0},
      {{"decode", " 48 69 "}, "", "Hi", "", 0},
      {{"decode", ""}, "", "", "", 0},
      {{"decode", "   "}, "", "", "", 0},
      {{"decode"}, "", "", "", 0},
      {{"decode", "80"}, "", "€", "", 0},
      {{"decode", "4\t1 4\r\n2"}, "", "AB", "", 0},
      // Junk after the digits is ignored; no digits read as 00.
      {{"decode", "4g"}, "", "\x04", "", 0},
      {{"decode", "4中"}, "", "\x04", "", 0},
      {{"decode", "x41"}, "", "\0"s, "", 0},
      // Zero bytes are written as they are.
      {{"decode", "48  69"}, "", "H\0i"s, "", 0},
      {{"decode", "48 00 69"}, "", "H\0i"s, "", 0},
      {{"decode", "00"}, "", "\0"s, "", 0},
      {{"-c", "65001", "decode", "E4 B8 AD F0 9F 98 80"}, "", "中😀", "", 0},
      {{"decode", "--code-page", "1252", "ff"}, "", "ÿ", "", 0},
      {{"decode", "81 30 86 38 94 39 FC 36", "-c", "54936"}, "", "À😀", "", 0},
      {{"-c", "950", "decode", "A4 A4"}, "", "中", "", 0},
      {{"-c", "932", "decode", "92 86"}, "", "中", "", 0},
      {{"-c", "949", "decode", "F1 E9 C7 D1"}, "", "中한", "", 0},
  };
  for (const Case& c : cases) Check(c);
}

// Bad input: a message, nothing on stdout, status 1, whatever came before.
TEST(CliTest, RefusesBadInput) {
  const std::string long_group = std::string(70, '0') + "100";
  const Case cases[] = {
      {{"decode", "100"},
       "",
       "",
       "vantorel: group 1 \"100\" does not fit in a byte (00 to FF)\n",
       1},
      {{"decode", "41 486 42"},
       "",
       "",
       "vantorel: group 2 \"486\" does not fit in a byte (00 to FF)\n",
       1},
      {{"decode"},
       "  41 42 FFFF \n",
       "",
       "vantorel: group 3 \"FFFF\" does not fit in a byte (00 to FF)\n",
       1},
      {{"decode"},
       "41 42\n 100000041\n",
       "",
       "vantorel: group 3 \"100000041\\n\" does not fit in a byte (00 to FF)\n",
       1},
      // The group as typed: UTF-8 as it is, control characters escaped.
      {{"decode", "1FF中"},
       "",
       "",
       "vantorel: group 1 \"1FF中\" does not fit in a byte (00 to FF)\n",
       1},
      {{"decode", "41 1\t0\r\n0"},
       "",
       "",
       "vantorel: group 2 \"1\\t0\\r\\n0\" does not fit in a byte (00 to FF)\n",
       1},
      {{"decode", long_group},
       "",
       "",
       "vantorel: group 1 \"" + std::string(64, '0') + "...\" does not fit in a byte (00 to FF)\n",
       1},
      // An overflow is found before bytes that are not text.
      {{"decode", "D6 100"},
       "",
       "",
       "vantorel: group 2 \"100\" does not fit in a byte (00 to FF)\n",
       1},

      {{"decode", "41 D6"},
       "",
       "",
       "vantorel: group 2 \"D6\" starts bytes that are not text in code page 936\n",
       1},
      {{"decode", "d6 7f"},
       "",
       "",
       "vantorel: group 1 \"d6\" starts bytes that are not text in code page 936\n",
       1},
      {{"decode", "41 42 FF"},
       "",
       "",
       "vantorel: group 3 \"FF\" starts bytes that are not text in code page 936\n",
       1},
      {{"-c", "1252", "decode", "41 81"},
       "",
       "",
       "vantorel: group 2 \"81\" starts bytes that are not text in code page 1252\n",
       1},
      {{"-c", "65001", "decode", "C0 80"},
       "",
       "",
       "vantorel: group 1 \"C0\" starts bytes that are not text in code page 65001\n",
       1},
      {{"-c", "65001", "decode", "41 E4 B8"},
       "",
       "",
       "vantorel: group 2 \"E4\" starts bytes that are not text in code page 65001\n",
       1},

      {{"encode", "\xFF"},
       "",
       "",
       "vantorel: the TEXT argument is not UTF-8: a byte that never appears in UTF-8 at byte "
       "offset 0\n",
       1},
      {{"encode"},
       "ab\xC0\x80",
       "",
       "vantorel: standard input is not UTF-8: an overlong sequence at byte offset 2\n",
       1},
      {{"encode"},
       "中\xED\xA0\x80",
       "",
       "vantorel: standard input is not UTF-8: a surrogate (U+D800 to U+DFFF) at byte offset 3\n",
       1},
      {{"encode"},
       "\xF4\x90\x80\x80",
       "",
       "vantorel: standard input is not UTF-8: a value above U+10FFFF at byte offset 0\n",
       1},
      {{"encode"},
       "abc\xE4\xB8",
       "",
       "vantorel: standard input is not UTF-8: an incomplete sequence at byte offset 3\n",
       1},
      {{"decode", "41 \x80"},
       "",
       "",
       "vantorel: the HEX argument is not UTF-8: a continuation byte without a lead byte at byte "
       "offset 3\n",
       1},
      {{"decode"},
       "41 42 \xE4",
       "",
       "vantorel: standard input is not UTF-8: an incomplete sequence at byte offset 6\n",
       1},
  };
  for (const Case& c : cases) Check(c);
}

TEST(CliTest, RefusesBadUsage) {
  const auto usage = [](std::string message) {
    return "vantorel: " + message + "\n" + std::string(kUsage);
  };
  const Case cases[] = {
      {{}, "", "", usage("missing command: encode or decode"), 2},
      {{"-c", "1252"}, "", "", usage("missing command: encode or decode"), 2},
      {{"hex", "41"}, "", "", usage("unknown command \"hex\" (encode or decode)"), 2},
      {{"41", "decode"}, "", "", usage("unknown command \"41\" (encode or decode)"), 2},
      {{"encode", "a", "b"},
       "",
       "",
       usage("encode takes one TEXT argument; quote it if it holds spaces"),
       2},
      {{"decode", "41", "42"},
       "",
       "",
       usage("decode takes one HEX argument; quote it if it holds spaces"),
       2},
      {{"encode", "-x"}, "", "", usage("unknown option \"-x\""), 2},
      {{"--verbose", "encode"}, "", "", usage("unknown option \"--verbose\""), 2},
      {{"encode", "a", "-c"}, "", "", usage("option -c needs a code page number"), 2},
      {{"encode", "--code-page"}, "", "", usage("option --code-page needs a code page number"), 2},
      {{"-c", "utf8", "encode"}, "", "", usage("code page \"utf8\" is not a number"), 2},
      {{"-c", "-1", "encode"}, "", "", usage("code page \"-1\" is not a number"), 2},
      {{"-c", "", "encode"}, "", "", usage("code page \"\" is not a number"), 2},
      {{"--code-page=", "encode"}, "", "", usage("code page \"\" is not a number"), 2},
      {{"-c", "99999999999", "encode"},
       "",
       "",
       usage("code page \"99999999999\" is not a number"),
       2},
      {{"-c", "12345", "encode", "a"},
       "",
       "",
       "vantorel: code page 12345 is not available (936, 54936, 950, 932, 949, 1252 and 65001 "
       "are)\n",
       2},
      {{"decode", "-c", "0", "41"},
       "",
       "",
       "vantorel: code page 0 is not available (936, 54936, 950, 932, 949, 1252 and 65001 are)\n",
       2},
  };
  for (const Case& c : cases) Check(c);
}

// --help and --version answer wherever they stand and whatever else is there.
TEST(CliTest, AnswersHelpAndVersion) {
  const std::vector<std::string_view> version_args[] = {
      {"--version"}, {"encode", "--version"}, {"-c", "x", "--version"}};
  for (const auto& args : version_args) Check({args, "", "vantorel 1.00\n", "", 0});

  const std::vector<std::string_view> help_args[] = {
      {"--help"}, {"-h"}, {"decode", "41", "--help"}, {"nonsense", "-h"}};
  for (const auto& args : help_args) {
    std::istringstream in;
    std::ostringstream out;
    std::ostringstream err;
    EXPECT_EQ(RunCli(args, in, out, err), 0);
    EXPECT_TRUE(out.str().starts_with(kUsage)) << out.str();
    EXPECT_NE(out.str().find("-c, --code-page"), std::string::npos);
    EXPECT_EQ(err.str(), "");
  }
}

// Large input is converted piece by piece: characters cut by a piece's edge,
// the space that joins two pieces, and positions counted across pieces must
// all come out as if the input were one piece.
TEST(CliTest, LargeInputComesOutWhole) {
  struct Char {
    std::string_view utf8;
    std::string_view hex;
  };
  const Char alphabet[] = {
      {"a", "61"}, {"中", "D6 D0"}, {"😀", "3F 3F"}, {"文", "CE C4"}, {"\n", "0A"}};
  std::string text;
  std::string hex;
  std::size_t characters = 0;
  std::size_t first_emoji = 0;  // 1-based
  for (std::size_t i = 0; text.size() < (std::size_t{3} << 20); ++i) {
    const Char& c = alphabet[i % 7 % 5];  // uneven run lengths shift the edges
    if (c.utf8 == "😀") {
      // Only past the first piece of 1 MiB.
      if (text.size() < 1'200'000) continue;
      if (first_emoji == 0) first_emoji = characters + 1;
    }
    text += c.utf8;
    if (!hex.empty()) hex += ' ';
    hex += c.hex;
    ++characters;
  }

  std::istringstream in(text);
  std::ostringstream out;
  std::ostringstream err;
  ASSERT_EQ(RunCli(std::vector<std::string_view>{"encode"}, in, out, err), 0);
  EXPECT_TRUE(out.str() == hex + "\n");
  std::size_t emoji = 0;
  for (std::size_t at = text.find("😀"); at != text.npos; at = text.find("😀", at + 1)) ++emoji;
  EXPECT_EQ(err.str(), "vantorel: " + std::to_string(emoji) +
                           " characters are not in code page 936 and became 3F; the first is "
                           "character " +
                           std::to_string(first_emoji) + " (U+1F600)\n");

  // And back, with the emoji left out (3F 3F reads as "??").
  std::istringstream hex_in(hex);
  std::ostringstream text_out;
  std::ostringstream decode_err;
  ASSERT_EQ(RunCli(std::vector<std::string_view>{"decode"}, hex_in, text_out, decode_err), 0);
  std::string expected = text;
  for (std::size_t at = expected.find("😀"); at != expected.npos; at = expected.find("😀", at))
    expected.replace(at, 4, "??");
  EXPECT_TRUE(text_out.str() == expected);
  EXPECT_EQ(decode_err.str(), "");
}

}  // namespace
}  // namespace vantorel
