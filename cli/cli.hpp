// The command-line tool, apart from the process: main() hands it the
// arguments (UTF-8), standard input and output as the system gives them
// (cli/io.hpp) and standard error as a stream; tests can run it in-process
// on streams, or on descriptors (cli/io_posix.hpp).
#pragma once

#include <functional>
#include <iosfwd>
#include <span>
#include <string_view>

namespace vantorel {

namespace io {
class Input;
class Output;
}  // namespace io

// Runs `vantorel ARGS...` (args without the program name) and returns the exit
// status: 0 done, 1 bad input, 2 usage error or unavailable code page. On
// status 1 or 2 nothing has been written to out.
int RunCli(std::span<const std::string_view> args, std::istream& in, std::ostream& out,
           std::ostream& err);

// The same on the system's standard streams. A regular file is read again
// for each pass over it (checked, then written), a window of a few MiB at a
// time, so memory does not grow with it; other input is read whole. Output
// leaves from one buffer of about a MiB; a failure to write ends the run with
// status 1 and a message. A regular file whose size or modification time
// changes between two passes ends the run with status 1 and a message,
// nothing written. between_passes, when given, runs before each pass after
// the first (tests change the file there).
int RunCli(std::span<const std::string_view> args, io::Input& in, io::Output& out,
           std::ostream& err, const std::function<void()>& between_passes = {});

}  // namespace vantorel
