// Start at logon: the option 选择框_开机后自动启动 reflects whether the logon
// shortcut exists in the user's Startup folder. The handlers are declared in
// app/handlers.h.
#pragma once

#include <string>

namespace lanchuan {

constexpr const char* kLogonShortcutName = "蓝川自动校时.lnk";
constexpr const char* kLogonArguments = "auto";
constexpr const char* kLogonDescription = "可以自动校时。";
constexpr int kLogonShowCommand = 5;  // SW_SHOW

// The Startup folder text directly followed by "\蓝川自动校时.lnk"; an empty
// folder gives the root of the current drive.
std::string logon_shortcut_path(const std::string& startup_folder);

}  // namespace lanchuan
