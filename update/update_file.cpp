#include "update/update_file.h"

#include <cstddef>
#include <cstdint>
#include <limits>

#include "base/gbk_text.h"

namespace lanchuan {
namespace {

constexpr std::size_t kLengthFieldBytes = 4;
constexpr std::size_t kBlockBytes = 8;

std::int32_t read_int32_le(const std::string& bytes) {
  std::uint32_t value = 0;
  for (std::size_t i = kLengthFieldBytes; i-- > 0;) {
    value = (value << 8) | static_cast<std::uint8_t>(bytes[i]);
  }
  return static_cast<std::int32_t>(value);
}

std::string int32_le(std::uint32_t value) {
  std::string bytes(kLengthFieldBytes, '\0');
  for (std::size_t i = 0; i < kLengthFieldBytes; ++i) {
    bytes[i] = static_cast<char>((value >> (8 * i)) & 0xFFu);
  }
  return bytes;
}

}  // namespace

std::uint8_t mirror_bits(std::uint8_t byte) {
  std::uint8_t mirrored = 0;
  for (int bit = 0; bit < 8; ++bit) {
    mirrored = static_cast<std::uint8_t>((mirrored << 1) | ((byte >> bit) & 1u));
  }
  return mirrored;
}

DesKey make_update_key(const std::string& password) {
  DesKey key{};
  for (std::size_t i = 0; i < password.size(); ++i) {
    key[i % key.size()] ^= static_cast<std::uint8_t>(password[i]);
  }
  for (std::uint8_t& byte : key) byte = mirror_bits(byte);
  return key;
}

std::string decrypt_update_data(const std::string& bytes, const std::string& password) {
  const std::size_t total = bytes.size();
  if (total == 0 || total % kBlockBytes != 0) return std::string();
  const std::string plain = des_ecb_decrypt(bytes, make_update_key(password));
  const long long length = read_int32_le(plain);
  const long long t = static_cast<long long>(total);
  // The padding must be shorter than one block.
  if (length <= 0 || length > t - 4 || length <= t - 12) return std::string();
  return plain.substr(kLengthFieldBytes, static_cast<std::size_t>(length));
}

std::string pack_update_data(const std::string& content, const std::string& password) {
  if (content.empty() ||
      content.size() > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max()) -
                           kLengthFieldBytes - kBlockBytes) {
    return std::string();
  }
  std::string plain = int32_le(static_cast<std::uint32_t>(content.size())) + content;
  plain.append((kBlockBytes - plain.size() % kBlockBytes) % kBlockBytes, '\0');
  return des_ecb_encrypt(plain, make_update_key(password));
}

std::string content_up_to_nul(const std::string& content) {
  return content.substr(0, content.find('\0'));
}

std::string text_between_markers(const std::string& text, const std::string& opening,
                                 const std::string& closing) {
  // A missing opening marker would otherwise start the value at a position
  // derived from -1, i.e. somewhere inside unrelated text.
  const long open_at = find_gbk(text, opening);
  if (open_at < 0) return std::string();
  const std::size_t start = static_cast<std::size_t>(open_at) + opening.size();
  if (start >= text.size()) return std::string();
  const long close_at = find_gbk(text, closing);
  if (close_at < 0 || static_cast<std::size_t>(close_at) <= start) return std::string();
  return text.substr(start, static_cast<std::size_t>(close_at) - start);
}

UpdateFields parse_update_fields(const std::string& text) {
  UpdateFields fields;
  fields.site = text_between_markers(text, "#网站", "网站#");
  fields.status_text = text_between_markers(text, "#状态文本", "状态文本#");
  fields.status_address = text_between_markers(text, "#状态网址", "状态网址#");
  fields.latest_version = text_between_markers(text, "#最新版本", "最新版本#");
  fields.download_address = text_between_markers(text, "#下载地址", "下载地址#");
  return fields;
}

}  // namespace lanchuan
