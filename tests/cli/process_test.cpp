// The Linux tool's own: the real program as a process, what main() adds to
// RunCli (the standard streams, a pipe read whole over many reads, the exit
// status); and a file that changes between the passes over it, which only a
// run in-process can change there. All else is in the shared tables.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>  // std::remove
#include <cstdlib>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "cli/io_posix.hpp"

namespace vantorel {
namespace {

std::string Slurp(const std::string& path) {
  std::ostringstream data;
  data << std::ifstream(path, std::ios::binary).rdbuf();
  std::remove(path.c_str());
  return data.str();
}

TEST(ProcessTest, RunsAsAProgram) {
  std::string many, many_hex;
  for (int i = 0; i < 100'000; ++i) many += "中", many_hex += "D6 D0 ";
  const struct {
    std::string args, input, out, err;
    int status;
  } cases[] = {
      {"encode", many + '\0', many_hex + "00\n", "", 0},
      {"decode '41 486'", "", "", "vantorel: group 2 \"486\" does not fit in a byte (00 to FF)\n",
       1},
  };
  const std::string files = testing::TempDir() + "vantorel-" + std::to_string(getpid());
  for (const auto& c : cases) {
    SCOPED_TRACE(c.args);
    std::ofstream(files + ".in", std::ios::binary) << c.input;
    const int status = std::system(("cat " + files + ".in | " VANTOREL_PROGRAM " " + c.args + " >" +
                                    files + ".out 2>" + files + ".err")
                                       .c_str());
    std::remove((files + ".in").c_str());
    EXPECT_EQ(WIFEXITED(status) ? WEXITSTATUS(status) : -1, c.status);
    EXPECT_TRUE(Slurp(files + ".out") == c.out);
    EXPECT_EQ(Slurp(files + ".err"), c.err);
  }
}

// A regular file is read again for each pass: if it changed in between (its
// size, or either part of its modification time), nothing is written. The
// file is changed in the run's own thread, between its passes.
TEST(DescriptorTest, FileChangedBetweenPassesWritesNothing) {
  const std::string path = testing::TempDir() + "vantorel-changed-" + std::to_string(getpid());
  const timespec kRead = {1000, 500};  // the modification time the first pass sees
  std::string many_61 = "61";
  for (int i = 0; i < 400'000; ++i) many_61 += " 61";
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
       many_61,
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
