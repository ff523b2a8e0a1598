#include "ui/pictures_win32.h"

#include <cstdint>
#include <cstring>
#include <optional>

#include "ui/resource_ids.h"
#include "ui/rle8.h"

namespace lanchuan::win32 {

namespace {

struct ButtonResources {
  PictureSet set;
  int first_id;
  int count;  // normal, hover, pressed[, disabled]
};
constexpr ButtonResources kButtonResources[] = {
    {PictureSet::kBigButton, IDB_BIG_BUTTON, 4},
    {PictureSet::kSettings, IDB_SETTINGS, 3},
    {PictureSet::kMinimise, IDB_MINIMISE, 3},
    {PictureSet::kClose, IDB_CLOSE, 3},
};

}  // namespace

HBITMAP load_picture(HMODULE module, int id) {
  const HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(id), RT_BITMAP);
  const auto* data =
      found ? static_cast<const std::uint8_t*>(LockResource(LoadResource(module, found))) : nullptr;
  const DWORD size = data ? SizeofResource(module, found) : 0;
  if (size < sizeof(BITMAPINFOHEADER)) return nullptr;
  BITMAPINFOHEADER header;
  std::memcpy(&header, data, sizeof header);
  if (header.biCompression != BI_RLE8) {
    return static_cast<HBITMAP>(
        LoadImageA(module, MAKEINTRESOURCEA(id), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
  }
  const std::optional<Rle8Dib> dib = read_rle8_dib(data, size);
  if (!dib) return nullptr;
  // The same picture uncompressed: 8 bits, the same colour table.
  struct {
    BITMAPINFOHEADER header;
    RGBQUAD colours[256];
  } info{};
  info.header.biSize = sizeof info.header;
  info.header.biWidth = dib->width;
  info.header.biHeight = dib->height;
  info.header.biPlanes = 1;
  info.header.biBitCount = 8;
  info.header.biCompression = BI_RGB;
  info.header.biClrUsed = static_cast<DWORD>(dib->colour_count);
  std::memcpy(info.colours, dib->colours, dib->colour_count * sizeof(RGBQUAD));
  void* bits = nullptr;
  window_dc screen(nullptr);
  unique_hbitmap bitmap(CreateDIBSection(screen.get(), reinterpret_cast<const BITMAPINFO*>(&info),
                                         DIB_RGB_COLORS, &bits, nullptr, 0));
  // Its rows are "rounded up to the nearest DWORD" (BITMAPINFOHEADER), as rle8_row_bytes counts.
  if (!bitmap || !expand_rle8(*dib, static_cast<std::uint8_t*>(bits))) return nullptr;
  return bitmap.release();
}

Pictures::Pictures(HINSTANCE instance)
    : skin_(load_picture(instance, IDB_SKIN)), dial_(load_picture(instance, IDB_DIAL)) {
  for (const ButtonResources& r : kButtonResources) {
    auto& slots = buttons_[static_cast<std::size_t>(r.set)];
    for (int i = 0; i < r.count; ++i)
      slots[static_cast<std::size_t>(i)].reset(load_picture(instance, r.first_id + i));
  }
}

ButtonPictures Pictures::buttons(PictureSet set) const {
  ButtonPictures out{};
  const auto& slots = buttons_[static_cast<std::size_t>(set)];
  for (std::size_t i = 0; i < out.size(); ++i) out[i] = slots[i].get();
  return out;
}

HICON load_app_icon(HINSTANCE instance, int size_metric, UINT flags) {
  const int size = GetSystemMetrics(size_metric);
  return static_cast<HICON>(
      LoadImageA(instance, MAKEINTRESOURCEA(IDI_APP), IMAGE_ICON, size, size, flags));
}

void draw_bitmap(HDC dc, HBITMAP bitmap, int x, int y) {
  if (!bitmap) return;
  BITMAP info{};
  if (!GetObject(bitmap, sizeof(info), &info)) return;
  unique_hdc memory(CreateCompatibleDC(dc));
  if (!memory) return;
  select_object selection(memory.get(), bitmap);
  BitBlt(dc, x, y, info.bmWidth, info.bmHeight, memory.get(), 0, 0, SRCCOPY);
}

}  // namespace lanchuan::win32
