// Richer stand-ins for the logon and update tests, built on the stubs of
// fake_app.h: a logon port that logs every call in order and can move the
// Startup folder between reads, and a network check and a fetcher that run a
// hook inside the call, to look at the window at that moment.
#pragma once

#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "fakes/fake_app.h"

namespace lanchuan::fakes {

// `calls` holds "startup_folder", "program_folder", "program_file_name",
// "create <path>", "delete <path>", "exists <path>".
class OrderedLogonShortcuts : public FakeLogonShortcuts {
 public:
  std::string startup_folder() override {
    calls.push_back("startup_folder");
    if (!next_folders.empty()) {
      folder = next_folders.front();
      next_folders.pop_front();
    }
    return FakeLogonShortcuts::startup_folder();
  }
  std::string program_folder() override {
    calls.push_back("program_folder");
    return FakeLogonShortcuts::program_folder();
  }
  std::string program_file_name() override {
    calls.push_back("program_file_name");
    return FakeLogonShortcuts::program_file_name();
  }
  bool create_shortcut(const std::string& path, const ShortcutFields& fields) override {
    calls.push_back("create " + path);
    return FakeLogonShortcuts::create_shortcut(path, fields);
  }
  void delete_file(const std::string& path) override {
    calls.push_back("delete " + path);
    FakeLogonShortcuts::delete_file(path);
  }
  bool file_exists(const std::string& path) override {
    calls.push_back("exists " + path);
    return FakeLogonShortcuts::file_exists(path);
  }

  // Each read of the registry value takes the next of these, if any.
  std::deque<std::string> next_folders;
  std::vector<std::string> calls;
};

class HookedNetwork : public FakeNetwork {
 public:
  bool connected() override {
    if (on_check) on_check();
    return FakeNetwork::connected();
  }
  std::function<void()> on_check;
};

class HookedUrlFetcher : public FakeUrlFetcher {
 public:
  std::string fetch_url_bytes(const std::string& url) override {
    if (on_fetch) on_fetch();
    return FakeUrlFetcher::fetch_url_bytes(url);
  }
  std::function<void()> on_fetch;
};

// FakeApp with the three ports above in place of its own.
struct UpdateFakeApp {
  UpdateFakeApp() = default;
  UpdateFakeApp(const UpdateFakeApp&) = delete;
  UpdateFakeApp& operator=(const UpdateFakeApp&) = delete;

  FakeApp base;
  OrderedLogonShortcuts logon;
  HookedNetwork network;
  HookedUrlFetcher fetcher;
  FakeControls& controls = base.controls;
  FakeUserPrompt& prompt = base.prompt;
  FakeFileDownloader& downloader = base.downloader;
  FakeWebOpener& web = base.web;

  App app{AppPorts{base.controls, base.balloon, base.canvas, base.clock, network, base.pump,
                   base.settings, base.screen, base.window, base.time_query, logon, fetcher,
                   base.prompt, base.downloader, base.web}};
};

}  // namespace lanchuan::fakes
