// The standard streams on Windows: handles. A console reads and writes
// characters (UTF-16), whatever its code page; pipes and files carry bytes.
#include "cli/io_win32.hpp"

#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <optional>
#include <string>

#include "cli/cli.hpp"
#include "cli/io.hpp"

namespace vantorel {
namespace io {

const std::string_view kCommandName = "vantorel-cli";
const bool kReadsByteOrderMarks = true;
const std::string_view kDefaultCodePageHelp = "the ANSI code page, here ";
const std::string_view kTextHelp =
    "                            a console's characters, whatever its code page;\n"
    "                            from a pipe or file UTF-8 (a UTF-8 BOM skipped),\n"
    "                            or UTF-16 LE when it starts with FF FE (decode's\n"
    "                            input too); to a pipe or file UTF-8\n";

namespace {

// ReadFile and WriteFile take a DWORD; the console calls are kept to pieces
// the oldest consoles take.
constexpr std::size_t kMaxTransfer = std::size_t{1} << 30;
constexpr DWORD kConsolePiece = 8192;

// Why a call failed, for a message: in the words POSIX systems use where
// they have the same failure, so the message is the same everywhere.
std::string ErrorText(DWORD error) {
  switch (error) {
    case ERROR_BROKEN_PIPE:
    case ERROR_NO_DATA:
    case ERROR_PIPE_NOT_CONNECTED:
      return "Broken pipe";
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
      return "No space left on device";
    case ERROR_INVALID_HANDLE:
      return "Bad file descriptor";
    case ERROR_ACCESS_DENIED:
      return "Permission denied";
    default:
      return "Windows error " + std::to_string(error);
  }
}

bool IsConsole(HANDLE handle) {
  DWORD mode = 0;
  return GetConsoleMode(handle, &mode) != FALSE;
}

// A regular file's size and last write time, or nothing. (Not
// GetFileInformationByHandle: Wine refuses it on the handles it makes of the
// descriptors a program is started with from a Unix shell.)
struct FileState {
  LARGE_INTEGER size{};
  FILETIME written{};
};
std::optional<FileState> StateOf(HANDLE file) {
  FileState state;
  if (!GetFileSizeEx(file, &state.size) || !GetFileTime(file, nullptr, nullptr, &state.written))
    return std::nullopt;
  return state;
}

// A regular file is read at offsets (ReadFile with an OVERLAPPED's offset)
// from where its offset stood, and known unchanged by its size and last
// write time. A console gives characters up to Ctrl+Z at the start of a
// line, as the C runtime's text mode ends there too.
class HandleInput final : public Input {
 public:
  explicit HandleInput(HANDLE handle) : handle_(handle) {}

  std::optional<std::uint64_t> FileLength() override {
    LARGE_INTEGER zero{}, at{};
    const std::optional<FileState> state =
        GetFileType(handle_) == FILE_TYPE_DISK ? StateOf(handle_) : std::nullopt;
    if (!state || state->size.QuadPart <= 0 || !SetFilePointerEx(handle_, zero, &at, FILE_CURRENT))
      return std::nullopt;
    read_ = *state;
    start_ = static_cast<std::uint64_t>(std::clamp(at.QuadPart, LONGLONG{0}, read_.size.QuadPart));
    return static_cast<std::uint64_t>(read_.size.QuadPart) - start_;
  }

  std::size_t ReadAt(std::uint64_t offset, char* to, std::size_t n) override {
    std::size_t filled = 0;
    while (filled < n) {
      const std::uint64_t from = start_ + offset + filled;
      OVERLAPPED where{};
      where.Offset = static_cast<DWORD>(from);
      where.OffsetHigh = static_cast<DWORD>(from >> 32);
      DWORD got = 0;
      const DWORD size = static_cast<DWORD>(std::min(n - filled, kMaxTransfer));
      if (!ReadFile(handle_, to + filled, size, &got, &where) &&
          !(GetLastError() == ERROR_IO_PENDING &&
            GetOverlappedResult(handle_, &where, &got, TRUE))) {
        if (GetLastError() == ERROR_HANDLE_EOF) break;
        throw ReadFailure{ErrorText(GetLastError())};
      }
      if (got == 0) break;
      filled += got;
    }
    return filled;
  }

  bool Unchanged() override {
    const std::optional<FileState> now = StateOf(handle_);
    if (!now) throw ReadFailure{ErrorText(GetLastError())};
    return now->size.QuadPart == read_.size.QuadPart &&
           CompareFileTime(&now->written, &read_.written) == 0;
  }

  std::optional<std::u16string> ReadConsoleText() override {
    if (!IsConsole(handle_)) return std::nullopt;
    std::u16string text, piece(kConsolePiece, u'\0');
    for (;;) {
      DWORD got = 0;
      if (!ReadConsoleW(handle_, piece.data(), kConsolePiece, &got, nullptr))
        throw ReadFailure{ErrorText(GetLastError())};
      if (got == 0 || piece[0] == u'\x1A') break;
      text.append(piece, 0, got);
    }
    return text;
  }

  std::size_t Read(char* to, std::size_t n) override {
    DWORD got = 0;
    if (ReadFile(handle_, to, static_cast<DWORD>(std::min(n, kMaxTransfer)), &got, nullptr))
      return console_ && got > 0 && to[0] == '\x1A' ? 0 : got;
    // The end of a pipe whose writer has gone.
    if (GetLastError() == ERROR_BROKEN_PIPE || GetLastError() == ERROR_HANDLE_EOF) return 0;
    throw ReadFailure{ErrorText(GetLastError())};
  }

 private:
  HANDLE handle_;
  bool console_ = IsConsole(handle_);
  FileState read_;
  std::uint64_t start_ = 0;
};

class HandleOutput final : public Output {
 public:
  explicit HandleOutput(HANDLE handle) : handle_(handle), console_(IsConsole(handle)) {}

  void Write(std::string_view bytes, bool text) override {
    if (text && console_) return WriteCharacters(bytes);
    for (std::size_t at = 0; at < bytes.size();) {
      DWORD wrote = 0;
      const DWORD size = static_cast<DWORD>(std::min(bytes.size() - at, kMaxTransfer));
      if (!WriteFile(handle_, bytes.data() + at, size, &wrote, nullptr))
        throw WriteFailure{": " + ErrorText(GetLastError())};
      at += wrote;
    }
  }

 private:
  // UTF-8 to the console as characters; a character cut at the end of the
  // bytes waits for the rest.
  void WriteCharacters(std::string_view bytes) {
    pending_ += bytes;
    std::size_t end = pending_.size(), lead = end;
    while (lead > 0 && end - lead < 3 && (pending_[lead - 1] & 0xC0) == 0x80) --lead;
    if (lead > 0) {
      const auto b = static_cast<unsigned char>(pending_[lead - 1]);
      const std::size_t length = b >= 0xF0 ? 4 : b >= 0xE0 ? 3 : b >= 0xC0 ? 2 : 1;
      if (length > end - lead + 1) end = lead - 1;
    }
    std::wstring wide(end, L'\0');
    wide.resize(static_cast<std::size_t>(MultiByteToWideChar(
        CP_UTF8, 0, pending_.data(), static_cast<int>(end), wide.data(), static_cast<int>(end))));
    pending_.erase(0, end);
    for (std::size_t at = 0; at < wide.size();) {
      std::size_t size = std::min<std::size_t>(wide.size() - at, kConsolePiece);
      if (at + size < wide.size() && IS_HIGH_SURROGATE(wide[at + size - 1])) --size;
      DWORD wrote = 0;
      if (!WriteConsoleW(handle_, wide.data() + at, static_cast<DWORD>(size), &wrote, nullptr))
        throw WriteFailure{": " + ErrorText(GetLastError())};
      at += size;
    }
  }

  HANDLE handle_;
  bool console_;
  std::string pending_;
};

}  // namespace

// Large pages need a privilege an ordinary user lacks: pages as they come.
void PreferHugePages(void*, std::size_t) {}

}  // namespace io

int RunCli(std::span<const std::string_view> args, void* in, void* out, std::ostream& err) {
  io::HandleInput input(in);
  io::HandleOutput output(out);
  return RunCli(args, input, output, err);
}

bool WriteText(void* handle, std::string_view utf8) {
  try {
    io::HandleOutput(handle).Write(utf8, true);
    return true;
  } catch (const io::WriteFailure&) {
    return false;
  }
}

}  // namespace vantorel
