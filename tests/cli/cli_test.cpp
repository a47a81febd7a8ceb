// The tool's cases, run in-process on Linux and against vantorel-cli.exe on
// Windows: exact standard output, standard error and status.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "codec/codec.hpp"
#include "tests/cli/runner.hpp"

namespace vantorel {
namespace {

using namespace std::string_literals;
using Args = std::vector<std::string_view>;

struct Case {
  Args args;
  std::string input;  // standard input
  int status = 0;
  std::string err = "";
  std::string out = "";
  Via via = Via::kStream;
};

void Check(const std::vector<Case>& cases) {
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.args) + " < " + c.input.substr(0, 40) + " (" +
                 std::to_string(c.input.size()) + " bytes, way " +
                 std::to_string(static_cast<int>(c.via)) + ")");
    const std::optional<Ran> ran = RunTool(c.args, c.input, c.via);
    if (!ran) continue;  // not a case for this system
    EXPECT_EQ(ran->status, c.status);
    EXPECT_TRUE(ran->out == c.out) << testing::PrintToString(ran->out.substr(0, 80));
    EXPECT_EQ(ran->err, c.err);
  }
}

std::string Said(const std::string& message) { return "vantorel: " + message + "\n"; }
std::string Group(std::size_t n, const std::string& text, const std::string& why) {
  return Said("group " + std::to_string(n) + " \"" + text + "\" " + why);
}
std::string NotUtf8(const std::string& what, const std::string& kind, int offset) {
  return Said(what + " is not UTF-8: " + kind + " at byte offset " + std::to_string(offset));
}
const std::string kTooLarge = "does not fit in a byte (00 to FF)";
const std::string kNever = "a byte that never appears in UTF-8";
const std::string kPartly = " read only in part; ", kNoDigit = " no hex digit and became 00; ";
const std::string kNotText = "starts bytes that are not text in code page ";
const std::string kUsage =
    "usage: vantorel [-c CODEPAGE] encode [--as SHAPE] [--lower] [TEXT]\n"
    "       vantorel [-c CODEPAGE] decode [--strict | --any] [HEX]\n";
std::string Usage(const std::string& message) { return Said(message) + kUsage; }

TEST(CliTest, ConvertsBothWays) {
  Check({
      {{"encode", "中"}, "", 0, "", "D6 D0\n"},
      {{"decode", "D6 D0 80"}, "", 0, "", "中€"},
      {{"encode"}, "中\r\n\0"s, 0, "", "D6 D0 0D 0A 00\n"},
      {{"decode"}, " 48 6a\n", 0, "", "Hj"},
      {{"decode", "48 00  69"},
       "",
       0,
       Said("1 group has no hex digit and became 00; it is group 3 \"\" (two spaces in a row)"),
       "H\0\0i"s},  // zero bytes written as they are
      {{"decode", "E4 B8 AD F0 9F 98 80", "--code-page", "65001"}, "", 0, "", "中😀"},
      {{"-c936", "encode", "--code-page=1252", "é"}, "", 0, "", "E9\n"},
      {{"encode", "--", "-x"}, "", 0, "", "2D 78\n"},
      // Characters the code page lacks become 3F, one per UTF-16 unit, and stderr says so.
      {{"-c", "1252", "encode", "中€é"},
       "",
       0,
       Said("1 character is not in code page 1252 and became 3F; it is character 1 (U+4E2D)"),
       "3F 80 E9\n"},
      {{"encode"},
       "中\nb😀c한",
       0,
       Said("2 characters are not in code page 936 and became 3F; the first is character 4 "
            "(U+1F600)"),
       "D6 D0 0A 62 3F 3F 63 3F\n"},
  });
}

// Bad input: a message naming what and where, nothing on standard output, status 1;
// bad usage: status 2.
TEST(CliTest, RefusesBadInputAndUsage) {
  const std::string long_group = std::string("1").append(62, '0') + "中";
  const std::string stray = "a continuation byte without a lead byte",
                    surrogate = "a surrogate (U+D800 to U+DFFF)";
  Check({
      {{"decode", "41 486 42"}, "", 1, Group(2, "486", kTooLarge)},
      {{"decode"}, "41 42 1\t0\r0\x01\n", 1, Group(3, "1\\t0\\r0\\x01", kTooLarge)},
      {{"decode", long_group},
       "",
       1,
       Group(1, std::string("1").append(62, '0') + "...", kTooLarge)},
      {{"decode", "D6 100"}, "", 1, Group(2, "100", kTooLarge)},
      // Where decode --any reads the input, the message says as what (its first bytes).
      {{"decode"},
       "48656C6C6F48656C6C6F\n",
       1,
       Group(1, "48656C6C6F48656C6C6F",
             kTooLarge + "; decode --any reads it as 48 65 6C 6C 6F 48 65 6C ... (10 bytes)")},
      {{"decode", "41 D6"}, "", 1, Group(2, "D6", kNotText + "936")},
      {{"-c", "932", "decode", "41 A0 85 40"}, "", 1, Group(3, "85", kNotText + "932")},
      {{"-c", "950", "decode", "41 a2 CC"},
       "",
       1,
       Group(2, "a2",
             "starts bytes (A2 CC) that read as 十 (U+5341), which code page 950 writes as A4 51")},
      {{"encode", "\xFF"}, "", 1, NotUtf8("the TEXT argument", kNever, 0)},
      {{"decode", "41 \x80"}, "", 1, NotUtf8("the HEX argument", stray, 3)},
      {{"encode"}, "中\xED\xA0\x80", 1, NotUtf8("standard input", surrogate, 3)},

      {{}, "", 2, Usage("missing command: encode or decode")},
      {{"hex", "41"}, "", 2, Usage("unknown command \"hex\" (encode or decode)")},
      {{"decode", "41", "42"},
       "",
       2,
       Usage("decode takes one HEX argument; quote it if it holds spaces")},
      {{"encode", "-x"}, "", 2, Usage("unknown option \"-x\"")},
      {{"encode", "a", "-c"}, "", 2, Usage("option -c needs a code page")},
      {{"-c", "utf9", "encode"},
       "",
       2,
       Said("unknown code page \"utf9\": give its number or one of these names: gbk, cp936, "
            "gb2312 (936); gb18030 (54936); big5, cp950 (950); shift_jis, sjis, cp932 (932); "
            "uhc, cp949, euc-kr (949); windows-1252, cp1252 (1252); utf-8, utf8 (65001); "
            "utf-16le, utf-16 (1200); utf-16be (1201)")},
      {{"decode", "-c", "0", "41"},
       "",
       2,
       Said("code page 0 is not available (936, 54936, 950, 932, 949, 1252, 65001, 1200 and 1201 "
            "are)")},
      {{"encode", "--version"}, "", 0, "", "vantorel 1.00\n"},
  });
  const Ran help = RunTool(Args{"decode", "41", "-h"}, "").value();
  EXPECT_EQ(help.status, 0);
  EXPECT_TRUE(help.out.starts_with(kUsage + "\n")) << help.out;
  EXPECT_NE(help.out.find("-c, --code-page"), std::string::npos);
  for (const std::string_view line :
       {"gbk, cp936, gb2312      GBK (936)\n", "utf-16be                UTF-16 BE (1201)\n"}) {
    EXPECT_NE(help.out.find(std::string(30, ' ') + std::string(line)), std::string::npos) << line;
  }
  EXPECT_EQ(help.err, "");
}

// Hex text in other shapes: the ends trimmed, what the lenient reading leaves
// unread said (or refused with --strict), --any, and encode --as and --lower.
TEST(CliTest, HexInOtherShapes) {
  Check({
      {{"decode"}, "\t\r\n 48 65 \r\n\t ", 0, "", "He"},
      {{"decode", "0x48,0x65"},
       "",
       0,
       Said("1 group was" + kPartly +
            "it is group 1 \"0x48,0x65\", of which \"x48,0x65\" was not read"),
       "\0"s},
      {{"decode"},
       "zz 41zz  4\x01\t2",
       0,
       Said("2 groups have" + kNoDigit + "the first is group 1 \"zz\"") +
           Said("2 groups were" + kPartly +
                "the first is group 2 \"41zz\", of which \"zz\" was not read"),
       "\0A\0\4"s},
      {{"decode"},
       "41 4\x01\t2",
       0,
       Said("1 group was" + kPartly +
            "it is group 2 \"4\\x01\\t2\", of which \"\\x01\\t2\" was not read"),
       "A\4"},
      {{"decode", "--strict", "48 4g"},
       "",
       1,
       Said("group 2 \"4g\" was read only in part: \"g\" was not read (--strict)")},
      {{"--strict", "decode"},
       "48  65 4g",
       1,
       Said("group 2 \"\" (two spaces in a row) has no hex digit (--strict)")},
      {{"decode", "--strict", "48 65\n"}, "", 0, "", "He"},
      {{"decode", "--any"}, "{ 0x48, 0x65 }\n", 0, "", "He"},
      {{"decode", "--any"},
       "\n\n48 4g",
       1,
       Said("cannot read \"4g\" at byte offset 5 (its last character is no hex digit, separator or "
            "prefix)")},
      {{"decode", "--any", "48 65\n0x123"},
       "",
       1,
       Said("cannot read \"0x123\" at byte offset 6 (more than two digits with a prefix or "
            "suffix)")},
      {{"decode", "--any", "{48"},
       "",
       1,
       Said("cannot read \"{\" at byte offset 0 (never closed)")},
      {{"decode", "--any", "41,D6"},
       "",
       1,
       Said("byte 2 (D6) starts bytes that are not text in code page 936")},
      {{"decode", "--any"}, "zz \xff", 1, NotUtf8("standard input", kNever, 3)},
      {{"encode", "--as", "c", "Hi中"}, "", 0, "", "{ 0x48, 0x69, 0xD6, 0xD0 }\n"},
      {{"encode", "--as=0x", "--lower", "Hi中"}, "", 0, "", "0x48, 0x69, 0xd6, 0xd0\n"},
      {{"encode", "--as", "plain", "Hi中"}, "", 0, "", "4869D6D0\n"},
      {{"encode", "--as", "escaped"}, "Hi中", 0, "", "\\x48\\x69\\xD6\\xD0\n"},
      {{"--lower", "encode", "--as", "spaced", "中"}, "", 0, "", "d6 d0\n"},
      {{"encode", "--as", "c"}, "", 0, "", "{ }\n"},

      {{"decode", "--as", "c"}, "", 2, Usage("--as is for encode")},
      {{"encode", "--strict"}, "", 2, Usage("--strict is for decode")},
      {{"decode", "--strict", "--any"},
       "",
       2,
       Usage("--strict and --any do not go together: --any refuses what it cannot read")},
      {{"encode", "--as", "C"},
       "",
       2,
       Usage("unknown shape \"C\" (spaced, plain, 0x, c or escaped)")},
      {{"encode", "--as"},
       "",
       2,
       Usage("option --as needs a shape: spaced, plain, 0x, c or escaped")},
  });
}

// -c takes a number or a name, of any case: the first, a middle and the last
// of a code page's names, a name that begins others, the last code page's.
// (Which name is which code page, the message for an unknown one lists.)
TEST(CliTest, CodePagesByNameOrNumber) {
  const struct {
    std::string_view names;
    std::string text, hex;
  } cases[] = {
      {"gbk cp936 gb2312 GBK Cp936 936", "中€", "D6 D0 80"},
      {"shift_jis sjis cp932 Shift_JIS 932", "中", "92 86"},
      {"utf-16le utf-16 UTF-16LE 1200", "中a", "2D 4E 61 00"},
      {"utf-16be UTF-16BE 1201", "中a", "4E 2D 00 61"},
  };
  std::vector<Case> runs;
  for (const auto& c : cases) {
    for (std::string_view names = c.names; !names.empty();) {
      const std::size_t space = std::min(names.find(' '), names.size());
      runs.push_back({{"-c", names.substr(0, space), "encode", c.text}, "", 0, "", c.hex + "\n"});
      names.remove_prefix(std::min(space + 1, names.size()));
    }
  }
  Check(runs);
}

std::string Repeat(std::string_view s, std::size_t times) {
  std::string all;
  for (std::size_t i = 0; i < times; ++i) all += s;
  return all;
}

// Input of many pieces (64 KiB) and windows (256 KiB: a regular file is
// read a window at a time), from a file, a pipe (read whole, in as many parts
// as the pipe takes) or in-process, comes out as if it were one piece: a
// character cut by an edge (a surrogate pair in UTF-16), the space that joins
// the pieces' hex, empty groups beside an edge, and characters, groups and
// offsets counted across edges. A window with no place to cut grows; standard
// output that goes away is said to.
TEST(CliTest, LargeInputComesOutAsOnePiece) {
  constexpr Via kFile = Via::kFile, kPipe = Via::kPipe;
  const std::size_t edge = (std::size_t{1} << 20) - 1;
  std::string text(edge, 'a'), hex, groups = "  ", bytes;
  for (std::size_t i = 0; i < edge; ++i) hex += "61 ";
  text += "😀";
  const std::string pair_hex = hex + "94 39 FC 36";
  hex += "3F 3F";
  for (int i = 0; i < 400'000; ++i) text += "中\n", hex += " D6 D0 0A";
  std::size_t count = 0;
  for (; groups.size() < (std::size_t{3} << 20); count += 3) groups += "4a;  7 ", bytes += "J\0\7"s;
  const auto with = [&](std::size_t g, std::string_view group) {  // g - 1 a multiple of 3
    return std::string(groups).replace(2 + 7 * ((g - 1) / 3), 3, group);
  };
  const std::string latin = Repeat("é", 100'000) + "中a中";
  const std::size_t late = count - 2999;
  const std::size_t n = 800'000;  // "61 " n times: many windows
  const std::string a(n, 'a'), a_hex = Repeat("61 ", n);
  const std::size_t m = (std::size_t{2} << 20) + 1;  // many pieces, and a byte
  const std::string many(m, 'a'), many_0x = Repeat("0x61, ", m - 1) + "0x61";
  std::vector<Case> cases = {
      {{"encode"},
       text,
       0,
       Said("1 character is not in code page 936 and became 3F; it is character 1048576 "
            "(U+1F600)"),
       hex + "\n"},
      {{"-c", "54936", "decode"}, pair_hex, 0, "", text.substr(0, edge + 4)},
      // Characters counted over many pieces taken straight from their UTF-8.
      {{"-c", "1252", "encode"},
       latin,
       0,
       Said("2 characters are not in code page 1252 and became 3F; the first is character "
            "100001 (U+4E2D)"),
       Repeat("E9 ", 100'000) + "3F 61 3F\n"},
      {{"-c", "utf-8", "encode"},
       latin,
       0,
       "",
       Repeat("C3 A9 ", 100'000) + "E4 B8 AD 61 E4 B8 AD\n"},
      // What stands between two groups joins the pieces in every shape.
      {{"encode", "--as", "plain"}, many, 0, "", Repeat("61", m) + "\n"},
      {{"encode", "--as", "0x"}, many, 0, "", many_0x + "\n"},
      {{"encode", "--as", "c"}, many, 0, "", "{ " + many_0x + " }\n"},
      {{"encode", "--as", "escaped"}, many, 0, "", Repeat("\\x61", m) + "\n"},
      {{"decode"},
       groups + "  ",
       0,
       Said(std::to_string(count / 3) + " groups were" + kPartly +
            "the first is group 1 \"4a;\", of which \";\" was not read") +
           Said(std::to_string(count / 3) + " groups have" + kNoDigit +
                "the first is group 2 \"\" (two spaces in a row)"),
       bytes},
      {{"decode"}, with(late, "100"), 1, Group(late, "100", kTooLarge)},
      {{"decode"}, with(late, "81;"), 1, Group(late, "81;", kNotText + "936")},
      {{"encode"},
       a + "\xE4\xB8",
       1,
       NotUtf8("standard input", "an incomplete sequence", n),
       "",
       kFile},
      {{"decode"},
       "1FF " + a_hex + "\xFF",
       1,
       NotUtf8("standard input", kNever, 3 * n + 4),
       "",
       kFile},
      {{"decode"},
       Repeat("4a  ", n) + "4a",
       0,
       Said("800000 groups have" + kNoDigit + "the first is group 2 \"\" (two spaces in a row)"),
       Repeat(std::string_view("J\0", 2), n) + "J",
       kFile},
      // The ends trimmed in the first and last window; what is left unread,
      // or what --any cannot read, named from the file; --any across windows.
      {{"decode"},
       "\r\n " + a_hex + "4g\n\t\n",
       0,
       Said("1 group was" + kPartly + "it is group 800001 \"4g\", of which \"g\" was not read"),
       a + "\x04",
       kFile},
      {{"decode", "--any"}, Repeat("0x61, ", n) + "\n", 0, "", a, kFile},
      {{"decode", "--any"}, Repeat("61", n), 0, "", a, kPipe},
      {{"decode", "--any"},
       "\n" + Repeat("0x61, ", n) + "0x1FF",
       1,
       Said("cannot read \"0x1FF\" at byte offset 4800001 (more than two digits with a prefix or "
            "suffix)"),
       "",
       kFile},
      {{"encode"}, "", 0, "", "\n", kFile},
      {{"decode"}, "", 0, "", "", kFile},
      {{"decode"},
       a_hex + "61",
       1,
       Said("cannot write to standard output: Broken pipe"),
       "",
       Via::kFileToClosedPipe},
  };
  // Canonical hex text held from a pipe as its bytes, but for the block with
  // something odd in it, and named from there in messages.
  const std::size_t k = 500'000;
  const auto odd_at_k = [&](std::string_view odd) {
    return Repeat("61 ", k) + std::string(odd) + Repeat("61 ", n - k - 1) + "61\n";
  };
  cases.push_back(
      {{"decode"}, odd_at_k("81 20 "), 1, Group(k + 1, "81", kNotText + "936"), "", kFile});
  cases.push_back({{"decode"},
                   odd_at_k("6g "),
                   0,
                   Said("1 group was" + kPartly +
                        "it is group 500001 \"6g\", of which \"g\" was "
                        "not read"),
                   std::string(k, 'a') + "\x06" + std::string(n - k, 'a'),
                   kFile});
  cases.push_back({{"decode", "--strict"},
                   odd_at_k("6g "),
                   1,
                   Said("group 500001 \"6g\" was read only in part: \"g\" was not read (--strict)"),
                   "",
                   kFile});
  // Lower case is held as it came; so is a block that ends the input.
  cases.push_back({{"decode"},
                   Repeat("6a ", k) + "fe 20 " + Repeat("6a ", n - k - 1),
                   1,
                   Group(k + 1, "fe", kNotText + "936"),
                   "",
                   kFile});
  cases.push_back({{"decode"}, Repeat("61 ", 3 << 16), 0, "", std::string(3 << 16, 'a'), kFile});
  // Chinese text from a file, its segments converted half by a second
  // thread: the first character 936 lacks found there, and a reader gone
  // while that thread converts.
  const std::string chinese = Repeat("中", 60'000) + "한" + Repeat("文", 400'000) + "한";
  cases.push_back({{"encode"},
                   chinese,
                   0,
                   Said("2 characters are not in code page 936 and became 3F; the first is "
                        "character 60001 (U+D55C)"),
                   Repeat("D6 D0 ", 60'000) + "3F " + Repeat("CE C4 ", 400'000) + "3F\n",
                   kFile});
  cases.push_back({{"encode"},
                   chinese,
                   1,
                   Said("cannot write to standard output: Broken pipe"),
                   "",
                   Via::kFileToClosedPipe});
  // Text read as it comes, a window at a time: characters cut by a window's
  // end, and one cut short by the input's.
  cases.push_back(
      {{"encode"}, Repeat("中", 100'000) + "\xFF", 1, NotUtf8("standard input", kNever, 300'000)});
  cases.push_back({{"encode"},
                   Repeat("a中", 65'536) + "\xE4\xB8",
                   1,
                   NotUtf8("standard input", "an incomplete sequence", 262'144)});
  // From a pipe the tool says what it says from a file.
  std::vector<Case> piped;
  for (const Case& c : cases) {
    if (c.via == kFile) {
      piped.push_back(c);
      piped.back().via = kPipe;
    }
  }
  cases.insert(cases.end(), piped.begin(), piped.end());
  // Every phase of a group (two digits and a space) and of a character (three
  // bytes and four) against the edges of windows and pieces.
  const std::string chars = Repeat("中😀", 330'000),
                    chars_hex = Repeat("D6 D0 94 39 FC 36 ", 330'000);
  for (std::size_t k = 0; k < 7; ++k) {
    if (k < 3) cases.push_back({{"decode"}, std::string(k, ' ') + a_hex, 0, "", a, kFile});
    if (k < 2) {
      cases.push_back({{"decode"},
                       Repeat("61 ", k) + Repeat("D6 D0 ", n / 2),
                       0,
                       "",
                       std::string(k, 'a') + Repeat("中", n / 2),
                       kFile});
    }
    cases.push_back({{"-c", "54936", "encode"},
                     std::string(k, 'a') + chars,
                     0,
                     "",
                     Repeat("61 ", k) + chars_hex.substr(0, chars_hex.size() - 1) + "\n",
                     kFile});
  }
  Check(cases);
}

// --text-encoding: encode reads standard input, and decode writes its text,
// as UTF-8 (where a BOM is a character), UTF-16 LE, or the bytes of the ANSI
// code page (936), which must come back as themselves.
TEST(CliTest, TextEncodings) {
  const std::string_view te = "--text-encoding";
  const std::string not_utf16 = "standard input is not UTF-16: ",
                    encodings = "utf-8, utf-16le or ansi";
  const std::string lost = "1 character is not in code page 936 and became 3F; it is character ";
  Check({
      {{"encode", te, "utf-8"}, "\xEF\xBB\xBF\x61", 0, Said(lost + "1 (U+FEFF)"), "3F 61\n"},
      {{"-c", "gb18030", "encode", "--text-encoding=utf-16le"},
       "\x2D\x4E\x3D\xD8\x00\xDE"s,
       0,
       "",
       "D6 D0 94 39 FC 36\n"},
      {{"encode", te, "utf-16le"},
       "\x2D\x4E\x3D\xD8"s,
       1,
       Said(not_utf16 + "a lone surrogate (U+D83D) at byte offset 2")},
      {{"encode", te, "utf-16le"}, "abc", 1, Said(not_utf16 + "an odd number of bytes (3)")},
      {{"encode", te, "ansi", "-c", "utf-8"}, "\xD6\xD0\x61", 0, "", "E4 B8 AD 61\n"},
      {{"encode", te, "ansi"},
       "a\xD6",
       1,
       Said("byte offset 1 of standard input " + kNotText + "936")},
      {{"decode", te, "utf-16le", "D6 D0 61"}, "", 0, "", "\x2D\x4E\x61\x00"s},
      {{"-c", "utf-8", "decode", te, "ansi", "E4 B8 AD F0 9F 98 80"},
       "",
       0,
       Said(lost + "2 (U+1F600)"),
       "\xD6\xD0??"},
      {{"encode", te, "latin1"},
       "",
       2,
       Usage("unknown text encoding \"latin1\" (" + encodings + ")")},
      {{"encode", te}, "", 2, Usage("option --text-encoding needs an encoding: " + encodings)},
  });
}

// The tool as the system has it. Windows' console is read and written as
// characters whatever its code page (437 here, which has no Chinese): what is
// typed shows as typed, then the output; bytes asked for go to it as they
// are. Windows' tool leaves a UTF-8 BOM out and reads UTF-16 LE after FF FE,
// from a file or a pipe. The default code page, and the one ansi names, is
// the system's ANSI code page: on Windows ctest runs this test under zh_CN,
// ja_JP and en_US too (936, 932 and 1252).
TEST(CliTest, TheSystemsCodePageConsoleAndByteOrderMarks) {
  constexpr Via kConsole = Via::kConsole, kFile = Via::kFile, kPipe = Via::kPipe;
  std::vector<Case> cases = {
      {{"-c", "936", "encode"}, "中a\n\x1A\n", 0, "", "中a\n^Z\nD6 D0 61 0D 0A", kConsole},
      {{"-c", "utf-8", "encode"}, "😀\n\x1A\n", 0, "", "😀\n^Z\nF0 9F 98 80 0D 0A", kConsole},
      {{"-c", "936", "decode", "D6 D0 61"}, "", 0, "", "中a", kConsole},
      {{"-c", "950", "decode", "A2 CC"},
       "",
       1,
       "",
       "vantorel: group 1 \"A2\" starts bytes (A2 CC) that read as 十 (U+5341), which code page "
       "950 writes as A4 51",
       kConsole},
      {{"-c", "utf-8", "decode", "--text-encoding", "utf-8", "E4 B8 AD"},
       "",
       0,
       "",
       "Σ╕¡",
       kConsole},
  };
  if (kWindowsTool) {
    cases.insert(
        cases.end(),
        {
            {{"encode"}, "\xEF\xBB\xBF\x41", 0, "", "41\n", kFile},
            {{"encode"}, "\xEF\xBB\xBF", 0, "", "\n", kPipe},
            {{"encode"}, "\xFF\xFE\x41\x00"s, 0, "", "41\n", kPipe},
            {{"decode"}, "\xFF\xFE\x34\x00\x31\x00\x20\x00\x34\x00\x32\x00"s, 0, "", "AB", kFile},
            {{"decode"}, "\xEF\xBB\xBF 41", 0, "", "A", kPipe},
        });
  }
  const std::map<字符串加密::CodePage, std::pair<std::string, std::vector<Case>>> pages = {
      {936,
       {"936 (GBK)",
        {{{"encode", "中"}, "", 0, "", "D6 D0\n", kFile},
         {{"encode", "--text-encoding", "ansi"}, "\xD6\xD0", 0, "", "D6 D0\n", kPipe}}}},
      {932,
       {"932 (Shift-JIS)",
        {{{"encode", "中"}, "", 0, "", "92 86\n", kFile},
         {{"decode", "92 86"}, "", 0, "", "中", kFile},
         {{"-c", "936", "encode", "--text-encoding", "ansi"}, "\x92\x86", 0, "", "D6 D0\n", kFile},
         {{"decode", "-c", "utf-8", "--text-encoding", "ansi", "E4 B8 AD"},
          "",
          0,
          "",
          "\x92\x86"}}}},
      {1252,
       {"1252 (Windows-1252)",
        {{{"encode", "é中"},
          "",
          0,
          Said("1 character is not in code page 1252 and became 3F; it is character 2 (U+4E2D)"),
          "E9 3F\n"},
         {{"decode", "80"}, "", 0, "", "€", kFile}}}},
  };
  const auto& [name, here] = pages.at(字符串加密::SystemCodePage());
  cases.insert(cases.end(), here.begin(), here.end());
  Check(cases);
  const std::string ansi = kWindowsTool ? "the ANSI code page, here " : "";
  EXPECT_NE(RunTool(Args{"--help"}, "")->out.find("unless given, " + ansi + name + "\n"),
            std::string::npos);
}

}  // namespace
}  // namespace vantorel
