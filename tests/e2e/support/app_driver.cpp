#include "e2e/support/app_driver.h"

#include <algorithm>
#include <fstream>
#include <utility>
#include <vector>

#include "e2e/support/process.h"
#include "platform/win32/handles_win32.h"
#include "ui/layout.h"

namespace lanchuan::e2e {

namespace {

constexpr UINT kSendTimeoutMs = 5000;
constexpr const char* kProgram = "LanchuanTimeSync.exe";

// On a pool thread when the program has ended; the driver keeps the handle
// open until this wait is unregistered (and any call of it has returned).
void CALLBACK on_program_end(void* process, BOOLEAN) {
  DWORD code = 0;
  GetExitCodeProcess(static_cast<HANDLE>(process), &code);
  end_test_if_faulted(kProgram, GetProcessId(static_cast<HANDLE>(process)), code);
}

struct FindWindowQuery {
  DWORD pid;
  const char* class_name;
  HWND found;
};

BOOL CALLBACK match_window(HWND hwnd, LPARAM lp) {
  auto* q = reinterpret_cast<FindWindowQuery*>(lp);
  DWORD pid = 0;
  GetWindowThreadProcessId(hwnd, &pid);
  char name[64] = {};
  GetClassNameA(hwnd, name, sizeof(name));
  if (pid == q->pid && lstrcmpA(name, q->class_name) == 0 && IsWindowVisible(hwnd)) {
    q->found = hwnd;
    return FALSE;
  }
  return TRUE;
}

// A Unix folder (as the rig names it) seen through Wine's Z: drive.
std::string windows_folder(std::string path) {
  if (!path.empty() && path[0] == '/') path = "Z:" + path;
  for (char& c : path) {
    if (c == '/') c = '\\';
  }
  return path;
}

std::vector<unsigned char> bmp_file(HDC dc, HBITMAP bitmap, int width, int height) {
  BITMAPINFOHEADER info{};
  info.biSize = sizeof(info);
  info.biWidth = width;
  info.biHeight = height;  // bottom-up, as BMP files are
  info.biPlanes = 1;
  info.biBitCount = 24;
  info.biCompression = BI_RGB;
  const DWORD row = (static_cast<DWORD>(width) * 3 + 3) & ~3u;
  std::vector<unsigned char> pixels(row * static_cast<DWORD>(height));
  GetDIBits(dc, bitmap, 0, static_cast<UINT>(height), pixels.data(),
            reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS);
  BITMAPFILEHEADER file{};
  file.bfType = 0x4D42;
  file.bfOffBits = sizeof(file) + sizeof(info);
  file.bfSize = file.bfOffBits + static_cast<DWORD>(pixels.size());
  std::vector<unsigned char> out(file.bfOffBits);
  memcpy(out.data(), &file, sizeof(file));
  memcpy(out.data() + sizeof(file), &info, sizeof(info));
  out.insert(out.end(), pixels.begin(), pixels.end());
  return out;
}

}  // namespace

bool wait_until(const std::function<bool()>& condition, DWORD timeout_ms, DWORD poll_ms) {
  const DWORD start = GetTickCount();
  for (;;) {
    if (condition()) return true;
    if (GetTickCount() - start >= timeout_ms) return condition();
    Sleep(poll_ms);
  }
}

AnswerWatch::AnswerWatch(HWND window) : window_(window), last_answer_(GetTickCount()) {}

bool AnswerWatch::probe() {
  ++probes_;
  DWORD_PTR result = 0;
  if (SendMessageTimeoutA(window_, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 200, &result) == 0) {
    ++missed_;
    return false;
  }
  const DWORD now = GetTickCount();
  longest_ = std::max(longest_, now - last_answer_);
  last_answer_ = now;
  return true;
}

DWORD AnswerWatch::longest_silence_ms() const {
  return std::max(longest_, GetTickCount() - last_answer_);
}

bool write_settings_file(const std::string& gbk_content) {
  std::ofstream out(kSettingsFile, std::ios::binary | std::ios::trunc);
  out << gbk_content;
  return static_cast<bool>(out);
}

void delete_settings_file() { DeleteFileA(kSettingsFile); }

AppDriver::~AppDriver() { kill(); }

bool AppDriver::start(DWORD timeout_ms) {
  const std::string folder = exe_folder();
  std::string command = "\"" + folder + kProgram + "\"";
  STARTUPINFOA si{};
  si.cb = sizeof(si);
  if (!CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(),
                      &si, &pi_)) {
    return false;
  }
  RegisterWaitForSingleObject(&fault_wait_, pi_.hProcess, on_program_end, pi_.hProcess, INFINITE,
                              WT_EXECUTEONLYONCE);
  const bool shown = wait_until(
                         [this] {
                           main_ = top_level_window(kMainWindowRow.class_name);
                           return main_ != nullptr || !running();
                         },
                         timeout_ms) &&
                     main_ != nullptr;
  // Started means waiting for the user: what the program does right after the
  // first frame (the tray icon) is done by then.
  if (shown) WaitForInputIdle(pi_.hProcess, timeout_ms);
  return shown;
}

bool AppDriver::running() const {
  return pi_.hProcess && WaitForSingleObject(pi_.hProcess, 0) == WAIT_TIMEOUT;
}

bool AppDriver::wait_for_exit(DWORD timeout_ms, DWORD* exit_code) {
  if (!pi_.hProcess || WaitForSingleObject(pi_.hProcess, timeout_ms) != WAIT_OBJECT_0) return false;
  DWORD code = 0;
  GetExitCodeProcess(pi_.hProcess, &code);
  if (exit_code) *exit_code = code;
  return true;
}

void AppDriver::kill() {
  if (!pi_.hProcess) return;
  if (fault_wait_) UnregisterWaitEx(std::exchange(fault_wait_, nullptr), INVALID_HANDLE_VALUE);
  if (running()) {
    TerminateProcess(pi_.hProcess, 999);
    WaitForSingleObject(pi_.hProcess, 5000);
  }
  CloseHandle(pi_.hThread);
  CloseHandle(pi_.hProcess);
  pi_ = PROCESS_INFORMATION{};
  main_ = nullptr;
}

HWND AppDriver::control(ControlId id) const {
  const ControlRow& row = control_row(id);
  const HWND parent =
      row.parent == kMainWindow ? main_ : GetDlgItem(main_, control_window_id(row.parent));
  return parent ? GetDlgItem(parent, control_window_id(id)) : nullptr;
}

HWND AppDriver::top_level_window(const char* class_name) const {
  FindWindowQuery q{pi_.dwProcessId, class_name, nullptr};
  EnumWindows(match_window, reinterpret_cast<LPARAM>(&q));
  return q.found;
}

HWND AppDriver::focused_window() const {
  GUITHREADINFO info{};
  info.cbSize = sizeof(info);
  return GetGUIThreadInfo(thread_id(), &info) ? info.hwndFocus : nullptr;
}

std::string AppDriver::text(HWND hwnd) const {
  const LRESULT length = send(hwnd, WM_GETTEXTLENGTH, 0, 0);
  std::vector<char> buffer(static_cast<std::size_t>(length) + 64, '\0');
  const LRESULT n = send(hwnd, WM_GETTEXT, buffer.size(), reinterpret_cast<LPARAM>(buffer.data()));
  return std::string(buffer.data(), static_cast<std::size_t>(n > 0 ? n : 0));
}

bool AppDriver::ticked(ControlId id) const {
  return send(control(id), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

RECT AppDriver::rect_in_window(ControlId id) const {
  RECT window{};
  RECT r{};
  GetWindowRect(main_, &window);
  GetWindowRect(control(id), &r);
  OffsetRect(&r, -window.left, -window.top);
  return r;
}

LRESULT AppDriver::send(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) const {
  DWORD_PTR result = 0;
  if (!SendMessageTimeoutA(hwnd, msg, wp, lp, SMTO_ABORTIFHUNG, kSendTimeoutMs, &result)) return 0;
  return static_cast<LRESULT>(result);
}

void AppDriver::mouse_click(ControlId id, int x, int y) const {
  const HWND hwnd = control(id);
  RECT r{};
  GetClientRect(hwnd, &r);
  if (x < 0) x = r.right / 2;
  if (y < 0) y = r.bottom / 2;
  post(hwnd, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
  post(hwnd, WM_LBUTTONUP, 0, MAKELPARAM(x, y));
}

void AppDriver::post_key(HWND hwnd, UINT vk) const {
  const UINT scan = MapVirtualKeyA(vk, MAPVK_VK_TO_VSC);
  post(hwnd, WM_KEYDOWN, vk, 1 | (scan << 16));
  post(hwnd, WM_KEYUP, vk, 1 | (scan << 16) | (3u << 30));
}

bool AppDriver::save_screenshot(const std::string& name, HWND window) const {
  char folder[MAX_PATH] = {};
  if (!GetEnvironmentVariableA("LANCHUAN_ARTIFACT_DIR", folder, MAX_PATH)) return false;
  RECT r{};
  GetWindowRect(window ? window : main_, &r);
  const int width = r.right - r.left;
  const int height = r.bottom - r.top;
  std::vector<unsigned char> bytes;
  {
    win32::window_dc screen(nullptr);
    win32::unique_hdc memory(CreateCompatibleDC(screen.get()));
    win32::unique_hbitmap bitmap(CreateCompatibleBitmap(screen.get(), width, height));
    if (!memory || !bitmap) return false;
    {
      win32::select_object selection(memory.get(), bitmap.get());
      BitBlt(memory.get(), 0, 0, width, height, screen.get(), r.left, r.top, SRCCOPY);
    }
    bytes = bmp_file(memory.get(), bitmap.get(), width, height);
  }
  std::ofstream out(windows_folder(folder) + "\\" + name + ".bmp", std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(out);
}

}  // namespace lanchuan::e2e
