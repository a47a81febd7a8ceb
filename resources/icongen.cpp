// icongen: turns the program's icon, kept as a text grid of pixels, into the binary forms the
// resource compiler embeds. Runs on the build machine, so it uses nothing but the standard library.
//
//   icongen GRID ICON_ID ICO IMAGE GROUP
//
// GRID is 16 lines of 16 characters: '#' is a black pixel, '.' a green one, top row first.
// It writes
//   ICO    a one-image .ico file,
//   IMAGE  the RT_ICON resource data: the image as a DIB (header, palette, colour bits, mask),
//   GROUP  the RT_GROUP_ICON resource data: a directory listing that image under ICON_ID.
// The image has 8 bits per pixel and a 256-entry palette in which entry 0 is black and entry 14
// green, every other entry zero; its transparency mask is all clear.

#include <array>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <iterator>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

namespace {

constexpr int kSize = 16;
constexpr std::uint8_t kBlack = 0;
constexpr std::uint8_t kGreen = 14;
constexpr int kPaletteEntries = 256;
// Rows of a DIB are padded to whole 32-bit words.
constexpr int kColourStride = (kSize * 8 + 31) / 32 * 4;
constexpr int kMaskStride = (kSize * 1 + 31) / 32 * 4;
constexpr int kInfoHeaderSize = 40;
constexpr int kBitsSize = kSize * kColourStride + kSize * kMaskStride;
constexpr int kImageSize = kInfoHeaderSize + kPaletteEntries * 4 + kBitsSize;

using Bytes = std::vector<std::uint8_t>;
// Palette indices, row by row from the top.
using Pixels = std::array<std::uint8_t, kSize * kSize>;

void Put16(Bytes& out, unsigned value) {
  out.push_back(static_cast<std::uint8_t>(value));
  out.push_back(static_cast<std::uint8_t>(value >> 8));
}

void Put32(Bytes& out, std::uint32_t value) {
  Put16(out, value & 0xFFFF);
  Put16(out, value >> 16);
}

// Reads the grid; on a malformed one, says what is wrong and returns false.
bool ParseGrid(const std::string& text, Pixels& pixels, std::string& error) {
  std::istringstream in(text);
  std::string line;
  int row = 0;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (row == kSize) {
      if (line.empty() && in.peek() == std::char_traits<char>::eof()) break;
      error = "more than " + std::to_string(kSize) + " lines";
      return false;
    }
    if (line.size() != kSize) {
      error = "line " + std::to_string(row + 1) + " has " + std::to_string(line.size()) +
              " characters, not " + std::to_string(kSize);
      return false;
    }
    for (int column = 0; column < kSize; ++column) {
      const char c = line[column];
      if (c != '#' && c != '.') {
        error = "line " + std::to_string(row + 1) + ", column " + std::to_string(column + 1) +
                ": '" + std::string(1, c) + "' is neither '#' (black) nor '.' (green)";
        return false;
      }
      pixels[row * kSize + column] = c == '#' ? kBlack : kGreen;
    }
    ++row;
  }
  if (row != kSize) {
    error = std::to_string(row) + " lines, not " + std::to_string(kSize);
    return false;
  }
  return true;
}

// The image as an icon resource holds it: BITMAPINFOHEADER (with the height of colour bits and
// mask together), the palette as blue, green, red, 0, then both bitmaps bottom row first.
Bytes MakeImage(const Pixels& pixels) {
  Bytes out;
  Put32(out, kInfoHeaderSize);
  Put32(out, kSize);      // width
  Put32(out, kSize * 2);  // height: colour bits and mask
  Put16(out, 1);          // planes
  Put16(out, 8);          // bits per pixel
  Put32(out, 0);          // BI_RGB
  Put32(out, kBitsSize);
  Put32(out, 0);  // pixels per metre, x
  Put32(out, 0);  // pixels per metre, y
  Put32(out, 0);  // colours used: all 256
  Put32(out, 0);  // colours important: all
  for (int entry = 0; entry < kPaletteEntries; ++entry) {
    const std::uint8_t green = entry == kGreen ? 255 : 0;
    out.insert(out.end(), {0, green, 0, 0});
  }
  for (int row = kSize - 1; row >= 0; --row) {
    for (int column = 0; column < kColourStride; ++column) {
      out.push_back(column < kSize ? pixels[row * kSize + column] : 0);
    }
  }
  out.insert(out.end(), kSize * kMaskStride, 0);  // every pixel opaque
  return out;
}

// The directory entry fields an .ico file and an icon group share: size, colours, planes, bits.
void PutEntryHead(Bytes& out) {
  out.push_back(kSize);  // width
  out.push_back(kSize);  // height
  out.push_back(0);      // colour count: 0 for 256 and more
  out.push_back(0);      // reserved
  Put16(out, 1);         // planes
  Put16(out, 8);         // bits per pixel
  Put32(out, kImageSize);
}

void PutDirectoryHead(Bytes& out) {
  Put16(out, 0);  // reserved
  Put16(out, 1);  // type: icon
  Put16(out, 1);  // one image
}

Bytes MakeIco(const Bytes& image) {
  Bytes out;
  PutDirectoryHead(out);
  PutEntryHead(out);
  Put32(out, static_cast<std::uint32_t>(out.size() + 4));  // the image follows this entry
  out.insert(out.end(), image.begin(), image.end());
  return out;
}

Bytes MakeGroup(unsigned icon_id) {
  Bytes out;
  PutDirectoryHead(out);
  PutEntryHead(out);
  Put16(out, icon_id);
  return out;
}

bool WriteFile(const char* path, const Bytes& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
  out.close();
  if (!out) {
    std::cerr << "icongen: cannot write " << path << '\n';
    std::remove(path);
    return false;
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 6) {
    std::cerr << "usage: icongen GRID ICON_ID ICO IMAGE GROUP\n";
    return 2;
  }
  unsigned icon_id = 0;
  const std::string_view id = argv[2];
  const auto [end, failure] = std::from_chars(id.data(), id.data() + id.size(), icon_id);
  if (failure != std::errc{} || end != id.data() + id.size() || icon_id == 0 || icon_id > 0xFFFF) {
    std::cerr << "icongen: icon id " << id << " is not a number from 1 to 65535\n";
    return 2;
  }

  std::ifstream in(argv[1], std::ios::binary);
  if (!in) {
    std::cerr << "icongen: cannot read " << argv[1] << '\n';
    return 1;
  }
  const std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  Pixels pixels{};
  std::string error;
  if (!ParseGrid(text, pixels, error)) {
    std::cerr << argv[1] << ": " << error << '\n';
    return 1;
  }

  const Bytes image = MakeImage(pixels);
  if (image.size() != kImageSize) {
    std::cerr << "icongen: image is " << image.size() << " bytes, expected " << kImageSize << '\n';
    return 1;
  }
  return WriteFile(argv[3], MakeIco(image)) && WriteFile(argv[4], image) &&
                 WriteFile(argv[5], MakeGroup(icon_id))
             ? 0
             : 1;
}
