// The system ports of the application on Windows: clock, network state,
// message pump, settings file, screen.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

#include "app/ports.h"

namespace lanchuan::win32 {

// SetLocalTime with the given parts (day of the week included); true when the
// local clock now shows that time.
bool set_local_clock(const DateTimeParts& parts, int milliseconds);

class Win32Clock : public Clock {
 public:
  DateTime now_local() override;
  bool set_local_time(const DateTimeParts& parts) override;
};

// InternetGetConnectedState, looked up by name at its first call; connected
// only when it returns exactly 1.
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

constexpr const char* kSettingsPath = "C:\\Windows\\ZOzavu.ini";
constexpr int kSettingsValueBuffer = 10240;  // at most 10239 bytes of a value

class Win32SettingsStore : public SettingsStore {
 public:
  explicit Win32SettingsStore(std::string path = kSettingsPath) : path_(std::move(path)) {}
  std::string read(const std::string& section, const std::string& key,
                   const std::string& default_value) override;
  void write(const std::string& section, const std::string& key,
             const std::string& value) override;

 private:
  std::string path_;
};

class Win32Screen : public Screen {
 public:
  int width() override { return GetSystemMetrics(SM_CXSCREEN); }
  int height() override { return GetSystemMetrics(SM_CYSCREEN); }
};

}  // namespace lanchuan::win32
