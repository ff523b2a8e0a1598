#include "update/update_file.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "update/update_config.h"

namespace lanchuan {
namespace {

std::string le32(std::int32_t value) {
  const std::uint32_t u = static_cast<std::uint32_t>(value);
  std::string bytes;
  for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<char>((u >> (8 * i)) & 0xFFu));
  return bytes;
}

// Encrypts a hand-made plaintext container, so that broken ones can be built.
std::string encrypt_container(const std::string& plain) {
  return des_ecb_encrypt(plain, make_update_key(kUpdatePassword));
}

TEST(UpdateKey, MirrorBitsReversesTheBitOrder) {
  struct Case {
    std::uint8_t in;
    std::uint8_t out;
  };
  for (const Case& c : {Case{0x01, 0x80}, Case{0x80, 0x01}, Case{0x0F, 0xF0}, Case{0x12, 0x48},
                        Case{0xA5, 0xA5}, Case{0x00, 0x00}, Case{0x0A, 0x50}}) {
    EXPECT_EQ(mirror_bits(c.in), c.out) << int{c.in};
  }
}

TEST(UpdateKey, FoldsThePasswordAndMirrorsEachByte) {
  // "318642759": the ninth digit folds into the first byte ('3' ^ '9' = 0x0A).
  const DesKey expected = {0x50, 0x8C, 0x1C, 0x6C, 0x2C, 0x4C, 0xEC, 0xAC};
  EXPECT_EQ(make_update_key(kUpdatePassword), expected);
  const DesKey zero{};
  EXPECT_EQ(make_update_key(""), zero);
  // Seventeen bytes: index 16 lands on byte 0 again, 8 and 0 cancel out.
  EXPECT_EQ(make_update_key("AbcdefghAbcdefghX")[0], mirror_bits('X'));
}

TEST(UpdateKey, TheIgnoredBitIsTheTopBitOfEachFoldedByte) {
  const std::string content = "#网站青禾网站#";
  const std::string packed = pack_update_data(content, "318642759");
  std::string top_flipped = "318642759";
  top_flipped[1] = static_cast<char>(top_flipped[1] ^ 0x80);
  std::string low_flipped = "318642759";
  low_flipped[1] = static_cast<char>(low_flipped[1] ^ 0x01);
  EXPECT_EQ(decrypt_update_data(packed, top_flipped), content);
  EXPECT_EQ(decrypt_update_data(packed, low_flipped), "");
}

TEST(UpdateContainer, PackWritesLengthContentAndZeroPadding) {
  const DesKey key = make_update_key(kUpdatePassword);
  EXPECT_EQ(des_ecb_decrypt(pack_update_data("abcd", kUpdatePassword), key), le32(4) + "abcd");
  EXPECT_EQ(des_ecb_decrypt(pack_update_data("abcde", kUpdatePassword), key),
            le32(5) + "abcde" + std::string(7, '\0'));
  EXPECT_EQ(pack_update_data("", kUpdatePassword), "");
}

TEST(UpdateContainer, RoundTripsEveryPaddingLength) {
  const std::string text = "#状态文本欢迎使用状态文本#\r\n\x01\xFF";
  for (std::size_t n = 1; n <= text.size(); ++n) {
    const std::string content = text.substr(0, n);
    const std::string packed = pack_update_data(content, kUpdatePassword);
    EXPECT_EQ(packed.size() % 8, 0u);
    EXPECT_EQ(decrypt_update_data(packed, kUpdatePassword), content) << n;
  }
}

TEST(UpdateContainer, RejectsBrokenContainers) {
  struct Case {
    const char* what;
    std::string bytes;
  };
  const std::string good = encrypt_container(le32(5) + "hello" + std::string(7, '\0'));
  const Case cases[] = {
      {"empty", ""},
      {"7 bytes", good.substr(0, 7)},
      {"9 bytes", good + "x"},
      {"12 bytes", good.substr(0, 12)},
      {"length 0", encrypt_container(le32(0) + "abcd")},
      {"negative length", encrypt_container(le32(-4) + "abcd")},
      {"most negative length", encrypt_container(le32(INT32_MIN) + "abcd")},
      {"length beyond T - 4", encrypt_container(le32(5) + "abcd")},
      {"padding of 8", encrypt_container(le32(4) + "abcd" + std::string(8, '\0'))},
      {"padding of 12", encrypt_container(le32(1) + "a" + std::string(11, '\0'))},
      {"wrong password", pack_update_data("hello", "318642758")},
  };
  EXPECT_EQ(decrypt_update_data(good, kUpdatePassword), "hello");
  for (const Case& c : cases) {
    EXPECT_EQ(decrypt_update_data(c.bytes, kUpdatePassword), "") << c.what;
  }
}

TEST(UpdateContainer, AcceptsTheEdgesOfTheValidLengths) {
  // L = T - 4 (no padding) and L = T - 11 (seven bytes of padding), padding
  // not examined.
  EXPECT_EQ(decrypt_update_data(encrypt_container(le32(4) + "abcd"), kUpdatePassword), "abcd");
  EXPECT_EQ(decrypt_update_data(encrypt_container(le32(5) + "abcde" + "garbage"), kUpdatePassword),
            "abcde");
}

TEST(UpdateContent, TextEndsAtTheFirstNul) {
  EXPECT_EQ(content_up_to_nul(std::string("#网站青禾\0网站#", 14)), "#网站青禾");
  EXPECT_EQ(content_up_to_nul("no nul"), "no nul");
  EXPECT_EQ(content_up_to_nul(std::string("\0abc", 4)), "");
}

TEST(UpdateContent, TextBetweenMarkers) {
  struct Case {
    const char* what;
    std::string text;
    std::string expected;
  };
  const Case cases[] = {
      {"plain", "xx<a>value</a>yy", "value"},
      {"first of several", "<a>one</a><a>two</a>", "one"},
      {"empty value", "<a></a>", ""},
      {"missing closing", "<a>value", ""},
      {"missing opening", "value</a>", ""},
      {"missing opening, text long enough", "0123456789</a>", ""},
      {"closing before opening", "</a><a>value</a>", ""},
      {"opening at the very end", "</a><a>", ""},
      {"case counts", "<A>value</a>", ""},
      {"empty text", "", ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(text_between_markers(c.text, "<a>", "</a>"), c.expected) << c.what;
  }
}

TEST(UpdateContent, MarkersAreFoundOnlyOnCharacterBoundaries) {
  // After the lead byte 0xB0, the bytes of "网站#" are shifted by one: 0xB0
  // pairs with the first byte of 网, so that copy of the closing marker is no
  // match; the copy after "X" is.
  const std::string text = std::string("#网站") + "\xB0" + "网站#" + "X" + "网站#";
  EXPECT_EQ(text_between_markers(text, "#网站", "网站#"), std::string("\xB0") + "网站#X");
  // A Chinese value between Chinese markers.
  EXPECT_EQ(text_between_markers("#最新版本第三版最新版本#", "#最新版本", "最新版本#"), "第三版");
}

TEST(UpdateFields, ReadsTheFiveFieldsInAnyOrder) {
  const std::string text =
      "说明 #下载地址http://dl.example/new.exe下载地址#\r\n"
      "#最新版本3.6最新版本#\r\n"
      "#状态网址http://www.example/news状态网址#\r\n"
      "#状态文本新年快乐！状态文本#\r\n"
      "#网站青禾网站#";
  const UpdateFields f = parse_update_fields(text);
  EXPECT_EQ(f.site, kSiteTag);
  EXPECT_EQ(f.status_text, "新年快乐！");
  EXPECT_EQ(f.status_address, "http://www.example/news");
  EXPECT_EQ(f.latest_version, "3.6");
  EXPECT_EQ(f.download_address, "http://dl.example/new.exe");
}

TEST(UpdateFields, SiteTagWithATrailingBlankIsNotTheTag) {
  EXPECT_NE(parse_update_fields("#网站青禾 网站#").site, kSiteTag);
  EXPECT_EQ(parse_update_fields("#网站青禾 网站#").site, "青禾 ");
}

TEST(UpdateFields, ClosingMarkerInsideAnotherValueEmptiesItsField) {
  const UpdateFields f = parse_update_fields("#状态文本看最新版本#状态文本##最新版本3.4最新版本#");
  EXPECT_EQ(f.status_text, "看最新版本#");
  EXPECT_EQ(f.latest_version, "");
}

}  // namespace
}  // namespace lanchuan
