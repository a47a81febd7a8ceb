// The tool on file descriptors, in-process: a regular file read a window at a
// time, a pipe read whole (even one byte at a time), and standard output that
// goes away. Inputs a little over a window (2 MiB) put characters and groups
// across its edges.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "cli/cli.hpp"

namespace vantorel {
namespace {

enum class Via { kFile, kPipe, kByteAtATime, kFileToClosedPipe };

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
  std::signal(SIGPIPE, SIG_IGN);  // as main() does
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

  const std::string path = testing::TempDir() + "vantorel-fd-" + std::to_string(getpid());
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.args) + " < " + c.input.substr(0, 20) + " (" +
                 std::to_string(c.input.size()) + " bytes, way " +
                 std::to_string(static_cast<int>(c.via)) + ")");
    int in = -1, ends[2] = {-1, -1};
    std::thread writer;
    if (c.via == Via::kPipe || c.via == Via::kByteAtATime) {
      ASSERT_EQ(pipe(ends), 0);
      in = ends[0];
      writer = std::thread([&, step = c.via == Via::kPipe ? c.input.size() : 1] {
        for (std::size_t at = 0; at < c.input.size(); at += step) {
          if (write(ends[1], c.input.data() + at, std::min(step, c.input.size() - at)) <= 0) break;
        }
        close(ends[1]);
      });
    } else {
      std::ofstream(path + ".in", std::ios::binary) << c.input;
      in = open((path + ".in").c_str(), O_RDONLY);
    }
    int out = open((path + ".out").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (c.via == Via::kFileToClosedPipe) {
      close(out);
      ASSERT_EQ(pipe(ends), 0);
      close(ends[0]);
      out = ends[1];
    }
    std::ostringstream err;
    EXPECT_EQ(RunCli(c.args, in, out, err), c.status);
    if (writer.joinable()) writer.join();
    close(in);
    close(out);
    EXPECT_EQ(err.str(), c.err);
    std::ostringstream written;
    written << std::ifstream(path + ".out", std::ios::binary).rdbuf();
    EXPECT_TRUE(written.str() == c.out) << testing::PrintToString(written.str().substr(0, 80));
  }
  std::remove((path + ".in").c_str());
  std::remove((path + ".out").c_str());
}

// A regular file is read again for each pass: if it changed in between (its
// size, or either part of its modification time), nothing is written. The
// file is changed in the run's own thread, between its passes.
TEST(DescriptorTest, FileChangedBetweenPassesWritesNothing) {
  const std::string path = testing::TempDir() + "vantorel-changed-" + std::to_string(getpid());
  const timespec kRead = {1000, 500};  // the modification time the first pass sees
  const auto set_time = [&](timespec mtime) {
    const timespec times[2] = {{0, UTIME_OMIT}, mtime};
    return utimensat(AT_FDCWD, path.c_str(), times, 0) == 0;
  };
  const struct {
    const char* name;
    std::vector<std::string_view> args;
    std::string input;
    std::function<bool()> change;
    int status;
    std::string err, out;
  } cases[] = {
      {"unchanged", {"encode"}, "ab", [] { return true; }, 0, "", "61 62\n"},
      // Decoded in more than one piece, so that the output is read again.
      {"grown, same time",
       {"decode"},
       Repeat("61 ", 400'000) + "61",
       [&] { return (std::ofstream(path, std::ios::app) << " 43") && set_time(kRead); },
       1,
       "vantorel: standard input changed while it was read\n",
       ""},
      {"nanoseconds",
       {"encode"},
       "ab",
       [&] {
         return set_time({1000, 501});
       },
       1,
       "vantorel: standard input changed while it was read\n",
       ""},
      {"seconds",
       {"encode"},
       "ab",
       [&] {
         return set_time({1001, 500});
       },
       1,
       "vantorel: standard input changed while it was read\n",
       ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::ofstream(path, std::ios::binary) << c.input;
    ASSERT_TRUE(set_time(kRead));
    const int in = open(path.c_str(), O_RDONLY);
    const int out = open((path + ".out").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    std::ostringstream err;
    int changes = 0;
    EXPECT_EQ(RunCli(c.args, in, out, err,
                     [&] {
                       ++changes;
                       EXPECT_TRUE(c.change());
                     }),
              c.status);
    close(in);
    close(out);
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(err.str(), c.err);
    std::ostringstream written;
    written << std::ifstream(path + ".out", std::ios::binary).rdbuf();
    EXPECT_TRUE(written.str() == c.out) << testing::PrintToString(written.str().substr(0, 80));
  }
  std::remove(path.c_str());
  std::remove((path + ".out").c_str());
}

}  // namespace
}  // namespace vantorel
