// Reads the built program's resources as Windows (and the shell) sees them: the icon group and
// its image, the version record and the manifest.

#include <gtest/gtest.h>
#include <windows.h>

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

// The program's path as Windows takes it: a build path such as /work/build/Vantorel.exe is
// Z:\work\build\Vantorel.exe under Wine, whose drive Z: is the root of the file system.
std::wstring ProgramPath() {
  std::wstring path;
  for (const char c : std::string(VANTOREL_PROGRAM)) path += c == '/' ? L'\\' : wchar_t(c);
  if (path.starts_with(L'\\')) path.insert(0, L"Z:");
  return path;
}

std::uint32_t Dword(const Bytes& b, std::size_t at) {
  return b.at(at) | b.at(at + 1) << 8 | b.at(at + 2) << 16 | std::uint32_t{b.at(at + 3)} << 24;
}

BOOL CALLBACK CollectName(HMODULE, LPCWSTR, LPWSTR name, LONG_PTR names) {
  // Names given as strings are recorded as 0, which no expected id is.
  reinterpret_cast<std::vector<unsigned>*>(names)->push_back(
      IS_INTRESOURCE(name) ? static_cast<unsigned>(reinterpret_cast<ULONG_PTR>(name)) : 0);
  return TRUE;
}

class ProgramResources : public testing::Test {
 protected:
  void SetUp() override {
#ifdef VANTOREL_PROGRAM_OPTIONAL
    if (GetFileAttributesW(path_.c_str()) == INVALID_FILE_ATTRIBUTES)
      GTEST_SKIP() << "no program built yet at " << VANTOREL_PROGRAM;
#endif
    module_ = LoadLibraryExW(path_.c_str(), nullptr,
                             LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    ASSERT_NE(module_, nullptr) << VANTOREL_PROGRAM << ": error " << GetLastError();
  }
  void TearDown() override {
    if (module_ != nullptr) FreeLibrary(module_);
  }

  std::vector<unsigned> Names(LPCWSTR type) const {
    std::vector<unsigned> names;
    EnumResourceNamesW(module_, type, CollectName, reinterpret_cast<LONG_PTR>(&names));
    return names;
  }
  // The data of one resource; empty if there is no such resource.
  Bytes Data(LPCWSTR type, unsigned id) const {
    HRSRC found = FindResourceW(module_, MAKEINTRESOURCEW(id), type);
    const auto* data = static_cast<const std::uint8_t*>(LockResource(LoadResource(module_, found)));
    return data ? Bytes(data, data + SizeofResource(module_, found)) : Bytes();
  }

  const std::wstring path_ = ProgramPath();
  HMODULE module_ = nullptr;
};

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

TEST_F(ProgramResources, IconIsGroup1ListingOnlyImage30001) {
  EXPECT_EQ(Names(RT_GROUP_ICON), std::vector<unsigned>{1});
  EXPECT_EQ(Names(RT_ICON), std::vector<unsigned>{30001});
  // Header (reserved, icons, one entry), then 16 x 16, 256 colours, 1 plane, 8 bits, size, id.
  const Bytes group = {0, 0, 1, 0, 1, 0, 16, 16, 0, 0, 1, 0, 8, 0, 0x68, 0x05, 0, 0, 0x31, 0x75};
  EXPECT_EQ(Data(RT_GROUP_ICON, 1), group);
}

TEST_F(ProgramResources, IconImageIsTheDigits16InBlackOnGreen) {
  const Bytes image = Data(RT_ICON, 30001);
  ASSERT_EQ(image.size(), kImageSize);
  // Header size, width, height of colour and mask, planes and bits, BI_RGB, colours used (all).
  const std::pair<std::size_t, std::uint32_t> header[] = {{0, 40},           {4, 16},      {8, 32},
                                                          {12, 1 | 8 << 16}, {16, BI_RGB}, {32, 0}};
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

TEST_F(ProgramResources, VersionRecordHoldsEveryField) {
  Bytes record(GetFileVersionInfoSizeW(path_.c_str(), nullptr));
  ASSERT_FALSE(record.empty()) << "error " << GetLastError();
  ASSERT_TRUE(
      GetFileVersionInfoW(path_.c_str(), 0, static_cast<DWORD>(record.size()), record.data()));
  UINT length = 0;  // of the last value found
  const auto query = [&](const std::wstring& at) -> const void* {
    void* value = nullptr;
    return VerQueryValueW(record.data(), at.c_str(), &value, &length) ? value : nullptr;
  };

  const auto* fixed = static_cast<const VS_FIXEDFILEINFO*>(query(L"\\"));
  ASSERT_NE(fixed, nullptr);
  EXPECT_EQ(
      std::to_array({fixed->dwSignature, fixed->dwFileVersionMS, fixed->dwFileVersionLS,
                     fixed->dwProductVersionMS, fixed->dwProductVersionLS, fixed->dwFileFlagsMask,
                     fixed->dwFileFlags, fixed->dwFileOS, fixed->dwFileType, fixed->dwFileSubtype}),
      std::to_array<DWORD>({0xFEEF04BD, 0x10000, 0, 0x10000, 0,   // versions 1.0.0.0
                            0, 0, VOS__WINDOWS32, VFT_APP, 0}));  // no flags, 32-bit app

  const std::pair<std::wstring, std::wstring> strings[] = {
      {L"FileVersion", L"1.00"},      {L"ProductVersion", L"1.00"},
      {L"InternalName", L"Vantorel"}, {L"OriginalFilename", L"Vantorel.exe"},
      {L"ProductName", L"Vantorel"},  {L"CompanyName", L"Vantorel"},
  };
  for (const auto& [name, value] : strings) {
    const auto* text = static_cast<const wchar_t*>(query(L"\\StringFileInfo\\080404B0\\" + name));
    EXPECT_EQ(std::wstring(text ? text : L"(none)"), value) << testing::PrintToString(name);
  }
  // One language and code page, Chinese (PRC) and UTF-16, and no other.
  const auto* translation = static_cast<const std::uint8_t*>(query(L"\\VarFileInfo\\Translation"));
  ASSERT_NE(translation, nullptr);
  EXPECT_EQ(Bytes(translation, translation + length), (Bytes{0x04, 0x08, 0xB0, 0x04}));
}

TEST_F(ProgramResources, ManifestAsksForCommonControls6AndPerMonitorV2) {
  EXPECT_EQ(Names(RT_MANIFEST), std::vector<unsigned>{1});
  const Bytes data = Data(RT_MANIFEST, 1);
  const std::string manifest(data.begin(), data.end());
  for (const char* expected : {
           R"(name="Microsoft.Windows.Common-Controls" version="6.0.0.0")",
           R"(publicKeyToken="6595b64144ccf1df")",
           "<dpiAware xmlns=\"http://schemas.microsoft.com/SMI/2005/WindowsSettings\">"
           "true/pm</dpiAware>",
           "<dpiAwareness xmlns=\"http://schemas.microsoft.com/SMI/2016/WindowsSettings\">"
           "PerMonitorV2, PerMonitor</dpiAwareness>",
           "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}",  // Windows 7
           "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}",  // Windows 8
           "{1f676c76-80e1-4239-95bb-83d0f6d0da78}",  // Windows 8.1
           "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}",  // Windows 10 and 11
       })
    EXPECT_NE(manifest.find(expected), std::string::npos) << expected;
  // And the system accepts it.
  ACTCTXW request{};
  request.cbSize = sizeof request;
  request.dwFlags = ACTCTX_FLAG_RESOURCE_NAME_VALID;
  request.lpSource = path_.c_str();
  request.lpResourceName = MAKEINTRESOURCEW(1);
  const HANDLE context = CreateActCtxW(&request);
  EXPECT_NE(context, INVALID_HANDLE_VALUE) << "error " << GetLastError();
  ReleaseActCtx(context);
}

}  // namespace
