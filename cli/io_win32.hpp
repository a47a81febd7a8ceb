// The tool on Windows' standard handles, as wmain() runs it.
#pragma once

#include <iosfwd>
#include <span>
#include <string_view>

namespace vantorel {

// RunCli on handles (HANDLE, which is void*): a console is read as UTF-16
// and written as characters, whatever its code page; a regular file is read
// at offsets a window at a time; anything else is read whole.
int RunCli(std::span<const std::string_view> args, void* in, void* out, std::ostream& err);

// Writes UTF-8 text to a handle as RunCli writes its output: a console gets
// its characters, anything else its bytes. False when it could not.
bool WriteText(void* handle, std::string_view utf8);

}  // namespace vantorel
