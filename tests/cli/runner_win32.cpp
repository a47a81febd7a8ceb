// vantorel-cli.exe as a process, started from the test under Wine: standard
// input a file or a pipe the test writes, standard output and standard error
// files (or standard output a pipe whose reader has gone).
#include <windows.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "codec/codec.hpp"
#include "tests/cli/runner.hpp"
#include "win32/handles.hpp"

namespace vantorel {

const bool kWindowsTool = true;

namespace {

// UTF-16 of UTF-8; nothing for what is not UTF-8.
std::optional<std::wstring> Wide(std::string_view utf8) {
  std::wstring wide(utf8.size(), L'\0');
  const int size =
      MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), static_cast<int>(utf8.size()),
                          wide.data(), static_cast<int>(wide.size()));
  if (size == 0 && !utf8.empty()) return std::nullopt;
  wide.resize(static_cast<std::size_t>(size));
  return wide;
}

// An argument quoted so that the C runtime reads it back as it is: the
// backslashes before a quote, and before the closing quote, doubled.
std::wstring Quoted(std::wstring_view arg) {
  std::wstring quoted = L"\"";
  std::size_t backslashes = 0;
  for (const wchar_t c : arg) {
    if (c == L'\\') {
      ++backslashes;
      continue;
    }
    quoted.append(c == L'"' ? 2 * backslashes + 1 : backslashes, L'\\');
    backslashes = 0;
    quoted += c;
  }
  return quoted.append(2 * backslashes, L'\\') + L"\"";
}

UniqueHandle Open(const std::wstring& path, DWORD access, DWORD disposition) {
  SECURITY_ATTRIBUTES inherited{sizeof inherited, nullptr, TRUE};
  return UniqueHandle(CreateFileW(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                  &inherited, disposition, FILE_ATTRIBUTE_NORMAL, nullptr));
}

std::string Slurp(const std::wstring& path) {
  std::ifstream in(std::filesystem::path(path), std::ios::binary);
  std::string data{std::istreambuf_iterator<char>(in), {}};
  in.close();
  DeleteFileW(path.c_str());
  return data;
}

// The test's own console, in code page 437, which has no Chinese, wide
// enough for every message to take one line. (Wine's console needs an X
// display; scripts/run-tests.sh gives one.)
struct Console {
  UniqueHandle in, out;
  static constexpr SHORT kWidth = 200, kHeight = 50;
};
const Console& TheConsole() {
  static const Console console = [] {
    FreeConsole();
    AllocConsole();
    SetConsoleCP(437);
    SetConsoleOutputCP(437);
    SECURITY_ATTRIBUTES inherited{sizeof inherited, nullptr, TRUE};
    const auto open = [&](const wchar_t* name) {
      return UniqueHandle(CreateFileW(name, GENERIC_READ | GENERIC_WRITE,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE, &inherited, OPEN_EXISTING,
                                      0, nullptr));
    };
    Console made{open(L"CONIN$"), open(L"CONOUT$")};
    SetConsoleScreenBufferSize(made.out.get(), {Console::kWidth, Console::kHeight});
    return made;
  }();
  return console;
}

// Clears the screen and types the text: a line feed is Enter, 1A is Ctrl+Z.
void Type(const Console& console, std::wstring_view text) {
  DWORD done = 0;
  FillConsoleOutputCharacterW(console.out.get(), L' ', Console::kWidth * Console::kHeight, {0, 0},
                              &done);
  SetConsoleCursorPosition(console.out.get(), {0, 0});
  FlushConsoleInputBuffer(console.in.get());
  for (const wchar_t c : text) {
    INPUT_RECORD keys[2] = {};
    for (int up = 0; up < 2; ++up) {
      KEY_EVENT_RECORD& key = keys[up].Event.KeyEvent;
      keys[up].EventType = KEY_EVENT;
      key.bKeyDown = up == 0;
      key.wRepeatCount = 1;
      key.uChar.UnicodeChar = c == L'\n' ? L'\r' : c;
      key.wVirtualKeyCode = c == L'\n' ? VK_RETURN : c == L'\x1A' ? 'Z' : 0;
      key.dwControlKeyState = c == L'\x1A' ? LEFT_CTRL_PRESSED : 0;
    }
    WriteConsoleInputW(console.in.get(), keys, 2, &done);
  }
}

// The screen's lines as UTF-8, without the spaces after each and the empty
// lines at the end.
std::string Screen(const Console& console) {
  std::wstring cells(Console::kWidth * Console::kHeight, L' ');
  DWORD read = 0;
  ReadConsoleOutputCharacterW(console.out.get(), cells.data(), static_cast<DWORD>(cells.size()),
                              {0, 0}, &read);
  std::wstring lines;
  for (std::size_t row = 0; row < cells.size(); row += Console::kWidth) {
    const std::wstring_view line = std::wstring_view(cells).substr(row, Console::kWidth);
    lines.append(line.substr(0, line.find_last_not_of(L' ') + 1)) += L'\n';
  }
  lines.erase(lines.find_last_not_of(L'\n') + 1);
  std::string utf8(3 * lines.size(), '\0');
  utf8.resize(static_cast<std::size_t>(
      WideCharToMultiByte(CP_UTF8, 0, lines.data(), static_cast<int>(lines.size()), utf8.data(),
                          static_cast<int>(utf8.size()), nullptr, nullptr)));
  return utf8;
}

// The usage lines name vantorel-cli here.
std::string AsNamedOnLinux(std::string text) {
  for (std::size_t at; (at = text.find("vantorel-cli [")) != text.npos;) text.erase(at + 8, 4);
  return text;
}

}  // namespace

std::optional<Ran> RunTool(std::span<const std::string_view> args, const std::string& input,
                           Via via) {
  std::string exe = VANTOREL_CLI_EXE;  // a Unix path: Wine shows the Unix root as drive Z:
  std::replace(exe.begin(), exe.end(), '/', '\\');
  std::wstring command = Quoted(L"Z:" + Wide(exe).value());
  for (const std::string_view arg : args) {
    const std::optional<std::wstring> wide = Wide(arg);
    if (!wide) return std::nullopt;
    // Wine has no GB18030.
    if (字符串加密::CodePageByName(arg) == 54936u && !IsValidCodePage(54936)) return std::nullopt;
    command += L" " + Quoted(*wide);
  }
  wchar_t folder[MAX_PATH];
  GetTempPathW(MAX_PATH, folder);
  const std::wstring files = folder + (L"vantorel-cli-" + std::to_wstring(GetCurrentProcessId()));

  SECURITY_ATTRIBUTES inherited{sizeof inherited, nullptr, TRUE};
  UniqueHandle in, feed, out, gone, err;  // feed: the pipe's end the test writes
  if (via == Via::kConsole) {
    Type(TheConsole(), Wide(input).value());
  } else if (via == Via::kPipe) {
    CreatePipe(in.put(), feed.put(), &inherited, 0);
    SetHandleInformation(feed.get(), HANDLE_FLAG_INHERIT, 0);
  } else {
    std::ofstream(std::filesystem::path(files + L".in"), std::ios::binary) << input;
    in = Open(files + L".in", GENERIC_READ, OPEN_EXISTING);
  }
  if (via == Via::kFileToClosedPipe) {
    CreatePipe(gone.put(), out.put(), &inherited, 0);
    gone.reset();
  } else if (via != Via::kConsole) {
    out = Open(files + L".out", GENERIC_WRITE, CREATE_ALWAYS);
  }
  if (via != Via::kConsole) err = Open(files + L".err", GENERIC_WRITE, CREATE_ALWAYS);

  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  const bool console = via == Via::kConsole;
  startup.hStdInput = console ? TheConsole().in.get() : in.get();
  startup.hStdOutput = console ? TheConsole().out.get() : out.get();
  startup.hStdError = console ? TheConsole().out.get() : err.get();
  PROCESS_INFORMATION started{};
  if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE,
                      console ? 0 : DETACHED_PROCESS, nullptr, nullptr, &startup, &started)) {
    return Ran{-1, "", "CreateProcessW failed: " + std::to_string(GetLastError())};
  }
  const UniqueHandle process(started.hProcess), thread(started.hThread);
  in.reset();
  out.reset();
  err.reset();
  DWORD wrote = 0;
  if (feed) WriteFile(feed.get(), input.data(), static_cast<DWORD>(input.size()), &wrote, nullptr);
  feed.reset();
  DWORD status = 0;
  WaitForSingleObject(process.get(), INFINITE);
  GetExitCodeProcess(process.get(), &status);
  DeleteFileW((files + L".in").c_str());
  if (console) return Ran{static_cast<int>(status), AsNamedOnLinux(Screen(TheConsole())), ""};
  const std::string written = via == Via::kFileToClosedPipe ? "" : Slurp(files + L".out");
  return Ran{static_cast<int>(status), AsNamedOnLinux(written),
             AsNamedOnLinux(Slurp(files + L".err"))};
}

}  // namespace vantorel
