#include "update/des.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>
#include <sstream>
#include <string>

namespace lanchuan {
namespace {

std::string from_hex(const std::string& hex) {
  std::string bytes;
  for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
    bytes.push_back(static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16)));
  }
  return bytes;
}

std::string to_hex(const std::string& bytes) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string hex;
  for (char c : bytes) {
    const unsigned char b = static_cast<unsigned char>(c);
    hex.push_back(kDigits[b >> 4]);
    hex.push_back(kDigits[b & 0x0F]);
  }
  return hex;
}

DesKey key_from_hex(const std::string& hex) {
  const std::string bytes = from_hex(hex);
  DesKey key{};
  for (std::size_t i = 0; i < key.size(); ++i) key[i] = static_cast<std::uint8_t>(bytes[i]);
  return key;
}

struct KnownAnswer {
  const char* key;
  const char* plain;
  const char* cipher;
};

// Published vectors: the classic worked example, the "Now is the time"
// example, and variable-plaintext, variable-key, permutation and substitution
// tests of NIST SP 800-17.
constexpr KnownAnswer kKnownAnswers[] = {
    {"133457799BBCDFF1", "0123456789ABCDEF", "85E813540F0AB405"},
    {"0123456789ABCDEF", "4E6F772069732074", "3FA40E8A984D4815"},
    {"0101010101010101", "8000000000000000", "95F8A5E5DD31D900"},
    {"0101010101010101", "4000000000000000", "DD7F121CA5015619"},
    {"0101010101010101", "2000000000000000", "2E8653104F3834EA"},
    {"8001010101010101", "0000000000000000", "95A8D72813DAA94D"},
    {"4001010101010101", "0000000000000000", "0EEC1487DD8C26D5"},
    {"1046913489980131", "0000000000000000", "88D55E54F54C97B4"},
    {"7CA110454A1A6E57", "01A1D6D039776742", "690F5B0D9A26939B"},
};

TEST(Des, KnownAnswersBothWays) {
  for (const KnownAnswer& v : kKnownAnswers) {
    SCOPED_TRACE(v.key);
    const DesKey key = key_from_hex(v.key);
    EXPECT_EQ(to_hex(des_ecb_encrypt(from_hex(v.plain), key)), v.cipher);
    EXPECT_EQ(to_hex(des_ecb_decrypt(from_hex(v.cipher), key)), v.plain);
  }
}

TEST(Des, ParityBitsOfTheKeyAreIgnored) {
  // Flipping the low bit of every key byte must not change the result.
  const std::string plain = from_hex("0123456789ABCDEF");
  EXPECT_EQ(des_ecb_encrypt(plain, key_from_hex("133457799BBCDFF1")),
            des_ecb_encrypt(plain, key_from_hex("123556789ABDDEF0")));
  EXPECT_NE(des_ecb_encrypt(plain, key_from_hex("133457799BBCDFF1")),
            des_ecb_encrypt(plain, key_from_hex("133457799BBCDFF3")));
}

TEST(Des, EcbTreatsBlocksIndependently) {
  const DesKey key = key_from_hex("133457799BBCDFF1");
  const std::string two = des_ecb_encrypt(from_hex("0123456789ABCDEF0123456789ABCDEF"), key);
  EXPECT_EQ(to_hex(two), "85E813540F0AB40585E813540F0AB405");
}

TEST(Des, EcbRefusesPartialBlocks) {
  const DesKey key = key_from_hex("133457799BBCDFF1");
  EXPECT_EQ(des_ecb_encrypt(std::string(7, 'a'), key), "");
  EXPECT_EQ(des_ecb_decrypt(std::string(9, 'a'), key), "");
  EXPECT_EQ(des_ecb_encrypt("", key), "");
}

// --- Against the OpenSSL command line, on random keys and data ------------

class TempFile {
 public:
  TempFile() {
    char name[] = "/tmp/lanchuan_des_XXXXXX";
    const int fd = mkstemp(name);
    if (fd >= 0) {
      close(fd);
      path_ = name;
    }
  }
  ~TempFile() {
    if (!path_.empty()) std::remove(path_.c_str());
  }
  TempFile(const TempFile&) = delete;
  TempFile& operator=(const TempFile&) = delete;
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

bool write_bytes(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(out);
}

std::string read_bytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

// Runs openssl on `input`; false when openssl or its legacy provider (where
// DES lives in OpenSSL 3) is not available.
bool openssl_des(const std::string& key_hex, const std::string& input, bool decrypt,
                 std::string& output) {
  TempFile in;
  TempFile out;
  if (in.path().empty() || out.path().empty() || !write_bytes(in.path(), input)) return false;
  const std::string command = std::string("openssl enc ") + (decrypt ? "-d " : "") +
                              "-des-ecb -nopad -K " + key_hex +
                              " -provider legacy -provider default -in " + in.path() + " -out " +
                              out.path() + " 2>/dev/null";
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return false;
  const int status = pclose(pipe);
  if (status != 0) return false;
  output = read_bytes(out.path());
  return true;
}

TEST(Des, MatchesOpenSslOnRandomData) {
  std::mt19937 random(20260712);
  std::uniform_int_distribution<int> byte(0, 255);
  for (int round = 0; round < 4; ++round) {
    std::string key_bytes;
    for (int i = 0; i < 8; ++i) key_bytes.push_back(static_cast<char>(byte(random)));
    std::string data;
    for (int i = 0; i < 8 * 64; ++i) data.push_back(static_cast<char>(byte(random)));
    const std::string key_hex = to_hex(key_bytes);
    const DesKey key = key_from_hex(key_hex);

    std::string expected_cipher;
    std::string expected_plain;
    if (!openssl_des(key_hex, data, false, expected_cipher) ||
        !openssl_des(key_hex, data, true, expected_plain)) {
      GTEST_SKIP() << "openssl with the legacy provider is not available";
    }
    SCOPED_TRACE(key_hex);
    EXPECT_EQ(to_hex(des_ecb_encrypt(data, key)), to_hex(expected_cipher));
    EXPECT_EQ(to_hex(des_ecb_decrypt(data, key)), to_hex(expected_plain));
  }
}

}  // namespace
}  // namespace lanchuan
