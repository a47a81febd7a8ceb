// The code pages offered by name: one table for the window and the tool.
#include <algorithm>
#include <array>
#include <charconv>

#include "codec/codec.hpp"

namespace 字符串加密 {
namespace {

constexpr std::array<NamedCodePage, 9> kNamed{{
    {936, "GBK (936)", "gbk cp936 gb2312"},
    {54936, "GB18030 (54936)", "gb18030"},
    {950, "Big5 (950)", "big5 cp950"},
    {932, "Shift-JIS (932)", "shift_jis sjis cp932"},
    {949, "UHC (949)", "uhc cp949 euc-kr"},
    {1252, "Windows-1252", "windows-1252 cp1252"},
    {65001, "UTF-8", "utf-8 utf8"},
    {1200, "UTF-16 LE", "utf-16le utf-16"},
    {1201, "UTF-16 BE", "utf-16be"},
}};

bool SameIgnoringCase(std::string_view a, std::string_view b) {
  const auto lower = [](char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
  };
  return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                    [&](char x, char y) { return lower(x) == lower(y); });
}

}  // namespace

std::span<const NamedCodePage> NamedCodePages() { return kNamed; }

std::optional<CodePage> CodePageByName(std::string_view name) {
  CodePage number = 0;
  const auto [end, error] = std::from_chars(name.data(), name.data() + name.size(), number);
  if (!name.empty() && error == std::errc() && end == name.data() + name.size()) return number;
  for (const NamedCodePage& named : kNamed) {
    for (std::string_view names = named.names; !names.empty();) {
      const std::size_t space = std::min(names.find(' '), names.size());
      if (SameIgnoringCase(names.substr(0, space), name)) return named.cp;
      names.remove_prefix(std::min(space + 1, names.size()));
    }
  }
  return std::nullopt;
}

}  // namespace 字符串加密
