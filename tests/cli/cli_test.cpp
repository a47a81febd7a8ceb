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
using Args = std::vector<std::string_view>;

struct Outcome {
  std::string out;
  std::string err;
  int status;
  bool operator==(const Outcome&) const = default;
  friend void PrintTo(const Outcome& o, std::ostream* os) {
    *os << testing::PrintToString(o.out) << ", " << testing::PrintToString(o.err) << ", "
        << o.status;
  }
};

Outcome RunTool(const Args& args, const std::string& input = "") {
  std::istringstream in(input);
  std::ostringstream out;
  std::ostringstream err;
  const int status = RunCli(args, in, out, err);
  return {out.str(), err.str(), status};
}

struct Case {
  Args args;
  std::string input;  // standard input
  Outcome expected;
};

void CheckAll(std::initializer_list<Case> cases) {
  for (const Case& c : cases)
    EXPECT_EQ(RunTool(c.args, c.input), c.expected)
        << testing::PrintToString(c.args) << " < " << testing::PrintToString(c.input);
}

Outcome Ok(std::string out) { return {std::move(out), "", 0}; }
Outcome Fails(std::string message) { return {"", "vantorel: " + message + "\n", 1}; }
Outcome TooLarge(int group, std::string_view text) {
  return Fails("group " + std::to_string(group) + " \"" + std::string(text) +
               "\" does not fit in a byte (00 to FF)");
}
Outcome NotText(int group, std::string_view text, int cp) {
  return Fails("group " + std::to_string(group) + " \"" + std::string(text) +
               "\" starts bytes that are not text in code page " + std::to_string(cp));
}
constexpr std::string_view kUsage = "usage: vantorel [-c CODEPAGE] encode [TEXT] | decode [HEX]\n";
Outcome Usage(std::string message) {
  return {"", "vantorel: " + message + "\n" + std::string(kUsage), 2};
}

TEST(CliTest, Encodes) {
  CheckAll({
      {{"encode", "中"}, "", Ok("D6 D0\n")},
      {{"encode", "Hi\t€é"}, "", Ok("48 69 09 80 A8 A6\n")},
      {{"encode", ""}, "", Ok("\n")},
      {{"encode", "  "}, "", Ok("20 20\n")},
      // Standard input, all of it, line break included.
      {{"encode"}, "中\r\n", Ok("D6 D0 0D 0A\n")},
      {{"encode"}, "a\0b"s, Ok("61 00 62\n")},
      {{"encode"}, "", Ok("\n")},
      // The code page before or after the command word, in every spelling.
      {{"-c", "65001", "encode", "中"}, "", Ok("E4 B8 AD\n")},
      {{"encode", "中", "--code-page", "65001"}, "", Ok("E4 B8 AD\n")},
      {{"--code-page=1252", "encode", "é"}, "", Ok("E9\n")},
      {{"-c936", "encode", "-c1252", "é"}, "", Ok("E9\n")},
      {{"-c", "54936", "encode", "中À€😀"}, "", Ok("D6 D0 81 30 86 38 A2 E3 94 39 FC 36\n")},
      {{"-c", "950", "encode", "中"}, "", Ok("A4 A4\n")},
      {{"-c", "932", "encode", "中"}, "", Ok("92 86\n")},
      {{"-c", "949", "encode", "中한"}, "", Ok("F1 E9 C7 D1\n")},
      // After "--", and a lone "-", it is all text.
      {{"encode", "--", "-x"}, "", Ok("2D 78\n")},
      {{"--", "encode", "-c"}, "", Ok("2D 63\n")},
      {{"encode", "-"}, "", Ok("2D\n")},
      // Characters the code page lacks: 3F per UTF-16 unit, and a note.
      {{"-c", "1252", "encode", "中€é"},
       "",
       {"3F 80 E9\n",
        "vantorel: 1 character is not in code page 1252 and became 3F; it is character 1 "
        "(U+4E2D)\n",
        0}},
      {{"encode"},
       "中\nb😀c한",
       {"D6 D0 0A 62 3F 3F 63 3F\n",
        "vantorel: 2 characters are not in code page 936 and became 3F; the first is character "
        "4 (U+1F600)\n",
        0}},
  });
}

TEST(CliTest, Decodes) {
  CheckAll({
      {{"decode", "48 69"}, "", Ok("Hi")},
      {{"decode"}, "48 69\n", Ok("Hi")},
      {{"decode", " 48 6a "}, "", Ok("Hj")},
      {{"decode", "D6 D0 80"}, "", Ok("中€")},
      {{"decode", "0041 0000000041"}, "", Ok("AA")},
      {{"decode", "4\t1 4\r\n2"}, "", Ok("AB")},
      {{"decode", "   "}, "", Ok("")},
      {{"decode"}, "", Ok("")},
      // Junk after the digits is ignored; no digits read as 00.
      {{"decode", "4g 4中"}, "", Ok("\x04\x04")},
      {{"decode", "x41"}, "", Ok("\0"s)},
      // Zero bytes are written as they are.
      {{"decode", "48  69"}, "", Ok("H\0i"s)},
      {{"decode", "48 00 69"}, "", Ok("H\0i"s)},
      {{"-c", "65001", "decode", "E4 B8 AD F0 9F 98 80"}, "", Ok("中😀")},
      {{"decode", "--code-page", "1252", "ff"}, "", Ok("ÿ")},
      {{"decode", "81 30 86 38 94 39 FC 36", "-c", "54936"}, "", Ok("À😀")},
      {{"-c", "950", "decode", "A4 A4"}, "", Ok("中")},
      {{"-c", "932", "decode", "92 86"}, "", Ok("中")},
      {{"-c", "949", "decode", "F1 E9 C7 D1"}, "", Ok("中한")},
  });
}

// Bad input: a message, nothing on stdout, status 1.
TEST(CliTest, RefusesBadInput) {
  const std::string long_group = std::string(70, '0') + "100";
  CheckAll({
      {{"decode", "100"}, "", TooLarge(1, "100")},
      {{"decode", "41 486 42"}, "", TooLarge(2, "486")},
      {{"decode"}, "  41 42 FFFF \n", TooLarge(3, "FFFF")},
      {{"decode"}, "41 42\n 100000041\n", TooLarge(3, "100000041\\n")},
      {{"decode", "1FF中"}, "", TooLarge(1, "1FF中")},
      {{"decode", "41 1\t0\r0\x01"}, "", TooLarge(2, "1\\t0\\r0\\x01")},
      {{"decode", long_group}, "", TooLarge(1, std::string(64, '0') + "...")},
      {{"decode", "D6 100"}, "", TooLarge(2, "100")},

      {{"decode", "41 D6"}, "", NotText(2, "D6", 936)},
      {{"decode", "d6 7f"}, "", NotText(1, "d6", 936)},
      {{"decode", "41 42 FF"}, "", NotText(3, "FF", 936)},
      {{"-c", "1252", "decode", "41 81"}, "", NotText(2, "81", 1252)},
      {{"-c", "65001", "decode", "C0 80"}, "", NotText(1, "C0", 65001)},
      {{"-c", "65001", "decode", "41 E4 B8"}, "", NotText(2, "E4", 65001)},

      {{"encode", "\xFF"},
       "",
       Fails(
           "the TEXT argument is not UTF-8: a byte that never appears in UTF-8 at byte offset 0")},
      {{"encode"},
       "ab\xC0\x80",
       Fails("standard input is not UTF-8: an overlong sequence at byte offset 2")},
      {{"encode"},
       "中\xED\xA0\x80",
       Fails("standard input is not UTF-8: a surrogate (U+D800 to U+DFFF) at byte offset 3")},
      {{"encode"},
       "\xF4\x90\x80\x80",
       Fails("standard input is not UTF-8: a value above U+10FFFF at byte offset 0")},
      {{"decode", "41 \x80"},
       "",
       Fails("the HEX argument is not UTF-8: a continuation byte without a lead byte at byte "
             "offset 3")},
      {{"decode"},
       "41 42 \xE4",
       Fails("standard input is not UTF-8: an incomplete sequence at byte offset 6")},
  });
}

TEST(CliTest, RefusesBadUsage) {
  const Outcome no_command = Usage("missing command: encode or decode");
  const Outcome not_available{
      "",
      "vantorel: code page 0 is not available (936, 54936, 950, 932, 949, 1252 and 65001 are)\n",
      2};
  CheckAll({
      {{}, "", no_command},
      {{"-c", "1252"}, "", no_command},
      {{"hex", "41"}, "", Usage("unknown command \"hex\" (encode or decode)")},
      {{"41", "decode"}, "", Usage("unknown command \"41\" (encode or decode)")},
      {{"encode", "a", "b"},
       "",
       Usage("encode takes one TEXT argument; quote it if it holds spaces")},
      {{"decode", "41", "42"},
       "",
       Usage("decode takes one HEX argument; quote it if it holds spaces")},
      {{"encode", "-x"}, "", Usage("unknown option \"-x\"")},
      {{"--verbose", "encode"}, "", Usage("unknown option \"--verbose\"")},
      {{"encode", "a", "-c"}, "", Usage("option -c needs a code page number")},
      {{"encode", "--code-page"}, "", Usage("option --code-page needs a code page number")},
      {{"-c", "utf8", "encode"}, "", Usage("code page \"utf8\" is not a number")},
      {{"-c", "-1", "encode"}, "", Usage("code page \"-1\" is not a number")},
      {{"--code-page=", "encode"}, "", Usage("code page \"\" is not a number")},
      {{"-c", "99999999999", "encode"}, "", Usage("code page \"99999999999\" is not a number")},
      {{"decode", "-c", "0", "41"}, "", not_available},
  });
}

// --help and --version answer wherever they stand and whatever else is there.
TEST(CliTest, AnswersHelpAndVersion) {
  for (const Args& args :
       {Args{"--version"}, Args{"encode", "--version"}, Args{"-c", "x", "--version"}})
    EXPECT_EQ(RunTool(args), Ok("vantorel 1.00\n"));
  for (const Args& args :
       {Args{"--help"}, Args{"-h"}, Args{"decode", "41", "--help"}, Args{"what", "-h"}}) {
    const Outcome outcome = RunTool(args);
    EXPECT_TRUE(outcome.out.starts_with(kUsage)) << outcome.out;
    EXPECT_NE(outcome.out.find("-c, --code-page"), std::string::npos);
    EXPECT_EQ(outcome.err, "");
    EXPECT_EQ(outcome.status, 0);
  }
}

// Large input is converted piece by piece: characters cut by a piece's edge,
// the space that joins two pieces, and positions counted across pieces must
// all come out as if the input were one piece.
TEST(CliTest, LargeInputComesOutWhole) {
  struct Char {
    std::string_view utf8, hex, decoded;
  };
  const Char alphabet[] = {{"a", "61", "a"},
                           {"中", "D6 D0", "中"},
                           {"😀", "3F 3F", "??"},
                           {"文", "CE C4", "文"},
                           {"\n", "0A", "\n"}};
  std::string text, hex, decoded;
  std::size_t characters = 0, emoji = 0, first_emoji = 0;
  for (std::size_t i = 0; text.size() < (std::size_t{3} << 20); ++i) {
    const Char& c = alphabet[i % 7 % 5];  // uneven run lengths shift the edges
    if (c.utf8 == "😀") {
      if (text.size() < 1'200'000) continue;  // only past the first MiB
      if (emoji++ == 0) first_emoji = characters + 1;
    }
    text += c.utf8;
    if (!hex.empty()) hex += ' ';
    hex += c.hex;
    decoded += c.decoded;
    ++characters;
  }

  const Outcome encoded = RunTool({"encode"}, text);
  EXPECT_TRUE(encoded.out == hex + "\n");
  EXPECT_EQ(encoded.err, "vantorel: " + std::to_string(emoji) +
                             " characters are not in code page 936 and became 3F; the first is "
                             "character " +
                             std::to_string(first_emoji) + " (U+1F600)\n");
  const Outcome back = RunTool({"decode"}, hex);
  EXPECT_TRUE(back.out == decoded);
  EXPECT_EQ(back.status, 0);

  // A character of two UTF-16 units across the first piece's edge, both ways.
  const std::string edge = std::string((1 << 20) - 1, 'a') + "😀";
  std::string edge_hex;
  for (int i = 0; i < (1 << 20) - 1; ++i) edge_hex += "61 ";
  edge_hex += "94 39 FC 36";
  EXPECT_TRUE(RunTool({"-c", "54936", "encode"}, edge) == Ok(edge_hex + "\n"));
  EXPECT_TRUE(RunTool({"-c", "54936", "decode"}, edge_hex) == Ok(edge));
}

// Large hex text is read piece by piece too: empty groups (two spaces) and
// lenient groups beside the pieces' edges read as they do in one piece, and
// a bad group past the first piece is named by its number in the whole text.
TEST(CliTest, LargeHexReadsAsOnePiece) {
  const std::string_view groups[] = {"41", "", "4a;", "7", "\t6\n2", "", ""};
  const std::string bytes[] = {"A", "\0"s, "J", "\x07", "b", "\0"s, "\0"s};
  std::string hex = "  ", decoded;
  std::size_t count = 0;
  for (std::size_t i = 0; hex.size() < (std::size_t{3} << 20); ++i, ++count) {
    if (i != 0) hex += ' ';
    hex += groups[i % 7];
    decoded += bytes[i % 7];
  }
  hex += "   ";
  EXPECT_TRUE(RunTool({"decode"}, hex) == Ok(decoded));

  // Group n (1-based) replaced, for n - 1 a multiple of 7: a round of seven groups
  // and their spaces is 17 characters long, after the two leading spaces.
  const auto with = [&](std::size_t n, std::string_view group) {
    std::string changed = hex;
    changed.replace(17 * ((n - 1) / 7) + 2, 2, group);
    return changed;
  };
  const std::size_t late = 7 * (count / 7 - 1000) + 1;  // past the first pieces
  EXPECT_EQ(RunTool({"decode"}, with(late, "100")), TooLarge(late, "100"));
  EXPECT_EQ(RunTool({"decode"}, with(late, "FF")), NotText(late, "FF", 936));
}

}  // namespace
}  // namespace vantorel
