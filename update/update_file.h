// The update-information file: a DES-encrypted container (length header,
// content, zero padding) around GBK text with five marked fields.
#pragma once

#include <cstdint>
#include <string>

#include "update/des.h"

namespace lanchuan {

// Reverses the bit order of one byte (bit 0 becomes bit 7 and so on).
std::uint8_t mirror_bits(std::uint8_t byte);

// The password's bytes XORed into 8 bytes at (index mod 8), each byte then
// bit-mirrored: the file's key bits are taken least significant bit first,
// while standard DES takes them most significant bit first.
DesKey make_update_key(const std::string& password);

// The content of an encrypted container, or empty when the bytes are not a
// positive multiple of 8 long or the decrypted length field L (signed 32-bit
// little-endian) breaks 0 < L <= T - 4 or L > T - 12.
std::string decrypt_update_data(const std::string& bytes, const std::string& password);

// The inverse of decrypt_update_data. Empty content cannot be represented
// (L must be positive) and gives empty bytes.
std::string pack_update_data(const std::string& content, const std::string& password);

// The content read as text: up to its first NUL byte.
std::string content_up_to_nul(const std::string& content);

// The bytes between the first opening marker and the first closing marker of
// the whole text, both found stepping over GBK characters. The closing marker
// is searched from the start of the text, so one that occurs before the
// opening marker gives the empty value; so does a missing marker of either
// kind.
std::string text_between_markers(const std::string& text, const std::string& opening,
                                 const std::string& closing);

struct UpdateFields {
  std::string site;
  std::string status_text;
  std::string status_address;
  std::string latest_version;
  std::string download_address;
};

// Extracts the five fields from the content text.
UpdateFields parse_update_fields(const std::string& text);

}  // namespace lanchuan
