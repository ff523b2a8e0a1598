// The once-per-start update check and the two places that open web pages.
// The handlers themselves are declared in app/handlers.h.
#pragma once

#include <string>

#include "app/app.h"

namespace lanchuan {

// Fetches, decrypts and reads the update file, then updates the bottom line
// and offers a newer version.
void check_for_update(App& app);

// The prompt of a newer version, for the latest version named by the file.
std::string new_version_prompt_text(const std::string& latest_version);
constexpr const char* kNewVersionPromptTitle = "更新提示！";

// Whether the tool hands `address` to the browser or the download dialog. The
// update file travels over plain HTTP, so what it names must not reach the
// shell as a program, a file or a browser switch: only an http:// or https://
// address (scheme in any case) without blanks, control bytes or quotes.
bool is_web_address(const std::string& address);

}  // namespace lanchuan
