#include "app/update_check.h"

#include <cctype>
#include <cstddef>

#include "app/handlers.h"
#include "update/update_config.h"
#include "update/update_file.h"

namespace lanchuan {
namespace {

bool starts_with_ignoring_case(const std::string& text, const std::string& prefix) {
  if (text.size() < prefix.size()) return false;
  for (std::size_t i = 0; i < prefix.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    if (std::tolower(c) != static_cast<unsigned char>(prefix[i])) return false;
  }
  return true;
}

// A blank or a quote would end the address in the command line the shell
// builds for the browser, and what follows could pass as a switch.
bool has_unsafe_byte(const std::string& text) {
  for (char ch : text) {
    const unsigned char c = static_cast<unsigned char>(ch);
    if (c <= 0x20 || c == 0x7F || c == '"') return true;
  }
  return false;
}

void apply_status_line(App& app, const UpdateFields& fields) {
  if (fields.status_text.empty()) return;
  app.ports.controls.set_text(ControlId::标签_底栏, fields.status_text);
  app.state.status_link = fields.status_address;
}

void offer_new_version(App& app, const UpdateFields& fields) {
  if (fields.latest_version == kVersionText) return;
  const bool accepted = app.ports.prompt.ask_ok_cancel(
      new_version_prompt_text(fields.latest_version), kNewVersionPromptTitle);
  if (accepted && is_web_address(fields.download_address)) {
    app.ports.downloader.download_new_version(fields.download_address);
  }
}

}  // namespace

bool is_web_address(const std::string& address) {
  const bool web_scheme = starts_with_ignoring_case(address, "http://") ||
                          starts_with_ignoring_case(address, "https://");
  return web_scheme && !has_unsafe_byte(address);
}

std::string new_version_prompt_text(const std::string& latest_version) {
  return std::string("发现新版本 \r\n当前版本：") + kVersionText + "\r\n最新版本：" +
         latest_version + "\r\n点确定下载新版！";
}

void check_for_update(App& app) {
  const std::string body = app.ports.fetcher.fetch_url_bytes(kUpdateUrl);
  if (body.size() > kMaxUpdateFileBytes) return;
  const std::string text = content_up_to_nul(decrypt_update_data(body, kUpdatePassword));
  const UpdateFields fields = parse_update_fields(text);
  if (fields.site != kSiteTag) return;
  apply_status_line(app, fields);
  offer_new_version(app, fields);
}

void set_default_status_link(App& app) { app.state.status_link = kDefaultStatusLink; }

void on_update_timer(App& app) {
  // Stopped before anything else, so that the check runs once per start even
  // when the fetch below blocks long enough for another tick to queue up.
  app.ports.controls.set_timer_period(ControlId::时钟_更新, 0);
  if (!app.ports.network.connected()) return;
  check_for_update(app);
}

void on_bottom_bar_clicked(App& app) {
  if (is_web_address(app.state.status_link)) app.ports.web.open_web_address(app.state.status_link);
}

void open_more_software_page(App& app) { app.ports.web.open_web_address(kDownloadPage); }

}  // namespace lanchuan
