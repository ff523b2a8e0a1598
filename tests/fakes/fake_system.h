// The system side of the handlers' ports: clock, network state, settings file,
// time query, message pump and screen, all in memory and scriptable. Nothing
// here touches the real clock, file system or network.
#pragma once

#include <cstddef>
#include <functional>
#include <map>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "app/ports.h"
#include "timesync/time_query.h"

namespace lanchuan::fakes {

// A settable "now"; setting the time records the parts and, when the scripted
// result is true, moves "now" there, as the real clock would.
class FakeClock : public Clock {
 public:
  DateTime now_local() override {
    ++reads;
    return now;
  }
  bool set_local_time(const DateTimeParts& parts) override {
    set_calls.push_back(parts);
    if (set_result) {
      DateTime moved;
      if (make_date_time(parts.year, parts.month, parts.day, parts.hour, parts.minute, parts.second,
                         moved)) {
        now = moved;
      }
    }
    return set_result;
  }

  DateTime now;
  bool set_result = true;
  int reads = 0;
  std::vector<DateTimeParts> set_calls;
};

class FakeNetwork : public NetworkState {
 public:
  bool connected() override {
    ++checks;
    return is_connected;
  }
  bool is_connected = true;
  int checks = 0;
};

struct SettingsWrite {
  std::string section;
  std::string key;
  std::string value;
  bool operator==(const SettingsWrite& o) const {
    return section == o.section && key == o.key && value == o.value;
  }
};

struct SettingsRead {
  std::string section;
  std::string key;
  std::string default_value;
  bool operator==(const SettingsRead& o) const {
    return section == o.section && key == o.key && default_value == o.default_value;
  }
};

inline std::ostream& operator<<(std::ostream& os, const SettingsWrite& w) {
  return os << "[" << w.section << "] " << w.key << "=" << w.value;
}
inline std::ostream& operator<<(std::ostream& os, const SettingsRead& r) {
  return os << "[" << r.section << "] " << r.key << " (default " << r.default_value << ")";
}

// The profile functions' semantics on an in-memory file: a missing key gives
// the default, at most 10239 bytes of a value come back, a write creates or
// replaces.
class FakeSettingsStore : public SettingsStore {
 public:
  static constexpr std::size_t kMaxValueBytes = 10239;

  std::string read(const std::string& section, const std::string& key,
                   const std::string& default_value) override {
    reads.push_back({section, key, default_value});
    auto it = values.find({section, key});
    const std::string& found = it == values.end() ? default_value : it->second;
    return found.substr(0, kMaxValueBytes);
  }
  void write(const std::string& section, const std::string& key,
             const std::string& value) override {
    writes.push_back({section, key, value});
    values[{section, key}] = value;
  }

  void put(const std::string& section, const std::string& key, const std::string& value) {
    values[{section, key}] = value;
  }
  bool has(const std::string& section, const std::string& key) const {
    return values.count({section, key}) != 0;
  }
  std::string value(const std::string& section, const std::string& key) const {
    auto it = values.find({section, key});
    return it == values.end() ? std::string() : it->second;
  }
  bool was_read(const std::string& section, const std::string& key) const {
    for (const SettingsRead& r : reads) {
      if (r.section == section && r.key == key) return true;
    }
    return false;
  }

  std::map<std::pair<std::string, std::string>, std::string> values;
  std::vector<SettingsRead> reads;
  std::vector<SettingsWrite> writes;
};

// Per-URL answers; every other URL fails. `on_query` runs inside the query,
// before it answers, to look at the window while the run is trying.
class FakeTimeQuery : public TimeQuery {
 public:
  bool query_server_time(const std::string& url, DateTime& server_time) override {
    tried.push_back(url);
    if (on_query) on_query(url);
    auto it = answers.find(url);
    if (it == answers.end()) return false;
    server_time = it->second;
    return true;
  }

  std::map<std::string, DateTime> answers;
  std::vector<std::string> tried;
  std::function<void(const std::string&)> on_query;
};

struct PumpCall {
  bool waited;  // false: process_pending
  int ms;
  bool operator==(const PumpCall& o) const { return waited == o.waited && ms == o.ms; }
};

inline std::ostream& operator<<(std::ostream& os, const PumpCall& c) {
  return c.waited ? os << "wait " << c.ms : os << "pending";
}

// Records every wait and can deliver events inside one: `at_wait[n]` runs once,
// inside the n-th wait_processing call (1-based, nested calls counted too), and
// `on_every_wait` / `on_pending` run inside every call. An event delivered in
// a wait may itself wait; the numbering goes on through such nested calls.
class FakePump : public MessagePump {
 public:
  void wait_processing(int ms) override {
    calls.push_back({true, ms});
    const int n = ++waits;
    auto it = at_wait.find(n);
    if (it != at_wait.end()) {
      std::function<void()> event = std::move(it->second);
      at_wait.erase(it);
      event();
    }
    if (on_every_wait) on_every_wait(ms);
  }
  void process_pending() override {
    calls.push_back({false, 0});
    if (on_pending) on_pending();
  }

  std::vector<PumpCall> calls;
  int waits = 0;
  std::map<int, std::function<void()>> at_wait;
  std::function<void(int)> on_every_wait;
  std::function<void()> on_pending;
};

class FakeScreen : public Screen {
 public:
  int width() override { return screen_width; }
  int height() override { return screen_height; }
  int screen_width = 1024;
  int screen_height = 768;
};

}  // namespace lanchuan::fakes
