// The standard streams as the tool needs them, over what the system gives:
// io_posix.cpp (file descriptors) and io_win32.cpp (handles, and the
// console). Everything else the tool does, cli.cpp does the same way on
// every system.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace vantorel::io {

// Standard input could not be read; why ("Is a directory").
struct ReadFailure {
  std::string reason;
};

// Standard output could not be written; what the message adds after "cannot
// write to standard output" (": Broken pipe"), if anything.
struct WriteFailure {
  std::string reason;
};

// Standard input.
class Input {
 public:
  virtual ~Input() = default;
  // A regular file with bytes in it: how many there are from where its offset
  // stands; nothing for anything else.
  virtual std::optional<std::uint64_t> FileLength() = 0;
  // Up to n of those bytes from offset on, fewer only at their end.
  virtual std::size_t ReadAt(std::uint64_t offset, char* to, std::size_t n) = 0;
  // Whether the file still has the size and modification time it had when
  // FileLength() looked.
  virtual bool Unchanged() = 0;
  // A console that gives characters (Windows'): all it gives up to the end
  // (Ctrl+Z at the start of a line), as UTF-16. Nothing for anything else.
  virtual std::optional<std::u16string> ReadConsoleText() = 0;
  // Anything else: the next bytes from where it stands, up to n, as they
  // come; 0 at the end.
  virtual std::size_t Read(char* to, std::size_t n) = 0;
};

// Standard output, or standard error.
class Output {
 public:
  virtual ~Output() = default;
  // Writes all of bytes. Where `text` is true and the output is a console
  // that takes characters (Windows'), the bytes are UTF-8 and the console
  // gets their characters, whatever its code page; everything else gets the
  // bytes as they are.
  virtual void Write(std::string_view bytes, bool text) = 0;
};

// Asks the system to give the pages of a large buffer not yet written
// (`size` bytes from `data`) in huge pages where it can: each page's first
// touch is a fault, and one for 2 MiB costs far less than 512 for 4 KiB each.
// Nothing where the system has no such pages.
void PreferHugePages(void* data, std::size_t size);

// What the tool says and reads differently by system.
extern const std::string_view kCommandName;  // as the usage lines name it
extern const bool kReadsByteOrderMarks;      // standard input's FF FE or UTF-8 BOM
// The help's words for the default code page before its number ("the ANSI
// code page, here "), and for how text comes and goes without
// --text-encoding: lines indented as the help's are.
extern const std::string_view kDefaultCodePageHelp;
extern const std::string_view kTextHelp;

}  // namespace vantorel::io
