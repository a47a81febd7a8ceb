// The tool on POSIX file descriptors, as main() runs it and the tests do.
#pragma once

#include <functional>
#include <iosfwd>
#include <span>
#include <string_view>

#include "cli/cli.hpp"

namespace vantorel {

// RunCli on descriptors. A regular file is read again for each pass over it
// (checked, then written) through one window of a few MiB, so memory does
// not grow with it; other input is read whole into memory. Output leaves
// through write(2); a failure to write ends the run with status 1 and a
// message (SIGPIPE is the caller's to ignore).
int RunCli(std::span<const std::string_view> args, int in, int out, std::ostream& err,
           const std::function<void()>& between_passes = {});

}  // namespace vantorel
