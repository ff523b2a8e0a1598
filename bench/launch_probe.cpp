// Start-up timer for the benchmark: starts a program and measures how long it
// takes until a visible top-level window of that process exists, then closes
// the program again.
//   launch_probe.exe CLASS PROGRAM.exe [ARGS...]
// CLASS is the window class to wait for, or "*" for any visible window.
// Prints "startup_ms=N.NNN" and exits 0; exits 1 when no window showed up.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

namespace {

const DWORD kGiveUpMs = 30000;

struct Search {
  DWORD pid;
  const char* window_class;
  HWND found;
};

BOOL CALLBACK check_window(HWND hwnd, LPARAM param) {
  Search& s = *reinterpret_cast<Search*>(param);
  DWORD pid = 0;
  GetWindowThreadProcessId(hwnd, &pid);
  if (pid != s.pid || !IsWindowVisible(hwnd)) return TRUE;
  char name[256] = "";
  GetClassNameA(hwnd, name, sizeof name);
  if (std::strcmp(s.window_class, "*") != 0 && std::strcmp(s.window_class, name) != 0) return TRUE;
  s.found = hwnd;
  return FALSE;
}

std::string quoted(const char* arg) { return std::string("\"") + arg + "\""; }

double elapsed_ms(const LARGE_INTEGER& start, const LARGE_INTEGER& frequency) {
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  return static_cast<double>(now.QuadPart - start.QuadPart) * 1000.0 /
         static_cast<double>(frequency.QuadPart);
}

// Asks the program to close like a user would, and makes sure it is gone.
void close_program(const PROCESS_INFORMATION& pi, HWND window) {
  if (window) PostMessageA(window, WM_CLOSE, 0, 0);
  if (WaitForSingleObject(pi.hProcess, 5000) != WAIT_OBJECT_0) {
    TerminateProcess(pi.hProcess, 1);
    WaitForSingleObject(pi.hProcess, 5000);
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: launch_probe CLASS PROGRAM.exe [ARGS...]\n");
    return 2;
  }
  std::string command_line = quoted(argv[2]);
  for (int i = 3; i < argc; ++i) command_line += " " + quoted(argv[i]);

  LARGE_INTEGER frequency, start;
  QueryPerformanceFrequency(&frequency);
  STARTUPINFOA si = {};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi = {};
  QueryPerformanceCounter(&start);
  if (!CreateProcessA(argv[2], &command_line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si,
                      &pi)) {
    std::fprintf(stderr, "cannot start %s (error %lu)\n", argv[2], GetLastError());
    return 1;
  }
  Search search = {pi.dwProcessId, argv[1], nullptr};
  double ms = 0;
  while (!search.found) {
    EnumWindows(check_window, reinterpret_cast<LPARAM>(&search));
    ms = elapsed_ms(start, frequency);
    if (search.found || ms > kGiveUpMs) break;
    if (WaitForSingleObject(pi.hProcess, 1) == WAIT_OBJECT_0) break;  // it ended first
  }
  close_program(pi, search.found);
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  if (!search.found) {
    std::fprintf(stderr, "no visible '%s' window of %s\n", argv[1], argv[2]);
    return 1;
  }
  std::printf("startup_ms=%.3f\n", ms);
  return 0;
}
