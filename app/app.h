// The application shell's shared state and the ports every handler reaches the
// window and the system through. One App lives for the whole run, on the UI
// thread; the Win32 program wires real ports, the unit tests wire fakes.
#pragma once

#include <string>

#include "app/ports.h"
#include "base/datetime.h"
#include "timesync/time_query.h"
#include "update/update_ports.h"

namespace lanchuan {

struct AppState {
  DateTime server_time;
  bool server_time_valid = false;
  bool auto_exit_pending = false;
  bool delayed_run_done = true;
  int exit_countdown = 5;
  std::string saved_interval_text;
  bool hidden_to_tray = false;
  std::string status_link;
  int clock_centre_x = 0;
  int clock_centre_y = 0;
};

struct AppPorts {
  Controls& controls;
  BalloonTip& balloon;
  Canvas& canvas;
  Clock& clock;
  NetworkState& network;
  MessagePump& pump;
  SettingsStore& settings;
  Screen& screen;
  MainWindow& window;
  TimeQuery& time_query;
  LogonShortcuts& logon;
  UrlFetcher& fetcher;
  UserPrompt& prompt;
  FileDownloader& downloader;
  WebOpener& web;
};

struct App {
  explicit App(const AppPorts& p) : ports(p) {}
  AppPorts ports;
  AppState state;
};

}  // namespace lanchuan
