#include "e2e/support/shortcut_reader.h"

#include <windows.h>
// windows.h first: the shell headers depend on it.
#include <objbase.h>
#include <shlguid.h>
#include <shobjidl.h>

#include <fstream>

#include "platform/win32/com_win32.h"

namespace lanchuan::e2e {

bool read_shortcut(const std::string& path, ReadBack& out) {
  const win32::ComApartment apartment;
  win32::ComPtr<IShellLinkA> link;
  if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                              link.put_void()))) {
    return false;
  }
  win32::ComPtr<IPersistFile> file;
  if (FAILED(link->QueryInterface(IID_IPersistFile, file.put_void()))) return false;
  if (FAILED(file->Load(win32::to_wide(path).c_str(), STGM_READ))) return false;
  char buffer[MAX_PATH * 2] = {};
  link->GetPath(buffer, sizeof(buffer), nullptr, SLGP_RAWPATH);
  out.target = buffer;
  link->GetArguments(buffer, sizeof(buffer));
  out.arguments = buffer;
  link->GetDescription(buffer, sizeof(buffer));
  out.description = buffer;
  link->GetWorkingDirectory(buffer, sizeof(buffer));
  out.working_directory = buffer;
  return true;
}

int stored_show_command(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  unsigned char header[0x40] = {};
  if (!file.read(reinterpret_cast<char*>(header), sizeof(header))) return -1;
  return header[0x3C] | header[0x3D] << 8 | header[0x3E] << 16 | header[0x3F] << 24;
}

}  // namespace lanchuan::e2e
