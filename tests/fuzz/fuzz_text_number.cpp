// The text-to-number conversions read header pieces, the Content-Length of the
// update fetch and edit-box texts. The C library is the oracle where its
// grammar is the same: strtoll for integers, strtod for decimal numbers.
#include <cctype>
#include <cfloat>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "base/gbk_text.h"
#include "fuzz/fuzz_check.h"
#include "update/fetch_rules.h"

namespace lanchuan {
namespace {

using fuzz::escaped;

// The text from its first non-blank byte, full-width forms made ASCII, or
// nothing when the C functions would read it differently: they also skip
// tabs and line breaks, and strtod reads hexadecimal, "inf" and "nan".
bool c_library_view(const std::string& text, bool floating, std::string& rest) {
  const std::string ascii = full_width_to_ascii(text);
  const std::size_t begin = ascii.find_first_not_of(' ');
  rest = begin == std::string::npos ? std::string() : ascii.substr(begin);
  if (!rest.empty() && std::isspace(static_cast<unsigned char>(rest[0]))) return false;
  if (floating && rest.find_first_of("xXiInN") != std::string::npos) return false;
  return true;
}

void check_integer(const std::string& text) {
  const long long value = text_to_integer(text);
  std::string rest;
  if (!c_library_view(text, false, rest)) return;
  // Saturates on overflow, as text_to_integer does.
  const long long expected = std::strtoll(rest.c_str(), nullptr, 10);
  FUZZ_CHECK(value == expected, escaped(text) + " -> " + std::to_string(value) + ", strtoll " +
                                    std::to_string(expected));
}

void check_number(const std::string& text) {
  const double value = text_to_number(text);
  FUZZ_CHECK(std::isfinite(value), escaped(text) + " -> " + format_g13(value));
  std::string rest;
  if (!c_library_view(text, true, rest)) return;
  const double expected = std::strtod(rest.c_str(), nullptr);
  const std::string shown =
      escaped(text) + " -> " + format_g13(value) + ", strtod " + format_g13(expected);
  // strtod reports ERANGE also for results it rounded into the subnormal
  // range, or up to DBL_MIN; only an overflow gives a different answer.
  if (std::isinf(expected)) {
    FUZZ_CHECK(value == std::copysign(DBL_MAX, expected), shown);
  } else {
    FUZZ_CHECK(value == expected, shown);
  }
}

void check_full_width(const std::string& text) {
  const std::string ascii = full_width_to_ascii(text);
  FUZZ_CHECK(ascii.size() <= text.size(), escaped(text));
  FUZZ_CHECK(full_width_to_ascii(ascii) == ascii, escaped(text) + " -> " + escaped(ascii));
  bool plain = true;
  for (const char c : text) plain = plain && static_cast<unsigned char>(c) < 0x80;
  if (plain) FUZZ_CHECK(ascii == text, escaped(text));
}

// Any double the bytes spell: "%.13g" fits its buffer and reads back within
// the precision it keeps.
void check_format(const std::uint8_t* data, std::size_t size) {
  if (size < sizeof(double)) return;
  double value = 0;
  std::memcpy(&value, data, sizeof value);
  const std::string text = format_g13(value);
  FUZZ_CHECK(!text.empty() && text.size() < 32, text);
  if (!std::isfinite(value)) return;
  const double back = text_to_number(text);
  if (std::fabs(value) < DBL_MIN) {
    FUZZ_CHECK(std::fabs(back) < DBL_MIN, text);
  } else {
    FUZZ_CHECK(std::fabs(back - value) <= std::fabs(value) * 1e-12, text);
  }
}

void check_content_length(const std::string& text) {
  const std::size_t chunk = read_chunk_size(true, text);
  FUZZ_CHECK(chunk >= 1 && chunk <= kMaxReadChunk, escaped(text));
}

}  // namespace
}  // namespace lanchuan

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text = lanchuan::fuzz::as_text(data, size);
  lanchuan::check_integer(text);
  lanchuan::check_number(text);
  lanchuan::check_full_width(text);
  lanchuan::check_format(data, size);
  lanchuan::check_content_length(text);
  return 0;
}
