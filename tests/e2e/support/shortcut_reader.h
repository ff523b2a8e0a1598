// Reading a shell link back through IShellLinkA, as another program would.
#pragma once

#include <string>

namespace lanchuan::e2e {

struct ReadBack {
  std::string target;
  std::string arguments;
  std::string description;
  std::string working_directory;
};

bool read_shortcut(const std::string& path, ReadBack& out);

// The show command as stored: a little-endian DWORD at offset 0x3C of the
// link header. Read from the file because a link loaded again reports only
// the values the format knows (1, 3, 7) and turns 5 into 1.
int stored_show_command(const std::string& path);

}  // namespace lanchuan::e2e
