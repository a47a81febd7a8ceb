// Microsoft's best-fit tables (codec/data/bestfitNNN.txt), read as Windows'
// converters use them without best fit: tablegen turns them into the tables
// the codec is built with where Windows' converters are missing, and the tests
// hold the codec to them on every build. The standard library only: tablegen
// runs on the build machine.
//
// The files list what Windows reads (MBTABLE: single bytes; one DBCSTABLE per
// lead byte: the pairs it starts) and what it writes (WCTABLE, look-alikes
// included). Read without best fit:
//   - a listed byte or pair is that character, except where it is the code
//     page's replacement character (CPINFO's third field, U+30FB in 932) and
//     is not the sequence written for it: that is how Windows marks bytes that
//     are not text (932's lead bytes 85, 86, EB, EC and EF);
//   - a character is written as the bytes WCTABLE gives it when those read back
//     as it; otherwise (a look-alike) it has no bytes and becomes 3F.
#pragma once

#include <array>
#include <cstdint>
#include <istream>
#include <map>
#include <optional>
#include <sstream>
#include <string>

namespace 字符串加密::bestfit {

// A byte sequence of one or two bytes: a byte, or lead << 8 | trail.
using Sequence = std::uint16_t;

struct Table {
  unsigned codepage = 0;
  std::array<bool, 0x100> lead{};       // DBCSRANGE
  std::map<Sequence, char16_t> reads;   // the character each text sequence reads as
  std::map<char16_t, Sequence> writes;  // the bytes each writable character is written as
};

namespace detail {

inline bool Hex(const std::string& field, unsigned& value) {
  if (field.size() < 3 || field[0] != '0' || (field[1] != 'x' && field[1] != 'X')) return false;
  std::size_t used = 0;
  try {
    value = static_cast<unsigned>(std::stoul(field.substr(2), &used, 16));
  } catch (...) {
    return false;
  }
  return used == field.size() - 2;
}

}  // namespace detail

// Reads a best-fit file; nothing when it is not one (the error says why).
inline std::optional<Table> Read(std::istream& in, std::string& error) {
  Table table;
  std::map<Sequence, char16_t> listed;  // everything MBTABLE and DBCSTABLE list
  std::map<char16_t, Sequence> wctable;
  unsigned replacement = 0x3F;
  enum class Section { kNone, kSingles, kRanges, kPairs, kWrites } section = Section::kNone;
  unsigned next_lead = 0, last_lead = 0, lead = 0, left = 0;
  std::string line;
  for (int number = 1; std::getline(in, line); ++number) {
    // Only the comments after ';' are in the code page itself; the fields are ASCII.
    std::istringstream fields(line.substr(0, line.find(';')));
    std::string tag;
    if (!(fields >> tag)) continue;
    const auto fail = [&](const std::string& why) {
      error = "line " + std::to_string(number) + ": " + why;
      return std::nullopt;
    };
    unsigned a = 0, b = 0;
    if (tag == "CODEPAGE") {
      fields >> table.codepage;
    } else if (tag == "CPINFO") {
      std::string size, mb_default, wide_default;
      fields >> size >> mb_default >> wide_default;
      if (!detail::Hex(wide_default, replacement)) return fail("CPINFO without a replacement");
    } else if (tag == "MBTABLE") {
      section = Section::kSingles;
    } else if (tag == "DBCSRANGE") {
      section = Section::kRanges;
    } else if (tag == "DBCSTABLE") {
      if (next_lead == 0 || next_lead > last_lead) return fail("DBCSTABLE outside a range");
      lead = next_lead++;
      fields >> left;
      section = Section::kPairs;
    } else if (tag == "WCTABLE") {
      section = Section::kWrites;
    } else if (tag == "ENDCODEPAGE") {
      break;
    } else if (!detail::Hex(tag, a) || !(fields >> tag) || !detail::Hex(tag, b)) {
      return fail("not a record");
    } else if (section == Section::kRanges || (section == Section::kPairs && left == 0)) {
      // A lead byte range: the DBCSTABLEs of its lead bytes follow.
      if (a < 0x80 || b > 0xFF || a > b) return fail("bad lead byte range");
      for (unsigned l = a; l <= b; ++l) table.lead[l] = true;
      next_lead = a;
      last_lead = b;
      section = Section::kRanges;
    } else if (section == Section::kSingles && a <= 0xFF && b <= 0xFFFF) {
      listed[static_cast<Sequence>(a)] = static_cast<char16_t>(b);
    } else if (section == Section::kPairs && a <= 0xFF && b <= 0xFFFF) {
      listed[static_cast<Sequence>(lead << 8 | a)] = static_cast<char16_t>(b);
      --left;
    } else if (section == Section::kWrites && a <= 0xFFFF && b <= 0xFFFF) {
      wctable[static_cast<char16_t>(a)] = static_cast<Sequence>(b);
    } else {
      return fail("a record out of place or out of range");
    }
  }
  if (table.codepage == 0 || listed.empty() || wctable.empty()) {
    error = "not a best-fit table";
    return std::nullopt;
  }
  for (const auto& [sequence, c] : listed) {
    if (sequence < 0x100 && table.lead[sequence]) continue;  // a lead byte reads nothing alone
    const auto written = wctable.find(c);
    if (c == replacement && (written == wctable.end() || written->second != sequence)) continue;
    table.reads[sequence] = c;
  }
  for (const auto& [c, sequence] : wctable) {
    const auto read = table.reads.find(sequence);
    if (read != table.reads.end() && read->second == c) table.writes[c] = sequence;
  }
  return table;
}

}  // namespace 字符串加密::bestfit
