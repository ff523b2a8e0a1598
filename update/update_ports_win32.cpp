#include "update/update_ports_win32.h"

#include <shellapi.h>

#include <memory>
#include <mutex>
#include <utility>
#include <vector>

#include "base/deadlines.h"
#include "platform/win32/fatal_win32.h"
#include "platform/win32/handles_win32.h"
#include "platform/win32/thread_win32.h"
#include "platform/win32/wait_win32.h"
#include "update/fetch_rules.h"
#include "update/update_config.h"

namespace lanchuan::win32 {
namespace {

// After the deadline's close, the worker has this long to let go and end.
constexpr DWORD kFetchWorkerEndWaitMs = 1000;

// The WinINet functions of the fetch, looked up at the first fetch; the
// library stays loaded from then on (its handles are closed asynchronously
// and its own threads outlast a call).
struct WinInet {
  bool complete = true;  // every function below was found
  decltype(&InternetCrackUrlA) crack_url = look_up(crack_url, "InternetCrackUrlA");
  decltype(&InternetOpenA) open = look_up(open, "InternetOpenA");
  decltype(&InternetConnectA) connect = look_up(connect, "InternetConnectA");
  decltype(&InternetSetOptionA) set_option = look_up(set_option, "InternetSetOptionA");
  decltype(&HttpOpenRequestA) open_request = look_up(open_request, "HttpOpenRequestA");
  decltype(&HttpSendRequestA) send_request = look_up(send_request, "HttpSendRequestA");
  decltype(&HttpQueryInfoA) query_info = look_up(query_info, "HttpQueryInfoA");
  decltype(&InternetReadFile) read_file = look_up(read_file, "InternetReadFile");
  decltype(&InternetCloseHandle) close = look_up(close, "InternetCloseHandle");

  // None when the library or one of its functions is missing.
  static const WinInet* get() {
    static const WinInet lib;
    return lib.complete ? &lib : nullptr;
  }

 private:
  // The member's type picks the function's; the member itself is not read.
  template <typename Fn>
  Fn look_up(const Fn& /*member*/, const char* name) {
    const Fn fn = find<Fn>("wininet.dll", name);
    complete = complete && fn != nullptr;
    return fn;
  }
};

// An internet handle, closed through the library it came from.
class InternetHandle {
 public:
  InternetHandle(const WinInet& lib, HINTERNET handle) : lib_(lib), handle_(handle) {}
  ~InternetHandle() {
    if (handle_) lib_.close(handle_);
  }
  InternetHandle(const InternetHandle&) = delete;
  InternetHandle& operator=(const InternetHandle&) = delete;
  HINTERNET get() const { return handle_; }
  HINTERNET release() { return std::exchange(handle_, nullptr); }
  explicit operator bool() const { return handle_ != nullptr; }

 private:
  const WinInet& lib_;
  HINTERNET handle_;
};

// The pieces of a URL as written, without decoding or re-encoding anything.
struct UrlParts {
  bool secure = false;
  std::string host;
  INTERNET_PORT port = 0;
  std::string user;
  std::string password;
  std::string object;  // path and query
};

std::string piece(const char* start, DWORD length) {
  return start ? std::string(start, length) : std::string();
}

bool split_url(const WinInet& lib, const std::string& url, UrlParts& parts) {
  // Zero buffers with non-zero lengths: InternetCrackUrlA points into the URL
  // itself and decodes nothing.
  URL_COMPONENTSA c{};
  c.dwStructSize = sizeof(c);
  c.dwSchemeLength = 1;
  c.dwHostNameLength = 1;
  c.dwUserNameLength = 1;
  c.dwPasswordLength = 1;
  c.dwUrlPathLength = 1;
  c.dwExtraInfoLength = 1;
  if (!lib.crack_url(url.c_str(), static_cast<DWORD>(url.size()), 0, &c)) return false;
  if (c.nScheme != INTERNET_SCHEME_HTTP && c.nScheme != INTERNET_SCHEME_HTTPS) return false;
  parts.secure = c.nScheme == INTERNET_SCHEME_HTTPS;
  parts.host = piece(c.lpszHostName, c.dwHostNameLength);
  parts.port = c.nPort;
  parts.user = piece(c.lpszUserName, c.dwUserNameLength);
  parts.password = piece(c.lpszPassword, c.dwPasswordLength);
  parts.object =
      piece(c.lpszUrlPath, c.dwUrlPathLength) + piece(c.lpszExtraInfo, c.dwExtraInfoLength);
  return !parts.host.empty();
}

const char* or_null(const std::string& text) { return text.empty() ? nullptr : text.c_str(); }

// The tool sets no proxy of its own: the system's settings apply, and no
// proxy credentials are offered.
void use_system_proxy(const WinInet& lib, HINTERNET internet, HINTERNET connection) {
  INTERNET_PROXY_INFO proxy{};
  proxy.dwAccessType = INTERNET_OPEN_TYPE_PRECONFIG;
  proxy.lpszProxy = nullptr;
  proxy.lpszProxyBypass = nullptr;
  lib.set_option(internet, INTERNET_OPTION_PROXY, &proxy, sizeof(proxy));
  char empty[] = "";
  lib.set_option(connection, INTERNET_OPTION_PROXY_USERNAME, empty, 0);
  lib.set_option(connection, INTERNET_OPTION_PROXY_PASSWORD, empty, 0);
}

std::size_t chunk_size_of(const WinInet& lib, HINTERNET request) {
  char buffer[kContentLengthBuffer] = {};
  DWORD size = sizeof(buffer);
  const bool read =
      lib.query_info(request, HTTP_QUERY_CONTENT_LENGTH, buffer, &size, nullptr) != FALSE;
  return read_chunk_size(read, std::string(buffer, read ? size : 0));
}

std::string read_body(const WinInet& lib, HINTERNET request) {
  std::vector<char> chunk(chunk_size_of(lib, request));
  BodyCollector body(kMaxUpdateFileBytes);
  for (;;) {
    DWORD got = 0;
    if (!lib.read_file(request, chunk.data(), static_cast<DWORD>(chunk.size()), &got) || got == 0) {
      break;
    }
    if (!body.append(chunk.data(), got)) break;
  }
  return body.take();
}

// One fetch, shared by the window's thread and the worker that makes it.
// WinINet's time-outs restart with every byte, so a host that drips its answer
// would hold a blocking call for as long as it likes: at the deadline the
// window's thread closes the request, which ends a blocking call on it
// ("If a thread is blocking a call to Wininet.dll, another thread in the
// application can call InternetCloseHandle on the Internet handle being used
// by the first thread to cancel the operation and unblock the first thread",
// InternetCloseHandle in Microsoft's WinINet reference).
struct FetchJob {
  std::mutex mutex;
  HINTERNET request = nullptr;  // while the worker uses it
  bool out_of_time = false;
  std::string body;
  unique_handle done{CreateEventA(nullptr, TRUE, FALSE, nullptr)};
};

void run_fetch(FetchJob& job, const WinInet& lib, HINTERNET session, const UrlParts& parts) {
  std::string body;
  InternetHandle connection(
      lib, lib.connect(session, parts.host.c_str(), parts.port, or_null(parts.user),
                       or_null(parts.password), INTERNET_SERVICE_HTTP, 0, 0));
  if (connection) {
    use_system_proxy(lib, session, connection.get());
    const char* accept_types[] = {kFetchAcceptType, nullptr};
    DWORD flags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE;
    if (parts.secure) flags |= INTERNET_FLAG_SECURE;
    InternetHandle request(lib, lib.open_request(connection.get(), "GET", parts.object.c_str(),
                                                 "HTTP/1.0", nullptr, accept_types, flags, 0));
    bool go_on = false;
    {
      std::lock_guard<std::mutex> lock(job.mutex);
      go_on = request && !job.out_of_time;
      if (go_on) job.request = request.get();
    }
    if (go_on &&
        lib.send_request(request.get(), kFetchHeaders, static_cast<DWORD>(-1), nullptr, 0)) {
      body = read_body(lib, request.get());
    }
    std::lock_guard<std::mutex> lock(job.mutex);
    if (go_on && job.out_of_time) {
      (void)request.release();  // closed by the window's thread at the deadline
    }
    job.request = nullptr;
    if (!job.out_of_time) job.body = std::move(body);
  }
  SetEvent(job.done.get());
}

}  // namespace

Win32UrlFetcher::~Win32UrlFetcher() {
  // A worker that did not end leaves the handle to the end of the process.
  if (!session_ || worker_left_) return;
  if (const WinInet* lib = WinInet::get()) lib->close(session_);
}

std::string Win32UrlFetcher::fetch_url_bytes(const std::string& url) {
  if (url.empty()) return std::string();
  const WinInet* lib = WinInet::get();
  UrlParts parts;
  if (!lib || !split_url(*lib, url_without_fragment(url), parts)) return std::string();
  // One internet handle, opened at the first fetch and kept.
  if (!session_) session_ = lib->open(kFetchAgent, INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0);
  if (!session_) return std::string();

  auto job = std::make_shared<FetchJob>();
  if (!job->done) return std::string();
  unique_handle worker = start_thread(
      [job, lib, session = session_, parts] { run_fetch(*job, *lib, session, parts); });
  if (!worker) return std::string();
  const bool finished = wait_answering(job->done.get(), kUpdateFetchDeadlineMs);
  if (!finished) {
    std::lock_guard<std::mutex> lock(job->mutex);
    job->out_of_time = true;
    if (job->request) lib->close(job->request);
    job->request = nullptr;
  }
  // The worker lets go of its handles and ends; one that does not is left
  // with what it shares, and the internet handle stays open for it.
  if (!wait_answering(worker.get(), kFetchWorkerEndWaitMs)) worker_left_ = true;
  std::lock_guard<std::mutex> lock(job->mutex);
  return finished ? std::move(job->body) : std::string();
}

bool Win32UserPrompt::ask_ok_cancel(const std::string& text, const std::string& title) {
  return MessageBoxA(nullptr, text.c_str(), title.c_str(),
                     MB_OKCANCEL | MB_ICONQUESTION | MB_TASKMODAL) == IDOK;
}

void Win32FileDownloader::download_new_version(const std::string& address) {
  using MultiByteToWideCharFn = int(WINAPI*)(UINT, DWORD, LPCCH, int, LPWSTR, int);
  using DoFileDownloadFn = HRESULT(WINAPI*)(LPCWSTR);
  static const auto to_wide = require<MultiByteToWideCharFn>("kernel32.dll", "MultiByteToWideChar");
  constexpr UINT kCodePage = CP_OEMCP;
  constexpr DWORD kFlags = MB_COMPOSITE;
  const int units = to_wide(kCodePage, kFlags, address.c_str(), -1, nullptr, 0);
  if (units == 0) return;
  std::vector<wchar_t> wide(static_cast<std::size_t>(units), L'\0');
  to_wide(kCodePage, kFlags, address.c_str(), -1, wide.data(), units);
  static const auto download = require<DoFileDownloadFn>("shdocvw.dll", "DoFileDownload");
  download(wide.data());
}

void Win32WebOpener::open_web_address(const std::string& address) {
  HWND owner = FindWindowA(nullptr, "Microsoft Internet Explorer");
  // The shell's library only when a user opens a page: it is large.
  static const auto shell_execute =
      require<decltype(&::ShellExecuteA)>("shell32.dll", "ShellExecuteA");
  shell_execute(owner, "open", address.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

}  // namespace lanchuan::win32
