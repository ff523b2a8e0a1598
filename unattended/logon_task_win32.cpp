#include "unattended/logon_task_win32.h"

#include <windows.h>
// windows.h first: taskschd.h depends on it.
#include <taskschd.h>

#include <cstdio>
#include <vector>

#include "platform/win32/com_win32.h"
#include "platform/win32/handles_win32.h"
#include "platform/win32/known_folder_win32.h"

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

const wchar_t* const kCopyFolder = L"\\LanchuanTimeSync";
const wchar_t* const kCopyName = L"\\LanchuanTimeSyncCli.exe";
const wchar_t* const kWindowProgramName = L"\\LanchuanTimeSync.exe";

// Whether two paths name one file, however spelt (short names, case): the
// same volume and file index ("BY_HANDLE_FILE_INFORMATION structure").
bool same_file(const std::wstring& a, const std::wstring& b) {
  BY_HANDLE_FILE_INFORMATION info[2];
  const std::wstring* paths[2] = {&a, &b};
  for (int i = 0; i < 2; ++i) {
    const HANDLE raw = CreateFileW(paths[i]->c_str(), FILE_READ_ATTRIBUTES,
                                   FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                   OPEN_EXISTING, 0, nullptr);
    if (raw == INVALID_HANDLE_VALUE) return false;
    const unique_handle file(raw);
    if (!GetFileInformationByHandle(file.get(), &info[i])) return false;
  }
  return info[0].dwVolumeSerialNumber == info[1].dwVolumeSerialNumber &&
         info[0].nFileIndexHigh == info[1].nFileIndexHigh &&
         info[0].nFileIndexLow == info[1].nFileIndexLow;
}

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

bool process_is_elevated() {
  const std::vector<BYTE> data = token_information(TokenElevation);
  return data.size() >= sizeof(TOKEN_ELEVATION) &&
         reinterpret_cast<const TOKEN_ELEVATION*>(data.data())->TokenIsElevated != 0;
}

bool ComTaskScheduler::is_elevated() { return process_is_elevated(); }

// FOLDERID_ProgramFiles: for a 32-bit program on 64-bit Windows it names
// "Program Files (x86)" ("KNOWNFOLDERID", learn.microsoft.com), where a
// 32-bit package installs too. Only administrators may write below it.
std::string ComTaskScheduler::program_copy_path() {
  const std::wstring folder = known_folder_path(FOLDERID_ProgramFiles);
  if (folder.empty()) return std::string();
  return to_narrow(folder + kCopyFolder + kCopyName, CP_UTF8);
}

bool ComTaskScheduler::install_program_copy(std::string& error) {
  const std::wstring copy = to_wide(program_copy_path(), CP_UTF8);
  const std::wstring self = to_wide(module_path_utf8(), CP_UTF8);
  if (copy.empty() || self.empty()) {
    error = "the system names no program folder";
    return false;
  }
  if (same_file(copy, self)) return true;
  const std::wstring folder = copy.substr(0, copy.rfind(L'\\'));
  if (!CreateDirectoryW(folder.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) {
    error = system_error_text(GetLastError());
    return false;
  }
  // A copy beside it first, then put in the old one's place at once: a copy
  // cut short (a full disk) never becomes the task's program.
  const std::wstring part = copy + L".new";
  if (!CopyFileW(self.c_str(), part.c_str(), FALSE) ||
      !MoveFileExW(part.c_str(), copy.c_str(),
                   MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    error = system_error_text(GetLastError());
    DeleteFileW(part.c_str());
    return false;
  }
  return true;
}

TaskScheduler::Removal ComTaskScheduler::remove_program_copy(std::string& error) {
  const std::wstring copy = to_wide(program_copy_path(), CP_UTF8);
  if (copy.empty() || same_file(copy, to_wide(module_path_utf8(), CP_UTF8))) {
    return Removal::not_found;
  }
  const std::wstring folder = copy.substr(0, copy.rfind(L'\\'));
  // The window program beside it: an installed package's folder, which the
  // package empties itself when it is removed.
  if (GetFileAttributesW((folder + kWindowProgramName).c_str()) != INVALID_FILE_ATTRIBUTES) {
    return Removal::not_found;
  }
  if (!DeleteFileW(copy.c_str())) {
    const DWORD code = GetLastError();
    if (code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND) return Removal::not_found;
    error = system_error_text(code);
    return Removal::failed;
  }
  RemoveDirectoryW(folder.c_str());  // only when nothing else is left in it
  return Removal::removed;
}

bool ComTaskScheduler::register_task(const std::string& xml, bool as_system, std::string& error) {
  ComPtr<ITaskFolder> folder;
  HRESULT hr = root_folder(folder);
  if (SUCCEEDED(hr)) {
    // The principal is the caller, with the token of their logon session; or
    // the system's account, as a service (no password: "When the
    // TASK_LOGON_SERVICE_ACCOUNT logon type is used, the password must be an
    // empty VARIANT value", "ITaskFolder::RegisterTask method").
    Bstr definition(to_wide(xml, CP_UTF8));
    Variant none, system;
    if (as_system) {
      system.get()->vt = VT_BSTR;
      system.get()->bstrVal = Bstr(to_wide(kSystemUserId)).release();
    }
    ComPtr<IRegisteredTask> task;
    hr = folder->RegisterTask(task_path().get(), definition.get(), TASK_CREATE_OR_UPDATE,
                              as_system ? system.ref() : none.ref(), none.ref(),
                              as_system ? TASK_LOGON_SERVICE_ACCOUNT : TASK_LOGON_INTERACTIVE_TOKEN,
                              none.ref(), task.put());
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
  if (IsWellKnownSid(sid, WinLocalSystemSid)) return kSystemUserId;
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
