#include <iostream>
#include <string_view>
#include <vector>

#include "cli.hpp"

int main(int argc, char** argv) {
  // Unsynchronised streams read and write large blocks straight through.
  std::ios::sync_with_stdio(false);
  const std::vector<std::string_view> args(argv + (argc > 0 ? 1 : 0), argv + argc);
  return vantorel::RunCli(args, std::cin, std::cout, std::cerr);
}
