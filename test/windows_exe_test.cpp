// The built quodrel.exe as Explorer and Windows see it: its version resource and its manifest.
#include <windows.h>

#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace quodrel {
namespace {

namespace fs = std::filesystem;

std::wstring program_path() {
  wchar_t path[MAX_PATH];
  GetModuleFileNameW(nullptr, path, MAX_PATH);
  return (fs::path(path).parent_path().parent_path() / "quodrel.exe").wstring();
}

TEST(WindowsExe, HasAVersionResource) {
  const std::wstring path = program_path();
  const DWORD size = GetFileVersionInfoSizeW(path.c_str(), nullptr);
  ASSERT_GT(size, 0u) << "no version resource";
  std::vector<char> information(size);
  ASSERT_TRUE(GetFileVersionInfoW(path.c_str(), 0, size, information.data()));
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  ASSERT_TRUE(VerQueryValueW(information.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
  EXPECT_EQ(fixed->dwFileVersionMS, static_cast<DWORD>(MAKELONG(2, 1)));  // 1.2
  EXPECT_EQ(fixed->dwProductVersionMS, static_cast<DWORD>(MAKELONG(2, 1)));
  const struct {
    const wchar_t* key;
    const wchar_t* value;
  } strings[] = {{L"ProductName", L"quodrel"},
                 {L"FileVersion", L"1.2"},
                 {L"ProductVersion", L"1.2"},
                 {L"CompanyName", L"the quodrel team"},
                 {L"OriginalFilename", L"quodrel.exe"},
                 {L"FileDescription",
                  L"quodrel: vibration response spectrum of a pure sine base input"}};
  for (const auto& string : strings) {
    wchar_t* value = nullptr;
    const std::wstring key = std::wstring(L"\\StringFileInfo\\040904b0\\") + string.key;
    ASSERT_TRUE(VerQueryValueW(information.data(), key.c_str(), reinterpret_cast<void**>(&value),
                               &length))
        << fs::path(string.key).string();
    EXPECT_EQ(std::wstring(value), string.value) << fs::path(string.key).string();
  }
}

TEST(WindowsExe, HasAManifestThatAsksForNoElevationAndNamesWindows10And11) {
  const HMODULE exe = LoadLibraryExW(program_path().c_str(), nullptr,
                                     LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
  ASSERT_NE(exe, nullptr);
  const HRSRC found = FindResourceW(exe, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24));
  ASSERT_NE(found, nullptr) << "no manifest";
  const char* text = static_cast<const char*>(LockResource(LoadResource(exe, found)));
  const std::string manifest(text, SizeofResource(exe, found));
  EXPECT_NE(manifest.find("requestedExecutionLevel level=\"asInvoker\""), std::string::npos);
  EXPECT_NE(manifest.find("supportedOS Id=\"{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}\""),
            std::string::npos);
  FreeLibrary(exe);
}

}  // namespace
}  // namespace quodrel
