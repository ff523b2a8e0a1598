#include "ui/pictures_win32.h"

#include "ui/resource_ids.h"

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

HBITMAP load(HINSTANCE instance, int id) {
  return static_cast<HBITMAP>(
      LoadImageA(instance, MAKEINTRESOURCEA(id), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
}

}  // namespace

Pictures::Pictures(HINSTANCE instance)
    : skin_(load(instance, IDB_SKIN)), dial_(load(instance, IDB_DIAL)) {
  for (const ButtonResources& r : kButtonResources) {
    auto& slots = buttons_[static_cast<std::size_t>(r.set)];
    for (int i = 0; i < r.count; ++i)
      slots[static_cast<std::size_t>(i)].reset(load(instance, r.first_id + i));
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
