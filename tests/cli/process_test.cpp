// The real program, run as a process: what main() adds to RunCli (the
// standard streams, binary input, exit status) is checked here.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

extern char** environ;

namespace {

using namespace std::string_literals;

struct Outcome {
  std::string out;
  std::string err;
  int status;
};

std::string Slurp(const std::string& path) {
  std::ostringstream data;
  data << std::ifstream(path, std::ios::binary).rdbuf();
  return data.str();
}

// Runs the program with standard input, output and error in temporary files.
Outcome RunProgram(std::vector<std::string> args, const std::string& input) {
  char dir_template[] = "/tmp/vantorel-test-XXXXXX";
  const std::string dir = mkdtemp(dir_template);
  const std::string paths[] = {dir + "/in", dir + "/out", dir + "/err"};
  std::ofstream(paths[0], std::ios::binary) << input;

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, paths[0].c_str(), O_RDONLY, 0);
  for (int fd : {1, 2})
    posix_spawn_file_actions_addopen(&actions, fd, paths[fd].c_str(), O_WRONLY | O_CREAT, 0600);
  args.insert(args.begin(), VANTOREL_PROGRAM);
  std::vector<char*> argv;
  for (std::string& arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);

  Outcome outcome{"", "", -1};
  pid_t pid;
  int status = 0;
  if (posix_spawn(&pid, VANTOREL_PROGRAM, &actions, nullptr, argv.data(), environ) == 0 &&
      waitpid(pid, &status, 0) == pid && WIFEXITED(status)) {
    outcome = {Slurp(paths[1]), Slurp(paths[2]), WEXITSTATUS(status)};
  }
  posix_spawn_file_actions_destroy(&actions);
  for (const std::string& path : paths) std::remove(path.c_str());
  rmdir(dir.c_str());
  return outcome;
}

TEST(ProcessTest, RunsAsAProgram) {
  // A regular file larger than one read, taken whole.
  std::string many, many_hex;
  for (int i = 0; i < 100'000; ++i) {
    many += "中";
    many_hex += i == 0 ? "D6 D0" : " D6 D0";
  }
  struct Case {
    std::vector<std::string> args;
    std::string input;
    Outcome expected;
  };
  const Case cases[] = {
      {{"decode"}, "48 69\n", {"Hi", "", 0}},
      {{"encode", "中"}, "", {"D6 D0\n", "", 0}},
      {{"encode"}, "a\r\n\0\x1A"s, {"61 0D 0A 00 1A\n", "", 0}},
      {{"-c", "1252", "decode"}, "0D 0A 00 1A FF 20", {"\r\n\0\x1A\xC3\xBF "s, "", 0}},
      {{"encode"}, many, {many_hex + "\n", "", 0}},
      {{"decode"}, many_hex, {many, "", 0}},
      {{"decode", "41 486"},
       "",
       {"", "vantorel: group 2 \"486\" does not fit in a byte (00 to FF)\n", 1}},
      {{"decode", "-c"},
       "",
       {"",
        "vantorel: option -c needs a code page number\nusage: vantorel [-c CODEPAGE] encode [TEXT] "
        "| decode [HEX]\n",
        2}},
      {{"--version"}, "", {"vantorel 1.00\n", "", 0}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.args));
    const Outcome outcome = RunProgram(c.args, c.input);
    EXPECT_EQ(outcome.status, c.expected.status);
    EXPECT_TRUE(outcome.out == c.expected.out) << testing::PrintToString(outcome.out.substr(0, 80));
    EXPECT_EQ(outcome.err, c.expected.err);
  }
}

}  // namespace
