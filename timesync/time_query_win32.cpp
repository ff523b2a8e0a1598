#include "timesync/time_query_win32.h"

#include <windows.h>

#include <vector>

#include "platform/win32/com_win32.h"

namespace lanchuan::win32 {
namespace {

constexpr const wchar_t* kProgId = L"WinHttp.WinHttpRequest.5.1";
constexpr int kOptionEnableRedirects = 6;

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

class WinHttpRequest : public HeadRequest {
 public:
  explicit WinHttpRequest(ComPtr<IDispatch> dispatch) : dispatch_(std::move(dispatch)) {}

  void set_timeouts(int resolve_ms, int connect_ms, int send_ms, int receive_ms) override {
    timeouts_ = {resolve_ms, connect_ms, send_ms, receive_ms};
    apply_timeouts();
  }

  void set_follow_redirects(bool follow) override {
    follow_redirects_ = follow;
    apply_redirect_option();
  }

  void open(const std::string& verb, const std::string& url) override {
    // Arguments in reverse order: async, URL, method. Asynchronous, so that
    // send() can bound the whole exchange and abort it.
    std::vector<VARIANT> args = {bool_arg(true), text_arg(url), text_arg(verb)};
    call(L"Open", DISPATCH_METHOD, args, nullptr);
    // Some implementations reset the time-outs and options on Open; writing
    // them again afterwards gives the same request everywhere.
    apply_timeouts();
    apply_redirect_option();
  }

  bool send(int deadline_ms) override {
    std::vector<VARIANT> none;
    if (!call(L"Send", DISPATCH_METHOD, none, nullptr)) return false;
    // WaitForResponse counts whole seconds; it returns false when they ran
    // out and fails when the request itself failed.
    std::vector<VARIANT> seconds = {int_arg((deadline_ms + 999) / 1000)};
    Variant done;
    if (call(L"WaitForResponse", DISPATCH_METHOD, seconds, done.get()) &&
        done.ref().vt == VT_BOOL && done.ref().boolVal != VARIANT_FALSE) {
      return true;
    }
    std::vector<VARIANT> abort_args;
    call(L"Abort", DISPATCH_METHOD, abort_args, nullptr);
    return false;
  }

  std::string response_header(const std::string& name) override {
    std::vector<VARIANT> args = {text_arg(name)};
    Variant result;
    if (!call(L"GetResponseHeader", DISPATCH_METHOD, args, result.get())) return std::string();
    if (result.ref().vt != VT_BSTR || result.ref().bstrVal == nullptr) return std::string();
    // The text ends at its first NUL: Wine's BSTR length counts the
    // terminator of the header buffer as well.
    return to_narrow(std::wstring(result.ref().bstrVal));
  }

 private:
  void apply_timeouts() {
    if (timeouts_.empty()) return;
    std::vector<VARIANT> args = {int_arg(timeouts_[3]), int_arg(timeouts_[2]),
                                 int_arg(timeouts_[1]), int_arg(timeouts_[0])};
    call(L"SetTimeouts", DISPATCH_METHOD, args, nullptr);
  }

  void apply_redirect_option() {
    if (follow_redirects_ < 0) return;
    // Property put Option(6) = value: the value comes first in reverse order.
    std::vector<VARIANT> args = {int_arg(follow_redirects_), int_arg(kOptionEnableRedirects)};
    call(L"Option", DISPATCH_PROPERTYPUT, args, nullptr);
  }

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
      ok = SUCCEEDED(
          dispatch_->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params, result, &excep, &arg_err));
      SysFreeString(excep.bstrSource);
      SysFreeString(excep.bstrDescription);
      SysFreeString(excep.bstrHelpFile);
    }
    for (VARIANT& v : args) VariantClear(&v);
    args.clear();
    return ok;
  }

  ComPtr<IDispatch> dispatch_;
  std::vector<int> timeouts_;
  int follow_redirects_ = -1;
};

}  // namespace

std::unique_ptr<HeadRequest> WinHttpRequestFactory::create() {
  CLSID clsid;
  if (FAILED(CLSIDFromProgID(kProgId, &clsid))) return nullptr;
  ComPtr<IDispatch> dispatch;
  if (FAILED(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER,
                              IID_IDispatch, dispatch.put_void()))) {
    return nullptr;
  }
  return std::make_unique<WinHttpRequest>(std::move(dispatch));
}

std::uint32_t Win32TickCounter::tick_ms() { return GetTickCount(); }

}  // namespace lanchuan::win32
