// DES (FIPS 46-3) for the update file: one 8-byte block at a time and ECB over
// whole blocks. Written for the tool so that it needs no crypto library; DES
// is not a secure cipher and is only used because the file format demands it.
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace lanchuan {

using DesKey = std::array<std::uint8_t, 8>;
using DesBlock = std::array<std::uint8_t, 8>;

// A key schedule. Bytes and bits are in the standard's order: the first byte
// holds bits 1-8, most significant bit first; the low bit of every key byte is
// the ignored parity bit.
class Des {
 public:
  explicit Des(const DesKey& key);

  DesBlock encrypt_block(const DesBlock& plain) const;
  DesBlock decrypt_block(const DesBlock& cipher) const;

 private:
  std::uint64_t crypt(std::uint64_t block, bool decrypt) const;

  std::array<std::uint64_t, 16> subkeys_{};
};

// ECB over `data`, each 8-byte block on its own. A length that is not a
// multiple of 8 gives the empty result (there is no padding at this level).
std::string des_ecb_encrypt(const std::string& data, const DesKey& key);
std::string des_ecb_decrypt(const std::string& data, const DesKey& key);

}  // namespace lanchuan
