// Throughput of the codec: the two conversions (TextToHex, HexToText) and the
// byte stage alone (bytes to hex text, hex text to bytes, in the UTF-16 and
// the narrow forms), on ASCII text and on Chinese text of 1 MiB and 16 MiB;
// and the two conversions in each named code page on 1 MiB of its own text
// (TextToHex/cp950/1MiB...): the characters it writes in more than one byte
// (for windows-1252 its upper half; for UTF-8, GB18030 and UTF-16, Chinese),
// drawn at random.
//
// Sizes name the text: 1 MiB is 1 MiB of UTF-16 (524,288 code units). Every
// other input of a case is derived from that text: its bytes in code page 936
// and their hex text. Throughput is counted in bytes of each function's own
// input as it sits in memory:
//   TextToHex              UTF-16 bytes of the text (2 per code unit)
//   HexToText              UTF-16 bytes of the hex text (2 per character)
//   .../lenient            the same, of the lenient hex text
//   BytesToHex(Narrow)     code-page bytes
//   HexToBytes/utf16       UTF-16 bytes of the hex text (2 per character)
//   HexToBytes/narrow      bytes of the narrow hex text (1 per character)
//   HexToBytesAnyShape/... the same, of the hex text in that shape
//   FindUnreadGroups/...   the same, of the hex text looked at
//   Memcpy                 UTF-16 bytes of the text, copied: the memory's limit
// Outputs are allocated inside the timed loop, as every caller's are.
//
// Where those outputs' pages come from decides the numbers at 16 MiB more than
// the codec does, so it is fixed, not left to the allocator's history:
//   --pages=warm (default)  the allocator never returns memory to the system,
//       so from the second iteration on every output lands on pages already
//       mapped: the codec's own cost, the same at every size.
//   --pages=cold  every block of 64 KiB or more is fresh memory from the
//       system, so every output pays the kernel's page faults, as a program
//       that converts once and exits does.
// By default glibc maps blocks above a threshold that it moves as blocks are
// freed (up to 32 MiB), so the same case measured warm or cold depending on
// which cases ran before it.
//
// Inputs are generated, deterministic and built once, outside the timing, the
// first time a case needs them; each is checked to go round trip before any
// timing starts, and the program aborts with a message when one does not. A
// code page the codec lacks is left out.
#include <benchmark/benchmark.h>
#if defined(__GLIBC__)
#include <malloc.h>
#endif

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <tuple>
#include <utility>

#include "bench/corpus.hpp"
#include "codec/codec.hpp"

namespace {

namespace codec = 字符串加密;
using vantorel_bench::AsciiText;
using vantorel_bench::ChineseText;
using vantorel_bench::LenientHex;
using vantorel_bench::NarrowHex;

constexpr codec::CodePage kCodePage = 936;
constexpr std::size_t kMiB = std::size_t{1} << 20;
constexpr std::size_t kSizes[] = {1 * kMiB, 16 * kMiB};

// kOwn: the code page's own text, as the top of the file says.
enum class Script { kAscii, kChinese, kOwn };
constexpr Script kScripts[] = {Script::kAscii, Script::kChinese};

// The code pages timed on their own text, beside 936's ASCII and Chinese.
constexpr codec::CodePage kOwnCodePages[] = {936, 54936, 950, 932, 949, 1252, 65001, 1200, 1201};

// What one benchmark converts.
struct Case {
  Script script;
  std::size_t size;
  codec::CodePage cp = kCodePage;

  std::string Name() const {
    const std::string what = script == Script::kAscii     ? "ascii"
                             : script == Script::kChinese ? "chinese"
                                                          : "cp" + std::to_string(cp);
    return what + "/" + std::to_string(size / kMiB) + "MiB";
  }
  auto Key() const { return std::tuple(script, size, cp); }
};

// One case's inputs.
struct Corpus {
  std::u16string text;     // the text
  std::string bytes;       // its bytes in the code page
  std::u16string hex;      // their hex text, as TextToHex writes it
  std::string hex_narrow;  // the same hex text, one byte per character
  // Hex text of the same bytes as a person might type it: lower case, one
  // digit for bytes below 16, junk after the digits of some groups.
  std::string lenient_narrow;
  std::u16string lenient;
};

[[noreturn]] void Fail(const std::string& what, const Case& c) {
  std::fprintf(stderr, "codec_bench: %s: %s; nothing timed.\n", c.Name().c_str(), what.c_str());
  std::abort();
}

// Checks once that every road of the case gives its input back.
void CheckRoundTrips(const Corpus& c, const Case& which) {
  const auto check = [&](bool ok, const char* what) {
    if (!ok) Fail(what, which);
  };
  const codec::CodePage cp = which.cp;
  const codec::EncodedText encoded = codec::EncodeText(c.text, cp);
  check(encoded.unmappable == 0, "the code page lacks characters of the text");
  check(encoded.bytes == c.bytes, "EncodeText is not deterministic");
  check(c.hex.size() == codec::HexLength(c.bytes.size()), "the hex text is not 3n-1 long");

  check(codec::TextToHex(c.text, cp) == c.hex, "TextToHex differs from BytesToHex");
  auto text = codec::HexToText(c.hex, cp);
  check(text.ok(), "HexToText fails on its own hex text");
  check(text.value() == c.text, "HexToText(TextToHex(text)) is not the text");

  check(NarrowHex(c.bytes) == c.hex_narrow, "WriteHex to narrow differs from BytesToHex");
  auto bytes = codec::HexToBytes(std::u16string_view(c.hex));
  check(bytes.ok() && bytes.value() == c.bytes, "HexToBytes(BytesToHex(bytes)) is not the bytes");
  auto narrow = codec::HexToBytes(std::string_view(c.hex_narrow));
  check(narrow.ok() && narrow.value() == c.bytes, "HexToBytes(narrow hex) is not the bytes");

  auto lenient = codec::HexToBytes(std::string_view(c.lenient_narrow));
  check(lenient.ok() && lenient.value() == c.bytes,
        "the lenient hex text does not read as the bytes");
  auto lenient16 = codec::HexToBytes(std::u16string_view(c.lenient));
  check(lenient16.ok() && lenient16.value() == c.bytes,
        "the lenient hex text (UTF-16) does not read as the bytes");
  auto lenient_text = codec::HexToText(c.lenient, cp);
  check(lenient_text.ok() && lenient_text.value() == c.text,
        "HexToText of the lenient hex text is not the text");
}

// The characters a code page writes in more than one byte and reads back
// (windows-1252: those from A0 up), found by asking the codec one at a time.
std::u16string OwnCharacters(codec::CodePage cp) {
  if (cp == 54936 || cp == 65001 || cp == 1200 || cp == 1201) return u"";  // Chinese, below
  std::u16string own;
  for (char32_t u = 0x80; u < 0x10000; ++u) {
    if (u >= 0xD800 && u <= 0xDFFF) continue;
    const std::u16string one(1, static_cast<char16_t>(u));
    const codec::EncodedText e = codec::EncodeText(one, cp);
    if (e.unmappable != 0 || (cp != 1252 && e.bytes.size() < 2)) continue;
    if (cp == 1252 && static_cast<unsigned char>(e.bytes[0]) < 0xA0) continue;
    if (codec::DecodeBytes(e.bytes, cp) == one) own += one.front();
  }
  return own;
}

std::u16string OwnText(codec::CodePage cp, std::size_t units) {
  const std::u16string own = OwnCharacters(cp);
  if (own.empty()) return ChineseText(units);
  vantorel_bench::Lcg lcg(0x4f776e54657874u + cp);
  std::u16string text(units, u'\0');
  for (char16_t& c : text) c = own[lcg.Below(static_cast<std::uint32_t>(own.size()))];
  return text;
}

// The case's inputs, built and checked on first use and kept for the run.
const Corpus& GetCorpus(const Case& which) {
  static std::map<decltype(which.Key()), std::unique_ptr<Corpus>> cache;
  auto& slot = cache[which.Key()];
  if (!slot) {
    auto c = std::make_unique<Corpus>();
    const std::size_t units = which.size / sizeof(char16_t);
    c->text = which.script == Script::kAscii     ? AsciiText(units)
              : which.script == Script::kChinese ? ChineseText(units)
                                                 : OwnText(which.cp, units);
    if (c->text.size() != units) Fail("the generator missed the size", which);
    c->bytes = codec::EncodeText(c->text, which.cp).bytes;
    c->hex = codec::BytesToHex(c->bytes);
    c->hex_narrow.assign(c->hex.begin(), c->hex.end());  // digits and spaces only
    c->lenient_narrow = LenientHex(c->bytes);
    c->lenient.assign(c->lenient_narrow.begin(), c->lenient_narrow.end());  // ASCII only
    CheckRoundTrips(*c, which);
    slot = std::move(c);
  }
  return *slot;
}

void SetBytes(benchmark::State& state, std::size_t per_iteration) {
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                          static_cast<std::int64_t>(per_iteration));
}

void BM_TextToHex(benchmark::State& state, const Case& which) {
  const Corpus& c = GetCorpus(which);
  for (auto _ : state) {
    std::u16string hex = codec::TextToHex(c.text, which.cp);
    benchmark::DoNotOptimize(hex.data());
    benchmark::ClobberMemory();
  }
  SetBytes(state, c.text.size() * sizeof(char16_t));
}

void BM_HexToText(benchmark::State& state, const Case& which) {
  const Corpus& c = GetCorpus(which);
  for (auto _ : state) {
    auto text = codec::HexToText(c.hex, which.cp);
    benchmark::DoNotOptimize(text.value().data());
    benchmark::ClobberMemory();
  }
  SetBytes(state, c.hex.size() * sizeof(char16_t));
}

void BM_HexToTextLenient(benchmark::State& state, const Case& which) {
  const Corpus& c = GetCorpus(which);
  for (auto _ : state) {
    auto text = codec::HexToText(c.lenient, which.cp);
    benchmark::DoNotOptimize(text.value().data());
    benchmark::ClobberMemory();
  }
  SetBytes(state, c.lenient.size() * sizeof(char16_t));
}

void BM_BytesToHex(benchmark::State& state, const Case& which) {
  const Corpus& c = GetCorpus(which);
  for (auto _ : state) {
    std::u16string hex = codec::BytesToHex(c.bytes);
    benchmark::DoNotOptimize(hex.data());
    benchmark::ClobberMemory();
  }
  SetBytes(state, c.bytes.size());
}

void BM_BytesToHexNarrow(benchmark::State& state, const Case& which) {
  const Corpus& c = GetCorpus(which);
  for (auto _ : state) {
    std::string hex = NarrowHex(c.bytes);
    benchmark::DoNotOptimize(hex.data());
    benchmark::ClobberMemory();
  }
  SetBytes(state, c.bytes.size());
}

void BM_HexToBytesUtf16(benchmark::State& state, const Case& which) {
  const Corpus& c = GetCorpus(which);
  for (auto _ : state) {
    auto bytes = codec::HexToBytes(std::u16string_view(c.hex));
    benchmark::DoNotOptimize(bytes.value().data());
    benchmark::ClobberMemory();
  }
  SetBytes(state, c.hex.size() * sizeof(char16_t));
}

void BM_HexToBytesNarrow(benchmark::State& state, const Case& which) {
  const Corpus& c = GetCorpus(which);
  for (auto _ : state) {
    auto bytes = codec::HexToBytes(std::string_view(c.hex_narrow));
    benchmark::DoNotOptimize(bytes.value().data());
    benchmark::ClobberMemory();
  }
  SetBytes(state, c.hex_narrow.size());
}

void BM_HexToBytesUtf16Lenient(benchmark::State& state, const Case& which) {
  const Corpus& c = GetCorpus(which);
  for (auto _ : state) {
    auto bytes = codec::HexToBytes(std::u16string_view(c.lenient));
    benchmark::DoNotOptimize(bytes.value().data());
    benchmark::ClobberMemory();
  }
  SetBytes(state, c.lenient.size() * sizeof(char16_t));
}

void BM_HexToBytesNarrowLenient(benchmark::State& state, const Case& which) {
  const Corpus& c = GetCorpus(which);
  for (auto _ : state) {
    auto bytes = codec::HexToBytes(std::string_view(c.lenient_narrow));
    benchmark::DoNotOptimize(bytes.value().data());
    benchmark::ClobberMemory();
  }
  SetBytes(state, c.lenient_narrow.size());
}

void BM_HexToBytesAnyShapeUtf16(benchmark::State& state, const Case& which) {
  const Corpus& c = GetCorpus(which);
  for (auto _ : state) {
    auto bytes = codec::HexToBytesAnyShape(std::u16string_view(c.hex));
    benchmark::DoNotOptimize(bytes.value().data());
    benchmark::ClobberMemory();
  }
  SetBytes(state, c.hex.size() * sizeof(char16_t));
}

void BM_FindUnreadGroupsUtf16(benchmark::State& state, const Case& which) {
  const Corpus& c = GetCorpus(which);
  for (auto _ : state) benchmark::DoNotOptimize(codec::FindUnreadGroups(c.hex));
  SetBytes(state, c.hex.size() * sizeof(char16_t));
}

void BM_FindUnreadGroupsNarrow(benchmark::State& state, const Case& which) {
  const Corpus& c = GetCorpus(which);
  for (auto _ : state) benchmark::DoNotOptimize(codec::FindUnreadGroups(c.hex_narrow));
  SetBytes(state, c.hex_narrow.size());
}

void BM_FindUnreadGroupsUtf16Lenient(benchmark::State& state, const Case& which) {
  const Corpus& c = GetCorpus(which);
  for (auto _ : state) benchmark::DoNotOptimize(codec::FindUnreadGroups(c.lenient));
  SetBytes(state, c.lenient.size() * sizeof(char16_t));
}

// The case's bytes as narrow hex text in a shape, built on first use.
const std::string& ShapedHex(const Case& which, codec::HexShape shape) {
  static std::map<std::tuple<Script, std::size_t, codec::CodePage, codec::HexShape>, std::string>
      cache;
  std::string& hex = cache[std::tuple_cat(which.Key(), std::tuple(shape))];
  if (hex.empty()) {
    const std::string& bytes = GetCorpus(which).bytes;
    const codec::HexFrame frame = codec::FrameOf(shape);
    hex = frame.open;
    hex.resize(hex.size() + codec::GroupsLength(bytes.size(), {shape}));
    codec::WriteGroups(bytes, {shape}, hex.data() + frame.open.size());
    hex += frame.close;
    auto back = codec::HexToBytesAnyShape(std::string_view(hex));
    if (!back.ok() || back.value() != bytes) Fail("a shape does not read back", which);
  }
  return hex;
}

void BM_HexToBytesAnyShapeNarrow(benchmark::State& state, const Case& which,
                                 codec::HexShape shape) {
  const std::string& hex = ShapedHex(which, shape);
  for (auto _ : state) {
    auto bytes = codec::HexToBytesAnyShape(std::string_view(hex));
    benchmark::DoNotOptimize(bytes.value().data());
    benchmark::ClobberMemory();
  }
  SetBytes(state, hex.size());
}

void BM_WriteGroups(benchmark::State& state, const Case& which, codec::HexShape shape) {
  const Corpus& c = GetCorpus(which);
  for (auto _ : state) {
    std::string hex(codec::GroupsLength(c.bytes.size(), {shape}), '\0');
    codec::WriteGroups(c.bytes, {shape}, hex.data());
    benchmark::DoNotOptimize(hex.data());
    benchmark::ClobberMemory();
  }
  SetBytes(state, c.bytes.size());
}

// Not the codec: a plain copy of the text into a new string, the ceiling that
// the conversions' numbers are read against.
void BM_Memcpy(benchmark::State& state, const Case& which) {
  const Corpus& c = GetCorpus(which);
  for (auto _ : state) {
    std::u16string copy(c.text.size(), u'\0');
    std::memcpy(copy.data(), c.text.data(), c.text.size() * sizeof(char16_t));
    benchmark::DoNotOptimize(copy.data());
    benchmark::ClobberMemory();
  }
  SetBytes(state, c.text.size() * sizeof(char16_t));
}

using BenchmarkFunction = void (*)(benchmark::State&, const Case&);

void RegisterAll() {
  static constexpr std::pair<const char*, BenchmarkFunction> kFunctions[] = {
      {"TextToHex", BM_TextToHex},
      {"HexToText", BM_HexToText},
      {"HexToText/lenient", BM_HexToTextLenient},
      {"BytesToHex/utf16", BM_BytesToHex},
      {"BytesToHex/narrow", BM_BytesToHexNarrow},
      {"HexToBytes/utf16", BM_HexToBytesUtf16},
      {"HexToBytes/narrow", BM_HexToBytesNarrow},
      {"HexToBytes/utf16-lenient", BM_HexToBytesUtf16Lenient},
      {"HexToBytes/narrow-lenient", BM_HexToBytesNarrowLenient},
      {"HexToBytesAnyShape/utf16", BM_HexToBytesAnyShapeUtf16},
      {"FindUnreadGroups/utf16", BM_FindUnreadGroupsUtf16},
      {"FindUnreadGroups/narrow", BM_FindUnreadGroupsNarrow},
      {"FindUnreadGroups/utf16-lenient", BM_FindUnreadGroupsUtf16Lenient},
      {"Memcpy", BM_Memcpy},
  };
  const auto add = [](const char* name, BenchmarkFunction function, const Case& which) {
    benchmark::RegisterBenchmark((std::string(name) + "/" + which.Name()).c_str(), function, which)
        ->Unit(benchmark::kMillisecond);
  };
  for (const auto& [name, function] : kFunctions) {
    for (const Script script : kScripts) {
      for (const std::size_t size : kSizes) add(name, function, Case{script, size});
    }
  }
  // Hex text in other shapes, narrow: read in each shape, and written in it.
  static constexpr std::pair<const char*, codec::HexShape> kShapes[] = {
      {"spaced", codec::HexShape::kSpaced},   {"plain", codec::HexShape::kPlain},
      {"0x", codec::HexShape::k0x},           {"c", codec::HexShape::kC},
      {"escaped", codec::HexShape::kEscaped},
  };
  for (const auto& [shape_name, shape] : kShapes) {
    for (const Script script : kScripts) {
      for (const std::size_t size : kSizes) {
        const Case which{script, size};
        const std::string tail = std::string("narrow-") + shape_name + "/" + which.Name();
        benchmark::RegisterBenchmark(("HexToBytesAnyShape/" + tail).c_str(),
                                     BM_HexToBytesAnyShapeNarrow, which, shape)
            ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark(("WriteGroups/" + tail).c_str(), BM_WriteGroups, which, shape)
            ->Unit(benchmark::kMillisecond);
      }
    }
  }
  for (const codec::CodePage cp : kOwnCodePages) {
    if (!codec::IsCodePageAvailable(cp)) continue;
    add("TextToHex", BM_TextToHex, Case{Script::kOwn, kMiB, cp});
    add("HexToText", BM_HexToText, Case{Script::kOwn, kMiB, cp});
  }
}

}  // namespace

// Takes --pages=warm|cold out of the arguments and sets the allocator up for
// it. False on a bad value.
bool SetUpPages(int& argc, char** argv) {
  std::string_view pages = "warm";
  int kept = 1;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg.starts_with("--pages="))
      pages = arg.substr(std::strlen("--pages="));
    else
      argv[kept++] = argv[i];
  }
  argc = kept;
  argv[argc] = nullptr;
  if (pages != "warm" && pages != "cold") {
    std::fprintf(stderr, "codec_bench: --pages must be warm or cold\n");
    return false;
  }
#if defined(__GLIBC__)
  const bool set = pages == "warm"
                       ? mallopt(M_MMAP_MAX, 0) == 1 && mallopt(M_TRIM_THRESHOLD, -1) == 1
                       : mallopt(M_MMAP_THRESHOLD, 64 * 1024) == 1;
  if (!set) {
    std::fprintf(stderr, "codec_bench: the allocator refused --pages=%s\n", pages.data());
    return false;
  }
#else
  std::fprintf(stderr, "codec_bench: --pages=%s is not enforced with this C library\n",
               pages.data());
#endif
  benchmark::AddCustomContext("pages", std::string(pages));
  return true;
}

int main(int argc, char** argv) {
  if (!SetUpPages(argc, argv)) return 1;
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  RegisterAll();
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
