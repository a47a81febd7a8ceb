// The same bytes from both tools: random text and random hex text, from a
// seed, given to the Linux tool and to build/win64's vantorel-cli.exe under
// Wine, both run as programs, with the same options, as an argument or on
// standard input (a file or a pipe). Standard output, standard error and
// status must be the same. Wine runs under LC_ALL=zh_CN.UTF-8: code page 936
// for both, and the locale Wine reads the arguments in. GB18030, which Wine
// lacks, is left out. VANTOREL_SAME_BYTES_SEED picks the seed (a failure
// names it); VANTOREL_SAME_BYTES_RUNS how many runs.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "cli/utf8.hpp"
#include "codec/codec.hpp"
#include "tests/cli/runner.hpp"

namespace vantorel {
namespace {

const std::string kExe = VANTOREL_BUILD_ROOT "/win64/vantorel-cli.exe";

std::string Quoted(std::string_view arg) {
  std::string quoted = "'";
  for (const char c : arg) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

std::string Slurp(const std::string& path) {
  std::ostringstream data;
  data << std::ifstream(path, std::ios::binary).rdbuf();
  std::remove(path.c_str());
  return data.str();
}

// A program as a process, through sh: standard input a file or, through cat,
// a pipe.
Ran RunProgram(const std::string& program, const std::vector<std::string_view>& args,
               const std::string& input, Via via) {
  const std::string files = testing::TempDir() + "vantorel-same-" + std::to_string(getpid());
  std::ofstream(files + ".in", std::ios::binary) << input;
  std::string command = via == Via::kPipe ? "cat " + Quoted(files + ".in") + " | " : "";
  command += program;
  for (const std::string_view arg : args) command.append(" ").append(Quoted(arg));
  if (via != Via::kPipe) command.append(" <").append(Quoted(files + ".in"));
  const int status = std::system(
      (command + " >" + Quoted(files + ".out") + " 2>" + Quoted(files + ".err")).c_str());
  std::remove((files + ".in").c_str());
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, Slurp(files + ".out"),
          Slurp(files + ".err")};
}

template <typename T>
const T& Pick(std::mt19937& random, const std::vector<T>& from) {
  return from[std::uniform_int_distribution<std::size_t>(0, from.size() - 1)(random)];
}

// Words, line breaks and tabs, Chinese of any kind, kana, Hangul, Latin-1,
// punctuation and an emoji: characters some code pages have and others lack.
std::u16string RandomText(std::mt19937& random) {
  const std::u16string_view some[] = {u"the ", u"of ", u"\t", u"\r\n", u"\n", u"あ",   u"カ", u"한",
                                      u"é",    u"ÿ",   u"€",  u"—",    u"😀",  u"\x01", u""};
  std::u16string text;
  for (int n = std::uniform_int_distribution(0, 80)(random); n > 0; --n) {
    const std::u16string_view pick = some[random() % std::size(some)];
    text +=
        pick.empty() ? std::u16string(1, static_cast<char16_t>(0x4E00 + random() % 0x5200)) : pick;
  }
  return text;
}

// Changes a few characters of hex text into what people paste: other
// digits, lower case, spaces, line breaks, junk, a group above FF.
std::string Roughened(std::string hex, std::mt19937& random) {
  const std::vector<std::string> noise = {" ", "  ", "\t", "\r\n", "g", "中", "1FF", ",", "a"};
  for (int n = std::uniform_int_distribution(0, 3)(random); n > 0 && !hex.empty(); --n) {
    const std::size_t at = std::uniform_int_distribution<std::size_t>(0, hex.size() - 1)(random);
    hex.replace(at, 1, Pick(random, noise));
  }
  return hex;
}

TEST(SameBytesTest, LinuxAndWindowsToolsAgree) {
  if (!std::filesystem::exists(kExe) || !std::filesystem::exists("/usr/lib/wine/wine64"))
    GTEST_SKIP() << kExe << " or Wine is missing: make win64";
  const char* const seed_text = std::getenv("VANTOREL_SAME_BYTES_SEED");
  const char* const runs_text = std::getenv("VANTOREL_SAME_BYTES_RUNS");
  const unsigned seed = seed_text != nullptr ? std::stoul(seed_text) : 18;
  const int runs = runs_text != nullptr ? std::stoi(runs_text) : 40;
  std::mt19937 random(seed);
  const std::string prefix = Quoted(VANTOREL_BUILD_ROOT "/win64/wineprefix");
  const std::string wine_run =
                        Quoted(VANTOREL_SOURCE_ROOT "/scripts/wine-run.sh") + " win64 " + prefix,
                    wine = wine_run + " " + Quoted(kExe);
  // One wineserver for every run, as scripts/run-tests.sh keeps one (a
  // server about to end drops a program that reaches it in its last moment):
  // the prefix made if missing, a server left from before let end, then one
  // that ends by itself 3 s after the last run.
  const std::string server = "WINEPREFIX=" + prefix + " wineserver";
  std::system(
      (wine_run + " cmd /c exit >/dev/null 2>&1; " + server + " -w; " + server + " -p3").c_str());
  const std::vector<std::string_view> pages = {"",       "gbk",   "big5",     "sjis",     "uhc",
                                               "cp1252", "utf-8", "utf-16le", "utf-16be", "950"};
  const std::vector<std::string_view> shapes = {"spaced", "plain", "0x", "c", "escaped"};
  const std::vector<std::string_view> encodings = {"", "", "utf-8", "utf-16le", "ansi"};
  for (int run = 0; run < runs; ++run) {
    const std::string_view page = Pick(random, pages);
    const bool encode = random() % 2 == 0;
    const Via via = Pick(random, std::vector<Via>{Via::kStream, Via::kFile, Via::kPipe});
    std::vector<std::string_view> args;
    if (!page.empty()) args.insert(args.end(), {"-c", page});
    const std::string_view shape = Pick(random, shapes), encoding = Pick(random, encodings);
    const std::u16string units = RandomText(random);
    std::string text, input;
    AppendUtf8(units, text);
    if (encode) {
      args.insert(args.end(), {"encode", "--as", shape});
      if (random() % 3 == 0) args.push_back("--lower");
      // An argument is UTF-8, and reaches a Windows program as characters.
      if (via == Via::kStream) {
        input = text;
      } else if (encoding == "utf-16le") {
        for (const char16_t u : units)
          input.append({static_cast<char>(u), static_cast<char>(u >> 8)});
      } else {
        input = encoding == "ansi" ? 字符串加密::EncodeText(units, 936).bytes : text;
        // Now and then a byte that is not text.
        if (random() % 6 == 0) input.insert(input.size() / 2 + 1, 1, '\xC0');
      }
    } else {
      const bool any = random() % 3 == 0;
      std::vector<std::string_view> write = {"encode", "--as", any ? shape : "spaced"};
      if (!page.empty()) write.insert(write.begin(), {"-c", page});
      input = Roughened(RunTool(write, text)->out, random);
      args.push_back("decode");
      if (any || random() % 4 == 0) args.push_back(any ? "--any" : "--strict");
    }
    if (!encoding.empty()) args.insert(args.end(), {"--text-encoding", encoding});
    if (via == Via::kStream) args.insert(args.end(), {"--", input});
    SCOPED_TRACE("seed " + std::to_string(seed) + ", run " + std::to_string(run) + ": " +
                 testing::PrintToString(args) + " < " + input.substr(0, 60));
    const std::string given = via == Via::kStream ? "" : input;
    const Ran linux_tool = RunProgram(Quoted(VANTOREL_PROGRAM), args, given, via);
    const Ran windows_tool = RunProgram(wine, args, given, via);
    EXPECT_EQ(windows_tool.status, linux_tool.status);
    EXPECT_TRUE(windows_tool.out == linux_tool.out)
        << testing::PrintToString(windows_tool.out) << " against "
        << testing::PrintToString(linux_tool.out);
    EXPECT_EQ(windows_tool.err, linux_tool.err);
  }
}

}  // namespace
}  // namespace vantorel
