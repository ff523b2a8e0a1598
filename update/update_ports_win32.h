// The update check's ports on Windows: the WinINet fetch, the new-version
// prompt, the shell's download dialog and opening an address in the browser.
#pragma once

#include <windows.h>
#include <wininet.h>

#include <string>

#include "update/update_ports.h"

namespace lanchuan::win32 {

// One HTTP GET, made on a worker thread while the caller's windows keep
// answering. WinINet is loaded at the first fetch and kept; so is the one
// internet handle, which is closed with this object. A body longer than
// kMaxUpdateFileBytes is not returned: the fetch stops reading there and
// gives the empty result, like any other failure; so does a fetch that has
// not ended within kUpdateFetchDeadlineMs.
class Win32UrlFetcher : public UrlFetcher {
 public:
  Win32UrlFetcher() = default;
  ~Win32UrlFetcher() override;
  Win32UrlFetcher(const Win32UrlFetcher&) = delete;
  Win32UrlFetcher& operator=(const Win32UrlFetcher&) = delete;
  std::string fetch_url_bytes(const std::string& url) override;

 private:
  HINTERNET session_ = nullptr;
  bool worker_left_ = false;  // a worker outlived its deadline and may still use it
};

// A task-modal OK/Cancel box with the question-mark icon and no owner.
class Win32UserPrompt : public UserPrompt {
 public:
  bool ask_ok_cancel(const std::string& text, const std::string& title) override;
};

// DoFileDownload of "shdocvw.dll", looked up at its first use; the program
// ends with the runtime error box when it cannot be found.
class Win32FileDownloader : public FileDownloader {
 public:
  void download_new_version(const std::string& address) override;
};

// ShellExecuteA "open", owned by an Internet Explorer window when one exists.
class Win32WebOpener : public WebOpener {
 public:
  void open_web_address(const std::string& address) override;
};

}  // namespace lanchuan::win32
