// Two rules of the source tree, checked over every product source file:
// - the folders are layers, and a file includes only files of its own layer or
//   of the layers below it (kLayers);
// - the portable logic builds natively and is tested here, which holds only
//   while no portable source pulls in a Windows header. Win32 code lives in
//   files named *_win32.cpp (or *_win32.h) and under platform/win32/.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

// Each product folder, bottom first, with the folders it may include from.
const std::map<std::string, std::set<std::string>> kLayers = {
    {"base", {"base"}},
    {"platform", {"base", "platform"}},
    {"timesync", {"base", "platform", "timesync"}},
    {"update", {"base", "platform", "update"}},
    {"unattended", {"base", "platform", "timesync", "unattended"}},
    {"app", {"base", "platform", "timesync", "update", "app"}},
    {"ui", {"base", "platform", "timesync", "app", "ui"}},
    {"programs", {"base", "platform", "timesync", "update", "unattended", "app", "ui", "programs"}},
};

const char* const kWin32Headers[] = {
    "windows.h",  "windowsx.h", "winbase.h",  "windef.h",     "winuser.h",  "wingdi.h",
    "winnt.h",    "winreg.h",   "winerror.h", "winnls.h",     "wincon.h",   "winver.h",
    "winhttp.h",  "wininet.h",  "winsock.h",  "winsock2.h",   "ws2tcpip.h", "iphlpapi.h",
    "shellapi.h", "shlobj.h",   "shlwapi.h",  "shobjidl.h",   "shtypes.h",  "exdisp.h",
    "objbase.h",  "ole2.h",     "oleauto.h",  "olectl.h",     "oaidl.h",    "objidl.h",
    "unknwn.h",   "wtypes.h",   "comdef.h",   "combaseapi.h", "commctrl.h", "commdlg.h",
    "mmsystem.h", "uxtheme.h",  "dwmapi.h",   "psapi.h",      "tlhelp32.h", "tchar.h",
    "intshcut.h", "urlmon.h",   "mshtml.h",   "gdiplus.h",    "atlbase.h",  "wrl.h",
};

bool is_source(const fs::path& path) {
  const std::string ext = path.extension().string();
  return ext == ".cpp" || ext == ".h" || ext == ".hpp" || ext == ".inl";
}

std::string lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

// The header named by an #include line ("" when the line is none), lower-case
// and without its folder: <Windows.h>, "windows.h" and <sys/../windows.h> alike.
std::string included_header(const std::string& line) {
  std::size_t pos = line.find_first_not_of(" \t");
  if (pos == std::string::npos || line[pos] != '#') return "";
  pos = line.find_first_not_of(" \t", pos + 1);
  if (pos == std::string::npos || line.compare(pos, 7, "include") != 0) return "";
  pos = line.find_first_of("<\"", pos + 7);
  if (pos == std::string::npos) return "";
  const std::size_t end = line.find_first_of(">\"", pos + 1);
  if (end == std::string::npos) return "";
  std::string name = lower(line.substr(pos + 1, end - pos - 1));
  const std::size_t slash = name.find_last_of("/\\");
  return slash == std::string::npos ? name : name.substr(slash + 1);
}

// The top folder of a quoted project include ("app/ports.h" -> "app"); empty
// for system headers and for lines that include nothing.
std::string included_folder(const std::string& line) {
  std::size_t pos = line.find_first_not_of(" \t");
  if (pos == std::string::npos || line[pos] != '#') return "";
  pos = line.find_first_not_of(" \t", pos + 1);
  if (pos == std::string::npos || line.compare(pos, 7, "include") != 0) return "";
  pos = line.find_first_not_of(" \t", pos + 7);
  if (pos == std::string::npos || line[pos] != '"') return "";
  const std::size_t slash = line.find('/', pos + 1);
  const std::size_t end = line.find('"', pos + 1);
  if (slash == std::string::npos || end == std::string::npos || slash > end) return "";
  return line.substr(pos + 1, slash - pos - 1);
}

// Every product source file, as (path, path relative to the root).
std::vector<std::pair<fs::path, fs::path>> product_sources(const fs::path& root) {
  std::vector<std::pair<fs::path, fs::path>> found;
  for (const auto& layer : kLayers) {
    if (!fs::exists(root / layer.first)) continue;
    for (const auto& entry : fs::recursive_directory_iterator(root / layer.first)) {
      if (entry.is_regular_file() && is_source(entry.path())) {
        found.emplace_back(entry.path(), entry.path().lexically_relative(root));
      }
    }
  }
  return found;
}

bool is_win32_header_include(const std::string& line) {
  const std::string name = included_header(line);
  if (name.empty()) return false;
  return std::any_of(std::begin(kWin32Headers), std::end(kWin32Headers),
                     [&](const char* header) { return name == header; });
}

bool is_win32_source(const fs::path& relative) {
  const std::string generic = relative.generic_string();
  if (generic.rfind("platform/win32/", 0) == 0) return true;
  const std::string stem = relative.stem().string();
  return stem.size() >= 6 && stem.compare(stem.size() - 6, 6, "_win32") == 0;
}

TEST(LayoutRules, RecognisesWin32Includes) {
  struct Case {
    const char* line;
    bool win32;
  };
  const Case cases[] = {
      {"#include <windows.h>", true},
      {"#include <Windows.h>", true},
      {"  #  include \"windows.h\"", true},
      {"#include <winhttp.h>  // request object", true},
      {"#include <shlobj.h>", true},
      {"#include <mingw/../windows.h>", true},
      {"#include \"base/datetime.h\"", false},
      {"#include <string>", false},
      {"#include \"platform/win32/window.h\"", false},
      {"// never #include <windows.h> here", false},
      {"const char* kName = \"windows.h\";", false},
  };
  for (const Case& c : cases) EXPECT_EQ(is_win32_header_include(c.line), c.win32) << c.line;
}

TEST(LayoutRules, Win32FilesAreRecognisedByName) {
  EXPECT_TRUE(is_win32_source("programs/main_win32.cpp"));
  EXPECT_TRUE(is_win32_source("ui/window_win32.h"));
  EXPECT_TRUE(is_win32_source("platform/win32/clock.cpp"));
  EXPECT_FALSE(is_win32_source("base/datetime.cpp"));
  EXPECT_FALSE(is_win32_source("platform/clock.h"));
  EXPECT_FALSE(is_win32_source("ui/win32.cpp"));
}

TEST(LayoutRules, RecognisesProjectIncludes) {
  EXPECT_EQ(included_folder("#include \"app/ports.h\""), "app");
  EXPECT_EQ(included_folder("  #  include \"base/datetime.h\"  // DateTime"), "base");
  EXPECT_EQ(included_folder("#include <windows.h>"), "");
  EXPECT_EQ(included_folder("#include <gtest/gtest.h>"), "");
  EXPECT_EQ(included_folder("#include \"resource.h\""), "");
  EXPECT_EQ(included_folder("// #include \"ui/layout.h\""), "");
}

TEST(LayoutRules, EveryIncludePointsDown) {
  const fs::path root = LANCHUAN_SOURCE_DIR;
  int includes = 0;
  for (const auto& [path, relative] : product_sources(root)) {
    const std::string layer = relative.begin()->string();
    const std::set<std::string>& allowed = kLayers.at(layer);
    std::ifstream in(path);
    std::string line;
    for (int number = 1; std::getline(in, line); ++number) {
      const std::string folder = included_folder(line);
      if (folder.empty()) continue;
      ++includes;
      EXPECT_TRUE(allowed.count(folder))
          << relative.generic_string() << ":" << number << ": " << layer << " may not include from "
          << folder << ": " << line;
    }
  }
  // The programs include the features; finding none means the walk is broken.
  EXPECT_GT(includes, 100);
}

TEST(LayoutRules, PortableSourcesIncludeNoWin32Header) {
  const fs::path root = LANCHUAN_SOURCE_DIR;
  int scanned = 0;
  for (const auto& [path, relative] : product_sources(root)) {
    if (is_win32_source(relative)) continue;
    ++scanned;
    std::ifstream in(path);
    std::string line;
    for (int number = 1; std::getline(in, line); ++number) {
      EXPECT_FALSE(is_win32_header_include(line))
          << relative.generic_string() << ":" << number << ": " << line;
    }
  }
  // The date-time helpers are portable; finding none means the walk is broken.
  EXPECT_GT(scanned, 0);
  EXPECT_TRUE(fs::exists(root / "base" / "datetime.cpp"));
}

}  // namespace
