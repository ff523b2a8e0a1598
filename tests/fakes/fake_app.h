// One App wired to fakes only. The logon and update ports are plain recording
// stubs here; tests that need more of them script these members.
#pragma once

#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "app/app.h"
#include "fakes/fake_controls.h"
#include "fakes/fake_system.h"
#include "fakes/fake_window.h"

namespace lanchuan::fakes {

struct CreatedShortcut {
  std::string path;
  ShortcutFields fields;
};

// Files are a set of paths; creating one adds it when `create_result` is true.
class FakeLogonShortcuts : public LogonShortcuts {
 public:
  std::string startup_folder() override {
    ++startup_folder_reads;
    return folder;
  }
  std::string program_folder() override { return program_dir; }
  std::string program_file_name() override { return program_file; }
  bool create_shortcut(const std::string& path, const ShortcutFields& fields) override {
    created.push_back({path, fields});
    if (create_result) files.insert(path);
    return create_result;
  }
  void delete_file(const std::string& path) override {
    deleted.push_back(path);
    if (delete_result) files.erase(path);
  }
  bool file_exists(const std::string& path) override {
    existence_checks.push_back(path);
    return files.count(path) != 0;
  }

  std::string folder;
  std::string program_dir;
  std::string program_file;
  bool create_result = true;
  bool delete_result = true;
  std::set<std::string> files;
  int startup_folder_reads = 0;
  std::vector<CreatedShortcut> created;
  std::vector<std::string> deleted;
  std::vector<std::string> existence_checks;
};

// Per-URL bodies; any other URL gives the empty body of a failed fetch.
class FakeUrlFetcher : public UrlFetcher {
 public:
  std::string fetch_url_bytes(const std::string& url) override {
    fetched.push_back(url);
    auto it = bodies.find(url);
    return it == bodies.end() ? std::string() : it->second;
  }
  std::map<std::string, std::string> bodies;
  std::vector<std::string> fetched;
};

struct PromptCall {
  std::string text;
  std::string title;
};

class FakeUserPrompt : public UserPrompt {
 public:
  bool ask_ok_cancel(const std::string& text, const std::string& title) override {
    asked.push_back({text, title});
    return answer_ok;
  }
  bool answer_ok = false;
  std::vector<PromptCall> asked;
};

class FakeFileDownloader : public FileDownloader {
 public:
  void download_new_version(const std::string& address) override { downloads.push_back(address); }
  std::vector<std::string> downloads;
};

class FakeWebOpener : public WebOpener {
 public:
  void open_web_address(const std::string& address) override { opened.push_back(address); }
  std::vector<std::string> opened;
};

// Members before `app`, which holds references to them. Not copyable: the
// references would dangle.
struct FakeApp {
  FakeApp() = default;
  FakeApp(const FakeApp&) = delete;
  FakeApp& operator=(const FakeApp&) = delete;

  FakeControls controls;
  FakeBalloon balloon;
  FakeCanvas canvas;
  FakeClock clock;
  FakeNetwork network;
  FakePump pump;
  FakeSettingsStore settings;
  FakeScreen screen;
  FakeMainWindow window;
  FakeTimeQuery time_query;
  FakeLogonShortcuts logon;
  FakeUrlFetcher fetcher;
  FakeUserPrompt prompt;
  FakeFileDownloader downloader;
  FakeWebOpener web;

  App app{AppPorts{controls, balloon, canvas, clock, network, pump, settings, screen, window,
                   time_query, logon, fetcher, prompt, downloader, web}};
};

}  // namespace lanchuan::fakes
