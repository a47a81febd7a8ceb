// Reads each built Windows program, Vantorel.exe and vantorel-cli.exe, as a file, the way the
// loader and the shell see it: its machine type, no time stamp (every build of a commit is the
// same file), its resources (the icon's image and group, the version record, and the window
// program's manifest), and that the version of resources/version.h, the program's file name and
// the build's processor reached them. The test runs on the build machine,
// so it checks both programs on every host, whether or not the host can run them.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <map>
#include <ostream>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "resources/version.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr unsigned kIcon = 3, kGroupIcon = 14, kVersion = 16, kManifest = 24;

std::uint32_t Word(const Bytes& b, std::size_t at) { return b.at(at) | b.at(at + 1) << 8; }
std::uint32_t Dword(const Bytes& b, std::size_t at) { return Word(b, at) | Word(b, at + 2) << 16; }

// A PE file's header fields and resources, each resource keyed by its type and numeric name
// (a name given as a string is recorded as name 0, which no expected one is).
struct Program {
  std::uint16_t machine = 0, optional_magic = 0;
  std::uint32_t time_stamp = 0, resources_time_stamp = 0;
  std::map<std::pair<unsigned, unsigned>, Bytes> resources;
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
      entries(languages, [&](unsigned, std::size_t leaf) {
        const std::size_t data = offset_of(Dword(file, leaf));
        p.resources[{type, name}].assign(file.begin() + data,
                                         file.begin() + data + Dword(file, leaf + 4));
      });
    });
  });
  return p;
}

struct Build {
  const char* name;
  const char* program;
  std::uint16_t machine, optional_magic;
  const char* manifest_architecture;  // none for the command-line tool, which has no manifest
};
void PrintTo(const Build& build, std::ostream* out) { *out << build.name << "/" << build.program; }
const Build kBuilds[] = {{"win32", "Vantorel.exe", 0x14C, 0x10B, "x86"},
                         {"win64", "Vantorel.exe", 0x8664, 0x20B, "amd64"},
                         {"win32", "vantorel-cli.exe", 0x14C, 0x10B, nullptr},
                         {"win64", "vantorel-cli.exe", 0x8664, 0x20B, nullptr}};

class ProgramFile : public testing::TestWithParam<Build> {
 protected:
  void SetUp() override {
    ASSERT_NE(program_.machine, 0)
        << path_ << " is missing or not a PE file: make " << GetParam().name;
  }
  const Bytes& Resource(unsigned type, unsigned name) { return program_.resources[{type, name}]; }

  const std::string path_ =
      std::string(VANTOREL_BUILD_ROOT "/") + GetParam().name + "/" + GetParam().program;
  Program program_ = ReadProgram(path_);
};

TEST_P(ProgramFile, MachineTypeNoTimeStampAndResources) {
  EXPECT_EQ(program_.machine, GetParam().machine);
  EXPECT_EQ(program_.optional_magic, GetParam().optional_magic);
  EXPECT_EQ(program_.time_stamp, 0u);
  EXPECT_EQ(program_.resources_time_stamp, 0u);
  std::vector<std::pair<unsigned, unsigned>> keys;
  for (const auto& [key, data] : program_.resources) {
    keys.push_back(key);
    EXPECT_FALSE(data.empty()) << key.first << "/" << key.second;
  }
  std::vector<std::pair<unsigned, unsigned>> expected = {
      {kIcon, 30001}, {kGroupIcon, 1}, {kVersion, 1}};
  if (GetParam().manifest_architecture != nullptr) expected.push_back({kManifest, 1});
  EXPECT_EQ(keys, expected);
}

TEST_P(ProgramFile, VersionAndProcessorReachTheResources) {
  // The version record's fixed part: its signature, the structure's version, then the file's
  // and the product's version, each as two double words.
  const Bytes& record = Resource(kVersion, 1);
  const Bytes signature = {0xBD, 0x04, 0xEF, 0xFE};
  const auto fixed = static_cast<std::size_t>(
      std::search(record.begin(), record.end(), signature.begin(), signature.end()) -
      record.begin());
  ASSERT_LT(fixed, record.size());
  constexpr std::uint32_t kNumbers[] = {VANTOREL_VERSION_NUMBERS};
  const std::uint32_t high = kNumbers[0] << 16 | kNumbers[1], low = kNumbers[2] << 16 | kNumbers[3];
  for (const std::size_t at : {fixed + 8, fixed + 16}) {
    EXPECT_EQ(Dword(record, at), high);
    EXPECT_EQ(Dword(record, at + 4), low);
  }
  // The record's strings are UTF-16: the program's own file name is among them.
  Bytes name;
  for (const char* c = GetParam().program; *c != '\0'; ++c)
    name.insert(name.end(), {std::uint8_t(*c), 0});
  EXPECT_NE(std::search(record.begin(), record.end(), name.begin(), name.end()), record.end());
  if (GetParam().manifest_architecture == nullptr) return;
  const Bytes& data = Resource(kManifest, 1);
  const std::string manifest(data.begin(), data.end());
  const std::string dotted = std::to_string(kNumbers[0]) + "." + std::to_string(kNumbers[1]) + "." +
                             std::to_string(kNumbers[2]) + "." + std::to_string(kNumbers[3]);
  const std::string identity = R"(name="Vantorel" version=")" + dotted +
                               R"(" processorArchitecture=")" + GetParam().manifest_architecture +
                               '"';
  EXPECT_NE(manifest.find(identity), std::string::npos) << manifest.substr(0, 400);
}

INSTANTIATE_TEST_SUITE_P(Builds, ProgramFile, testing::ValuesIn(kBuilds), [](const auto& info) {
  return std::string(info.param.name) + (info.param.manifest_architecture ? "" : "_cli");
});

}  // namespace
