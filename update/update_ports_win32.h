// The update check's ports on Windows: the WinINet fetch, the new-version
// prompt, the shell's download dialog and opening an address in the browser.
#pragma once

#include <windows.h>
#include <wininet.h>

#include <string>

#include "update/update_ports.h"

namespace lanchuan::win32 {

// One HTTP GET. WinINet is loaded for each fetch and let go once the fetch
// (and a worker left behind at the deadline) is done with it: the update
// check needs it once per start, and with what it brings along it would keep
// a few megabytes for the rest of the day. A body longer than
// kMaxUpdateFileBytes is not returned: the fetch stops reading there and
// gives the empty result, like any other failure; so does a fetch that has
// not ended within kUpdateFetchDeadlineMs.
class Win32UrlFetcher : public UrlFetcher {
 public:
  std::string fetch_url_bytes(const std::string& url) override;
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
