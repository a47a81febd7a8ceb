// Reads the built program's resources as Windows (and the shell) sees them: the icon group and
// its image, the version record and the manifest.

#include <gtest/gtest.h>
#include <windows.h>

#include <array>
#include <cstdint>
#include <cstring>
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

bool ProgramMissing() {
#ifdef VANTOREL_PROGRAM_OPTIONAL
  return GetFileAttributesW(ProgramPath().c_str()) == INVALID_FILE_ATTRIBUTES;
#else
  return false;
#endif
}

std::uint16_t Word(const Bytes& bytes, std::size_t offset) {
  return static_cast<std::uint16_t>(bytes.at(offset) | bytes.at(offset + 1) << 8);
}

std::uint32_t Dword(const Bytes& bytes, std::size_t offset) {
  return Word(bytes, offset) | std::uint32_t{Word(bytes, offset + 2)} << 16;
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
    if (ProgramMissing()) GTEST_SKIP() << "no program built yet at " << VANTOREL_PROGRAM;
    module_ = LoadLibraryExW(ProgramPath().c_str(), nullptr,
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
    if (found == nullptr) return {};
    const auto* data = static_cast<const std::uint8_t*>(LockResource(LoadResource(module_, found)));
    if (data == nullptr) return {};
    return Bytes(data, data + SizeofResource(module_, found));
  }

  HMODULE module_ = nullptr;
};

// The image: 16 x 16, 8 bits per pixel, stored as BITMAPINFOHEADER, 256 palette entries, colour
// rows of 16 bytes and mask rows of 4, both bottom row first.
constexpr std::size_t kPaletteOffset = 40;
constexpr std::size_t kBitsOffset = kPaletteOffset + 256 * 4;
constexpr std::size_t kMaskOffset = kBitsOffset + 16 * 16;
constexpr std::size_t kImageSize = kMaskOffset + 16 * 4;
static_assert(kImageSize == 1384);

// The digits 16, black on green: the black columns of each row, counting from 0 at the top left.
struct BlackRow {
  int row;
  std::vector<int> columns;
};
const BlackRow kBlackRows[] = {
    {5, {5, 9, 10}},  {6, {4, 5, 8}},         {7, {5, 8}}, {8, {5, 8, 9, 10}}, {9, {5, 8, 11}},
    {10, {5, 8, 11}}, {11, {4, 5, 6, 9, 10}},
};
constexpr std::uint8_t kBlack = 0;
constexpr std::uint8_t kGreen = 14;

// Rows from the top as text, '#' for black and '.' for green, anything else as '?', so that a
// failure shows the picture.
using Picture = std::array<std::string, 16>;

Picture ExpectedPicture() {
  Picture picture;
  picture.fill(std::string(16, '.'));
  for (const BlackRow& black : kBlackRows) {
    for (const int column : black.columns) picture[black.row][column] = '#';
  }
  return picture;
}

TEST_F(ProgramResources, HasOneIconGroupNumberedOne) {
  EXPECT_EQ(Names(RT_GROUP_ICON), std::vector<unsigned>{1});
}

TEST_F(ProgramResources, HasOneIconImageNumbered30001) {
  EXPECT_EQ(Names(RT_ICON), std::vector<unsigned>{30001});
}

TEST_F(ProgramResources, IconGroupListsOnlyImage30001At16By16With8Bits) {
  const Bytes group = Data(RT_GROUP_ICON, 1);
  ASSERT_EQ(group.size(), 6u + 14u);  // header and one entry
  EXPECT_EQ(Word(group, 0), 0);       // reserved
  EXPECT_EQ(Word(group, 2), 1);       // icons, not cursors
  EXPECT_EQ(Word(group, 4), 1);       // entries
  EXPECT_EQ(group[6], 16);            // width
  EXPECT_EQ(group[7], 16);            // height
  EXPECT_EQ(group[8], 0);             // colour count: 0 means 256
  EXPECT_EQ(group[9], 0);             // reserved
  EXPECT_EQ(Word(group, 10), 1);      // planes
  EXPECT_EQ(Word(group, 12), 8);      // bits per pixel
  EXPECT_EQ(Dword(group, 14), kImageSize);
  EXPECT_EQ(Word(group, 18), 30001);
}

TEST_F(ProgramResources, IconImageHeaderIs16By16With8BitsAndMask) {
  const Bytes image = Data(RT_ICON, 30001);
  ASSERT_EQ(image.size(), kImageSize);
  EXPECT_EQ(Dword(image, 0), 40u);  // sizeof(BITMAPINFOHEADER)
  EXPECT_EQ(Dword(image, 4), 16u);  // width
  EXPECT_EQ(Dword(image, 8), 32u);  // height of colour bits and mask together
  EXPECT_EQ(Word(image, 12), 1);    // planes
  EXPECT_EQ(Word(image, 14), 8);    // bits per pixel
  EXPECT_EQ(Dword(image, 16), static_cast<std::uint32_t>(BI_RGB));
  EXPECT_EQ(Dword(image, 32), 0u);  // colours used: 0 means all 256
}

TEST_F(ProgramResources, IconPaletteHasBlackAt0GreenAt14AndZeroElsewhere) {
  const Bytes image = Data(RT_ICON, 30001);
  ASSERT_EQ(image.size(), kImageSize);
  for (int entry = 0; entry < 256; ++entry) {
    // Stored as blue, green, red, reserved.
    const std::array<std::uint8_t, 4> expected =
        entry == 14 ? std::array<std::uint8_t, 4>{0, 255, 0, 0} : std::array<std::uint8_t, 4>{};
    const std::array<std::uint8_t, 4> actual = {
        image[kPaletteOffset + entry * 4], image[kPaletteOffset + entry * 4 + 1],
        image[kPaletteOffset + entry * 4 + 2], image[kPaletteOffset + entry * 4 + 3]};
    EXPECT_EQ(actual, expected) << "palette entry " << entry;
  }
}

TEST_F(ProgramResources, IconPixelsShowTheDigits16InBlackOnGreen) {
  const Bytes image = Data(RT_ICON, 30001);
  ASSERT_EQ(image.size(), kImageSize);
  Picture actual;
  for (int row = 0; row < 16; ++row) {
    for (int column = 0; column < 16; ++column) {
      const std::uint8_t index = image[kBitsOffset + (15 - row) * 16 + column];
      actual[row] += index == kBlack ? '#' : index == kGreen ? '.' : '?';
    }
  }
  const Picture expected = ExpectedPicture();
  for (int row = 0; row < 16; ++row) EXPECT_EQ(actual[row], expected[row]) << "row " << row;
}

TEST_F(ProgramResources, IconMaskIsAllClear) {
  const Bytes image = Data(RT_ICON, 30001);
  ASSERT_EQ(image.size(), kImageSize);
  EXPECT_EQ(Bytes(image.begin() + kMaskOffset, image.end()), Bytes(16 * 4, 0));
}

// What the window does for its caption bar and task button.
TEST_F(ProgramResources, IconGroupLoadsAsSmallAndBigIcon) {
  for (const int size : {16, 32}) {
    HICON icon = static_cast<HICON>(
        LoadImageW(module_, MAKEINTRESOURCEW(1), IMAGE_ICON, size, size, LR_DEFAULTCOLOR));
    EXPECT_NE(icon, nullptr) << size << " x " << size << ": error " << GetLastError();
    if (icon != nullptr) DestroyIcon(icon);
  }
}

class VersionRecord : public testing::Test {
 protected:
  void SetUp() override {
    if (ProgramMissing()) GTEST_SKIP() << "no program built yet at " << VANTOREL_PROGRAM;
    const std::wstring path = ProgramPath();
    DWORD handle = 0;
    const DWORD size = GetFileVersionInfoSizeW(path.c_str(), &handle);
    ASSERT_NE(size, 0u) << VANTOREL_PROGRAM << ": error " << GetLastError();
    record_.resize(size);
    ASSERT_TRUE(GetFileVersionInfoW(path.c_str(), 0, size, record_.data()));
  }

  // The value at a path of the record, or nothing.
  std::pair<const void*, UINT> Query(const std::wstring& path) {
    void* value = nullptr;
    UINT length = 0;
    if (!VerQueryValueW(record_.data(), path.c_str(), &value, &length)) return {nullptr, 0};
    return {value, length};
  }

  Bytes record_;
};

TEST_F(VersionRecord, FixedPartIsVersion1000OfAnApplicationFor32BitWindows) {
  const auto [value, length] = Query(L"\\");
  ASSERT_NE(value, nullptr);
  ASSERT_EQ(length, sizeof(VS_FIXEDFILEINFO));
  const auto& fixed = *static_cast<const VS_FIXEDFILEINFO*>(value);
  EXPECT_EQ(fixed.dwSignature, 0xFEEF04BDu);
  EXPECT_EQ(fixed.dwFileVersionMS, 0x00010000u);  // 1.0
  EXPECT_EQ(fixed.dwFileVersionLS, 0x00000000u);  // .0.0
  EXPECT_EQ(fixed.dwProductVersionMS, 0x00010000u);
  EXPECT_EQ(fixed.dwProductVersionLS, 0x00000000u);
  EXPECT_EQ(fixed.dwFileFlagsMask, 0u);
  EXPECT_EQ(fixed.dwFileFlags, 0u);
  EXPECT_EQ(fixed.dwFileOS, static_cast<DWORD>(VOS__WINDOWS32));
  EXPECT_EQ(fixed.dwFileType, static_cast<DWORD>(VFT_APP));
  EXPECT_EQ(fixed.dwFileSubtype, 0u);
}

TEST_F(VersionRecord, StringTable080404B0HoldsEachField) {
  const struct {
    const wchar_t* name;
    const wchar_t* value;
  } fields[] = {
      {L"FileVersion", L"1.00"},      {L"ProductVersion", L"1.00"},
      {L"InternalName", L"Vantorel"}, {L"OriginalFilename", L"Vantorel.exe"},
      {L"ProductName", L"Vantorel"},  {L"CompanyName", L"Vantorel"},
  };
  for (const auto& field : fields) {
    const auto [value, length] = Query(std::wstring(L"\\StringFileInfo\\080404B0\\") + field.name);
    std::wstring text;
    if (value != nullptr) text = static_cast<const wchar_t*>(value);
    EXPECT_EQ(text, field.value) << testing::PrintToString(std::wstring(field.name));
  }
}

TEST_F(VersionRecord, TranslationIsChinesePrcInUnicodeAndOnlyThat) {
  const auto [value, length] = Query(L"\\VarFileInfo\\Translation");
  ASSERT_NE(value, nullptr);
  ASSERT_EQ(length, 4u) << "one language and code page";
  const auto* words = static_cast<const WORD*>(value);
  EXPECT_EQ(words[0], 0x0804);  // Chinese (PRC)
  EXPECT_EQ(words[1], 1200);    // UTF-16
  EXPECT_EQ(Query(L"\\StringFileInfo\\040904B0\\ProductName").first, nullptr);
}

std::string Text(const Bytes& bytes) { return std::string(bytes.begin(), bytes.end()); }

TEST_F(ProgramResources, HasOneManifestNumberedOne) {
  EXPECT_EQ(Names(RT_MANIFEST), std::vector<unsigned>{1});
}

TEST_F(ProgramResources, ManifestAsksForCommonControls6PerMonitorV2DpiAndWindows7To11) {
  const std::string manifest = Text(Data(RT_MANIFEST, 1));
  ASSERT_FALSE(manifest.empty());
  for (const char* expected : {
           R"(name="Microsoft.Windows.Common-Controls" version="6.0.0.0")",
           R"(publicKeyToken="6595b64144ccf1df")",
           "<dpiAware xmlns=\"http://schemas.microsoft.com/SMI/2005/WindowsSettings\">"
           "true/pm</dpiAware>",
           "<dpiAwareness xmlns=\"http://schemas.microsoft.com/SMI/2016/WindowsSettings\">"
           "PerMonitorV2, PerMonitor</dpiAwareness>",
           R"(<requestedExecutionLevel level="asInvoker")",
           "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}",  // Windows 7
           "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}",  // Windows 8
           "{1f676c76-80e1-4239-95bb-83d0f6d0da78}",  // Windows 8.1
           "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}",  // Windows 10 and 11
           R"(<assemblyIdentity type="win32" name="Vantorel" version="1.0.0.0")",
       }) {
    EXPECT_NE(manifest.find(expected), std::string::npos) << expected;
  }
}

// The manifest is one the system accepts, and in its context comctl32 comes from the
// side-by-side assembly of Common Controls 6 (its DllGetVersion is no witness: Wine's says 5).
TEST_F(ProgramResources, ManifestActivatesCommonControls6) {
  const std::wstring path = ProgramPath();
  ACTCTXW request{};
  request.cbSize = sizeof(request);
  request.dwFlags = ACTCTX_FLAG_RESOURCE_NAME_VALID;
  request.lpSource = path.c_str();
  request.lpResourceName = MAKEINTRESOURCEW(1);
  HANDLE context = CreateActCtxW(&request);
  ASSERT_NE(context, INVALID_HANDLE_VALUE) << "error " << GetLastError();
  ULONG_PTR cookie = 0;
  ASSERT_TRUE(ActivateActCtx(context, &cookie));
  HMODULE comctl = LoadLibraryW(L"comctl32.dll");
  std::wstring file(MAX_PATH, L'\0');
  if (comctl != nullptr) {
    file.resize(GetModuleFileNameW(comctl, file.data(), MAX_PATH));
    FreeLibrary(comctl);
  }
  DeactivateActCtx(0, cookie);
  ReleaseActCtx(context);
  ASSERT_NE(comctl, nullptr);
  CharLowerW(file.data());
  EXPECT_NE(file.find(L"\\x86_microsoft.windows.common-controls_6595b64144ccf1df_6.0."),
            std::wstring::npos)
      << testing::PrintToString(file);
}

}  // namespace
