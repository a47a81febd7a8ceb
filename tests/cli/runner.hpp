// The tool run for a test table: in-process on Linux, vantorel-cli.exe as a
// process under Wine on Windows, so that one table holds both to the same
// output, standard error and status.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace vantorel {

// Where standard input comes from: a stream in-process (on Windows a file),
// a regular file, a pipe (read in parts where the input is larger than the
// pipe holds); or a file, with standard output a pipe whose reader has gone.
// On Windows also a console, on which the input is typed and the output read
// back from the screen.
enum class Via { kStream, kFile, kPipe, kFileToClosedPipe, kConsole };

// Whether the tool run is Windows' (vantorel-cli.exe).
extern const bool kWindowsTool;

struct Ran {
  int status;
  std::string out, err;
};

// Runs the tool with args and input. Nothing where the case cannot be run:
// an argument that is not UTF-8 cannot reach a Windows program, Wine has no
// GB18030, and only Windows has consoles. The usage lines name the tool
// "vantorel" on every system.
std::optional<Ran> RunTool(std::span<const std::string_view> args, const std::string& input,
                           Via via = Via::kStream);

}  // namespace vantorel
