// The code-page layer: lookup tables where a code page allows them, the
// platform's converters for the rest.
//
// The tables are built once per code page, on first use, by running the
// platform's own converters over every code unit of the BMP and every byte
// sequence those produce, so what they say is what the converters say. They
// serve code pages whose characters are one or two bytes each (the ANSI code
// pages: 936, 932, 949, 950, 1252...); UTF-8 and GB18030 fail the build of the
// tables and go to the converters, as does any text with a surrogate and any
// byte sequence the tables do not know.
#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "codec/codec.hpp"
#include "codec/internal/platform.hpp"
#include "codec/internal/simd.hpp"
#include "codec/internal/tables.hpp"

namespace 字符串加密 {
namespace {

// While building, the encoding of a code unit: a byte below 0x100, else
// lead << 8 | trail.
constexpr std::uint16_t kUnmappable = 0xFFFF;  // written as 3F
constexpr std::uint16_t kNotInTable = 0xFFFE;  // surrogates

class Tables {
 public:
  // Nullptr when the code page does not fit in tables.
  static const Tables* For(CodePage cp);

  // False when the text needs the platform's converter.
  bool Encode(std::u16string_view text, EncodedText& result) const;
  // Encode's entries, for tables::EncodeUtf8 (utf8_encode.cpp).
  tables::EncodeEntries encode_entries() const {
    static_assert(tables::EncodeEntries::kUnmappable == kUnmappableEntry &&
                  tables::EncodeEntries::kNotInTable == kNotInTableEntry);
    return {encode_.data(), ascii_is_itself_};
  }
  // coming_back: also false at bytes whose character is written otherwise.
  bool Decode(std::string_view bytes, std::u16string& text, bool coming_back) const {
    text.resize(bytes.size());
    const char16_t* const end = Read<true>(bytes, text.data(), coming_back);
    if (end == nullptr) return false;
    text.resize(static_cast<std::size_t>(end - text.data()));
    return true;
  }
  // The same without the text.
  bool Check(std::string_view bytes, bool coming_back) const {
    char16_t nowhere;
    return Read<false>(bytes, &nowhere, coming_back) != nullptr;
  }
  // The lookups of the bytes that come back, for tables made from them.
  tables::ComingBack ComingBackLookups() const {
    return {single_back_.data(), single_char_.data(), lead_.data(), pair_back_.data(),
            ascii_is_itself_};
  }

 private:
  bool Build(CodePage cp);
  // Reads bytes into out (room for a code unit per byte), when kText; the
  // end of what it wrote (out itself without kText), or nullptr where the
  // tables do not know a sequence.
  template <bool kText>
  char16_t* Read(std::string_view bytes, char16_t* out, bool coming_back) const;

  // For encoding: the bytes of a code unit, the first in the low 8 bits and
  // the trail byte, if there is one, in the high 8 (never 0 there). Two
  // values no character can have (a trail byte is never FF) mark the rest.
  static constexpr std::uint16_t kUnmappableEntry = 0xFEFF;
  static constexpr std::uint16_t kNotInTableEntry = 0xFFFF;
  std::vector<std::uint16_t> encode_ = std::vector<std::uint16_t>(0x10000, kNotInTableEntry);
  // Decoding of a byte standing alone, when single_[b] holds.
  std::array<char16_t, 0x100> single_char_{};
  std::array<bool, 0x100> single_{};
  std::array<bool, 0x100> lead_{};
  // Decoding of lead << 8 | trail; 0 when the pair is not in the table.
  std::vector<char16_t> pair_ = std::vector<char16_t>(0x10000);
  // The same for the bytes whose character is written as those bytes again:
  // a decode through these finds every byte that would not come back.
  std::array<bool, 0x100> single_back_{};
  std::vector<char16_t> pair_back_ = std::vector<char16_t>(0x10000);
  bool ascii_is_itself_ = false;
};

bool IsSurrogate(char16_t c) { return c >= 0xD800 && c <= 0xDFFF; }

// What the converter writes each code unit of the first plane as (but the
// surrogates), as Build keeps it while building: run over every code unit.
bool RunEncoder(CodePage cp, std::vector<std::uint16_t>& encode) {
  // Every code unit but the surrogates and the line feed, each followed by a
  // line feed: the separator can be told apart because in these code pages
  // no character but the line feed itself has 0A in its bytes.
  std::u16string all;
  all.reserve(2 * 0x10000);
  for (std::uint32_t u = 0; u < 0x10000; ++u) {
    if (IsSurrogate(static_cast<char16_t>(u)) || u == u'\n') continue;
    all += static_cast<char16_t>(u);
    all += u'\n';
  }
  const EncodedText encoded = platform::EncodeText(all, cp);
  const EncodedText line_feed = platform::EncodeText(u"\n", cp);
  if (line_feed.bytes.size() != 1 || line_feed.bytes.front() != '\n') return false;

  encode[u'\n'] = '\n';
  std::size_t at = 0;
  std::size_t unmappable = 0;
  for (std::uint32_t u = 0; u < 0x10000; ++u) {
    const auto unit = static_cast<char16_t>(u);
    if (IsSurrogate(unit) || unit == u'\n') continue;
    const std::size_t end = encoded.bytes.find('\n', at);
    if (end == std::string::npos || end == at || end - at > 2) return false;
    const auto b0 = static_cast<unsigned char>(encoded.bytes[at]);
    const auto b1 = end - at == 2 ? static_cast<unsigned char>(encoded.bytes[at + 1]) : 0;
    std::uint16_t e = end - at == 1 ? b0 : static_cast<std::uint16_t>(b0 << 8 | b1);
    if (e >= kNotInTable || (end - at == 2 && b0 == 0)) return false;
    if (e == '?' && unit != u'?') {
      e = kUnmappable;
      ++unmappable;
    }
    encode[u] = e;
    at = end + 1;
  }
  // The converter must agree that exactly those became 3F.
  return at == encoded.bytes.size() && unmappable == encoded.unmappable;
}

// The same from the converter's own lookups, without running it.
bool LookUpEncodings(const platform::Sequences& sequences, std::vector<std::uint16_t>& encode) {
  for (std::uint32_t u = 0; u < 0x10000; ++u) {
    if (IsSurrogate(static_cast<char16_t>(u))) continue;
    const std::uint16_t w = sequences.writes[u];
    if (w == platform::Sequences::kUnwritable) {
      encode[u] = kUnmappable;
    } else if (w >= kNotInTable || (w == '?' && u != u'?') || (u == u'\n') != (w == '\n')) {
      return false;  // not as the converter counts what became 3F, or no table
    } else {
      encode[u] = w;
    }
  }
  return true;
}

// What the converter reads each of sequences (a byte, or lead << 8 | trail) as:
// all of them decoded in one go, since in a code page without state each of
// them is one code unit of the result. Empty when that is not so.
std::u16string RunDecoder(CodePage cp, const std::vector<std::uint16_t>& sequences) {
  std::string joined;
  for (const std::uint16_t e : sequences) {
    if (e >= 0x100) joined += static_cast<char>(e >> 8);
    joined += static_cast<char>(e & 0xFF);
  }
  std::u16string decoded = platform::DecodeBytes(joined, cp);
  if (decoded.size() != sequences.size()) decoded.clear();
  return decoded;
}

// The same from the converter's own lookups: a byte that reads alone is read
// so even where it would lead a pair.
std::u16string LookUpDecodings(const platform::Sequences& lookups,
                               const std::vector<std::uint16_t>& sequences) {
  std::u16string decoded(sequences.size(), u'\0');
  for (std::size_t i = 0; i < sequences.size(); ++i) {
    const std::uint16_t e = sequences[i];
    const unsigned lead = e >> 8, trail = e & 0xFF;
    if (e < 0x100) {
      decoded[i] = lookups.singles[e];
    } else if (lookups.singles[lead] == platform::Sequences::kNoCharacter &&
               lookups.rows[lead] != 0 && trail >= lookups.first_trail &&
               trail - lookups.first_trail < lookups.trails) {
      decoded[i] =
          lookups.pairs[(lookups.rows[lead] - 1u) * lookups.trails + trail - lookups.first_trail];
    } else {
      return {};
    }
    if (decoded[i] == platform::Sequences::kNoCharacter) return {};
  }
  return decoded;
}

bool Tables::Build(CodePage cp) {
  if (!platform::IsCodePageAvailable(cp)) return false;
  // A converter that looks its sequences up gives its lookups to copy; any
  // other is run over every code unit and every sequence it writes.
  const std::optional<platform::Sequences> lookups = platform::SequencesOf(cp);
  std::vector<std::uint16_t> encode(0x10000, kNotInTable);
  if (!(lookups ? LookUpEncodings(*lookups, encode) : RunEncoder(cp, encode))) return false;

  // Every byte sequence those encodings use, and what each reads as.
  std::vector<std::uint16_t> sequences;
  std::array<bool, 0x100> seen_single{};
  std::vector<bool> seen_pair(0x10000);
  for (std::uint32_t u = 0; u < 0x10000; ++u) {
    const std::uint16_t e = encode[u];
    if (e == kUnmappable || e == kNotInTable) continue;
    if (e < 0x100) {
      if (seen_single[e]) continue;
      seen_single[e] = true;
    } else {
      if (seen_pair[e]) continue;
      seen_pair[e] = true;
      lead_[e >> 8] = true;
    }
    sequences.push_back(e);
  }
  for (int b = 0; b < 0x100; ++b) {
    if (seen_single[b] && lead_[b]) return false;  // a byte must be one or the other
  }
  const std::u16string decoded =
      lookups ? LookUpDecodings(*lookups, sequences) : RunDecoder(cp, sequences);
  if (decoded.size() != sequences.size()) return false;
  for (std::size_t i = 0; i < sequences.size(); ++i) {
    const std::uint16_t e = sequences[i];
    const char16_t c = decoded[i];
    if (IsSurrogate(c)) return false;
    if (e < 0x100) {
      single_[e] = true;
      single_char_[e] = c;
    } else {
      if (c == 0) return false;
      pair_[e] = c;
    }
  }
  for (std::uint32_t b = 0; b < 0x100; ++b)
    single_back_[b] = single_[b] && encode[single_char_[b]] == b;
  for (const std::uint16_t e : sequences) {
    if (e >= 0x100 && encode[pair_[e]] == e) pair_back_[e] = pair_[e];
  }
  ascii_is_itself_ = true;
  for (std::uint32_t u = 0; u < 0x80; ++u) {
    ascii_is_itself_ = ascii_is_itself_ && encode[u] == u && single_[u] && single_char_[u] == u;
  }
  for (std::uint32_t u = 0; u < 0x10000; ++u) {
    const std::uint16_t e = encode[u];
    if (e == kUnmappable) {
      encode_[u] = kUnmappableEntry;
    } else if (e < 0x100) {
      encode_[u] = e;
    } else if (e != kNotInTable) {
      encode_[u] = static_cast<std::uint16_t>((e & 0xFF) << 8 | e >> 8);
      // A trail byte of 0 would read as a single byte below.
      if (encode_[u] >= kUnmappableEntry || (e & 0xFF) == 0) return false;
    }
  }
  return true;
}

const Tables* Tables::For(CodePage cp) {
  static std::mutex mutex;
  static std::map<CodePage, std::unique_ptr<Tables>> built;  // nullptr: does not fit
  const std::lock_guard lock(mutex);
  auto [it, inserted] = built.try_emplace(cp);
  if (inserted) {
    auto tables = std::make_unique<Tables>();
    if (tables->Build(cp)) it->second = std::move(tables);
  }
  return it->second.get();
}

#ifdef VANTOREL_AVX2
// ASCII: copies code units below 0x80 to bytes 16 at a time, as long as they
// come; returns how many it copied.
VANTOREL_TARGET_AVX2 std::size_t NarrowAscii(const char16_t* in, std::size_t n, char* out) {
  std::size_t i = 0;
  for (; i + 16 <= n; i += 16) {
    const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(in + i));
    if (!_mm256_testz_si256(v, _mm256_set1_epi16(static_cast<short>(0xFF80)))) break;
    const __m128i packed =
        _mm_packus_epi16(_mm256_castsi256_si128(v), _mm256_extracti128_si256(v, 1));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), packed);
  }
  return i;
}

// How many bytes below 0x80 come first, counted 32 at a time.
VANTOREL_TARGET_AVX2 std::size_t SkipAscii(const char* in, std::size_t n) {
  std::size_t i = 0;
  for (; i + 32 <= n; i += 32) {
    const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(in + i));
    if (_mm256_movemask_epi8(v) != 0) break;
  }
  return i;
}

// The other way: bytes below 0x80 to code units, 16 at a time.
VANTOREL_TARGET_AVX2 std::size_t WidenAscii(const char* in, std::size_t n, char16_t* out) {
  std::size_t i = 0;
  for (; i + 16 <= n; i += 16) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + i));
    if (_mm_movemask_epi8(v) != 0) break;
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + i), _mm256_cvtepu8_epi16(v));
  }
  return i;
}
#endif

bool Tables::Encode(std::u16string_view text, EncodedText& result) const {
  result.bytes.resize(2 * text.size() + 1);
  // Local pointers: stores through char* could alias the containers' own.
  const char16_t* const begin = text.data();
  const char16_t* const end = begin + text.size();
  const std::uint16_t* const table = encode_.data();
  char* const first = result.bytes.data();
  char* out = first;
#ifdef VANTOREL_AVX2
  const bool ascii_run = ascii_is_itself_ && simd::HasAvx2();
#else
  const bool ascii_run = false;
#endif
  // Both bytes of an entry are written; the second is overwritten when there
  // is none.
  const auto put = [&out](std::uint16_t e) {
    std::memcpy(out, &e, 2);
    out += e > 0xFF ? 2 : 1;
  };
  for (const char16_t* p = begin; p < end;) {
#ifdef VANTOREL_AVX2
    if (ascii_run && *p < 0x80) {
      const std::size_t n = NarrowAscii(p, static_cast<std::size_t>(end - p), out);
      p += n;
      out += n;
      if (p == end) break;
    }
#endif
    // Eight at a time while all eight are in the table (an entry from
    // kUnmappableEntry up reaches 0x10000 when 0x101 is added), until a run
    // of ASCII that the vector loop takes.
    while (end - p >= 8) {
      std::uint16_t e[8];
      std::uint32_t marks = 0;
      for (int k = 0; k < 8; ++k) {
        e[k] = table[p[k]];
        marks |= e[k] + 0x101u;
      }
      if (marks >= 0x10000) break;
      for (int k = 0; k < 8; ++k) put(e[k]);
      p += 8;
      if (ascii_run && p < end && *p < 0x80) break;
    }
    if (p == end) break;
    const std::uint16_t e = table[*p];
    if (e < kUnmappableEntry) {
      put(e);
    } else if (e == kUnmappableEntry) {
      if (result.unmappable++ == 0) result.first_unmappable = static_cast<std::size_t>(p - begin);
      *out++ = '?';
    } else {
      return false;
    }
    ++p;
  }
  result.bytes.resize(static_cast<std::size_t>(out - first));
  return true;
}

template <bool kText>
char16_t* Tables::Read(std::string_view bytes, char16_t* out, bool coming_back) const {
  const auto* in = reinterpret_cast<const unsigned char*>(bytes.data());
  const auto* const end = in + bytes.size();
  const bool* const single = coming_back ? single_back_.data() : single_.data();
  const char16_t* const single_char = single_char_.data();
  const bool* const lead = lead_.data();
  const char16_t* const pair = coming_back ? pair_back_.data() : pair_.data();
#ifdef VANTOREL_AVX2
  [[maybe_unused]] const bool ascii_run = ascii_is_itself_ && simd::HasAvx2();
#else
  [[maybe_unused]] const bool ascii_run = false;
#endif
  while (in < end) {
#ifdef VANTOREL_AVX2
    if (ascii_run && *in < 0x80) {
      const std::size_t k =
          kText ? WidenAscii(reinterpret_cast<const char*>(in), static_cast<std::size_t>(end - in),
                             out)
                : SkipAscii(reinterpret_cast<const char*>(in), static_cast<std::size_t>(end - in));
      in += k;
      if constexpr (kText) out += k;
      if (in == end) break;
    }
#endif
    // Four pairs at a time while all four are in the table (Chinese text, for
    // the most part): only a lead byte starts a pair there.
    while (end - in >= 8) {
      const char16_t c0 = pair[in[0] << 8 | in[1]], c1 = pair[in[2] << 8 | in[3]],
                     c2 = pair[in[4] << 8 | in[5]], c3 = pair[in[6] << 8 | in[7]];
      if ((c0 == 0) | (c1 == 0) | (c2 == 0) | (c3 == 0)) break;
      if constexpr (kText) {
        out[0] = c0;
        out[1] = c1;
        out[2] = c2;
        out[3] = c3;
        out += 4;
      }
      in += 8;
    }
    if (in == end) break;
    const unsigned char b = *in;
    if (single[b]) {
      if constexpr (kText) *out++ = single_char[b];
      ++in;
    } else if (lead[b] && end - in > 1 && pair[b << 8 | in[1]] != 0) {
      if constexpr (kText) *out++ = pair[b << 8 | in[1]];
      in += 2;
    } else {
      return nullptr;
    }
  }
  return out;
}

}  // namespace

namespace tables {

std::optional<EncodedText> EncodeText(std::u16string_view text, CodePage cp) {
  const Tables* tables = Tables::For(cp);
  EncodedText result;
  if (tables == nullptr || !tables->Encode(text, result)) return std::nullopt;
  return result;
}

std::optional<std::u16string> DecodeBytes(std::string_view bytes, CodePage cp) {
  const Tables* tables = Tables::For(cp);
  std::u16string text;
  if (tables == nullptr || !tables->Decode(bytes, text, false)) return std::nullopt;
  return text;
}

std::optional<std::u16string> DecodeComingBack(std::string_view bytes, CodePage cp) {
  const Tables* tables = Tables::For(cp);
  std::u16string text;
  if (tables == nullptr || !tables->Decode(bytes, text, true)) return std::nullopt;
  return text;
}

std::optional<ComingBack> ComingBackOf(CodePage cp) {
  const Tables* tables = Tables::For(cp);
  if (tables == nullptr) return std::nullopt;
  return tables->ComingBackLookups();
}

std::optional<EncodeEntries> EncodeEntriesOf(CodePage cp) {
  const Tables* tables = Tables::For(cp);
  if (tables == nullptr) return std::nullopt;
  return tables->encode_entries();
}

}  // namespace tables

bool IsCodePageAvailable(CodePage cp) { return platform::IsCodePageAvailable(cp); }

EncodedText EncodeText(std::u16string_view text, CodePage cp) {
  if (text.size() >= tables::kTablesFrom) {
    if (auto result = tables::EncodeText(text, cp)) return std::move(*result);
  }
  return platform::EncodeText(text, cp);
}

std::u16string DecodeBytes(std::string_view bytes, CodePage cp) {
  if (bytes.size() >= tables::kTablesFrom) {
    if (auto text = tables::DecodeBytes(bytes, cp)) return std::move(*text);
  }
  return platform::DecodeBytes(bytes, cp);
}

}  // namespace 字符串加密
