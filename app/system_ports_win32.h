// The system ports of the application on Windows: clock, network state,
// message pump, screen.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

#include "app/ports.h"

namespace lanchuan::win32 {

class Win32Clock : public Clock {
 public:
  DateTime now_local() override;
  bool set_local_time(const DateTimeParts& parts) override;
};

// InternetGetConnectedState, looked up by name at each call (WinINet is
// loaded for the call only); connected only when it returns exactly 1.
class Win32NetworkState : public NetworkState {
 public:
  bool connected() override;
};

class Win32MessagePump : public MessagePump {
 public:
  // Called for every message before it is dispatched; true swallows it.
  using PreTranslate = std::function<bool(MSG&)>;
  void set_pre_translate(PreTranslate fn) { pre_translate_ = std::move(fn); }
  void wait_processing(int ms) override;
  void process_pending() override;
  // Dispatches one message through the pre-translation; false on WM_QUIT.
  bool dispatch(MSG& msg);

 private:
  // Handles queued messages; false once WM_QUIT was seen (it is re-posted so
  // that the main loop ends too).
  bool drain();
  PreTranslate pre_translate_;
};

class Win32Screen : public Screen {
 public:
  int width() override { return GetSystemMetrics(SM_CXSCREEN); }
  int height() override { return GetSystemMetrics(SM_CYSCREEN); }
};

}  // namespace lanchuan::win32
