// A small driver for bench/peers.sh: generates the inputs the peers are timed
// on, and times one of our operations on a file in-process, so that reading
// and writing files stay out of the time, and writes the operation's result
// so the script can hold every peer's output to it.
//
//   hex_tool gen ascii|chinese MIB OUT   text of MIB MiB of UTF-16, as UTF-8
//   hex_tool gen random MIB OUT          MIB MiB of random bytes
//   hex_tool time OP IN OUT              prints "seconds=S iterations=N"
//
// OPs (files hold UTF-8 text, raw bytes, or hex text one byte per character):
//   bytes-to-hex   bytes to hex text (the narrow byte stage)
//   hex-to-bytes   hex text to bytes (the narrow byte stage)
//   text-to-bytes  text to its bytes in code page 936 (the code-page stage)
//   text-to-hex    TextToHex, code page 936
//   hex-to-text    HexToText, code page 936
//   memcpy         a copy of the input into a new buffer: the memory's limit
// Text goes from UTF-8 to UTF-16 and back outside the time, since the codec
// takes and gives UTF-16. Each iteration allocates its output, as a caller
// does; the time printed is the best of at least three iterations and of
// about half a second in all.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <string_view>

#include "bench/corpus.hpp"
#include "cli/utf8.hpp"
#include "codec/codec.hpp"

namespace {

namespace codec = 字符串加密;

constexpr codec::CodePage kCodePage = 936;
constexpr std::size_t kMiB = std::size_t{1} << 20;

[[noreturn]] void Die(const std::string& message) {
  std::fprintf(stderr, "hex_tool: %s\n", message.c_str());
  std::exit(1);
}

std::string ReadFile(const char* path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) Die(std::string("cannot read ") + path);
  std::ostringstream data;
  data << in.rdbuf();
  return std::move(data).str();
}

void WriteFile(const char* path, std::string_view data) {
  std::ofstream out(path, std::ios::binary);
  out.write(data.data(), static_cast<std::streamsize>(data.size()));
  if (!out.flush()) Die(std::string("cannot write ") + path);
}

std::string ToUtf8(std::u16string_view text) {
  std::string utf8;
  vantorel::AppendUtf8(text, utf8);
  return utf8;
}

std::u16string ToUtf16(std::string_view utf8) {
  std::u16string text;
  if (vantorel::AppendUtf16(utf8, text)) Die("the input is not UTF-8");
  return text;
}

// Hex text is ASCII: one byte per character either way.
std::u16string Widen(std::string_view s) { return std::u16string(s.begin(), s.end()); }
std::string Narrow(std::u16string_view s) {
  std::string narrow(s.size(), '\0');
  for (std::size_t i = 0; i < s.size(); ++i) narrow[i] = static_cast<char>(s[i]);
  return narrow;
}

// Times `once` and prints the best of its runs.
template <class F>
void TimeBest(F&& once) {
  using Clock = std::chrono::steady_clock;
  double best = 1e30;
  double total = 0;
  int iterations = 0;
  while (iterations < 3 || (total < 0.5 && iterations < 200)) {
    const auto start = Clock::now();
    once();
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    best = std::min(best, seconds);
    total += seconds;
    ++iterations;
  }
  std::printf("seconds=%.9f iterations=%d\n", best, iterations);
}

int Generate(std::string_view kind, std::size_t mib, const char* out) {
  if (kind == "random") {
    WriteFile(out, vantorel_bench::RandomBytes(mib * kMiB));
  } else if (kind == "ascii" || kind == "chinese") {
    const std::size_t units = mib * kMiB / sizeof(char16_t);
    WriteFile(out, ToUtf8(kind == "ascii" ? vantorel_bench::AsciiText(units)
                                          : vantorel_bench::ChineseText(units)));
  } else {
    Die("gen takes ascii, chinese or random");
  }
  return 0;
}

int Time(std::string_view op, const char* in_path, const char* out_path) {
  const std::string input = ReadFile(in_path);
  std::string result;  // what goes to out_path, in the file's form
  if (op == "bytes-to-hex") {
    std::string hex;
    TimeBest([&] { hex = vantorel_bench::NarrowHex(input); });
    result = std::move(hex);
  } else if (op == "hex-to-bytes") {
    std::string bytes;
    TimeBest([&] {
      auto read = codec::HexToBytes(std::string_view(input));
      if (!read) Die("the hex text does not read");
      bytes = std::move(read.value());
    });
    result = std::move(bytes);
  } else if (op == "text-to-bytes") {
    const std::u16string text = ToUtf16(input);
    std::string bytes;
    TimeBest([&] { bytes = codec::EncodeText(text, kCodePage).bytes; });
    result = std::move(bytes);
  } else if (op == "text-to-hex") {
    const std::u16string text = ToUtf16(input);
    std::u16string hex;
    TimeBest([&] { hex = codec::TextToHex(text, kCodePage); });
    result = Narrow(hex);
  } else if (op == "hex-to-text") {
    const std::u16string hex = Widen(input);
    std::u16string text;
    TimeBest([&] {
      auto read = codec::HexToText(hex, kCodePage);
      if (!read) Die("the hex text does not read");
      text = std::move(read.value());
    });
    result = ToUtf8(text);
  } else if (op == "memcpy") {
    std::string copy;
    TimeBest([&] {
      std::string fresh(input.size(), '\0');
      std::memcpy(fresh.data(), input.data(), input.size());
      copy = std::move(fresh);
    });
    result = std::move(copy);
  } else {
    Die("unknown operation " + std::string(op));
  }
  WriteFile(out_path, result);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string_view command = argc > 1 ? argv[1] : "";
  if (command == "gen" && argc == 5)
    return Generate(argv[2], std::strtoul(argv[3], nullptr, 10), argv[4]);
  if (command == "time" && argc == 5) return Time(argv[2], argv[3], argv[4]);
  std::fprintf(stderr,
               "usage: hex_tool gen ascii|chinese|random MIB OUT\n"
               "       hex_tool time OP IN OUT\n");
  return 2;
}
