// The byte stage: bytes to hex text and hex text to bytes. No code page is
// involved here; the functions are pure and work on any platform.
//
// Hex text is two upper-case digits per byte with single spaces between the
// groups and nothing around them ("48 69"). Reading it is lenient: spaces at
// both ends are ignored, every space ends a group, digits of either case are
// read from the start of a group (tabs, line feeds and carriage returns are
// dropped wherever they stand) up to the first other character, and a group
// without digits reads as 0. Only a group above FF fails.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <utility>
#include <variant>

namespace 字符串加密 {

// Why a hex text could not be turned into what the caller asked for, and
// which group is to blame.
struct GroupError {
  enum class Reason {
    kTooLarge,  // the group's value does not fit in a byte
    kZeroByte,  // the group is a zero byte, which a text box cannot hold
    kNotText,   // the bytes from this group on do not survive the code page
  };
  Reason reason;
  std::size_t group;    // 1-based, counted after the outer spaces are trimmed
  std::size_t offset;   // where the group starts in the hex text passed in
  std::u16string text;  // the group exactly as typed

  bool operator==(const GroupError&) const = default;
};

// A value or the group error that prevented it.
template <class T>
class Result {
 public:
  Result(T value) : v_(std::in_place_index<0>, std::move(value)) {}
  Result(GroupError error) : v_(std::in_place_index<1>, std::move(error)) {}

  bool ok() const { return v_.index() == 0; }
  explicit operator bool() const { return ok(); }
  T& value() { return std::get<0>(v_); }
  const T& value() const { return std::get<0>(v_); }
  const GroupError& error() const { return std::get<1>(v_); }

 private:
  std::variant<T, GroupError> v_;
};

// 3n - 1 characters for n bytes, none for none.
constexpr std::size_t HexLength(std::size_t bytes) { return bytes == 0 ? 0 : 3 * bytes - 1; }

// Writes exactly HexLength(bytes.size()) characters to out.
void WriteHex(std::string_view bytes, char* out);
void WriteHex(std::string_view bytes, char16_t* out);

std::u16string BytesToHex(std::string_view bytes);
std::string BytesToHexNarrow(std::string_view bytes);

// The bytes a hex text reads as, or the first group above FF.
Result<std::string> HexToBytes(std::u16string_view hex);
Result<std::string> HexToBytes(std::string_view hex);

// Where group n (1-based) of a hex text stands: its offset and its length.
// Past the last group the offset is hex.size() and the length 0.
struct GroupSpan {
  std::size_t offset;
  std::size_t length;
};
GroupSpan LocateGroup(std::u16string_view hex, std::size_t group);

}  // namespace 字符串加密
