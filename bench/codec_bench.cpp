// Throughput of the codec: the two conversions (TextToHex, HexToText) and the
// byte stage alone (bytes to hex text, hex text to bytes, in the UTF-16 and
// the narrow forms), on ASCII text and on Chinese text of 1 MiB and 16 MiB.
//
// Sizes name the text: 1 MiB is 1 MiB of UTF-16 (524,288 code units). Every
// other input of a case is derived from that text: its bytes in code page 936
// and their hex text. Throughput is counted in bytes of each function's own
// input as it sits in memory:
//   TextToHex              UTF-16 bytes of the text (2 per code unit)
//   HexToText              UTF-16 bytes of the hex text (2 per character)
//   BytesToHex(Narrow)     code-page bytes
//   HexToBytes/utf16       UTF-16 bytes of the hex text (2 per character)
//   HexToBytes/narrow      bytes of the narrow hex text (1 per character)
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
// timing starts, and the program aborts with a message when one does not.
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
#include <utility>

#include "codec.hpp"

namespace {

namespace codec = 字符串加密;

constexpr codec::CodePage kCodePage = 936;
constexpr std::size_t kMiB = std::size_t{1} << 20;
constexpr std::size_t kSizes[] = {1 * kMiB, 16 * kMiB};

enum class Script { kAscii, kChinese };
constexpr Script kScripts[] = {Script::kAscii, Script::kChinese};

const char* ScriptName(Script script) { return script == Script::kAscii ? "ascii" : "chinese"; }

// A fixed 64-bit linear congruential generator (Knuth's MMIX constants), so
// that every run and every machine times the same text.
class Lcg {
 public:
  explicit Lcg(std::uint64_t seed) : state_(seed) {}
  // Uniform enough in [0, n) for n far below 2^32.
  std::uint32_t Below(std::uint32_t n) {
    state_ = state_ * 6364136223846793005u + 1442695040888963407u;
    return static_cast<std::uint32_t>((state_ >> 32) % n);
  }

 private:
  std::uint64_t state_;
};

// Printable ASCII prose: words of 1 to 10 letters (some capitalised, some
// digits), spaces, punctuation, and a CR LF line break every 60 to 100
// characters, as a pasted Windows text has them.
std::u16string AsciiText(std::size_t units) {
  static constexpr std::string_view kPunctuation = ".,;:!?-()'\"";
  Lcg lcg(0x56616e746f72656cu);
  std::u16string text;
  text.reserve(units);
  std::size_t line = 0;
  const auto put = [&](char16_t c) {
    if (text.size() < units) text.push_back(c);
  };
  while (text.size() < units) {
    const std::uint32_t length = 1 + lcg.Below(10);
    for (std::uint32_t i = 0; i < length; ++i) {
      const std::uint32_t kind = lcg.Below(20);
      if (kind == 0)
        put(static_cast<char16_t>(u'0' + lcg.Below(10)));
      else if (kind == 1 || (i == 0 && lcg.Below(4) == 0))
        put(static_cast<char16_t>(u'A' + lcg.Below(26)));
      else
        put(static_cast<char16_t>(u'a' + lcg.Below(26)));
    }
    if (lcg.Below(6) == 0) put(static_cast<char16_t>(kPunctuation[lcg.Below(kPunctuation.size())]));
    line += length + 1;
    if (line >= 60 + lcg.Below(40)) {
      put(u'\r');
      put(u'\n');
      line = 0;
    } else {
      put(u' ');
    }
  }
  return text;
}

// Chinese text: CJK unified ideographs U+4E00 to U+9FA5 (all of them two
// bytes in code page 936), drawn at random, with a full-width comma or full
// stop every 8 to 24 characters. No ASCII at all, so that every character
// takes the double-byte road.
std::u16string ChineseText(std::size_t units) {
  Lcg lcg(0x4368696e657365u);
  std::u16string text;
  text.reserve(units);
  std::uint32_t until_stop = 8 + lcg.Below(17);
  while (text.size() < units) {
    if (until_stop-- == 0) {
      text.push_back(lcg.Below(3) == 0 ? u'\u3002' : u'\uFF0C');
      until_stop = 8 + lcg.Below(17);
    } else {
      text.push_back(static_cast<char16_t>(0x4E00 + lcg.Below(0x9FA5 - 0x4E00 + 1)));
    }
  }
  return text;
}

// One case's inputs.
struct Corpus {
  std::u16string text;     // the text
  std::string bytes;       // its bytes in the code page
  std::u16string hex;      // their hex text, as TextToHex writes it
  std::string hex_narrow;  // the same hex text, one byte per character
};

[[noreturn]] void Fail(const std::string& what, Script script, std::size_t size) {
  std::fprintf(stderr, "codec_bench: %s/%zuMiB: %s; nothing timed.\n", ScriptName(script),
               size / kMiB, what.c_str());
  std::abort();
}

// Checks once that every road of the case gives its input back.
void CheckRoundTrips(const Corpus& c, Script script, std::size_t size) {
  const auto check = [&](bool ok, const char* what) {
    if (!ok) Fail(what, script, size);
  };
  const codec::EncodedText encoded = codec::EncodeText(c.text, kCodePage);
  check(encoded.unmappable == 0, "the code page lacks characters of the text");
  check(encoded.bytes == c.bytes, "EncodeText is not deterministic");
  check(c.hex.size() == codec::HexLength(c.bytes.size()), "the hex text is not 3n-1 long");

  check(codec::TextToHex(c.text, kCodePage) == c.hex, "TextToHex differs from BytesToHex");
  auto text = codec::HexToText(c.hex, kCodePage);
  check(text.ok(), "HexToText fails on its own hex text");
  check(text.value() == c.text, "HexToText(TextToHex(text)) is not the text");

  check(codec::BytesToHexNarrow(c.bytes) == c.hex_narrow,
        "BytesToHexNarrow differs from BytesToHex");
  auto bytes = codec::HexToBytes(std::u16string_view(c.hex));
  check(bytes.ok() && bytes.value() == c.bytes, "HexToBytes(BytesToHex(bytes)) is not the bytes");
  auto narrow = codec::HexToBytes(std::string_view(c.hex_narrow));
  check(narrow.ok() && narrow.value() == c.bytes,
        "HexToBytes(BytesToHexNarrow(bytes)) is not the bytes");
}

// The case's inputs, built and checked on first use and kept for the run.
const Corpus& GetCorpus(Script script, std::size_t size) {
  static std::map<std::pair<Script, std::size_t>, std::unique_ptr<Corpus>> cache;
  auto& slot = cache[{script, size}];
  if (!slot) {
    auto c = std::make_unique<Corpus>();
    const std::size_t units = size / sizeof(char16_t);
    c->text = script == Script::kAscii ? AsciiText(units) : ChineseText(units);
    if (c->text.size() != units) Fail("the generator missed the size", script, size);
    c->bytes = codec::EncodeText(c->text, kCodePage).bytes;
    c->hex = codec::BytesToHex(c->bytes);
    c->hex_narrow.assign(c->hex.begin(), c->hex.end());  // digits and spaces only
    CheckRoundTrips(*c, script, size);
    slot = std::move(c);
  }
  return *slot;
}

void SetBytes(benchmark::State& state, std::size_t per_iteration) {
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                          static_cast<std::int64_t>(per_iteration));
}

void BM_TextToHex(benchmark::State& state, Script script, std::size_t size) {
  const Corpus& c = GetCorpus(script, size);
  for (auto _ : state) {
    std::u16string hex = codec::TextToHex(c.text, kCodePage);
    benchmark::DoNotOptimize(hex.data());
    benchmark::ClobberMemory();
  }
  SetBytes(state, c.text.size() * sizeof(char16_t));
}

void BM_HexToText(benchmark::State& state, Script script, std::size_t size) {
  const Corpus& c = GetCorpus(script, size);
  for (auto _ : state) {
    auto text = codec::HexToText(c.hex, kCodePage);
    benchmark::DoNotOptimize(text.value().data());
    benchmark::ClobberMemory();
  }
  SetBytes(state, c.hex.size() * sizeof(char16_t));
}

void BM_BytesToHex(benchmark::State& state, Script script, std::size_t size) {
  const Corpus& c = GetCorpus(script, size);
  for (auto _ : state) {
    std::u16string hex = codec::BytesToHex(c.bytes);
    benchmark::DoNotOptimize(hex.data());
    benchmark::ClobberMemory();
  }
  SetBytes(state, c.bytes.size());
}

void BM_BytesToHexNarrow(benchmark::State& state, Script script, std::size_t size) {
  const Corpus& c = GetCorpus(script, size);
  for (auto _ : state) {
    std::string hex = codec::BytesToHexNarrow(c.bytes);
    benchmark::DoNotOptimize(hex.data());
    benchmark::ClobberMemory();
  }
  SetBytes(state, c.bytes.size());
}

void BM_HexToBytesUtf16(benchmark::State& state, Script script, std::size_t size) {
  const Corpus& c = GetCorpus(script, size);
  for (auto _ : state) {
    auto bytes = codec::HexToBytes(std::u16string_view(c.hex));
    benchmark::DoNotOptimize(bytes.value().data());
    benchmark::ClobberMemory();
  }
  SetBytes(state, c.hex.size() * sizeof(char16_t));
}

void BM_HexToBytesNarrow(benchmark::State& state, Script script, std::size_t size) {
  const Corpus& c = GetCorpus(script, size);
  for (auto _ : state) {
    auto bytes = codec::HexToBytes(std::string_view(c.hex_narrow));
    benchmark::DoNotOptimize(bytes.value().data());
    benchmark::ClobberMemory();
  }
  SetBytes(state, c.hex_narrow.size());
}

// Not the codec: a plain copy of the text into a new string, the ceiling that
// the conversions' numbers are read against.
void BM_Memcpy(benchmark::State& state, Script script, std::size_t size) {
  const Corpus& c = GetCorpus(script, size);
  for (auto _ : state) {
    std::u16string copy(c.text.size(), u'\0');
    std::memcpy(copy.data(), c.text.data(), c.text.size() * sizeof(char16_t));
    benchmark::DoNotOptimize(copy.data());
    benchmark::ClobberMemory();
  }
  SetBytes(state, c.text.size() * sizeof(char16_t));
}

using BenchmarkFunction = void (*)(benchmark::State&, Script, std::size_t);

void RegisterAll() {
  static constexpr std::pair<const char*, BenchmarkFunction> kFunctions[] = {
      {"TextToHex", BM_TextToHex},
      {"HexToText", BM_HexToText},
      {"BytesToHex/utf16", BM_BytesToHex},
      {"BytesToHex/narrow", BM_BytesToHexNarrow},
      {"HexToBytes/utf16", BM_HexToBytesUtf16},
      {"HexToBytes/narrow", BM_HexToBytesNarrow},
      {"Memcpy", BM_Memcpy},
  };
  for (const auto& [name, function] : kFunctions) {
    for (const Script script : kScripts) {
      for (const std::size_t size : kSizes) {
        const std::string full = std::string(name) + "/" + ScriptName(script) + "/" +
                                 std::to_string(size / kMiB) + "MiB";
        benchmark::RegisterBenchmark(full.c_str(), function, script, size)
            ->Unit(benchmark::kMillisecond);
      }
    }
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
