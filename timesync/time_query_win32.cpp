#include "timesync/time_query_win32.h"

#include <windows.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "platform/win32/com_win32.h"
#include "platform/win32/thread_win32.h"
#include "platform/win32/wait_win32.h"

namespace lanchuan::win32 {
namespace {

constexpr const wchar_t* kProgId = L"WinHttp.WinHttpRequest.5.1";
constexpr int kOptionEnableRedirects = 6;
// IWinHttpRequest::SetProxy's HTTPREQUEST_PROXYSETTING_PROXY and
// SetCredentials' HTTPREQUEST_SETCREDENTIALS_FOR_PROXY (httprequest.idl;
// learn.microsoft.com, "IWinHttpRequest::SetProxy method" and
// "IWinHttpRequest::SetCredentials method").
constexpr int kProxySettingProxy = 2;
constexpr int kCredentialsForProxy = 1;
// Reading a header of an answer that is in already.
constexpr int kHeaderWaitMs = 5000;
// The worker's last wait for the answer ends within a second of its deadline.
constexpr int kWorkerSlackMs = 1500;
// How long the end of a request waits for its thread to let go of the object.
constexpr DWORD kWorkerEndWaitMs = 2000;

VARIANT int_arg(int value) {
  VARIANT v;
  variant_init(&v);
  v.vt = VT_I4;
  v.lVal = value;
  return v;
}

VARIANT bool_arg(bool value) {
  VARIANT v;
  variant_init(&v);
  v.vt = VT_BOOL;
  v.boolVal = value ? VARIANT_TRUE : VARIANT_FALSE;
  return v;
}

VARIANT text_arg(const std::string& text) {
  VARIANT v;
  variant_init(&v);
  v.vt = VT_BSTR;
  v.bstrVal = Bstr(to_wide(text)).release();
  return v;
}

// The automation object itself, driven by member name. It lives and dies on
// one thread: the one that created it.
class RequestObject {
 public:
  explicit RequestObject(ComPtr<IDispatch> dispatch) : dispatch_(std::move(dispatch)) {}

  void set_timeouts(const std::vector<int>& t) {
    if (t.size() != 4) return;
    std::vector<VARIANT> args = {int_arg(t[3]), int_arg(t[2]), int_arg(t[1]), int_arg(t[0])};
    call(L"SetTimeouts", DISPATCH_METHOD, args, nullptr);
  }

  void set_redirect_option(int follow) {
    if (follow < 0) return;
    // Property put Option(6) = value: the value comes first in reverse order.
    std::vector<VARIANT> args = {int_arg(follow), int_arg(kOptionEnableRedirects)};
    call(L"Option", DISPATCH_PROPERTYPUT, args, nullptr);
  }

  // Asynchronous: Send returns at once, and WaitForResponse then waits with a
  // limit of its own, which the object's per-packet time-outs do not give.
  void open(const std::string& verb, const std::string& url) {
    // Arguments in reverse order: async, URL, method.
    std::vector<VARIANT> args = {bool_arg(true), text_arg(url), text_arg(verb)};
    call(L"Open", DISPATCH_METHOD, args, nullptr);
  }

  // Before Open, as in the example of "IWinHttpRequest::SetProxy method"
  // (learn.microsoft.com), which adds that a call after Send has no effect.
  void set_proxy(const std::string& host_port) {
    std::vector<VARIANT> args = {text_arg(host_port), int_arg(kProxySettingProxy)};
    call(L"SetProxy", DISPATCH_METHOD, args, nullptr);
  }

  // After a successful Open, before Send: the documentation says it fails
  // before Open has completed.
  void set_proxy_credentials(const std::string& user, const std::string& password) {
    std::vector<VARIANT> args = {int_arg(kCredentialsForProxy), text_arg(password), text_arg(user)};
    call(L"SetCredentials", DISPATCH_METHOD, args, nullptr);
  }

  // After Open, which the documentation requires ("IWinHttpRequest::
  // SetRequestHeader method", learn.microsoft.com).
  void set_request_header(const std::string& name, const std::string& value) {
    std::vector<VARIANT> args = {text_arg(value), text_arg(name)};
    call(L"SetRequestHeader", DISPATCH_METHOD, args, nullptr);
  }

  // The answer's status; 0 when it cannot be read.
  int status() {
    std::vector<VARIANT> none;
    Variant result;
    if (!call(L"Status", DISPATCH_PROPERTYGET, none, result.get())) return 0;
    return result.ref().vt == VT_I4 ? static_cast<int>(result.ref().lVal) : 0;
  }

  bool send() {
    std::vector<VARIANT> none;
    return call(L"Send", DISPATCH_METHOD, none, nullptr);
  }

  enum class Wait { kAnswered, kStillWaiting, kFailed };

  // Whether the answer's head came in within `seconds`; a request that ended
  // in an error makes the call itself fail.
  Wait wait_for_response(int seconds) {
    std::vector<VARIANT> args = {int_arg(seconds)};
    Variant result;
    if (!call(L"WaitForResponse", DISPATCH_METHOD, args, result.get())) return Wait::kFailed;
    const bool in = result.ref().vt == VT_BOOL && result.ref().boolVal == VARIANT_TRUE;
    return in ? Wait::kAnswered : Wait::kStillWaiting;
  }

  void abort() {
    std::vector<VARIANT> none;
    call(L"Abort", DISPATCH_METHOD, none, nullptr);
  }

  std::string response_header(const std::string& name) {
    std::vector<VARIANT> args = {text_arg(name)};
    Variant result;
    if (!call(L"GetResponseHeader", DISPATCH_METHOD, args, result.get())) return std::string();
    if (result.ref().vt != VT_BSTR || result.ref().bstrVal == nullptr) return std::string();
    // The text ends at its first NUL: Wine's BSTR length counts the
    // terminator of the header buffer as well.
    return to_narrow(std::wstring(result.ref().bstrVal));
  }

 private:
  // Invokes a member by name; takes ownership of `args` and clears them. A
  // failure is only reported through the result, never thrown.
  bool call(const wchar_t* member, WORD flags, std::vector<VARIANT>& args, VARIANT* result) {
    DISPID id = 0;
    LPOLESTR name = const_cast<LPOLESTR>(member);
    bool ok = SUCCEEDED(dispatch_->GetIDsOfNames(IID_NULL, &name, 1, LOCALE_USER_DEFAULT, &id));
    if (ok) {
      DISPID put_id = DISPID_PROPERTYPUT;
      DISPPARAMS params = {};
      params.rgvarg = args.empty() ? nullptr : args.data();
      params.cArgs = static_cast<UINT>(args.size());
      if (flags == DISPATCH_PROPERTYPUT) {
        params.rgdispidNamedArgs = &put_id;
        params.cNamedArgs = 1;
      }
      EXCEPINFO excep = {};
      UINT arg_err = 0;
      ok = SUCCEEDED(dispatch_->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params, result,
                                       &excep, &arg_err));
      sys_free_string(excep.bstrSource);
      sys_free_string(excep.bstrDescription);
      sys_free_string(excep.bstrHelpFile);
    }
    for (VARIANT& v : args) variant_clear(&v);
    args.clear();
    return ok;
  }

  ComPtr<IDispatch> dispatch_;
};

ComPtr<IDispatch> create_request_object(const CLSID& clsid) {
  ComPtr<IDispatch> dispatch;
  if (FAILED(co_create_instance(clsid, CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER, IID_IDispatch,
                                dispatch.put_void()))) {
    dispatch.reset();
  }
  return dispatch;
}

// What the caller's thread and the request's thread share, under the mutex.
// The caller asks (send, a header, the end) through one event, the worker
// answers through the other, which the caller waits on while its windows keep
// answering. Plain events: the send is asked for after the round trip's start
// was read, so the worker must wake at once.
struct Exchange {
  enum class Stage { kOpening, kOpened, kSending, kAnswered, kFailed };

  std::mutex mutex;
  unique_handle asked{CreateEventA(nullptr, FALSE, FALSE, nullptr)};
  unique_handle answered{CreateEventA(nullptr, FALSE, FALSE, nullptr)};
  Stage stage = Stage::kOpening;
  int send_deadline_ms = -1;  // >= 0 once the caller asked for the send
  bool finished = false;      // the caller wants nothing more
  std::optional<std::string> header_asked;
  std::optional<std::string> header_given;

  // Under the lock.
  void answer(Stage next) {
    stage = next;
    SetEvent(answered.get());
  }

  // The worker's wait for the caller: true once `asked_for` holds (read under
  // `lock`), false when `deadline` passed first.
  template <typename Pred>
  bool wait_asked(std::unique_lock<std::mutex>& lock,
                  std::chrono::steady_clock::time_point deadline, Pred asked_for) {
    while (!asked_for()) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
          deadline - std::chrono::steady_clock::now());
      if (left.count() <= 0) return false;
      lock.unlock();
      const DWORD woke = WaitForSingleObject(asked.get(), static_cast<DWORD>(left.count()));
      lock.lock();
      if (woke == WAIT_FAILED) return asked_for();
    }
    return true;
  }

  // The caller's side, under the lock.
  void ask() { SetEvent(asked.get()); }
};

struct RequestSetup {
  CLSID clsid{};
  std::vector<int> timeouts;
  int follow_redirects = -1;
  std::string verb;
  std::string url;
  HttpProxy proxy;  // not set: the system's settings, as ever
  bool ask_no_cache = false;
};

// Sends and waits for the answer's head until `deadline`, in the object's
// whole seconds, then gives up on it: the object's own time-outs restart with
// every packet and bound neither a dripping server nor (under Wine) a silent
// one.
bool send_until(RequestObject& request, std::chrono::steady_clock::time_point deadline) {
  if (!request.send()) return false;
  for (;;) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) break;
    const int seconds = std::max<int>(1, static_cast<int>(left.count() / 1000));
    const RequestObject::Wait waited = request.wait_for_response(seconds);
    if (waited == RequestObject::Wait::kAnswered) return true;
    if (waited == RequestObject::Wait::kFailed) return false;
  }
  request.abort();
  return false;
}

// The request's own thread. The object is made, opened, sent and asked here,
// and released here before the thread ends: at the latest a second after the
// send's deadline, or when the caller stops asking.
void run_request(const std::shared_ptr<Exchange>& x, const RequestSetup& setup) {
  using Clock = std::chrono::steady_clock;
  using Stage = Exchange::Stage;
  ComApartment apartment;
  ComPtr<IDispatch> dispatch = create_request_object(setup.clsid);
  std::unique_lock<std::mutex> lock(x->mutex);
  if (!dispatch) {
    x->answer(Stage::kFailed);
    return;
  }
  lock.unlock();
  RequestObject request(std::move(dispatch));
  request.set_timeouts(setup.timeouts);
  request.set_redirect_option(setup.follow_redirects);
  if (setup.proxy.set()) request.set_proxy(setup.proxy.host_port());
  request.open(setup.verb, setup.url);
  if (!setup.proxy.user.empty()) {
    request.set_proxy_credentials(setup.proxy.user, setup.proxy.password);
  }
  if (setup.ask_no_cache) {
    request.set_request_header("Cache-Control", "no-cache");
    request.set_request_header("Pragma", "no-cache");
  }
  // Some implementations reset the time-outs and options on Open; writing
  // them again afterwards gives the same request everywhere.
  request.set_timeouts(setup.timeouts);
  request.set_redirect_option(setup.follow_redirects);
  lock.lock();
  x->answer(Stage::kOpened);

  // The caller sends right after the open; one that does not within a whole
  // exchange's time is not waited for.
  const auto open_deadline = Clock::now() + std::chrono::milliseconds(kTimeQueryDeadlineMs);
  if (!x->wait_asked(lock, open_deadline,
                     [&] { return x->finished || x->send_deadline_ms >= 0; }) ||
      x->finished) {
    return;
  }
  const auto send_deadline = Clock::now() + std::chrono::milliseconds(x->send_deadline_ms);
  x->stage = Stage::kSending;
  lock.unlock();
  // Through a proxy, its own refusal (of the CONNECT, say) is no answer of
  // the server's, whatever Date it carries.
  const bool ok = send_until(request, send_deadline) &&
                  !(setup.proxy.set() && is_proxy_refusal_status(request.status()));
  lock.lock();
  x->answer(ok ? Stage::kAnswered : Stage::kFailed);

  // Headers of an answer that is in already, while the caller asks for them.
  while (ok) {
    if (!x->wait_asked(lock, Clock::now() + std::chrono::milliseconds(kHeaderWaitMs),
                       [&] { return x->finished || x->header_asked.has_value(); }) ||
        x->finished) {
      break;
    }
    const std::string name = *x->header_asked;
    x->header_asked.reset();
    lock.unlock();
    std::string value = request.response_header(name);
    lock.lock();
    x->header_given = std::move(value);
    SetEvent(x->answered.get());
  }
  lock.unlock();
  // The object is released here, on its own thread, before the thread ends.
}

class WinHttpRequest : public HeadRequest {
 public:
  WinHttpRequest(const CLSID& clsid, const HttpProxy* companion)
      : x_(std::make_shared<Exchange>()) {
    setup_.clsid = clsid;
    if (companion) setup_.proxy = *companion;
    setup_.ask_no_cache = companion != nullptr;
  }
  ~WinHttpRequest() override {
    {
      std::lock_guard<std::mutex> lock(x_->mutex);
      x_->finished = true;
      x_->ask();
    }
    // The worker lets go of the object at once unless it is still making it;
    // past this bound it is left to end by its own deadline, owning what it uses.
    if (thread_) wait_answering(thread_.get(), kWorkerEndWaitMs);
  }

  void set_timeouts(int resolve_ms, int connect_ms, int send_ms, int receive_ms) override {
    setup_.timeouts = {resolve_ms, connect_ms, send_ms, receive_ms};
  }

  void set_follow_redirects(bool follow) override { setup_.follow_redirects = follow ? 1 : 0; }

  // The object is made, set up and opened on its thread before this returns,
  // so that none of it counts in the round trip the caller measures.
  void open(const std::string& verb, const std::string& url) override {
    if (thread_ || !x_->answered || !x_->asked) return;
    setup_.verb = verb;
    setup_.url = url;
    thread_ = start_thread([x = x_, setup = setup_] { run_request(x, setup); });
    if (!thread_) return;
    wait_for([&] { return x_->stage != Exchange::Stage::kOpening; }, kTimeQueryDeadlineMs);
  }

  bool send(int deadline_ms) override {
    {
      std::lock_guard<std::mutex> lock(x_->mutex);
      if (!thread_ || x_->stage != Exchange::Stage::kOpened) return false;
      x_->send_deadline_ms = std::max(0, deadline_ms);
      x_->ask();
    }
    // The worker keeps the deadline itself; the slack covers its last wait.
    wait_for(
        [&] {
          return x_->stage == Exchange::Stage::kAnswered || x_->stage == Exchange::Stage::kFailed;
        },
        deadline_ms + kWorkerSlackMs);
    std::lock_guard<std::mutex> lock(x_->mutex);
    sent_ = x_->stage == Exchange::Stage::kAnswered;
    return sent_;
  }

  std::string response_header(const std::string& name) override {
    if (!sent_) return std::string();
    {
      std::lock_guard<std::mutex> lock(x_->mutex);
      x_->header_given.reset();
      x_->header_asked = name;
      x_->ask();
    }
    // The headers are in already; reading one takes no network wait.
    wait_for([&] { return x_->header_given.has_value(); }, kHeaderWaitMs);
    std::lock_guard<std::mutex> lock(x_->mutex);
    return x_->header_given.value_or(std::string());
  }

 private:
  // Waits, answering the thread's windows, until `done` holds (read under the
  // lock) or `timeout_ms` has passed.
  template <typename Done>
  void wait_for(Done done, int timeout_ms) {
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(std::max(0, timeout_ms));
    for (;;) {
      {
        std::lock_guard<std::mutex> lock(x_->mutex);
        if (done()) return;
      }
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
          deadline - std::chrono::steady_clock::now());
      if (left.count() <= 0) return;
      wait_answering(x_->answered.get(), static_cast<DWORD>(left.count()));
    }
  }

  std::shared_ptr<Exchange> x_;
  RequestSetup setup_;
  unique_handle thread_;
  bool sent_ = false;
};

}  // namespace

std::unique_ptr<HeadRequest> WinHttpRequestFactory::create() {
  CLSID clsid;
  if (FAILED(clsid_from_prog_id(kProgId, &clsid))) return nullptr;
  return std::make_unique<WinHttpRequest>(clsid, proxy_);
}

std::uint32_t Win32TickCounter::tick_ms() { return GetTickCount(); }

}  // namespace lanchuan::win32
