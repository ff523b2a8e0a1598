#include "unattended/sync_log_win32.h"

#include <windows.h>
// windows.h first: the others depend on it.
#include <aclapi.h>
#include <sddl.h>

#include <vector>

#include "platform/win32/com_win32.h"
#include "platform/win32/handles_win32.h"
#include "platform/win32/known_folder_win32.h"
#include "unattended/logon_task_win32.h"

namespace lanchuan::win32 {
namespace {

// Owned by the administrators; SYSTEM and the administrators may do anything,
// users read. Protected ("P"): nothing is inherited from %ProgramData%, whose
// users may create files in every folder below it.
const wchar_t* const kMachineFolderSecurity =
    L"O:BAD:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;FRFX;;;BU)";
constexpr DWORD kTurnPollMs = 50;
// A writer that finds the log renamed under it (another writer's rotation)
// opens it again, this many times at most.
constexpr int kOpenAttempts = 4;

std::string last_error_text() { return system_error_text(GetLastError()); }

// %ProgramData% or %LOCALAPPDATA%, and the program's folder in it; empty
// when the system names none.
std::wstring log_folder(FileRunLog::Place place) {
  const std::wstring base = known_folder_path(
      place == FileRunLog::Place::machine ? FOLDERID_ProgramData : FOLDERID_LocalAppData);
  return base.empty() ? base : base + L"\\LanchuanTimeSync";
}

// Opens `path` without following a link (FILE_FLAG_OPEN_REPARSE_POINT);
// `missing` tells a path that is not there from one that could not be opened.
bool open_unfollowed(const std::wstring& path, DWORD access, DWORD share, DWORD disposition,
                     DWORD flags, unique_handle& handle, bool& missing, std::string& error) {
  const HANDLE raw = CreateFileW(path.c_str(), access, share, nullptr, disposition,
                                 flags | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (raw == INVALID_HANDLE_VALUE) {
    const DWORD code = GetLastError();
    missing = code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND;
    error = system_error_text(code);
    return false;
  }
  handle.reset(raw);
  return true;
}

const wchar_t* const kLogName = L"\\sync.log";
const wchar_t* const kOlderName = L"\\sync.log.1";

// Where the handle's file really is ("\\?\C:\..."), links resolved; empty
// when unknown.
std::wstring final_path(HANDLE handle) {
  std::wstring path(MAX_PATH, L'\0');
  for (int tries = 0; tries < 2; ++tries) {
    const DWORD n = GetFinalPathNameByHandleW(handle, &path[0], static_cast<DWORD>(path.size()),
                                              FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    if (n == 0) return std::wstring();
    if (n < path.size()) return path.substr(0, n);
    path.assign(n + 1, L'\0');
  }
  return std::wstring();
}

bool same_path(const std::wstring& a, const std::wstring& b) {
  return !a.empty() && CompareStringOrdinal(a.data(), static_cast<int>(a.size()), b.data(),
                                            static_cast<int>(b.size()), TRUE) == CSTR_EQUAL;
}

// Wine keeps no Windows security descriptor for a file: it makes one up from
// the Unix modes, always naming the user as the owner (a folder made with
// "O:BA" reads back as the user's), and Unix's permissions are what protect
// the file there. ntdll exports wine_get_version only under Wine; ntdll is
// always the system's own, so nobody can make a Windows process believe it.
bool under_wine() {
  static const bool wine =
      GetProcAddress(GetModuleHandleA("ntdll.dll"), "wine_get_version") != nullptr;
  return wine;
}

bool owned_by_administrators_or_system(HANDLE folder) {
  if (under_wine()) return true;
  PSID owner = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (GetSecurityInfo(folder, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, &owner, nullptr, nullptr,
                      nullptr, &descriptor) != ERROR_SUCCESS) {
    return false;
  }
  const bool trusted = owner && (IsWellKnownSid(owner, WinBuiltinAdministratorsSid) ||
                                 IsWellKnownSid(owner, WinLocalSystemSid));
  LocalFree(descriptor);
  return trusted;
}

bool make_machine_folder(const std::wstring& folder) {
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(kMachineFolderSecurity, SDDL_REVISION_1,
                                                            &descriptor, nullptr)) {
    return false;
  }
  SECURITY_ATTRIBUTES attributes{sizeof attributes, descriptor, FALSE};
  const BOOL made = CreateDirectoryW(folder.c_str(), &attributes);
  const DWORD code = GetLastError();
  LocalFree(descriptor);
  SetLastError(code);
  return made != FALSE;
}

// The log's folder, opened without following a link and checked. The handle
// is kept while the log is used: it does not share deletion, so the folder
// cannot be renamed or replaced meanwhile. `missing` tells a folder that is
// not there (yet) from a refused one.
bool open_folder(const std::wstring& folder, FileRunLog::Place place, bool create,
                 unique_handle& handle, bool& missing, std::string& error) {
  missing = false;
  if (create) {
    const bool made = place == FileRunLog::Place::machine
                          ? make_machine_folder(folder)
                          : CreateDirectoryW(folder.c_str(), nullptr) != FALSE;
    if (!made && GetLastError() != ERROR_ALREADY_EXISTS) {
      error = last_error_text();
      return false;
    }
  }
  if (!open_unfollowed(folder, FILE_READ_ATTRIBUTES | READ_CONTROL,
                       FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING,
                       FILE_FLAG_BACKUP_SEMANTICS, handle, missing, error)) {
    return false;
  }
  const HANDLE raw = handle.get();
  BY_HANDLE_FILE_INFORMATION info;
  if (!GetFileInformationByHandle(raw, &info)) {
    error = last_error_text();
  } else if (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) {
    error = "the folder is a link; nothing is written through it";
  } else if (!(info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
    error = "that is not a folder";
  } else if (place == FileRunLog::Place::machine && !owned_by_administrators_or_system(raw)) {
    error = "the folder is owned by neither the administrators nor the system";
  } else {
    return true;
  }
  handle.reset();
  return false;
}

// A file of the log, opened without following a link, and refused unless it
// is a plain file with one name, where it was asked for (`expected`, the
// folder's final path and the name).
bool open_log_file(const std::wstring& folder, const wchar_t* name, const std::wstring& expected,
                   DWORD access, DWORD disposition, unique_handle& file, bool& missing,
                   std::string& error) {
  missing = false;
  if (!open_unfollowed(folder + name, access,
                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, disposition,
                       FILE_ATTRIBUTE_NORMAL, file, missing, error)) {
    return false;
  }
  const HANDLE raw = file.get();
  BY_HANDLE_FILE_INFORMATION info;
  if (!GetFileInformationByHandle(raw, &info)) {
    error = last_error_text();
  } else if (info.dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)) {
    error = "the file is a link or a folder; nothing is written through it";
  } else if (info.nNumberOfLinks != 1) {
    error = "the file has another name (a hard link); nothing is written to it";
  } else if (!same_path(final_path(raw), expected)) {
    error = "the file is not where it was asked for";
  } else {
    return true;
  }
  file.reset();
  return false;
}

// The turns are a lock on kLogTurnByte (4 GiB; the file never grows near
// it), so the lock hides none of the lines from readers. "Locking a region
// that goes beyond the current end-of-file position is not an error"
// (learn.microsoft.com, "LockFileEx function", Remarks). The lock is asked
// for without waiting (LOCKFILE_FAIL_IMMEDIATELY, ERROR_LOCK_VIOLATION while
// another holds it), again and again until kLogTurnWaitMs have passed.
class TurnLock {
 public:
  TurnLock(HANDLE file, bool exclusive) : file_(file) {
    at_.Offset = static_cast<DWORD>(kLogTurnByte);
    at_.OffsetHigh = static_cast<DWORD>(kLogTurnByte >> 32);
    const DWORD flags = LOCKFILE_FAIL_IMMEDIATELY | (exclusive ? LOCKFILE_EXCLUSIVE_LOCK : 0);
    const ULONGLONG deadline = GetTickCount64() + kLogTurnWaitMs;
    while (!(locked_ = LockFileEx(file_, flags, 0, 1, 0, &at_) != FALSE)) {
      if (GetLastError() != ERROR_LOCK_VIOLATION || GetTickCount64() >= deadline) break;
      Sleep(kTurnPollMs);
    }
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

std::string turn_error() {
  return GetLastError() == ERROR_LOCK_VIOLATION ? "another program has held the log for " +
                                                      std::to_string(kLogTurnWaitMs / 1000) + " s"
                                                : last_error_text();
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

// The open, checked log becomes the older file, replacing the one before: a
// rename of this very file ("FILE_RENAME_INFO structure",
// SetFileInformationByHandle with FileRenameInfo), so no second path is
// opened or written through. The right to rename it is asked of the open
// file itself (ReOpenFile), so that the log is otherwise opened without it
// and readers that do not share deletion hold up only the rotation. What was
// at the older name, link or not, is only unlinked.
bool rename_to_older(HANDLE open_log, const std::wstring& folder, std::string& error) {
  const HANDLE raw = ReOpenFile(open_log, DELETE | SYNCHRONIZE,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, 0);
  if (raw == INVALID_HANDLE_VALUE) {
    error = last_error_text();
    return false;
  }
  const unique_handle log(raw);
  const std::wstring target = folder + kOlderName;
  std::vector<BYTE> buffer(sizeof(FILE_RENAME_INFO) + target.size() * sizeof(wchar_t));
  auto* info = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
  info->ReplaceIfExists = TRUE;
  info->RootDirectory = nullptr;
  info->FileNameLength = static_cast<DWORD>(target.size() * sizeof(wchar_t));
  target.copy(info->FileName, target.size());
  if (!SetFileInformationByHandle(log.get(), FileRenameInfo, info,
                                  static_cast<DWORD>(buffer.size()))) {
    error = last_error_text();
    return false;
  }
  return true;
}

}  // namespace

std::string FileRunLog::where() { return to_narrow(log_folder(place_) + kLogName); }

bool FileRunLog::append(const std::string& line, std::string& error) {
  const std::wstring folder = log_folder(place_);
  if (folder.empty()) {
    error = "the system names no folder for it";
    return false;
  }
  unique_handle folder_handle;
  bool missing = false;
  if (!open_folder(folder, place_, true, folder_handle, missing, error)) return false;
  const std::wstring expected = final_path(folder_handle.get()) + kLogName;
  const std::string bytes = ansi_to_utf8(line);
  for (int attempt = 0; attempt < kOpenAttempts; ++attempt) {
    unique_handle file;
    if (!open_log_file(folder, kLogName, expected, GENERIC_READ | GENERIC_WRITE, OPEN_ALWAYS, file,
                       missing, error)) {
      return false;
    }
    const TurnLock turn(file.get(), true);
    if (!turn.locked()) {
      error = turn_error();
      return false;
    }
    // Another writer may have moved it to the older name while this one
    // waited for its turn: then the line goes to the new file.
    if (!same_path(final_path(file.get()), expected)) continue;
    LARGE_INTEGER size;
    if (!GetFileSizeEx(file.get(), &size)) {
      error = last_error_text();
      return false;
    }
    // A log that cannot be renamed (another program holds it without sharing
    // that) takes the line all the same: it passes its cap by a line a run.
    if (size.QuadPart > 0 &&
        size.QuadPart + static_cast<std::int64_t>(bytes.size()) > kLogCapBytes &&
        rename_to_older(file.get(), folder, error)) {
      continue;
    }
    // The whole line in one write, at the end.
    LARGE_INTEGER none{};
    if (!SetFilePointerEx(file.get(), none, nullptr, FILE_END) || !write_all(file.get(), bytes)) {
      error = last_error_text();
      return false;
    }
    return true;
  }
  error = "the log kept moving while this run waited for it";
  return false;
}

bool FileRunLog::read(std::string& text, std::string& error) {
  text.clear();
  const std::wstring folder = log_folder(place_);
  unique_handle folder_handle;
  bool missing = false;
  if (folder.empty() || !open_folder(folder, place_, false, folder_handle, missing, error)) {
    return folder.empty() || missing;  // none yet
  }
  const std::wstring final_folder = final_path(folder_handle.get());
  unique_handle file, older_file;
  if (!open_log_file(folder, kLogName, final_folder + kLogName, GENERIC_READ, OPEN_EXISTING, file,
                     missing, error)) {
    return missing;  // none yet
  }
  const TurnLock turn(file.get(), false);
  if (!turn.locked()) {
    error = turn_error();
    return false;
  }
  std::string older, current;
  if (open_log_file(folder, kOlderName, final_folder + kOlderName, GENERIC_READ, OPEN_EXISTING,
                    older_file, missing, error)) {
    read_all(older_file.get(), older);
  } else if (!missing) {
    return false;
  }
  if (!read_all(file.get(), current)) {
    error = last_error_text();
    return false;
  }
  text = utf8_to_ansi(older + current);
  return true;
}

}  // namespace lanchuan::win32
