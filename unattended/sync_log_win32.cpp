#include "unattended/sync_log_win32.h"

#include <windows.h>
// windows.h first: shlobj.h depends on it.
#include <shlobj.h>

#include "platform/win32/com_win32.h"
#include "platform/win32/handles_win32.h"
#include "unattended/logon_task_win32.h"

namespace lanchuan::win32 {
namespace {

// The folder, empty when the system names none. SHGetKnownFolderPath with
// FOLDERID_ProgramData is how Windows documents finding %ProgramData%
// (learn.microsoft.com, "SHGetKnownFolderPath function"; "KNOWNFOLDERID"); the
// path it gives is freed with CoTaskMemFree even when the call fails.
std::wstring log_folder() {
  PWSTR path = nullptr;
  std::wstring folder;
  if (SUCCEEDED(SHGetKnownFolderPath(FOLDERID_ProgramData, 0, nullptr, &path))) {
    folder = std::wstring(path) + L"\\LanchuanTimeSync";
  }
  co_task_mem_free(path);
  return folder;
}

std::wstring log_path(const std::wstring& folder) { return folder + L"\\sync.log"; }
std::wstring older_path(const std::wstring& folder) { return log_path(folder) + L".1"; }

std::string last_error_text() { return system_error_text(GetLastError()); }

// The turns are a lock on kLogTurnByte (4 GiB; the file never grows near
// it), so the lock hides none of the lines from readers. "Locking a region
// that goes beyond the current end-of-file position is not an error"
// (learn.microsoft.com, "LockFileEx function", Remarks); a handle opened
// without FILE_FLAG_OVERLAPPED waits there for its turn.
class TurnLock {
 public:
  TurnLock(HANDLE file, bool exclusive) : file_(file) {
    at_.Offset = static_cast<DWORD>(kLogTurnByte);
    at_.OffsetHigh = static_cast<DWORD>(kLogTurnByte >> 32);
    locked_ = LockFileEx(file_, exclusive ? LOCKFILE_EXCLUSIVE_LOCK : 0, 0, 1, 0, &at_) != FALSE;
  }
  ~TurnLock() {
    if (locked_) UnlockFileEx(file_, 0, 1, 0, &at_);
  }
  TurnLock(const TurnLock&) = delete;
  TurnLock& operator=(const TurnLock&) = delete;
  bool locked() const { return locked_; }

 private:
  HANDLE file_;
  OVERLAPPED at_{};
  bool locked_ = false;
};

HANDLE open_log(const std::wstring& path, DWORD access, DWORD disposition) {
  return CreateFileW(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, disposition,
                     FILE_ATTRIBUTE_NORMAL, nullptr);
}

bool read_all(HANDLE file, std::string& bytes) {
  LARGE_INTEGER size;
  LARGE_INTEGER start{};
  if (!GetFileSizeEx(file, &size) || !SetFilePointerEx(file, start, nullptr, FILE_BEGIN)) {
    return false;
  }
  bytes.assign(static_cast<std::size_t>(size.QuadPart), '\0');
  DWORD got = 0;
  return bytes.empty() ||
         (ReadFile(file, &bytes[0], static_cast<DWORD>(bytes.size()), &got, nullptr) &&
          got == bytes.size());
}

bool write_all(HANDLE file, const std::string& bytes) {
  DWORD written = 0;
  return WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
         written == bytes.size();
}

// The lines so far become the older file; the log starts again empty.
bool rotate(HANDLE log, const std::wstring& folder, std::string& error) {
  std::string lines;
  if (!read_all(log, lines)) {
    error = last_error_text();
    return false;
  }
  const HANDLE raw = CreateFileW(older_path(folder).c_str(), GENERIC_WRITE, 0, nullptr,
                                 CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (raw == INVALID_HANDLE_VALUE) {
    error = last_error_text();
    return false;
  }
  const unique_handle older(raw);
  LARGE_INTEGER start{};
  if (!write_all(older.get(), lines) || !SetFilePointerEx(log, start, nullptr, FILE_BEGIN) ||
      !SetEndOfFile(log)) {
    error = last_error_text();
    return false;
  }
  return true;
}

}  // namespace

std::string FileRunLog::where() { return to_narrow(log_path(log_folder())); }

bool FileRunLog::append(const std::string& line, std::string& error) {
  const std::wstring folder = log_folder();
  if (folder.empty()) {
    error = "the system names no program-data folder";
    return false;
  }
  if (!CreateDirectoryW(folder.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) {
    error = last_error_text();
    return false;
  }
  const HANDLE raw = open_log(log_path(folder), GENERIC_READ | GENERIC_WRITE, OPEN_ALWAYS);
  if (raw == INVALID_HANDLE_VALUE) {
    error = last_error_text();
    return false;
  }
  const unique_handle file(raw);
  const TurnLock turn(file.get(), true);
  LARGE_INTEGER size;
  if (!turn.locked() || !GetFileSizeEx(file.get(), &size)) {
    error = last_error_text();
    return false;
  }
  const std::string bytes = ansi_to_utf8(line);
  if (size.QuadPart > 0 && size.QuadPart + static_cast<std::int64_t>(bytes.size()) > kLogCapBytes &&
      !rotate(file.get(), folder, error)) {
    return false;
  }
  // The whole line in one write, at the end.
  LARGE_INTEGER none{};
  if (!SetFilePointerEx(file.get(), none, nullptr, FILE_END) || !write_all(file.get(), bytes)) {
    error = last_error_text();
    return false;
  }
  return true;
}

bool FileRunLog::read(std::string& text, std::string& error) {
  const std::wstring folder = log_folder();
  const HANDLE raw = open_log(log_path(folder), GENERIC_READ, OPEN_EXISTING);
  if (raw == INVALID_HANDLE_VALUE) {
    const DWORD code = GetLastError();
    if (code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND) return true;  // none yet
    error = system_error_text(code);
    return false;
  }
  const unique_handle file(raw);
  const TurnLock turn(file.get(), false);
  std::string older, current;
  const HANDLE older_raw = open_log(older_path(folder), GENERIC_READ, OPEN_EXISTING);
  if (older_raw != INVALID_HANDLE_VALUE) {
    const unique_handle older_file(older_raw);
    read_all(older_file.get(), older);
  }
  if (!turn.locked() || !read_all(file.get(), current)) {
    error = last_error_text();
    return false;
  }
  text = utf8_to_ansi(older + current);
  return true;
}

}  // namespace lanchuan::win32
