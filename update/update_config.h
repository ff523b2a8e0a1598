// Where the update check looks, what it compares against, and the addresses
// the tool opens. The hosts are placeholders under the reserved "example" name
// until the maker has a host of its own: nobody else can register them, and
// the Wine tests map them to loopback with their own hosts file.
#pragma once

#include <cstddef>

namespace lanchuan {

constexpr const char* kUpdateUrl = "http://update.lanchuan.example/GengXin/DEdodovez/DEdodovez.jpg";

// Opened by the tray menu's "更多软件".
constexpr const char* kDownloadPage = "http://www.lanchuan.example/download/";
// What a click on the bottom line opens until an update file replaces it.
constexpr const char* kDefaultStatusLink = "http://www.lanchuan.example/";

// The source of the file's DES key.
constexpr const char* kUpdatePassword = "318642759";
// The file's site field must hold exactly this.
constexpr const char* kSiteTag = "青禾";
// The tool's own version, compared with the file's latest version.
constexpr const char* kVersionText = "3.5";

// The real file is a few hundred bytes; anything longer than this is not one
// of ours and is dropped unread rather than decrypted.
constexpr std::size_t kMaxUpdateFileBytes = 1024 * 1024;

}  // namespace lanchuan
