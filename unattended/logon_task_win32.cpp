#include "unattended/logon_task_win32.h"

#include <windows.h>
// windows.h first: taskschd.h depends on it.
#include <taskschd.h>

#include <cstdio>
#include <vector>

#include "platform/win32/com_win32.h"
#include "platform/win32/handles_win32.h"

namespace lanchuan::win32 {
namespace {

std::string hresult_text(HRESULT hr) {
  char code[16];
  std::snprintf(code, sizeof code, "0x%08lX", static_cast<unsigned long>(hr));
  if (hr == E_ACCESSDENIED) return std::string("access denied, ") + code;
  wchar_t* message = nullptr;
  const DWORD n = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, static_cast<DWORD>(hr), 0, reinterpret_cast<wchar_t*>(&message), 0, nullptr);
  std::wstring text = n > 0 ? std::wstring(message, n) : std::wstring();
  LocalFree(message);
  while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r' || text.back() == L' ' ||
                           text.back() == L'.')) {
    text.pop_back();
  }
  const std::string ansi = to_narrow(text);
  return ansi.empty() ? std::string(code) : ansi + " (" + code + ")";
}

bool is_not_found(HRESULT hr) {
  return hr == HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND) ||
         hr == HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND);
}

// The scheduler's root folder on this computer, as the calling user.
HRESULT root_folder(ComPtr<ITaskFolder>& folder) {
  ComPtr<ITaskService> service;
  // ::TaskScheduler is the coclass of taskschd.h, not the port.
  HRESULT hr = co_create_instance(__uuidof(::TaskScheduler), CLSCTX_INPROC_SERVER,
                                  __uuidof(ITaskService), service.put_void());
  if (FAILED(hr)) return hr;
  Variant none;  // this computer, this user
  hr = service->Connect(none.ref(), none.ref(), none.ref(), none.ref());
  if (FAILED(hr)) return hr;
  Bstr root(L"\\");
  return service->GetFolder(root.get(), folder.put());
}

Bstr task_path() { return Bstr(to_wide(kTaskPath)); }

std::vector<BYTE> token_information(TOKEN_INFORMATION_CLASS kind) {
  HANDLE raw = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &raw)) return {};
  const unique_handle token(raw);
  DWORD size = 0;
  GetTokenInformation(token.get(), kind, nullptr, 0, &size);
  std::vector<BYTE> data(size);
  if (size == 0 || !GetTokenInformation(token.get(), kind, data.data(), size, &size)) return {};
  return data;
}

}  // namespace

bool ComTaskScheduler::is_elevated() {
  const std::vector<BYTE> data = token_information(TokenElevation);
  return data.size() >= sizeof(TOKEN_ELEVATION) &&
         reinterpret_cast<const TOKEN_ELEVATION*>(data.data())->TokenIsElevated != 0;
}

bool ComTaskScheduler::register_task(const std::string& xml, std::string& error) {
  ComPtr<ITaskFolder> folder;
  HRESULT hr = root_folder(folder);
  if (SUCCEEDED(hr)) {
    // The principal is the caller, with the token of their logon session.
    Bstr definition(to_wide(xml, CP_UTF8));
    Variant none;
    ComPtr<IRegisteredTask> task;
    hr =
        folder->RegisterTask(task_path().get(), definition.get(), TASK_CREATE_OR_UPDATE, none.ref(),
                             none.ref(), TASK_LOGON_INTERACTIVE_TOKEN, none.ref(), task.put());
  }
  if (FAILED(hr)) error = hresult_text(hr);
  return SUCCEEDED(hr);
}

TaskScheduler::Removal ComTaskScheduler::delete_task(std::string& error) {
  ComPtr<ITaskFolder> folder;
  HRESULT hr = root_folder(folder);
  if (SUCCEEDED(hr)) hr = folder->DeleteTask(task_path().get(), 0);
  if (SUCCEEDED(hr)) return Removal::removed;
  if (is_not_found(hr)) return Removal::not_found;
  error = hresult_text(hr);
  return Removal::failed;
}

bool ComTaskScheduler::task_xml(std::string& xml) {
  ComPtr<ITaskFolder> folder;
  ComPtr<IRegisteredTask> task;
  Bstr text;
  if (FAILED(root_folder(folder)) || FAILED(folder->GetTask(task_path().get(), task.put())) ||
      FAILED(task->get_Xml(text.put()))) {
    return false;
  }
  xml = to_narrow(text.text(), CP_UTF8);
  return true;
}

std::string system_error_text(unsigned long code) { return hresult_text(HRESULT_FROM_WIN32(code)); }

std::string module_path_utf8() {
  // A path cut short fills the whole buffer: try again with a larger one.
  for (DWORD size = MAX_PATH; size <= 32768; size *= 2) {
    std::wstring path(size, L'\0');
    const DWORD n = GetModuleFileNameW(nullptr, &path[0], size);
    if (n == 0) break;
    if (n < size) return to_narrow(path.substr(0, n), CP_UTF8);
  }
  return std::string();
}

std::string current_user_utf8() {
  const std::vector<BYTE> data = token_information(TokenUser);
  if (data.size() < sizeof(TOKEN_USER)) return std::string();
  PSID sid = reinterpret_cast<const TOKEN_USER*>(data.data())->User.Sid;
  wchar_t name[256], domain[256];
  DWORD name_size = 256, domain_size = 256;
  SID_NAME_USE use;
  if (!LookupAccountSidW(nullptr, sid, name, &name_size, domain, &domain_size, &use)) {
    return std::string();
  }
  const std::wstring user = domain_size > 0 ? std::wstring(domain) + L"\\" + name : name;
  return to_narrow(user, CP_UTF8);
}

bool write_utf16_file(const std::string& path, const std::string& text, std::string& error) {
  const std::wstring wide = L"\xFEFF" + to_wide(text, CP_UTF8);
  const HANDLE file = CreateFileW(to_wide(path, CP_UTF8).c_str(), GENERIC_WRITE, 0, nullptr,
                                  CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    error = system_error_text(GetLastError());
    return false;
  }
  // wchar_t is UTF-16 LE on Windows.
  const DWORD size = static_cast<DWORD>(wide.size() * sizeof(wchar_t));
  DWORD written = 0;
  const bool ok = WriteFile(file, wide.data(), size, &written, nullptr) && written == size;
  if (!ok) error = system_error_text(GetLastError());
  CloseHandle(file);
  return ok;
}

std::string ansi_to_utf8(const std::string& text) { return to_narrow(to_wide(text), CP_UTF8); }

std::string utf8_to_ansi(const std::string& text) { return to_narrow(to_wide(text, CP_UTF8)); }

}  // namespace lanchuan::win32
