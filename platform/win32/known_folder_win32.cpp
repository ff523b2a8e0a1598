#include "platform/win32/known_folder_win32.h"

#include "platform/win32/com_win32.h"

namespace lanchuan::win32 {

std::wstring known_folder_path(REFKNOWNFOLDERID id) {
  PWSTR path = nullptr;
  std::wstring folder;
  if (SUCCEEDED(SHGetKnownFolderPath(id, 0, nullptr, &path))) folder = path;
  co_task_mem_free(path);  // also when the call failed, as documented
  return folder;
}

}  // namespace lanchuan::win32
