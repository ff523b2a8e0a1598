// The update file arrives over plain HTTP from a host anyone on the path can
// answer for. The input is used twice: as the fetched bytes themselves (the
// cipher layer and the length checks) and as the content of a well-formed
// file, so that the fuzzer's text reaches the NUL cut, the markers, the field
// checks and the update check's decisions behind the DES layer.
#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "app/handlers.h"
#include "app/update_check.h"
#include "fakes/fake_app.h"
#include "fuzz/fuzz_check.h"
#include "update/update_config.h"
#include "update/update_file.h"

namespace lanchuan {
namespace {

using fuzz::escaped;

constexpr const char* kCaptionBefore = "caption before";
constexpr const char* kLinkBefore = "http://before.example/";

void check_fetched_bytes(const std::string& bytes) {
  const std::string content = decrypt_update_data(bytes, kUpdatePassword);
  if (content.empty()) return;
  const std::size_t total = bytes.size();
  FUZZ_CHECK(total % 8 == 0 && content.size() + 4 <= total && content.size() + 12 > total,
             escaped(bytes));
}

void check_round_trip(const std::string& content) {
  const std::string packed = pack_update_data(content, kUpdatePassword);
  if (content.empty()) {
    FUZZ_CHECK(packed.empty(), "empty content packed");
    return;
  }
  FUZZ_CHECK(packed.size() % 8 == 0 && packed.size() >= content.size() + 4 &&
                 packed.size() < content.size() + 12,
             escaped(content));
  FUZZ_CHECK(decrypt_update_data(packed, kUpdatePassword) == content, escaped(content));
}

void check_nul_cut(const std::string& content, const std::string& text) {
  FUZZ_CHECK(text.find('\0') == std::string::npos, escaped(content));
  FUZZ_CHECK(content.compare(0, text.size(), text) == 0, escaped(content));
  FUZZ_CHECK(text.size() == content.size() || content[text.size()] == '\0', escaped(content));
}

// Marker search the long way: every byte offset where the marker's bytes
// stand, kept only when a character starts there.
long reference_find(const std::string& text, const std::string& marker) {
  if (marker.empty()) return -1;
  std::vector<bool> starts(text.size(), false);
  for (std::size_t pos = 0; pos < text.size();) {
    starts[pos] = true;
    pos += (static_cast<unsigned char>(text[pos]) & 0x80u) && pos + 1 < text.size() ? 2 : 1;
  }
  for (std::size_t pos = text.find(marker); pos != std::string::npos;
       pos = text.find(marker, pos + 1)) {
    if (starts[pos]) return static_cast<long>(pos);
  }
  return -1;
}

std::string reference_between(const std::string& text, const std::string& opening,
                              const std::string& closing) {
  const long open_at = reference_find(text, opening);
  const long close_at = reference_find(text, closing);
  if (open_at < 0 || close_at < 0) return std::string();
  const long start = open_at + static_cast<long>(opening.size());
  if (close_at <= start) return std::string();
  return text.substr(static_cast<std::size_t>(start), static_cast<std::size_t>(close_at - start));
}

void check_markers(const std::string& text) {
  const std::pair<const char*, const char*> markers[] = {
      {"#网站", "网站#"},
      {"#状态文本", "状态文本#"},
      {"#最新版本", "最新版本#"},
      {"[", "]"},
      {"\xCD", "\xF8"},
      {"", "#"},
      {"#", ""},
      {"#", "#"},
  };
  for (const auto& [opening, closing] : markers) {
    const std::string value = text_between_markers(text, opening, closing);
    FUZZ_CHECK(value == reference_between(text, opening, closing),
               escaped(text) + " markers [" + escaped(opening) + "] [" + escaped(closing) + "]");
  }
  const UpdateFields fields = parse_update_fields(text);
  FUZZ_CHECK(fields.site == reference_between(text, "#网站", "网站#"), escaped(text));
  FUZZ_CHECK(fields.status_text == reference_between(text, "#状态文本", "状态文本#"),
             escaped(text));
  FUZZ_CHECK(fields.status_address == reference_between(text, "#状态网址", "状态网址#"),
             escaped(text));
  FUZZ_CHECK(fields.latest_version == reference_between(text, "#最新版本", "最新版本#"),
             escaped(text));
  FUZZ_CHECK(fields.download_address == reference_between(text, "#下载地址", "下载地址#"),
             escaped(text));
}

// What may reach the shell: an http or https address without blanks, control
// bytes or quotes, written out here rather than taken from the product.
bool safe_for_shell(const std::string& address) {
  std::string scheme;
  for (std::size_t i = 0; i < address.size() && i < 8; ++i) {
    const char c = address[i];
    scheme.push_back(c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c);
  }
  if (scheme.compare(0, 7, "http://") != 0 && scheme != "https://") return false;
  for (const char ch : address) {
    const auto c = static_cast<unsigned char>(ch);
    if (c <= 0x20 || c == 0x7F || c == '"') return false;
  }
  return true;
}

// The whole check, on the fuzzer's content wrapped as a valid file.
void check_update_check(const std::string& content, bool answer_ok) {
  fakes::FakeApp t;
  t.controls.set_text(ControlId::标签_底栏, kCaptionBefore);
  t.app.state.status_link = kLinkBefore;
  t.prompt.answer_ok = answer_ok;
  t.fetcher.bodies[kUpdateUrl] = pack_update_data(content, kUpdatePassword);
  check_for_update(t.app);

  const UpdateFields fields = parse_update_fields(content_up_to_nul(content));
  const bool site_ok = fields.site == kSiteTag;
  const bool new_caption = site_ok && !fields.status_text.empty();
  const std::string caption = t.controls.text(ControlId::标签_底栏);
  const std::string shown = escaped(content);
  FUZZ_CHECK(caption == (new_caption ? fields.status_text : kCaptionBefore), shown);
  FUZZ_CHECK(t.app.state.status_link == (new_caption ? fields.status_address : kLinkBefore), shown);
  const bool prompted = site_ok && fields.latest_version != kVersionText;
  FUZZ_CHECK(t.prompt.asked.size() == (prompted ? 1u : 0u), shown);
  if (prompted) {
    FUZZ_CHECK(t.prompt.asked[0].text == new_version_prompt_text(fields.latest_version), shown);
  }
  const bool download = prompted && answer_ok && safe_for_shell(fields.download_address);
  FUZZ_CHECK(t.downloader.downloads.size() == (download ? 1u : 0u), shown);
  if (download) FUZZ_CHECK(t.downloader.downloads[0] == fields.download_address, shown);

  on_bottom_bar_clicked(t.app);
  for (const std::string& opened : t.web.opened) {
    FUZZ_CHECK(safe_for_shell(opened), shown + " opened [" + escaped(opened) + "]");
  }
  FUZZ_CHECK(t.web.opened.size() == (safe_for_shell(t.app.state.status_link) ? 1u : 0u), shown);
}

// The raw bytes as the fetched body: anything that does not decrypt to a
// valid container must leave the window as it was.
void check_raw_body(const std::string& bytes) {
  if (!decrypt_update_data(bytes, kUpdatePassword).empty()) return;
  fakes::FakeApp t;
  t.controls.set_text(ControlId::标签_底栏, kCaptionBefore);
  t.app.state.status_link = kLinkBefore;
  t.fetcher.bodies[kUpdateUrl] = bytes;
  check_for_update(t.app);
  FUZZ_CHECK(t.controls.text(ControlId::标签_底栏) == kCaptionBefore, escaped(bytes));
  FUZZ_CHECK(t.app.state.status_link == kLinkBefore && t.prompt.asked.empty(), escaped(bytes));
}

}  // namespace
}  // namespace lanchuan

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string input = lanchuan::fuzz::as_text(data, size);
  lanchuan::check_fetched_bytes(input);
  lanchuan::check_raw_body(input);
  lanchuan::check_round_trip(input);
  const std::string text = lanchuan::content_up_to_nul(input);
  lanchuan::check_nul_cut(input, text);
  lanchuan::check_markers(text);
  lanchuan::check_update_check(input, size % 2 == 1);
  return 0;
}
