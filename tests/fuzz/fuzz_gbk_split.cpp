// GBK splitting and searching, used on header values and on the update file's
// content. The first input byte sets the separator's length (its value mod 4)
// and a start offset for the search (its value / 4); the separator follows,
// then the text. A reference built on a precomputed table of character starts
// checks every answer.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "base/gbk_text.h"
#include "fuzz/fuzz_check.h"

namespace lanchuan {
namespace {

using fuzz::escaped;

// Which bytes start a character when the text is read from `from`: a byte of
// 0x80 or more takes the next byte with it, when there is one.
std::vector<bool> character_starts(const std::string& text, std::size_t from) {
  std::vector<bool> starts(text.size(), false);
  std::size_t pos = from;
  while (pos < text.size()) {
    starts[pos] = true;
    const bool lead = (static_cast<unsigned char>(text[pos]) & 0x80u) != 0;
    pos += lead && pos + 1 < text.size() ? 2 : 1;
  }
  return starts;
}

long reference_find(const std::string& text, const std::string& needle, std::size_t from) {
  if (needle.empty()) return -1;
  const std::vector<bool> starts = character_starts(text, from);
  for (std::size_t pos = text.find(needle, from); pos != std::string::npos;
       pos = text.find(needle, pos + 1)) {
    if (starts[pos]) return static_cast<long>(pos);
  }
  return -1;
}

std::string join(const std::vector<std::string>& pieces, const std::string& separator) {
  std::string joined;
  for (std::size_t i = 0; i < pieces.size(); ++i) {
    if (i > 0) joined += separator;
    joined += pieces[i];
  }
  return joined;
}

std::string describe(const std::string& text, const std::string& separator) {
  return "text [" + escaped(text) + "] separator [" + escaped(separator) + "]";
}

void check_find(const std::string& text, const std::string& needle, std::size_t from) {
  const long found = find_gbk(text, needle, from);
  const long expected = reference_find(text, needle, from);
  FUZZ_CHECK(found == expected, describe(text, needle) + " from " + std::to_string(from) + ": " +
                                    std::to_string(found) + ", expected " +
                                    std::to_string(expected));
}

void check_split(const std::string& text, const std::string& separator) {
  const std::vector<std::string> pieces = split_gbk(text, separator);
  const std::string shown = describe(text, separator);
  FUZZ_CHECK(text.empty() == pieces.empty(), shown);
  if (separator.empty()) {
    FUZZ_CHECK(pieces.empty() || (pieces.size() == 1 && pieces[0] == text), shown);
    return;
  }
  // Joining gives the text back, less a separator at its very end, which
  // leaves no empty last piece behind.
  const std::string joined = join(pieces, separator);
  FUZZ_CHECK(joined == text || joined + separator == text, shown);
  for (const std::string& piece : pieces) {
    FUZZ_CHECK(find_gbk(piece, separator) == -1, shown + " piece [" + escaped(piece) + "]");
  }
  // The same cuts through repeated searches.
  std::vector<std::string> expected;
  std::size_t begin = 0;
  for (long at = find_gbk(text, separator); at >= 0; at = find_gbk(text, separator, begin)) {
    expected.push_back(text.substr(begin, static_cast<std::size_t>(at) - begin));
    begin = static_cast<std::size_t>(at) + separator.size();
  }
  if (begin < text.size()) expected.push_back(text.substr(begin));
  FUZZ_CHECK(pieces == expected, shown);
}

}  // namespace
}  // namespace lanchuan

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::size_t separator_length = data[0] % 4;
  const std::size_t from = data[0] / 4;
  if (size - 1 < separator_length) return 0;
  const std::string separator = lanchuan::fuzz::as_text(data + 1, separator_length);
  const std::string text =
      lanchuan::fuzz::as_text(data + 1 + separator_length, size - 1 - separator_length);
  lanchuan::check_split(text, separator);
  lanchuan::check_find(text, separator, 0);
  lanchuan::check_find(text, separator, from);
  return 0;
}
