// The code-page layer on systems without the Windows converters: Windows' own
// conversions where they are known (the published tables, GB18030, UTF-8), the
// codec's own UTF-16, iconv for the rest.
#include <errno.h>
#include <iconv.h>

#include <algorithm>
#include <bit>
#include <stdexcept>
#include <string>

#include "codec/internal/platform.hpp"
#include "codec/internal/published.hpp"
#include "codec/internal/utf16.hpp"

namespace 字符串加密 {
namespace {

constexpr const char* kUtf16 = std::endian::native == std::endian::little ? "UTF-16LE" : "UTF-16BE";

std::string IconvName(CodePage cp) {
  switch (cp) {
    case 65001:
      return "UTF-8";
    case 54936:
      return "GB18030";
    case 20127:
      return "ASCII";
    case 20932:
      return "EUC-JP";
    case 51949:
      return "EUC-KR";
    default:
      if (cp >= 28591 && cp <= 28606) return "ISO-8859-" + std::to_string(cp - 28590);
      return "CP" + std::to_string(cp);
  }
}

// One conversion descriptor, closed when it goes out of scope.
class Converter {
 public:
  Converter(const std::string& to, const std::string& from)
      : cd_(iconv_open(to.c_str(), from.c_str())) {}
  ~Converter() {
    if (ok()) iconv_close(cd_);
  }
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;

  bool ok() const { return cd_ != reinterpret_cast<iconv_t>(-1); }
  // Converts as much as it can; false when it stopped at input it cannot convert.
  bool Convert(const char*& in, std::size_t& in_left, char*& out, std::size_t& out_left) {
    char* in_ptr = const_cast<char*>(in);
    const std::size_t r = iconv(cd_, &in_ptr, &in_left, &out, &out_left);
    in = in_ptr;
    return r != static_cast<std::size_t>(-1);
  }
  // Writes what the converter still holds back (some keep the last character
  // until they know whether a combining mark follows).
  void Flush(char*& out, std::size_t& out_left) {
    if (iconv(cd_, nullptr, nullptr, &out, &out_left) == static_cast<std::size_t>(-1)) {
      throw std::runtime_error("iconv failed");
    }
  }

 private:
  iconv_t cd_;
};

constexpr std::size_t kWindow = 256;

bool IsHighSurrogate(char16_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool IsLowSurrogate(char16_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

}  // namespace

CodePage SystemCodePage() { return 936; }

namespace platform {

bool IsCodePageAvailable(CodePage cp) {
  if (utf16::Is(cp) || published::Has(cp)) return true;
  if (cp == 0 || cp == 12000 || cp == 12001) return false;
  return Converter(IconvName(cp), kUtf16).ok() && Converter(kUtf16, IconvName(cp)).ok();
}

EncodedText EncodeText(std::u16string_view text, CodePage cp) {
  if (utf16::Is(cp)) return utf16::EncodeText(text, cp);
  if (published::Has(cp)) return published::EncodeText(text, cp);
  EncodedText result;
  if (text.empty()) return result;
  Converter converter(IconvName(cp), kUtf16);
  if (!converter.ok()) throw std::invalid_argument("code page not available");

  // Four bytes per code unit at most: GB18030 writes some BMP characters so.
  result.bytes.resize(text.size() * 4);
  char* out = result.bytes.data();
  std::size_t out_left = result.bytes.size();
  std::size_t done = 0;
  while (done < text.size()) {
    // iconv redoes work of its own after each character it refuses; short
    // windows keep that small when a text has many.
    std::size_t end = std::min(text.size(), done + kWindow);
    if (end < text.size() && IsHighSurrogate(text[end - 1])) ++end;
    const char* in = reinterpret_cast<const char*>(text.data() + done);
    std::size_t in_left = (end - done) * sizeof(char16_t);
    if (converter.Convert(in, in_left, out, out_left)) {
      done = end;
      continue;
    }
    if (errno != EILSEQ && errno != EINVAL) throw std::runtime_error("iconv failed");
    // The code unit at `at` cannot be written: 3F for it, and for its low
    // surrogate when it starts a pair.
    const std::size_t at = end - in_left / sizeof(char16_t);
    const std::size_t units =
        IsHighSurrogate(text[at]) && at + 1 < text.size() && IsLowSurrogate(text[at + 1]) ? 2 : 1;
    if (result.unmappable++ == 0) result.first_unmappable = at;
    for (std::size_t i = 0; i < units; ++i) {
      *out++ = '?';
      --out_left;
    }
    done = at + units;
  }
  converter.Flush(out, out_left);
  result.bytes.resize(result.bytes.size() - out_left);
  return result;
}

std::u16string DecodeBytes(std::string_view bytes, CodePage cp) {
  if (utf16::Is(cp)) return utf16::DecodeBytes(bytes, cp);
  if (published::Has(cp)) return published::DecodeBytes(bytes, cp);
  std::u16string text;
  if (bytes.empty()) return text;
  Converter converter(kUtf16, IconvName(cp));
  if (!converter.ok()) throw std::invalid_argument("code page not available");

  // Never more code units than bytes.
  text.resize(bytes.size());
  char* out = reinterpret_cast<char*>(text.data());
  std::size_t out_left = text.size() * sizeof(char16_t);
  std::size_t done = 0;
  while (done < bytes.size()) {
    const std::size_t end = std::min(bytes.size(), done + kWindow);
    const char* in = bytes.data() + done;
    std::size_t in_left = end - done;
    if (converter.Convert(in, in_left, out, out_left)) {
      done = end;
      continue;
    }
    if (errno != EILSEQ && errno != EINVAL) throw std::runtime_error("iconv failed");
    const std::size_t at = end - in_left;
    if (errno == EINVAL && end < bytes.size()) {
      done = at;  // a character cut by the window: the next window holds it whole
      continue;
    }
    // A byte that starts no character of the code page reads as "?".
    *reinterpret_cast<char16_t*>(out) = u'?';
    out += sizeof(char16_t);
    out_left -= sizeof(char16_t);
    done = at + 1;
  }
  converter.Flush(out, out_left);
  text.resize(text.size() - out_left / sizeof(char16_t));
  return text;
}

std::optional<std::u16string> DecodeIfText(std::string_view bytes, CodePage cp) {
  if (utf16::Is(cp)) return utf16::DecodeIfText(bytes, cp);
  if (published::Has(cp)) return published::DecodeIfText(bytes, cp);
  std::u16string text(bytes.size(), u'\0');  // never more code units than bytes
  if (bytes.empty()) return text;
  Converter converter(kUtf16, IconvName(cp));
  if (!converter.ok()) throw std::invalid_argument("code page not available");
  const char* in = bytes.data();
  std::size_t in_left = bytes.size();
  char* out = reinterpret_cast<char*>(text.data());
  std::size_t out_left = text.size() * sizeof(char16_t);
  if (!converter.Convert(in, in_left, out, out_left)) return std::nullopt;
  converter.Flush(out, out_left);
  text.resize(text.size() - out_left / sizeof(char16_t));
  return text;
}

std::optional<Sequences> SequencesOf(CodePage cp) { return published::SequencesOf(cp); }

}  // namespace platform
}  // namespace 字符串加密
