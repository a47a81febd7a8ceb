// The command-line tool, apart from the process: main() hands it the
// arguments and the three standard streams, so tests can run it in-process.
#pragma once

#include <iosfwd>
#include <span>
#include <string_view>

namespace vantorel {

// Runs `vantorel ARGS...` (args without the program name) and returns the exit
// status: 0 done, 1 bad input, 2 usage error or unavailable code page. On
// status 1 or 2 nothing has been written to out.
int RunCli(std::span<const std::string_view> args, std::istream& in, std::ostream& out,
           std::ostream& err);

}  // namespace vantorel
