// The real program as a process: what main() adds to RunCli (the standard streams,
// a pipe read whole over many reads, the exit status). All else is checked in-process.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>  // std::remove
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

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

}  // namespace
