#include "ui/canvas_win32.h"

#include "platform/win32/window_class_win32.h"
#include "ui/custom_controls_win32.h"
#include "ui/window_data_win32.h"

namespace lanchuan::win32 {

void CanvasWin32::attach(HWND hwnd, HBITMAP background) {
  detach();
  hwnd_ = hwnd;
  background_ = background;
  RECT r;
  GetClientRect(hwnd, &r);
  width_ = r.right;
  height_ = r.bottom;
  window_dc screen(hwnd);
  buffer_.reset(CreateCompatibleBitmap(screen.get(), width_, height_));
  dc_.reset(CreateCompatibleDC(screen.get()));
  if (!buffer_ || !dc_) return;
  buffer_selection_.emplace(dc_.get(), buffer_.get());
  set_pen(1, 0, 0, 0);
  clear();
}

void CanvasWin32::detach() {
  pen_selection_.reset();
  pen_.reset();
  buffer_selection_.reset();
  dc_.reset();
  buffer_.reset();
  hwnd_ = nullptr;
}

void CanvasWin32::paint(HDC dc) const {
  if (dc_) BitBlt(dc, 0, 0, width_, height_, dc_.get(), 0, 0, SRCCOPY);
}

void CanvasWin32::clear() {
  if (!dc_) return;
  RECT r{0, 0, width_, height_};
  FillRect(dc_.get(), &r, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
  draw_bitmap(dc_.get(), background_, 0, 0);
}

void CanvasWin32::set_pen(int width, std::uint8_t r, std::uint8_t g, std::uint8_t b) {
  if (!dc_) return;
  unique_hpen pen(CreatePen(PS_SOLID, width, RGB(r, g, b)));
  if (!pen) return;
  pen_selection_.reset();  // the old pen leaves the DC before it is deleted
  pen_ = std::move(pen);
  pen_selection_.emplace(dc_.get(), pen_.get());
}

void CanvasWin32::line(int x1, int y1, int x2, int y2) {
  if (!dc_) return;
  MoveToEx(dc_.get(), x1, y1, nullptr);
  LineTo(dc_.get(), x2, y2);
}

void CanvasWin32::ellipse(int left, int top, int right, int bottom) {
  if (!dc_) return;
  // The canvas's brush is white: the hub is a ring on a white middle.
  select_object brush(dc_.get(), GetStockObject(WHITE_BRUSH));
  Ellipse(dc_.get(), left, top, right, bottom);
}

void CanvasWin32::present() {
  if (hwnd_) InvalidateRect(hwnd_, nullptr, FALSE);
}

namespace {

LRESULT CALLBACK canvas_proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  CanvasWin32* canvas = window_data<CanvasWin32>(hwnd);
  switch (msg) {
    case WM_NCCREATE:
      // The canvas object is not owned by its window: it lives in the App.
      SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create_info(lp)->canvas));
      break;
    case WM_CREATE: {
      const ControlCreateInfo* info = create_info(lp);
      if (canvas) canvas->attach(hwnd, info->pictures[0]);
      return 0;
    }
    case WM_NCDESTROY:
      if (canvas) canvas->detach();
      SetWindowLongPtrA(hwnd, GWLP_USERDATA, 0);
      break;
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT: {
      paint_dc dc(hwnd);
      if (canvas) canvas->paint(dc.get());
      return 0;
    }
    case WM_PRINTCLIENT:
      if (canvas) canvas->paint(reinterpret_cast<HDC>(wp));
      return 0;
  }
  return DefWindowProcA(hwnd, msg, wp, lp);
}

}  // namespace

void register_canvas_class(HINSTANCE instance) {
  register_window_class(instance, kCanvasClass, canvas_proc);
}

}  // namespace lanchuan::win32
