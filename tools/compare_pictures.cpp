// Compares the pictures of two builds of the program as it loads them: every
// bitmap resource of OLD.exe, and the same of NEW.exe, through the program's
// own load_picture (ui/pictures_win32.h), read back as 32-bit pixels. For
// changes to how the pictures are stored or loaded, which must not change a
// pixel.
//   compare_pictures.exe OLD.exe NEW.exe
// Build:
//   x86_64-w64-mingw32-g++-posix -O2 -static -I. -o compare_pictures.exe
//     tools/compare_pictures.cpp ui/pictures_win32.cpp ui/rle8.cpp -lgdi32
// (one command line). Prints one line per picture; exits 0 when all are identical, 1 otherwise.
#include <windows.h>

#include <cstdio>
#include <vector>

#include "ui/pictures_win32.h"

namespace {

struct Pixels {
  int width = 0;
  int height = 0;
  std::vector<DWORD> data;
};

bool read_picture(HMODULE module, WORD id, Pixels& out) {
  HBITMAP bitmap = lanchuan::win32::load_picture(module, id);
  if (!bitmap) return false;
  BITMAP info{};
  GetObject(bitmap, sizeof info, &info);
  out.width = info.bmWidth;
  out.height = info.bmHeight;
  out.data.assign(static_cast<size_t>(out.width) * out.height, 0);
  BITMAPINFO request{};
  request.bmiHeader.biSize = sizeof request.bmiHeader;
  request.bmiHeader.biWidth = out.width;
  request.bmiHeader.biHeight = -out.height;  // top-down
  request.bmiHeader.biPlanes = 1;
  request.bmiHeader.biBitCount = 32;
  request.bmiHeader.biCompression = BI_RGB;
  HDC dc = GetDC(nullptr);
  const int rows = GetDIBits(dc, bitmap, 0, out.height, out.data.data(), &request, DIB_RGB_COLORS);
  ReleaseDC(nullptr, dc);
  DeleteObject(bitmap);
  return rows == out.height;
}

BOOL CALLBACK collect(HMODULE, LPCSTR, LPSTR name, LONG_PTR param) {
  if (IS_INTRESOURCE(name))
    reinterpret_cast<std::vector<WORD>*>(param)->push_back(
        LOWORD(reinterpret_cast<ULONG_PTR>(name)));
  return TRUE;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: compare_pictures OLD.exe NEW.exe\n");
    return 2;
  }
  HMODULE old_exe = LoadLibraryExA(argv[1], nullptr, LOAD_LIBRARY_AS_DATAFILE);
  HMODULE new_exe = LoadLibraryExA(argv[2], nullptr, LOAD_LIBRARY_AS_DATAFILE);
  if (!old_exe || !new_exe) {
    std::fprintf(stderr, "cannot open the programs\n");
    return 2;
  }
  std::vector<WORD> ids;
  EnumResourceNamesA(old_exe, RT_BITMAP, collect, reinterpret_cast<LONG_PTR>(&ids));
  int differing = ids.empty() ? 1 : 0;
  for (WORD id : ids) {
    Pixels a, b;
    const bool loaded = read_picture(old_exe, id, a) && read_picture(new_exe, id, b);
    size_t changed = 0;
    if (loaded && a.width == b.width && a.height == b.height) {
      for (size_t i = 0; i < a.data.size(); ++i)
        changed += (a.data[i] & 0xFFFFFF) != (b.data[i] & 0xFFFFFF);
    }
    const bool same = loaded && a.width == b.width && a.height == b.height && changed == 0;
    if (!loaded) {
      std::printf("bitmap %u: DIFFERENT (does not load)\n", id);
    } else if (a.width != b.width || a.height != b.height) {
      std::printf("bitmap %u: DIFFERENT (%dx%d against %dx%d)\n", id, a.width, a.height, b.width,
                  b.height);
    } else {
      std::printf("bitmap %u: %dx%d, %s (%zu pixels differ)\n", id, a.width, a.height,
                  same ? "identical" : "DIFFERENT", changed);
    }
    if (!same) ++differing;
  }
  std::printf("%zu pictures compared, %d differ\n", ids.size(), differing);
  return differing == 0 ? 0 : 1;
}
