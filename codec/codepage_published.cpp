// Windows' own conversions where Windows' converters are missing: the code
// pages of Microsoft's published tables, GB18030 and UTF-8 as Windows has them.
//
// Windows' GB18030 (54936) is GB18030-2000 built on code page 936: the pairs
// read as 936 reads them, but for the 81 below, where 936 reads private-use
// characters and GB18030-2000 gives the characters the standard assigns them;
// the 25 pairs GB18030-2000 leaves to private use (A8BC, A6D9 to A6DF, A6EC,
// A6ED, A6F3 and 14 from FE51 to FEA0), which later editions and glibc read as
// other characters, read as in 936. The one-byte characters are ASCII alone;
// every other character of the first plane is four bytes from 81 30 81 30 on,
// in the order of the code points, and every character beyond the first plane
// four bytes from 90 30 81 30 on.
//
// Windows' UTF-8 writes a lone surrogate as U+FFFD and reads neither
// surrogates, nor longer forms than needed, nor anything beyond U+10FFFF.
#include <algorithm>
#include <array>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "codec/internal/published.hpp"
#include "codec/internal/simd.hpp"
#include "codec/internal/utf8_blocks.hpp"

namespace 字符串加密::published {
namespace {

bool IsSurrogate(char32_t c) { return c >= 0xD800 && c <= 0xDFFF; }
bool IsHighSurrogate(char16_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool IsLowSurrogate(char16_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

// Where GB18030-2000 reads a pair otherwise than code page 936.
constexpr std::uint16_t kGb18030Pairs[][2] = {
    {0xA2E3, 0x20AC}, {0xA8BF, 0x01F9}, {0xA989, 0x303E}, {0xA98A, 0x2FF0}, {0xA98B, 0x2FF1},
    {0xA98C, 0x2FF2}, {0xA98D, 0x2FF3}, {0xA98E, 0x2FF4}, {0xA98F, 0x2FF5}, {0xA990, 0x2FF6},
    {0xA991, 0x2FF7}, {0xA992, 0x2FF8}, {0xA993, 0x2FF9}, {0xA994, 0x2FFA}, {0xA995, 0x2FFB},
    {0xFE50, 0x2E81}, {0xFE54, 0x2E84}, {0xFE55, 0x3473}, {0xFE56, 0x3447}, {0xFE57, 0x2E88},
    {0xFE58, 0x2E8B}, {0xFE5A, 0x359E}, {0xFE5B, 0x361A}, {0xFE5C, 0x360E}, {0xFE5D, 0x2E8C},
    {0xFE5E, 0x2E97}, {0xFE5F, 0x396E}, {0xFE60, 0x3918}, {0xFE62, 0x39CF}, {0xFE63, 0x39DF},
    {0xFE64, 0x3A73}, {0xFE65, 0x39D0}, {0xFE68, 0x3B4E}, {0xFE69, 0x3C6E}, {0xFE6A, 0x3CE0},
    {0xFE6B, 0x2EA7}, {0xFE6E, 0x2EAA}, {0xFE6F, 0x4056}, {0xFE70, 0x415F}, {0xFE71, 0x2EAE},
    {0xFE72, 0x4337}, {0xFE73, 0x2EB3}, {0xFE74, 0x2EB6}, {0xFE75, 0x2EB7}, {0xFE77, 0x43B1},
    {0xFE78, 0x43AC}, {0xFE79, 0x2EBB}, {0xFE7A, 0x43DD}, {0xFE7B, 0x44D6}, {0xFE7C, 0x4661},
    {0xFE7D, 0x464C}, {0xFE80, 0x4723}, {0xFE81, 0x4729}, {0xFE82, 0x477C}, {0xFE83, 0x478D},
    {0xFE84, 0x2ECA}, {0xFE85, 0x4947}, {0xFE86, 0x497A}, {0xFE87, 0x497D}, {0xFE88, 0x4982},
    {0xFE89, 0x4983}, {0xFE8A, 0x4985}, {0xFE8B, 0x4986}, {0xFE8C, 0x499F}, {0xFE8D, 0x499B},
    {0xFE8E, 0x49B7}, {0xFE8F, 0x49B6}, {0xFE92, 0x4CA3}, {0xFE93, 0x4C9F}, {0xFE94, 0x4CA0},
    {0xFE95, 0x4CA1}, {0xFE96, 0x4C77}, {0xFE97, 0x4CA2}, {0xFE98, 0x4D13}, {0xFE99, 0x4D14},
    {0xFE9A, 0x4D15}, {0xFE9B, 0x4D16}, {0xFE9C, 0x4D17}, {0xFE9D, 0x4D18}, {0xFE9E, 0x4D19},
    {0xFE9F, 0x4DAE},
};
constexpr std::uint32_t kFourByteCharacters = 39420;  // 81 30 81 30 to 84 31 A4 39
constexpr std::uint32_t kFirstBeyondBmp = 189000;     // 90 30 81 30, as a four-byte index

// The published table a code page is read with: GB18030 starts from 936's.
const Table* Find(CodePage cp) {
  const CodePage base = cp == 54936 ? 936 : cp;
  const Table* const* table = kTables;
  while (*table != nullptr && (*table)->codepage != base) ++table;
  return *table;
}

// A code page as the converters use it: what each code unit is written as,
// and what each byte sequence reads as.
class CodePageTables {
 public:
  static const CodePageTables* For(CodePage cp);

  EncodedText Encode(std::u16string_view text) const;
  // The character of the sequence that starts at in (end - in > 0) and its
  // length; length 0 when none starts there.
  char32_t Read(const unsigned char* in, const unsigned char* end, int& length) const;
  // What Encode and Read look up; nothing for GB18030.
  std::optional<platform::Sequences> Lookups() const;

 private:
  // writes_ entries: a byte, lead << 8 | trail, or these.
  static constexpr std::uint16_t kUnwritable = platform::Sequences::kUnwritable;
  static constexpr std::uint16_t kFourBytes = 0xFFFE;  // GB18030: four_bytes_ holds the index

  explicit CodePageTables(const Table& table);
  void MakeGb18030();

  std::array<char16_t, 0x100> singles_;
  std::array<std::uint8_t, 0x100> rows_;
  unsigned first_trail_, trails_;
  std::vector<char16_t> pairs_;
  std::vector<std::uint16_t> writes_ = std::vector<std::uint16_t>(0x10000, kUnwritable);
  bool gb18030_ = false;
  std::vector<std::uint16_t> four_bytes_;  // GB18030: each code unit's four-byte index
  std::vector<char16_t> four_byte_units_;  // and the code unit of each index
};

CodePageTables::CodePageTables(const Table& table)
    : first_trail_(table.first_trail),
      trails_(table.trails),
      pairs_(table.pairs,
             table.pairs + *std::max_element(table.rows, table.rows + 0x100) * trails_) {
  std::copy(table.singles, table.singles + 0x100, singles_.begin());
  std::copy(table.rows, table.rows + 0x100, rows_.begin());
}

void CodePageTables::MakeGb18030() {
  gb18030_ = true;
  for (unsigned b = 0x80; b < 0x100; ++b) singles_[b] = kNoCharacter;
  for (const auto& [pair, c] : kGb18030Pairs)
    pairs_[(rows_[pair >> 8] - 1u) * trails_ + (pair & 0xFF) - first_trail_] = c;
}

const CodePageTables* CodePageTables::For(CodePage cp) {
  static std::mutex mutex;
  static std::vector<std::pair<CodePage, std::unique_ptr<CodePageTables>>> made;
  const std::lock_guard lock(mutex);
  for (const auto& [code_page, tables] : made) {
    if (code_page == cp) return tables.get();
  }
  const Table* const table = Find(cp);
  if (table == nullptr) return nullptr;
  auto tables = std::unique_ptr<CodePageTables>(new CodePageTables(*table));
  if (cp == 54936) tables->MakeGb18030();

  // Turned round: each character is written as the sequence that reads as it,
  // or the preferred one where several do.
  std::vector<std::uint16_t>& writes = tables->writes_;
  for (unsigned b = 0; b < 0x100; ++b) {
    if (tables->singles_[b] != kNoCharacter)
      writes[tables->singles_[b]] = static_cast<std::uint16_t>(b);
    if (tables->rows_[b] == 0) continue;
    for (unsigned t = 0; t < tables->trails_; ++t) {
      const char16_t c = tables->pairs_[(tables->rows_[b] - 1u) * tables->trails_ + t];
      if (c != 0 && writes[c] == kUnwritable)
        writes[c] = static_cast<std::uint16_t>(b << 8 | (tables->first_trail_ + t));
    }
  }
  for (std::size_t i = 0; i < table->preferred_count; ++i)
    writes[table->preferred[2 * i]] = table->preferred[2 * i + 1];
  if (tables->gb18030_) {
    tables->four_bytes_.resize(0x10000);
    tables->four_byte_units_.reserve(kFourByteCharacters);
    for (char32_t u = 0x80; u < 0x10000; ++u) {
      if (IsSurrogate(u) || writes[u] != kUnwritable) continue;
      writes[u] = kFourBytes;
      tables->four_bytes_[u] = static_cast<std::uint16_t>(tables->four_byte_units_.size());
      tables->four_byte_units_.push_back(static_cast<char16_t>(u));
    }
  }
  made.emplace_back(cp, std::move(tables));
  return made.back().second.get();
}

std::optional<platform::Sequences> CodePageTables::Lookups() const {
  static_assert(kNoCharacter == platform::Sequences::kNoCharacter);
  if (gb18030_) return std::nullopt;
  return platform::Sequences{writes_.data(), singles_.data(), rows_.data(),
                             first_trail_,   trails_,         pairs_.data()};
}

EncodedText CodePageTables::Encode(std::u16string_view text) const {
  EncodedText result;
  // Four bytes per code unit at most: GB18030 writes some of the first plane so.
  result.bytes.resize((gb18030_ ? 4 : 2) * text.size());
  char* out = result.bytes.data();
  const auto four = [&](std::uint32_t index) {
    *out++ = static_cast<char>(0x81 + index / 12600);
    *out++ = static_cast<char>(0x30 + index / 1260 % 10);
    *out++ = static_cast<char>(0x81 + index / 10 % 126);
    *out++ = static_cast<char>(0x30 + index % 10);
  };
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char16_t u = text[i];
    const std::uint16_t w = writes_[u];
    if (w < 0x100) {
      *out++ = static_cast<char>(w);
    } else if (w < kFourBytes) {
      *out++ = static_cast<char>(w >> 8);
      *out++ = static_cast<char>(w & 0xFF);
    } else if (w == kFourBytes) {
      four(four_bytes_[u]);
    } else if (gb18030_ && IsHighSurrogate(u) && i + 1 < text.size() &&
               IsLowSurrogate(text[i + 1])) {
      four(kFirstBeyondBmp + ((u - 0xD800u) << 10 | (text[i + 1] - 0xDC00u)));
      ++i;
    } else {
      // 3F for each code unit, a character beyond the first plane counted once.
      if (result.unmappable++ == 0) result.first_unmappable = i;
      *out++ = '?';
      if (IsHighSurrogate(u) && i + 1 < text.size() && IsLowSurrogate(text[i + 1])) {
        *out++ = '?';
        ++i;
      }
    }
  }
  result.bytes.resize(static_cast<std::size_t>(out - result.bytes.data()));
  return result;
}

char32_t CodePageTables::Read(const unsigned char* in, const unsigned char* end,
                              int& length) const {
  length = 0;
  const unsigned char b = *in;
  if (singles_[b] != kNoCharacter) {
    length = 1;
    return singles_[b];
  }
  if (rows_[b] == 0 || end - in < 2) return 0;
  if (gb18030_ && in[1] >= 0x30 && in[1] <= 0x39) {
    if (end - in < 4 || in[2] < 0x81 || in[2] > 0xFE || in[3] < 0x30 || in[3] > 0x39) return 0;
    const std::uint32_t index =
        (((b - 0x81u) * 10 + (in[1] - 0x30u)) * 126 + (in[2] - 0x81u)) * 10 + (in[3] - 0x30u);
    if (index < kFourByteCharacters) {
      length = 4;
      return four_byte_units_[index];
    }
    if (index < kFirstBeyondBmp || index - kFirstBeyondBmp > 0xFFFFF) return 0;
    length = 4;
    return 0x10000 + (index - kFirstBeyondBmp);
  }
  const unsigned t = in[1] - first_trail_;
  if (t >= trails_) return 0;
  const char16_t c = pairs_[(rows_[b] - 1u) * trails_ + t];
  if (c != 0) length = 2;
  return c;
}

EncodedText EncodeUtf8(std::u16string_view text) {
  EncodedText result;
  result.bytes.resize(3 * text.size());  // a pair of units takes four
  char* out = result.bytes.data();
#ifdef VANTOREL_AVX2
  const bool vectors = simd::HasAvx2();
  // Where the vector loop stopped last: the plain one goes on past the eight
  // units it could not take before it is tried again.
  std::size_t plain_until = 0;
#endif
  for (std::size_t i = 0; i < text.size(); ++i) {
#ifdef VANTOREL_AVX2
    if (vectors && i >= plain_until) {
      i += utf8_blocks::WriteRun(text.data() + i, text.size() - i, out);
      plain_until = i + 8;
      if (i == text.size()) break;
    }
#endif
    char32_t c = text[i];
    if (IsHighSurrogate(text[i]) && i + 1 < text.size() && IsLowSurrogate(text[i + 1])) {
      c = 0x10000 + ((c - 0xD800) << 10 | (text[++i] - 0xDC00u));
    } else if (IsSurrogate(c)) {
      if (result.unmappable++ == 0) result.first_unmappable = i;
      c = 0xFFFD;
    }
    if (c < 0x80) {
      *out++ = static_cast<char>(c);
    } else if (c < 0x800) {
      *out++ = static_cast<char>(0xC0 | c >> 6);
      *out++ = static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      *out++ = static_cast<char>(0xE0 | c >> 12);
      *out++ = static_cast<char>(0x80 | (c >> 6 & 0x3F));
      *out++ = static_cast<char>(0x80 | (c & 0x3F));
    } else {
      *out++ = static_cast<char>(0xF0 | c >> 18);
      *out++ = static_cast<char>(0x80 | (c >> 12 & 0x3F));
      *out++ = static_cast<char>(0x80 | (c >> 6 & 0x3F));
      *out++ = static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  result.bytes.resize(static_cast<std::size_t>(out - result.bytes.data()));
  return result;
}

// The code point of the UTF-8 sequence that starts at in, and its length; 0
// when none starts there.
char32_t ReadUtf8(const unsigned char* in, const unsigned char* end, int& length) {
  const unsigned char b = *in;
  length = b < 0x80 ? 1 : b < 0xC2 ? 0 : b < 0xE0 ? 2 : b < 0xF0 ? 3 : b < 0xF5 ? 4 : 0;
  if (length <= 1 || end - in < length) {
    if (length > 1) length = 0;
    return b;
  }
  // The second byte's range rules out longer forms, surrogates and beyond U+10FFFF.
  const unsigned char low = b == 0xE0 ? 0xA0 : b == 0xF0 ? 0x90 : 0x80;
  const unsigned char high = b == 0xED ? 0x9F : b == 0xF4 ? 0x8F : 0xBF;
  char32_t c = b & (0x7F >> length);
  for (int k = 1; k < length; ++k) {
    if (in[k] < (k == 1 ? low : 0x80) || in[k] > (k == 1 ? high : 0xBF)) {
      length = 0;
      return 0;
    }
    c = c << 6 | (in[k] & 0x3Fu);
  }
  return c;
}

// Reads bytes one character at a time with read(in, end, length), which
// gives the character that starts at in and its length, 0 when none starts
// there: then U+003F for that byte, or false when strict.
template <class Read>
bool DecodeWith(std::string_view bytes, bool strict, std::u16string& text, const Read& read) {
  text.resize(bytes.size());  // never more code units than bytes
  char16_t* out = text.data();
  const auto* in = reinterpret_cast<const unsigned char*>(bytes.data());
  const auto* const end = in + bytes.size();
  while (in < end) {
    int length = 0;
    const char32_t c = read(in, end, length);
    if (length == 0) {
      if (strict) return false;
      *out++ = u'?';
      ++in;
      continue;
    }
    if (c >= 0x10000) {
      *out++ = static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10));
      *out++ = static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
    } else {
      *out++ = static_cast<char16_t>(c);
    }
    in += length;
  }
  text.resize(static_cast<std::size_t>(out - text.data()));
  return true;
}

bool Decode(std::string_view bytes, CodePage cp, bool strict, std::u16string& text) {
  if (cp == 65001) return DecodeWith(bytes, strict, text, ReadUtf8);
  const CodePageTables* const tables = CodePageTables::For(cp);
  return DecodeWith(bytes, strict, text,
                    [tables](const unsigned char* in, const unsigned char* end, int& length) {
                      return tables->Read(in, end, length);
                    });
}

}  // namespace

bool Has(CodePage cp) { return cp == 65001 || Find(cp) != nullptr; }

EncodedText EncodeText(std::u16string_view text, CodePage cp) {
  if (cp == 65001) return EncodeUtf8(text);
  return CodePageTables::For(cp)->Encode(text);
}

std::u16string DecodeBytes(std::string_view bytes, CodePage cp) {
  std::u16string text;
  Decode(bytes, cp, false, text);
  return text;
}

std::optional<std::u16string> DecodeIfText(std::string_view bytes, CodePage cp) {
  std::u16string text;
  if (!Decode(bytes, cp, true, text)) return std::nullopt;
  return text;
}

std::optional<platform::Sequences> SequencesOf(CodePage cp) {
  if (cp == 65001 || Find(cp) == nullptr) return std::nullopt;
  return CodePageTables::For(cp)->Lookups();
}

}  // namespace 字符串加密::published
