#include "timesync/time_query_win32.h"

#include <windows.h>

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "platform/win32/com_win32.h"
#include "platform/win32/thread_win32.h"

namespace lanchuan::win32 {
namespace {

constexpr const wchar_t* kProgId = L"WinHttp.WinHttpRequest.5.1";
constexpr int kOptionEnableRedirects = 6;
// Reading a header of an answer that is in already.
constexpr int kHeaderWaitMs = 5000;

VARIANT int_arg(int value) {
  VARIANT v;
  VariantInit(&v);
  v.vt = VT_I4;
  v.lVal = value;
  return v;
}

VARIANT bool_arg(bool value) {
  VARIANT v;
  VariantInit(&v);
  v.vt = VT_BOOL;
  v.boolVal = value ? VARIANT_TRUE : VARIANT_FALSE;
  return v;
}

VARIANT text_arg(const std::string& text) {
  VARIANT v;
  VariantInit(&v);
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

  void open(const std::string& verb, const std::string& url) {
    // Arguments in reverse order: async, URL, method.
    std::vector<VARIANT> args = {bool_arg(false), text_arg(url), text_arg(verb)};
    call(L"Open", DISPATCH_METHOD, args, nullptr);
  }

  bool send() {
    std::vector<VARIANT> none;
    return call(L"Send", DISPATCH_METHOD, none, nullptr);
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
      SysFreeString(excep.bstrSource);
      SysFreeString(excep.bstrDescription);
      SysFreeString(excep.bstrHelpFile);
    }
    for (VARIANT& v : args) VariantClear(&v);
    args.clear();
    return ok;
  }

  ComPtr<IDispatch> dispatch_;
};

ComPtr<IDispatch> create_request_object(const CLSID& clsid) {
  ComPtr<IDispatch> dispatch;
  if (FAILED(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER,
                              IID_IDispatch, dispatch.put_void()))) {
    dispatch.reset();
  }
  return dispatch;
}

// What the caller's thread and the request's own thread share. The caller
// writes the request's set-up, then waits for the send with a deadline; after
// it, it asks for headers one at a time. Either side may be the last to let go.
struct Exchange {
  std::mutex mutex;
  std::condition_variable changed;
  CLSID clsid{};
  std::vector<int> timeouts;
  int follow_redirects = -1;
  std::string verb;
  std::string url;
  bool sent = false;      // Send has returned
  bool answered = false;  // ...successfully
  bool finished = false;  // the caller wants nothing more
  std::optional<std::string> header_asked;
  std::optional<std::string> header_given;
};

// The request's own thread: the object is made, sent and asked here, so that
// a send that outlasts its deadline holds only this thread, never the caller.
void run_request(const std::shared_ptr<Exchange>& x) {
  ComApartment apartment;
  std::unique_lock<std::mutex> lock(x->mutex);
  ComPtr<IDispatch> dispatch = create_request_object(x->clsid);
  bool answered = false;
  if (dispatch) {
    RequestObject request(std::move(dispatch));
    const std::vector<int> timeouts = x->timeouts;
    const int follow = x->follow_redirects;
    const std::string verb = x->verb;
    const std::string url = x->url;
    lock.unlock();
    request.set_timeouts(timeouts);
    request.set_redirect_option(follow);
    request.open(verb, url);
    // Some implementations reset the time-outs and options on Open; writing
    // them again afterwards gives the same request everywhere.
    request.set_timeouts(timeouts);
    request.set_redirect_option(follow);
    answered = request.send();
    lock.lock();
    x->sent = true;
    x->answered = answered;
    x->changed.notify_all();
    while (!x->finished) {
      if (x->header_asked) {
        const std::string name = *x->header_asked;
        x->header_asked.reset();
        lock.unlock();
        std::string value = request.response_header(name);
        lock.lock();
        x->header_given = std::move(value);
        x->changed.notify_all();
      }
      x->changed.wait(lock, [&] { return x->finished || x->header_asked.has_value(); });
    }
    lock.unlock();
    return;  // the object is released here, on its own thread
  }
  x->sent = true;
  x->changed.notify_all();
}

class WinHttpRequest : public HeadRequest {
 public:
  explicit WinHttpRequest(const CLSID& clsid) : x_(std::make_shared<Exchange>()) {
    x_->clsid = clsid;
  }
  ~WinHttpRequest() override {
    std::lock_guard<std::mutex> lock(x_->mutex);
    x_->finished = true;
    x_->changed.notify_all();
  }

  void set_timeouts(int resolve_ms, int connect_ms, int send_ms, int receive_ms) override {
    x_->timeouts = {resolve_ms, connect_ms, send_ms, receive_ms};
  }

  void set_follow_redirects(bool follow) override { x_->follow_redirects = follow ? 1 : 0; }

  void open(const std::string& verb, const std::string& url) override {
    x_->verb = verb;
    x_->url = url;
  }

  bool send(int deadline_ms) override {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(deadline_ms);
    if (!start_detached_thread([x = x_] { run_request(x); })) return false;
    std::unique_lock<std::mutex> lock(x_->mutex);
    // Past the deadline the thread is left to end on its own: when the
    // server lets go, or with the program.
    if (!x_->changed.wait_until(lock, deadline, [&] { return x_->sent; })) return false;
    sent_ = x_->answered;
    return sent_;
  }

  std::string response_header(const std::string& name) override {
    if (!sent_) return std::string();
    std::unique_lock<std::mutex> lock(x_->mutex);
    x_->header_given.reset();
    x_->header_asked = name;
    x_->changed.notify_all();
    // The headers are in already; reading one takes no network wait.
    x_->changed.wait_for(lock, std::chrono::milliseconds(kHeaderWaitMs),
                         [&] { return x_->header_given.has_value(); });
    return x_->header_given.value_or(std::string());
  }

 private:
  std::shared_ptr<Exchange> x_;
  bool sent_ = false;
};

}  // namespace

std::unique_ptr<HeadRequest> WinHttpRequestFactory::create() {
  CLSID clsid;
  if (FAILED(CLSIDFromProgID(kProgId, &clsid))) return nullptr;
  return std::make_unique<WinHttpRequest>(clsid);
}

std::uint32_t Win32TickCounter::tick_ms() { return GetTickCount(); }

}  // namespace lanchuan::win32
