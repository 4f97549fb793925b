// The minidriver stand-in: a DLL whose only content is its version, read the
// way the workstation reads it at start-up.

#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

namespace {

struct TVersion {
  std::string Fixed;  // "%d.%d.%d.%d" of the fixed file information
  std::string Text;   // the FileVersion string
};

bool ReadVersion(const std::string& file, TVersion& version) {
  DWORD ignored = 0;
  DWORD size = GetFileVersionInfoSizeA(file.c_str(), &ignored);
  if (!size) return false;
  std::vector<char> data(size);
  if (!GetFileVersionInfoA(file.c_str(), 0, size, data.data())) return false;
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  if (!VerQueryValueA(data.data(), "\\", reinterpret_cast<void**>(&fixed), &length)) return false;
  version.Fixed = std::to_string(HIWORD(fixed->dwFileVersionMS)) + "." +
                  std::to_string(LOWORD(fixed->dwFileVersionMS)) + "." +
                  std::to_string(HIWORD(fixed->dwFileVersionLS)) + "." +
                  std::to_string(LOWORD(fixed->dwFileVersionLS));
  char* text = nullptr;
  if (!VerQueryValueA(data.data(), "\\StringFileInfo\\040904B0\\FileVersion",
                      reinterpret_cast<void**>(&text), &length))
    return false;
  version.Text = text;
  return true;
}

}  // namespace

TEST(TvMiniDrv, CarriesTheVersionItWasBuiltWith) {
  struct TCase {
    std::string File, Fixed, Text;
  };
  const TCase cases[] = {
      {"tvMiniDrv.dll", "5.0.0.0", "5.0.0.0"},
      {"minidrv\\4.2.9.9\\tvMiniDrv.dll", "4.2.9.9", "4.2.9.9"},
      {"minidrv\\4.3.0.0\\tvMiniDrv.dll", "4.3.0.0", "4.3.0.0"},
      {"minidrv\\3.9.0.0\\tvMiniDrv.dll", "3.9.0.0", "3.9.0.0"},
      // Three parts: the fixed information still has four.
      {"minidrv\\10.0.0\\tvMiniDrv.dll", "10.0.0.0", "10.0.0"},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.File);
    TVersion version;
    ASSERT_TRUE(ReadVersion(c.File, version));
    EXPECT_EQ(version.Fixed, c.Fixed);
    EXPECT_EQ(version.Text, c.Text);
  }
}

TEST(TvMiniDrv, HasNoCodeToRun) {
  HMODULE module = LoadLibraryExA("tvMiniDrv.dll", nullptr, DONT_RESOLVE_DLL_REFERENCES);
  ASSERT_NE(module, nullptr);
  auto* dos = reinterpret_cast<IMAGE_DOS_HEADER*>(module);
  auto* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(reinterpret_cast<char*>(module) + dos->e_lfanew);
  EXPECT_EQ(nt->OptionalHeader.AddressOfEntryPoint, 0u);
  FreeLibrary(module);
}
