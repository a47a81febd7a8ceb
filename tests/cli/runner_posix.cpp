// The tool in-process on Linux: on streams, or on descriptors of a file or a
// pipe (written by a thread), its output a file or a pipe nobody reads.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <thread>

#include "cli/io_posix.hpp"
#include "tests/cli/runner.hpp"

namespace vantorel {

const bool kWindowsTool = false;

std::optional<Ran> RunTool(std::span<const std::string_view> args, const std::string& input,
                           Via via) {
  std::ostringstream err;
  if (via == Via::kStream) {
    std::istringstream in(input);
    std::ostringstream out;
    const int status = RunCli(args, in, out, err);
    return Ran{status, out.str(), err.str()};
  }
  if (via == Via::kConsole) return std::nullopt;
  std::signal(SIGPIPE, SIG_IGN);  // as main() does
  const std::string path = testing::TempDir() + "vantorel-fd-" + std::to_string(getpid());
  int in = -1, ends[2] = {-1, -1};
  std::thread writer;
  if (via == Via::kPipe) {
    EXPECT_EQ(pipe(ends), 0);
    in = ends[0];
    writer = std::thread([&] {
      // All of it, or up to where the tool stopped reading (then EPIPE).
      [[maybe_unused]] const ssize_t wrote = write(ends[1], input.data(), input.size());
      close(ends[1]);
    });
  } else {
    std::ofstream(path + ".in", std::ios::binary) << input;
    in = open((path + ".in").c_str(), O_RDONLY);
  }
  int out = open((path + ".out").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  if (via == Via::kFileToClosedPipe) {
    close(out);
    EXPECT_EQ(pipe(ends), 0);
    close(ends[0]);
    out = ends[1];
  }
  const int status = RunCli(args, in, out, err);
  close(in);  // a writer the tool left waiting stops with EPIPE
  if (writer.joinable()) writer.join();
  close(out);
  std::ostringstream written;
  written << std::ifstream(path + ".out", std::ios::binary).rdbuf();
  std::remove((path + ".in").c_str());
  std::remove((path + ".out").c_str());
  return Ran{status, written.str(), err.str()};
}

}  // namespace vantorel
