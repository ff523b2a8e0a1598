// 画板1: drawing goes to an off-screen picture of the canvas's size, which is
// copied to the screen when a drawing is complete (present) and on repaint.
#pragma once

#include <windows.h>

#include <optional>

#include "app/ports.h"
#include "platform/win32/handles_win32.h"

namespace lanchuan::win32 {

class CanvasWin32 : public Canvas {
 public:
  CanvasWin32() = default;
  CanvasWin32(const CanvasWin32&) = delete;
  CanvasWin32& operator=(const CanvasWin32&) = delete;

  // Called by the canvas window when it is created and destroyed.
  void attach(HWND hwnd, HBITMAP background);
  void detach();
  void paint(HDC dc) const;

  void clear() override;
  void set_pen(int width, std::uint8_t r, std::uint8_t g, std::uint8_t b) override;
  void line(int x1, int y1, int x2, int y2) override;
  void ellipse(int left, int top, int right, int bottom) override;
  void present() override;

 private:
  HWND hwnd_ = nullptr;
  HBITMAP background_ = nullptr;  // not owned
  int width_ = 0;
  int height_ = 0;
  // Declared in the order of creation: each selection is undone before the
  // object it selected is deleted.
  unique_hbitmap buffer_;
  unique_hdc dc_;
  std::optional<select_object> buffer_selection_;
  unique_hpen pen_;
  std::optional<select_object> pen_selection_;
};

}  // namespace lanchuan::win32
