// LanchuanTimeSync.exe: start-up, the main window and the message loop. The
// command line and the environment are never read.
#include <windows.h>

#include <cstdlib>

#include "app/app.h"
#include "app/logon_win32.h"
#include "app/settings_win32.h"
#include "app/system_ports_win32.h"
#include "platform/win32/com_win32.h"
#include "platform/win32/fatal_win32.h"
#include "timesync/time_query_win32.h"
#include "ui/main_window_win32.h"
#include "update/update_ports_win32.h"

namespace {

// Runs until the main window is destroyed (WM_QUIT).
void run_message_loop(lanchuan::win32::Win32MessagePump& pump) {
  MSG msg;
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) pump.dispatch(msg);
}

}  // namespace

// The standard library's default handler for an exception nobody caught
// prints its type name to stderr, which a GUI program does not have, and then
// aborts; its name demangler alone is 45 KB of the program file. This one
// only aborts, which is all a user of this program would see of the other.
namespace __gnu_cxx {
void __verbose_terminate_handler() { std::abort(); }
}  // namespace __gnu_cxx

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  using namespace lanchuan;
  using namespace lanchuan::win32;
  restrict_library_search();

  Win32Clock clock;
  Win32NetworkState network;
  Win32MessagePump pump;
  Win32SettingsStore settings;
  Win32Screen screen;
  WinHttpRequestFactory requests;
  Win32TickCounter ticks;
  HttpTimeQuery time_query(requests, ticks);
  Win32LogonShortcuts logon;
  Win32UrlFetcher fetcher;
  Win32UserPrompt prompt;
  Win32FileDownloader downloader;
  Win32WebOpener web;

  MainWindowWin32 window(instance);
  App app(AppPorts{window.controls(), window.balloon(), window.canvas(), clock, network, pump,
                   settings, screen, window, time_query, logon, fetcher, prompt, downloader, web});
  // Every loop that handles messages, the calibration's waits included, sees
  // the window's keys first.
  pump.set_pre_translate([&window](MSG& msg) { return window.pre_translate(msg); });

  // A window that cannot be made is a failed start, not a normal end.
  if (!window.create(app)) return 1;
  // COM serves only the time query and the logon shortcut: it is set up once
  // the window is up, not before.
  ComApartment com;
  run_message_loop(pump);
  return 0;
}
