// The window's pictures, loaded once from the program's resources.
#pragma once

#include <windows.h>

#include <array>

#include "platform/win32/handles_win32.h"
#include "ui/image_button_state.h"
#include "ui/layout.h"

namespace lanchuan::win32 {

// One picture per look; null where the set has none.
using ButtonPictures = std::array<HBITMAP, kButtonLookCount>;

class Pictures {
 public:
  explicit Pictures(HINSTANCE instance);
  Pictures(const Pictures&) = delete;
  Pictures& operator=(const Pictures&) = delete;

  HBITMAP skin() const { return skin_.get(); }
  HBITMAP dial() const { return dial_.get(); }
  ButtonPictures buttons(PictureSet set) const;

 private:
  unique_hbitmap skin_;
  unique_hbitmap dial_;
  static constexpr std::size_t kSetCount = static_cast<std::size_t>(PictureSet::kDial) + 1;
  // Indexed by PictureSet, then by ButtonLook.
  std::array<std::array<unique_hbitmap, kButtonLookCount>, kSetCount> buttons_;
};

// A bitmap resource of `module` as a DIB section, or null when it cannot be
// loaded. The window's pictures are 8-bit RLE DIBs (ui/rle8.h); CreateDIBSection
// makes none of a compressed format (Wine's gdi32 conformance test
// dlls/gdi32/tests/bitmap.c, test_dibsections, checks that it fails for
// BI_RLE8) and LoadImage's documentation does not say LR_CREATEDIBSECTION
// expands one, so they are expanded here into an uncompressed 8-bit DIB
// section of the same size and colours. Any other bitmap goes through
// LoadImage as before.
HBITMAP load_picture(HMODULE module, int id);

// The program's icon at a system metric's size (SM_CXICON, SM_CXSMICON);
// `flags` as LoadImage's (LR_SHARED: never to be destroyed).
HICON load_app_icon(HINSTANCE instance, int size_metric, UINT flags = 0);

// Draws the whole bitmap at (x, y) at its own size.
void draw_bitmap(HDC dc, HBITMAP bitmap, int x, int y);

}  // namespace lanchuan::win32
