// The plain paths: the codec written as simply as it can be, with the
// platform's converters called directly. The fast paths must agree with these
// on every input; the tests and the fuzz targets compare the two.
#pragma once

#include <string>
#include <string_view>

#include "codec/codec.hpp"

namespace 字符串加密::reference {

std::u16string BytesToHex(std::string_view bytes);
Result<std::string> HexToBytes(std::u16string_view hex);
UnreadGroups FindUnreadGroups(std::u16string_view hex);

std::u16string TextToHex(std::u16string_view text, CodePage cp);
Result<std::u16string> HexToText(std::u16string_view hex, CodePage cp);

}  // namespace 字符串加密::reference
