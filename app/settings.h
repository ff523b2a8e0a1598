// Where the user's choices live in the settings file, and the one rule for its
// booleans. Every read goes to the store; nothing is cached.
#pragma once

#include <string>

namespace lanchuan {
namespace settings {

constexpr const char* kServerSection = "lx";
constexpr const char* kServerKey = "fuwuqi";

constexpr const char* kOptionsSection = "voru";
constexpr const char* kIntervalOnKey = "是否间隔";
constexpr const char* kIntervalSecondsKey = "间隔秒";
constexpr const char* kDelayedOnKey = "是否自动";
constexpr const char* kDelaySecondsKey = "秒";
constexpr const char* kExitOnKey = "自动退出";

constexpr const char* kYes = "是";
constexpr const char* kNo = "否";
constexpr const char* kDefaultIntervalSeconds = "20";
constexpr const char* kDefaultDelaySeconds = "60";

// Only the exact text counts: "1", "yes", " 是" and the empty text are off.
inline bool is_yes(const std::string& value) { return value == kYes; }
inline const char* yes_no(bool on) { return on ? kYes : kNo; }

}  // namespace settings
}  // namespace lanchuan
