// tablegen: turns Microsoft's best-fit tables (codec/data/) into the tables the
// codec is built with where Windows' converters are missing. Runs on the build
// machine, so it uses nothing but the standard library.
//
//   tablegen OUT.cpp bestfit936.txt bestfit950.txt ...
//
// For each code page it writes what Windows reads, as internal/published.hpp
// describes it: the character of each byte standing alone, and a row per lead
// byte with the character of each trail byte; and, for the characters that
// more than one sequence reads as, the sequence Windows writes. What Windows
// writes for any other character is the one sequence that reads as it, which
// the codec finds by turning the table round on first use. tablegen fails when
// a table breaks that rule: a character read but written as other bytes, or not
// written at all.
#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "codec/internal/bestfit.hpp"

namespace {

namespace bestfit = 字符串加密::bestfit;

constexpr unsigned kNoCharacter = 0xFFFF;  // as internal/published.hpp says

// Numbers as C++ initialisers, sixteen to a line.
template <class Numbers>
std::string List(const Numbers& numbers, const char* format) {
  std::string text;
  std::size_t i = 0;
  for (const unsigned n : numbers) {
    char item[16];
    std::snprintf(item, sizeof item, format, n);
    text += (i % 16 == 0 ? "\n    " : " ") + std::string(item) + ",";
    ++i;
  }
  return text + "\n";
}

// The C++ definitions for one code page; false, with a message, when the table
// cannot be written so.
bool Write(const bestfit::Table& table, std::ostream& out, std::string& error) {
  const std::string cp = std::to_string(table.codepage);
  std::vector<unsigned> singles(0x100, kNoCharacter);
  std::vector<unsigned> rows(0x100, 0);
  unsigned first_trail = 0xFF, last_trail = 0;
  std::map<char16_t, int> readers;  // how many sequences read as each character
  for (const auto& [sequence, c] : table.reads) {
    if (sequence < 0x100) {
      singles[sequence] = c;
    } else {
      first_trail = std::min(first_trail, sequence & 0xFFu);
      last_trail = std::max(last_trail, sequence & 0xFFu);
    }
    const auto written = table.writes.find(c);
    if (written == table.writes.end()) {
      char what[48];
      std::snprintf(what, sizeof what, "U+%04X is read but not written", static_cast<unsigned>(c));
      error = what;
      return false;
    }
    ++readers[c];
  }
  unsigned row_count = 0;
  for (unsigned lead = 0; lead < 0x100; ++lead) {
    if (table.lead[lead]) rows[lead] = ++row_count;
  }
  if (row_count == 0) first_trail = last_trail = 0;
  const unsigned trails = row_count == 0 ? 0 : last_trail - first_trail + 1;
  std::vector<unsigned> pairs(std::max(1u, row_count * trails), 0);
  for (const auto& [sequence, c] : table.reads) {
    if (sequence >= 0x100)
      pairs[(rows[sequence >> 8] - 1) * trails + (sequence & 0xFF) - first_trail] = c;
  }
  std::vector<unsigned> preferred;  // character, then sequence
  for (const auto& [c, count] : readers) {
    if (count < 2) continue;
    preferred.push_back(c);
    preferred.push_back(table.writes.at(c));
  }
  if (preferred.empty()) preferred = {0, 0};  // no array may be empty; U+0000 is read once

  out << "constexpr char16_t kSingles" << cp << "[256] = {" << List(singles, "0x%04X") << "};\n";
  out << "constexpr std::uint8_t kRows" << cp << "[256] = {" << List(rows, "%u") << "};\n";
  out << "constexpr char16_t kPairs" << cp << "[] = {" << List(pairs, "0x%04X") << "};\n";
  out << "constexpr std::uint16_t kPreferred" << cp << "[] = {" << List(preferred, "0x%04X")
      << "};\n\n";
  out << "constexpr Table kTable" << cp << "{" << cp << ", kSingles" << cp << ", kRows" << cp
      << ", " << first_trail << ", " << trails << ", kPairs" << cp << ", kPreferred" << cp
      << ", std::size(kPreferred" << cp << ") / 2};\n\n";
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::cerr << "usage: tablegen OUT.cpp BESTFIT.txt...\n";
    return 2;
  }
  std::ostringstream out;
  out << "// Made by tablegen from Microsoft's best-fit tables in codec/data/: do not edit.\n"
         "#include <cstdint>\n#include <iterator>\n\n"
         "#include \"codec/internal/published.hpp\"\n\n"
         "namespace 字符串加密::published {\nnamespace {\n\n";
  std::vector<std::string> names;
  for (int i = 2; i < argc; ++i) {
    std::ifstream in(argv[i], std::ios::binary);
    std::string error;
    const auto table = bestfit::Read(in, error);
    if (!table || !Write(*table, out, error)) {
      std::cerr << "tablegen: " << argv[i] << ": " << (error.empty() ? "cannot read" : error)
                << "\n";
      return 1;
    }
    names.push_back("&kTable" + std::to_string(table->codepage));
  }
  out << "}  // namespace\n\nconst Table* const kTables[] = {";
  for (const std::string& name : names) out << name << ", ";
  out << "nullptr};\n\n}  // namespace 字符串加密::published\n";

  std::ofstream file(argv[1], std::ios::binary);
  file << out.str();
  return file.flush() ? 0 : 1;
}
