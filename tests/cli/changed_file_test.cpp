// The Linux tool on a regular file that changes between the passes over it,
// which only a run in-process can change there. (The program as a process is
// held to the Windows one in same_bytes_test.cpp; all else is in the shared
// tables.)
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>  // std::remove
#include <fstream>
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

// A regular file is looked at again after the pass that checks it, whether it
// is then read again or what the check made is written: if it changed in
// between (its size, or either part of its modification time), nothing is
// written. The file is changed in the run's own thread, after that pass.
TEST(DescriptorTest, FileChangedBetweenPassesWritesNothing) {
  const std::string path = testing::TempDir() + "vantorel-changed-" + std::to_string(getpid());
  const timespec kRead = {1000, 500};  // the modification time the first pass sees
  std::string many_61 = "61";
  for (int i = 0; i < 400'000; ++i) many_61 += " 61";
  const auto set_time = [&](timespec mtime) {
    const timespec times[2] = {{0, UTIME_OMIT}, mtime};
    return utimensat(AT_FDCWD, path.c_str(), times, 0) == 0;
  };
  // Text decoded in more than one piece: held while checked, then written.
  const struct {
    const char* name;
    std::vector<std::string_view> args;
    std::string input, added;  // between the passes: what is added to the file,
    timespec mtime;            // then its modification time
  } cases[] = {
      {"unchanged", {"encode"}, "ab", "", kRead},
      {"grown, same time", {"decode"}, many_61, " 43", kRead},
      {"nanoseconds", {"encode"}, "ab", "", {1000, 501}},
      {"seconds", {"encode"}, "ab", "", {1001, 500}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::ofstream(path, std::ios::binary) << c.input;
    ASSERT_TRUE(set_time(kRead));
    const int in = open(path.c_str(), O_RDONLY);
    const int out = open((path + ".out").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    std::ostringstream err;
    int changes = 0;
    const int status = RunCli(c.args, in, out, err, [&] {
      ++changes;
      EXPECT_TRUE(c.added.empty() || std::ofstream(path, std::ios::app) << c.added);
      EXPECT_TRUE(set_time(c.mtime));
    });
    close(in);
    close(out);
    const bool unchanged = c.name == std::string_view("unchanged");
    EXPECT_EQ(status, unchanged ? 0 : 1);
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(err.str(), unchanged ? "" : "vantorel: standard input changed while it was read\n");
    EXPECT_EQ(Slurp(path + ".out"), unchanged ? "61 62\n" : "");
  }
  std::remove(path.c_str());
}

// A file rewritten between the passes without a change of size or time
// cannot be told from one that was not: what the second pass reads is
// converted as it is. Here a window's last character is a lead byte without
// its trail bytes, which must not be looked for past the window.
TEST(DescriptorTest, FileRewrittenUnseenIsReadWithinBounds) {
  const std::string path = testing::TempDir() + "vantorel-rewritten-" + std::to_string(getpid());
  std::ofstream(path, std::ios::binary) << std::string(300'000, 'a');
  struct stat before {};
  ASSERT_EQ(stat(path.c_str(), &before), 0);
  const int in = open(path.c_str(), O_RDONLY);
  const int out = open((path + ".out").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  std::ostringstream err;
  const std::vector<std::string_view> args = {"encode"};
  const int status = RunCli(args, in, out, err, [&] {
    std::fstream file(path, std::ios::binary | std::ios::in | std::ios::out);
    file.seekp((256 << 10) - 2);
    EXPECT_TRUE(file.put('\xE4'));
    file.close();
    const timespec times[2] = {{0, UTIME_OMIT}, before.st_mtim};
    EXPECT_EQ(utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
  });
  close(in);
  close(out);
  EXPECT_EQ(status, 0) << err.str();
  Slurp(path + ".out");
  std::remove(path.c_str());
}

}  // namespace
}  // namespace vantorel
