// The command-line tool, apart from the process: main() hands it the
// arguments, standard input and output as file descriptors and standard error
// as a stream; tests can run it in-process on descriptors or on streams.
#pragma once

#include <functional>
#include <iosfwd>
#include <span>
#include <string_view>

namespace vantorel {

// Runs `vantorel ARGS...` (args without the program name) and returns the exit
// status: 0 done, 1 bad input, 2 usage error or unavailable code page. On
// status 1 or 2 nothing has been written to out.
int RunCli(std::span<const std::string_view> args, std::istream& in, std::ostream& out,
           std::ostream& err);

// The same on file descriptors. A regular file is read again for each pass
// over it (checked, then written) through one window of a few MiB, so memory
// does not grow with it; other input is read whole into memory. Output
// leaves through write(2) from one buffer of about a MiB; a failure to write
// ends the run with status 1 and a message (SIGPIPE is the caller's to ignore).
// A regular file whose size or modification time changes between two passes
// ends the run with status 1 and a message, nothing written. between_passes,
// when given, runs before each pass after the first (tests change the file
// there).
int RunCli(std::span<const std::string_view> args, int in, int out, std::ostream& err,
           const std::function<void()>& between_passes = {});

}  // namespace vantorel
