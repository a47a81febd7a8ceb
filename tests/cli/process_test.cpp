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
  std::ifstream file(path, std::ios::binary);
  std::ostringstream data;
  data << file.rdbuf();
  return data.str();
}

// Runs the program with standard input, output and error in temporary files.
Outcome RunProgram(std::vector<std::string> args, const std::string& input) {
  char dir_template[] = "/tmp/vantorel-test-XXXXXX";
  const std::string dir = mkdtemp(dir_template);
  const std::string in_path = dir + "/in";
  const std::string out_path = dir + "/out";
  const std::string err_path = dir + "/err";
  std::ofstream(in_path, std::ios::binary) << input;

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, in_path.c_str(), O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                   0600);
  posix_spawn_file_actions_addopen(&actions, 2, err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                   0600);
  args.insert(args.begin(), VANTOREL_PROGRAM);
  std::vector<char*> argv;
  for (std::string& arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);

  Outcome outcome{"", "", -1};
  pid_t pid;
  if (posix_spawn(&pid, VANTOREL_PROGRAM, &actions, nullptr, argv.data(), environ) == 0) {
    int status = 0;
    waitpid(pid, &status, 0);
    if (WIFEXITED(status)) outcome.status = WEXITSTATUS(status);
    outcome.out = Slurp(out_path);
    outcome.err = Slurp(err_path);
  }
  posix_spawn_file_actions_destroy(&actions);
  for (const std::string& path : {in_path, out_path, err_path}) std::remove(path.c_str());
  rmdir(dir.c_str());
  return outcome;
}

TEST(ProcessTest, RunsAsAProgram) {
  // A regular file of more than one read's worth, read whole.
  std::string many;
  std::string many_hex;
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
      {{"encode"}, "a\r\n\0b"s, {"61 0D 0A 00 62\n", "", 0}},
      {{"decode"}, "0D 0A 00 1A 20"s, {"\r\n\0\x1A "s, "", 0}},
      {{"-c", "1252", "decode"}, "0D 0A 00 1A FF 20"s, {"\r\n\0\x1A\xC3\xBF "s, "", 0}},
      {{"encode"}, many, {many_hex + "\n", "", 0}},
      {{"decode"}, many_hex, {many, "", 0}},
      {{"decode", "41 486"},
       "",
       {"", "vantorel: group 2 \"486\" does not fit in a byte (00 to FF)\n", 1}},
      {{"-c", "12345", "encode"},
       "",
       {"",
        "vantorel: code page 12345 is not available (936, 54936, 950, 932, 949, 1252 and 65001 "
        "are)\n",
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
