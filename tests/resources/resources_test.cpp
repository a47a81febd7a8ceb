// Reads each built Windows program as a file, the way the shell and the loader see it: its machine
// type and time stamp, the icon group and its image, the version record and the manifest. The
// test runs on the build machine, so it checks both programs on every host, whether or not the
// host can run them.

#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <iterator>
#include <map>
#include <ostream>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr unsigned kIcon = 3, kGroupIcon = 14, kVersion = 16, kManifest = 24;

std::uint32_t Word(const Bytes& b, std::size_t at) { return b.at(at) | b.at(at + 1) << 8; }
std::uint32_t Dword(const Bytes& b, std::size_t at) { return Word(b, at) | Word(b, at + 2) << 16; }
std::size_t Align4(std::size_t at) { return (at + 3) & ~std::size_t{3}; }

// A PE file's header fields and resources, each resource keyed by its type and numeric name
// (a name given as a string is recorded as name 0, which no expected one is).
struct Program {
  std::uint16_t machine = 0, optional_magic = 0;
  std::uint32_t time_stamp = 0, resources_time_stamp = 0;
  std::map<std::pair<unsigned, unsigned>, Bytes> resources;
  std::vector<unsigned> languages;  // of every resource, in directory order
};

Program ReadProgram(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  const Bytes file{std::istreambuf_iterator<char>(in), {}};
  Program p;
  if (file.size() < 64 || Word(file, 0) != 0x5A4D) return p;  // "MZ"
  const std::size_t pe = Dword(file, 0x3C), optional = pe + 24;
  if (Dword(file, pe) != 0x4550) return p;  // "PE\0\0"
  p.machine = Word(file, pe + 4);
  p.time_stamp = Dword(file, pe + 8);
  p.optional_magic = Word(file, optional);
  // The data directories follow the optional header's fixed part, 96 bytes in PE32, 112 in PE32+.
  const std::size_t directories = optional + (p.optional_magic == 0x20B ? 112 : 96);
  const std::uint32_t resource_rva = Dword(file, directories + 2 * 8);
  const auto offset_of = [&](std::uint32_t rva) -> std::size_t {
    const std::size_t sections = optional + Word(file, pe + 20);
    for (std::size_t s = 0; s < Word(file, pe + 6); ++s) {
      const std::size_t at = sections + 40 * s;
      const std::uint32_t start = Dword(file, at + 12), size = Dword(file, at + 16);
      if (rva >= start && rva < start + size) return Dword(file, at + 20) + (rva - start);
    }
    throw std::out_of_range("address outside every section");
  };
  // Three levels: type, name, language; offsets are from the start of the resource section.
  const std::size_t root = offset_of(resource_rva);
  p.resources_time_stamp = Dword(file, root + 4);
  const auto entries = [&](std::size_t dir, auto visit) {
    const std::size_t count = Word(file, dir + 12) + Word(file, dir + 14);
    for (std::size_t e = 0; e < count; ++e) {
      const std::uint32_t name = Dword(file, dir + 16 + 8 * e), to = Dword(file, dir + 20 + 8 * e);
      visit(name & 0x80000000 ? 0 : name, root + (to & 0x7FFFFFFF));
    }
  };
  entries(root, [&](unsigned type, std::size_t names) {
    entries(names, [&](unsigned name, std::size_t languages) {
      entries(languages, [&](unsigned language, std::size_t leaf) {
        const std::size_t data = offset_of(Dword(file, leaf));
        p.resources[{type, name}].assign(file.begin() + data,
                                         file.begin() + data + Dword(file, leaf + 4));
        p.languages.push_back(language);
      });
    });
  });
  return p;
}

// One node of a version record: its key, its value's bytes and its children.
struct VersionNode {
  std::string key;  // keys are ASCII
  Bytes value;
  std::vector<VersionNode> children;

  const VersionNode* Find(const std::string& child) const {
    for (const auto& c : children)
      if (c.key == child) return &c;
    return nullptr;
  }
};

VersionNode ReadVersionNode(const Bytes& b, std::size_t at) {
  const std::size_t end = at + Word(b, at), value_length = Word(b, at + 2);
  const bool text = Word(b, at + 4) == 1;  // a text value's length counts UTF-16 units
  VersionNode node;
  std::size_t p = at + 6;
  for (; Word(b, p) != 0; p += 2) node.key += static_cast<char>(Word(b, p));
  p = Align4(p + 2);
  const std::size_t value_end = p + (text ? 2 * value_length : value_length);
  node.value.assign(b.begin() + p, b.begin() + value_end);
  for (p = Align4(value_end); p < end; p = Align4(p + Word(b, p)))
    node.children.push_back(ReadVersionNode(b, p));
  return node;
}

// An ASCII text value, without its closing NUL.
std::string Text(const VersionNode* node) {
  std::string text;
  for (std::size_t i = 0; node && i + 1 < node->value.size() && node->value[i] != 0; i += 2)
    text += static_cast<char>(node->value[i]);
  return node ? text : "(none)";
}

struct Build {
  const char* name;
  std::uint16_t machine, optional_magic;
  const char* manifest_architecture;
};
void PrintTo(const Build& build, std::ostream* out) { *out << build.name; }
const Build kBuilds[] = {{"win32", 0x14C, 0x10B, "x86"}, {"win64", 0x8664, 0x20B, "amd64"}};

class ProgramFile : public testing::TestWithParam<Build> {
 protected:
  void SetUp() override {
    ASSERT_NE(program_.machine, 0)
        << path_ << " is missing or not a PE file: make " << GetParam().name;
  }
  const Bytes& Resource(unsigned type, unsigned name) { return program_.resources[{type, name}]; }

  const std::string path_ =
      std::string(VANTOREL_BUILD_ROOT "/") + GetParam().name + "/Vantorel.exe";
  Program program_ = ReadProgram(path_);
};

std::vector<std::pair<unsigned, unsigned>> Keys(const Program& p) {
  std::vector<std::pair<unsigned, unsigned>> keys;
  for (const auto& [key, data] : p.resources) keys.push_back(key);
  return keys;
}

TEST_P(ProgramFile, MachineTypeAndNoTimeStamp) {
  EXPECT_EQ(program_.machine, GetParam().machine);
  EXPECT_EQ(program_.optional_magic, GetParam().optional_magic);
  // Nothing in the file says when it was built, so every build of a commit is the same file.
  EXPECT_EQ(program_.time_stamp, 0u);
  EXPECT_EQ(program_.resources_time_stamp, 0u);
}

TEST_P(ProgramFile, ResourcesAreTheIconGroupImageVersionAndManifest) {
  const std::vector<std::pair<unsigned, unsigned>> expected = {
      {kIcon, 30001}, {kGroupIcon, 1}, {kVersion, 1}, {kManifest, 1}};
  EXPECT_EQ(Keys(program_), expected);
  // The icon and manifest are language neutral; the version record is Chinese (PRC).
  EXPECT_EQ(program_.languages, (std::vector<unsigned>{0, 0, 0x0804, 0}));
  // Header (reserved, icons, one entry), then 16 x 16, 256 colours, 1 plane, 8 bits, size, id.
  const Bytes group = {0, 0, 1, 0, 1, 0, 16, 16, 0, 0, 1, 0, 8, 0, 0x68, 0x05, 0, 0, 0x31, 0x75};
  EXPECT_EQ(Resource(kGroupIcon, 1), group);
}

// The image: BITMAPINFOHEADER, 256 palette entries, colour rows of 16 bytes and mask rows of 4,
// both bottom row first.
constexpr std::size_t kPalette = 40, kBits = kPalette + 256 * 4, kMask = kBits + 16 * 16;
constexpr std::size_t kImageSize = kMask + 16 * 4;
static_assert(kImageSize == 0x568);

// The digits 16, '#' black (palette entry 0) on '.' green (entry 14), rows 5 to 11 from the top;
// the rest is green.
const char* const kDigits[] = {".....#...##.....", "....##..#.......", ".....#..#.......",
                               ".....#..###.....", ".....#..#..#....", ".....#..#..#....",
                               "....###..##....."};

TEST_P(ProgramFile, IconImageIsTheDigits16InBlackOnGreen) {
  const Bytes& image = Resource(kIcon, 30001);
  ASSERT_EQ(image.size(), kImageSize);
  // Header size, width, height of colour and mask, planes and bits, BI_RGB, colours used (all).
  const std::pair<std::size_t, std::uint32_t> header[] = {{0, 40},           {4, 16}, {8, 32},
                                                          {12, 1 | 8 << 16}, {16, 0}, {32, 0}};
  for (const auto& [offset, value] : header) EXPECT_EQ(Dword(image, offset), value) << offset;
  for (std::size_t entry = 0; entry < 256; ++entry)  // blue, green, red, reserved
    EXPECT_EQ(Dword(image, kPalette + 4 * entry), entry == 14 ? 0xFF00u : 0u) << entry;
  for (int row = 0; row < 16; ++row) {
    std::string actual;
    for (int column = 0; column < 16; ++column) {
      const std::uint8_t index = image[kBits + (15 - row) * 16 + column];
      actual += index == 0 ? '#' : index == 14 ? '.' : '?';
    }
    EXPECT_EQ(actual, row >= 5 && row <= 11 ? kDigits[row - 5] : std::string(16, '.')) << row;
  }
  EXPECT_EQ(Bytes(image.begin() + kMask, image.end()), Bytes(16 * 4, 0));
}

TEST_P(ProgramFile, VersionRecordHoldsEveryField) {
  const VersionNode record = ReadVersionNode(Resource(kVersion, 1), 0);
  EXPECT_EQ(record.key, "VS_VERSION_INFO");
  ASSERT_EQ(record.value.size(), 13u * 4);
  std::vector<std::uint32_t> fixed;
  for (std::size_t i = 0; i < 11; ++i) fixed.push_back(Dword(record.value, 4 * i));
  EXPECT_EQ(fixed, (std::vector<std::uint32_t>{0xFEEF04BD, 0x10000,     // signature, structure 1.0
                                               0x10000, 0, 0x10000, 0,  // versions 1.0.0.0
                                               0, 0, 4, 1, 0}));  // no flags, 32-bit Windows, app

  const VersionNode* strings = record.Find("StringFileInfo");
  const VersionNode* table = strings ? strings->Find("080404B0") : nullptr;
  ASSERT_NE(table, nullptr);
  const std::pair<std::string, std::string> expected[] = {
      {"CompanyName", "Vantorel"},  {"FileVersion", "1.00"},
      {"InternalName", "Vantorel"}, {"OriginalFilename", "Vantorel.exe"},
      {"ProductName", "Vantorel"},  {"ProductVersion", "1.00"},
  };
  ASSERT_EQ(table->children.size(), std::size(expected));
  for (const auto& [name, value] : expected) EXPECT_EQ(Text(table->Find(name)), value) << name;
  // One language and code page, Chinese (PRC) and UTF-16, and no other.
  const VersionNode* files = record.Find("VarFileInfo");
  const VersionNode* translation = files ? files->Find("Translation") : nullptr;
  ASSERT_NE(translation, nullptr);
  EXPECT_EQ(translation->value, (Bytes{0x04, 0x08, 0xB0, 0x04}));
}

TEST_P(ProgramFile, ManifestAsksForCommonControls6AndPerMonitorV2) {
  const Bytes& data = Resource(kManifest, 1);
  const std::string manifest(data.begin(), data.end());
  const std::string identity = std::string(R"(name="Vantorel" version="1.0.0.0" )") +
                               "processorArchitecture=\"" + GetParam().manifest_architecture + '"';
  for (const std::string& expected : {
           identity, std::string(R"(name="Microsoft.Windows.Common-Controls" version="6.0.0.0")"),
           std::string(R"(publicKeyToken="6595b64144ccf1df")"),
           std::string("<dpiAware xmlns=\"http://schemas.microsoft.com/SMI/2005/WindowsSettings\">"
                       "true/pm</dpiAware>"),
           std::string("<dpiAwareness xmlns=\"http://schemas.microsoft.com/SMI/2016/"
                       "WindowsSettings\">PerMonitorV2, PerMonitor</dpiAwareness>"),
           std::string("{35138b9a-5d96-4fbd-8e2d-a2440225f93a}"),  // Windows 7
           std::string("{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}"),  // Windows 8
           std::string("{1f676c76-80e1-4239-95bb-83d0f6d0da78}"),  // Windows 8.1
           std::string("{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"),  // Windows 10 and 11
       })
    EXPECT_NE(manifest.find(expected), std::string::npos) << expected;
}

INSTANTIATE_TEST_SUITE_P(Builds, ProgramFile, testing::ValuesIn(kBuilds),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
