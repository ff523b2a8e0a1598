// Known folders. In a file of its own: the shell's library is imported only
// by the programs that ask for one (the window does not).
#pragma once

#include <windows.h>
// windows.h first: shlobj.h depends on it.
#include <shlobj.h>

#include <string>

namespace lanchuan::win32 {

// A known folder's path (SHGetKnownFolderPath, the documented way to find
// %ProgramData%, %LOCALAPPDATA% or %ProgramFiles%: learn.microsoft.com,
// "SHGetKnownFolderPath function"; "KNOWNFOLDERID"); empty when the system
// names none.
std::wstring known_folder_path(REFKNOWNFOLDERID id);

}  // namespace lanchuan::win32
