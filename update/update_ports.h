// What the update check needs of the system: the fetch, the new-version
// prompt, the shell's download dialog and the browser. The Win32 adapters are
// in update/update_ports_win32; the unit tests use fakes.
#pragma once

#include <string>

namespace lanchuan {

class UrlFetcher {
 public:
  virtual ~UrlFetcher() = default;
  // The body of one HTTP GET, whatever the status; empty on failure.
  virtual std::string fetch_url_bytes(const std::string& url) = 0;
};

class UserPrompt {
 public:
  virtual ~UserPrompt() = default;
  // A task-modal OK/Cancel question box; true when OK was chosen.
  virtual bool ask_ok_cancel(const std::string& text, const std::string& title) = 0;
};

class FileDownloader {
 public:
  virtual ~FileDownloader() = default;
  // Hands the address to the shell's download dialog.
  virtual void download_new_version(const std::string& address) = 0;
};

class WebOpener {
 public:
  virtual ~WebOpener() = default;
  virtual void open_web_address(const std::string& address) = 0;
};

}  // namespace lanchuan
