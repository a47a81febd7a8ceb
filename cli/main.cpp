#include <malloc.h>

#include <csignal>
#include <iostream>
#include <string_view>
#include <vector>

#include "cli/io_posix.hpp"

int main(int argc, char** argv) {
  // A reader that goes away is a failure to write, reported as such.
  std::signal(SIGPIPE, SIG_IGN);
  // The pieces' buffers, freed and allocated again for every piece, stay on
  // the heap and keep their pages instead of being mapped afresh each time.
  mallopt(M_MMAP_THRESHOLD, 32 << 20);
  mallopt(M_TRIM_THRESHOLD, 256 << 20);
  const std::vector<std::string_view> args(argv + (argc > 0 ? 1 : 0), argv + argc);
  return vantorel::RunCli(args, 0, 1, std::cerr);
}
