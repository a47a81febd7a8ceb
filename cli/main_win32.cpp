// vantorel-cli.exe: the command line as UTF-16 (wmain), so that TEXT arrives
// exactly whatever the console's code page; standard error is written once
// the run is over, as the tool's output is.
#include <windows.h>

#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "cli/io_win32.hpp"

namespace {

// An argument as UTF-8. A lone surrogate, which UTF-8 cannot carry, becomes
// the three bytes that would stand for it, which the tool refuses as not
// UTF-8, naming the place.
std::string Utf8Argument(std::wstring_view arg) {
  std::string utf8;
  for (std::size_t i = 0; i < arg.size(); ++i) {
    char32_t c = arg[i];
    if (IS_HIGH_SURROGATE(arg[i]) && i + 1 < arg.size() && IS_LOW_SURROGATE(arg[i + 1]))
      c = 0x10000 + ((c - 0xD800) << 10) + (arg[++i] - 0xDC00);
    const int length = c < 0x80 ? 1 : c < 0x800 ? 2 : c < 0x10000 ? 3 : 4;
    if (length == 1) {
      utf8 += static_cast<char>(c);
      continue;
    }
    constexpr unsigned char kLead[] = {0, 0, 0xC0, 0xE0, 0xF0};
    utf8 += static_cast<char>(kLead[length] | c >> (6 * (length - 1)));
    for (int k = length - 2; k >= 0; --k) utf8 += static_cast<char>(0x80 | ((c >> (6 * k)) & 0x3F));
  }
  return utf8;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  std::vector<std::string> utf8;
  for (int i = 1; i < argc; ++i) utf8.push_back(Utf8Argument(argv[i]));
  const std::vector<std::string_view> args(utf8.begin(), utf8.end());
  std::ostringstream err;
  const int status =
      vantorel::RunCli(args, GetStdHandle(STD_INPUT_HANDLE), GetStdHandle(STD_OUTPUT_HANDLE), err);
  vantorel::WriteText(GetStdHandle(STD_ERROR_HANDLE), err.str());
  return status;
}
