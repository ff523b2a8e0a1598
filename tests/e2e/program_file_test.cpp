// The program file's resources, read as the shell reads them: the version
// information, the icon and the manifest.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <utility>

#include "e2e/support/process.h"

namespace lanchuan::e2e {
namespace {

class ProgramFile : public ::testing::Test {
 protected:
  void SetUp() override {
    module = LoadLibraryExA(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(module, nullptr);
  }
  void TearDown() override { FreeLibrary(module); }
  std::string resource(LPCSTR type, int id) const {
    HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(id), type);
    if (!found) return std::string();
    const char* data = static_cast<const char*>(LockResource(LoadResource(module, found)));
    return std::string(data, SizeofResource(module, found));
  }

  const std::string path = exe_folder() + "LanchuanTimeSync.exe";
  HMODULE module = nullptr;
};

TEST_F(ProgramFile, VersionInformation) {
  using SizeFn = DWORD(WINAPI*)(LPCSTR, LPDWORD);
  using InfoFn = BOOL(WINAPI*)(LPCSTR, DWORD, DWORD, LPVOID);
  using QueryFn = BOOL(WINAPI*)(LPCVOID, LPCSTR, LPVOID*, PUINT);
  HMODULE version = LoadLibraryA("version.dll");
  ASSERT_NE(version, nullptr);
  auto size_fn = reinterpret_cast<SizeFn>(
      reinterpret_cast<void*>(GetProcAddress(version, "GetFileVersionInfoSizeA")));
  auto info_fn = reinterpret_cast<InfoFn>(
      reinterpret_cast<void*>(GetProcAddress(version, "GetFileVersionInfoA")));
  auto query_fn =
      reinterpret_cast<QueryFn>(reinterpret_cast<void*>(GetProcAddress(version, "VerQueryValueA")));
  ASSERT_TRUE(size_fn && info_fn && query_fn);
  std::string block(size_fn(path.c_str(), nullptr), '\0');
  ASSERT_FALSE(block.empty());
  ASSERT_TRUE(info_fn(path.c_str(), 0, static_cast<DWORD>(block.size()), &block[0]));

  void* value = nullptr;
  UINT length = 0;
  ASSERT_TRUE(query_fn(block.data(), "\\", &value, &length));
  const auto* fixed = static_cast<const VS_FIXEDFILEINFO*>(value);
  EXPECT_EQ(fixed->dwFileVersionMS, (3u << 16) | 5u);
  EXPECT_EQ(fixed->dwFileVersionLS, (15u << 16) | 712u);
  EXPECT_EQ(fixed->dwProductVersionMS, (3u << 16) | 5u);
  EXPECT_EQ(fixed->dwProductVersionLS, (15u << 16) | 712u);

  const std::pair<const char*, const char*> strings[] = {
      {"FileVersion", "3.5.15.712"},
      {"ProductVersion", "3.5.15.712"},
      {"ProductName", "蓝川自动校时v3.5"},
      {"FileDescription", "可设置成 开机自动校时 校时后自动退出"},
      {"Comments", "智能的网络校时软件 可设置成开机 自动启动 voru 自动退出"},
  };
  for (const auto& [name, want] : strings) {
    const std::string key = std::string("\\StringFileInfo\\080404b0\\") + name;
    ASSERT_TRUE(query_fn(block.data(), key.c_str(), &value, &length)) << name;
    EXPECT_STREQ(static_cast<const char*>(value), want) << name;
  }
  FreeLibrary(version);
}

TEST_F(ProgramFile, IconWithFourImagesAndAManifestWithoutExecutionLevel) {
  const std::string group = resource(RT_GROUP_ICON, 1);
  ASSERT_GE(group.size(), 6u + 4 * 14);
  EXPECT_EQ(group[4], 4);  // image count
  const int sizes[] = {64, 48, 32, 16};
  for (int i = 0; i < 4; ++i) {
    const unsigned char* entry = reinterpret_cast<const unsigned char*>(group.data()) + 6 + 14 * i;
    EXPECT_EQ(entry[0] == 0 ? 256 : entry[0], sizes[i]);
    EXPECT_EQ(entry[6] | (entry[7] << 8), 32);  // bits per pixel
  }
  const std::string manifest = resource(RT_MANIFEST, 1);
  ASSERT_NE(manifest.find("<assembly"), std::string::npos);
  EXPECT_EQ(manifest.find("requestedExecutionLevel"), std::string::npos);
  EXPECT_EQ(manifest.find("requireAdministrator"), std::string::npos);
}

}  // namespace
}  // namespace lanchuan::e2e
