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
  UniqueHandle in, feed, out, gone;  // feed: the pipe's end the test writes
  if (via == Via::kPipe || via == Via::kByteAtATime) {
    CreatePipe(in.put(), feed.put(), &inherited, 0);
    SetHandleInformation(feed.get(), HANDLE_FLAG_INHERIT, 0);
  } else {
    std::ofstream(std::filesystem::path(files + L".in"), std::ios::binary) << input;
    in = Open(files + L".in", GENERIC_READ, OPEN_EXISTING);
  }
  if (via == Via::kFileToClosedPipe) {
    CreatePipe(gone.put(), out.put(), &inherited, 0);
    gone.reset();
  } else {
    out = Open(files + L".out", GENERIC_WRITE, CREATE_ALWAYS);
  }
  UniqueHandle err = Open(files + L".err", GENERIC_WRITE, CREATE_ALWAYS);

  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = in.get();
  startup.hStdOutput = out.get();
  startup.hStdError = err.get();
  PROCESS_INFORMATION started{};
  if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE, DETACHED_PROCESS, nullptr,
                      nullptr, &startup, &started)) {
    return Ran{-1, "", "CreateProcessW failed: " + std::to_string(GetLastError())};
  }
  const UniqueHandle process(started.hProcess), thread(started.hThread);
  in.reset();
  out.reset();
  err.reset();
  const std::size_t step = via == Via::kByteAtATime ? 1 : input.size();
  for (std::size_t at = 0; feed && at < input.size(); at += step) {
    DWORD wrote = 0;
    if (!WriteFile(feed.get(), input.data() + at,
                   static_cast<DWORD>(std::min(step, input.size() - at)), &wrote, nullptr))
      break;
  }
  feed.reset();
  DWORD status = 0;
  WaitForSingleObject(process.get(), INFINITE);
  GetExitCodeProcess(process.get(), &status);
  DeleteFileW((files + L".in").c_str());
  const std::string written = via == Via::kFileToClosedPipe ? "" : Slurp(files + L".out");
  return Ran{static_cast<int>(status), AsNamedOnLinux(written),
             AsNamedOnLinux(Slurp(files + L".err"))};
}

}  // namespace vantorel
