#include "ui/rle8.h"

#include <gtest/gtest.h>

#include <vector>

namespace lanchuan {
namespace {

// Expands `bits` as a picture of width x height; empty when rejected.
std::vector<std::uint8_t> expand(std::vector<std::uint8_t> bits, int width, int height) {
  const Rle8Dib dib{width, height, nullptr, 0, bits.data(), bits.size()};
  std::vector<std::uint8_t> pixels(rle8_row_bytes(width) * static_cast<std::size_t>(height), 0xEE);
  if (!expand_rle8(dib, pixels.data())) return {};
  return pixels;
}

// The example of "Bitmap Compression", in a picture of 20 x 3 pixels.
TEST(Rle8, ExpandsTheDocumentedExample) {
  const std::vector<std::uint8_t> got = expand(
      {3, 4, 5, 6, 0, 3, 0x45, 0x56, 0x67, 0, 2, 0x78, 0, 2, 5, 1, 2, 0x78, 0, 0, 9, 0x1E, 0, 1},
      20, 3);
  std::vector<std::uint8_t> want(60, 0);
  const std::uint8_t first[] = {4, 4, 4, 6, 6, 6, 6, 6, 0x45, 0x56, 0x67, 0x78, 0x78};
  std::copy(std::begin(first), std::end(first), want.begin());
  want[20 + 18] = want[20 + 19] = 0x78;  // five right of the run, one row up
  std::fill(want.begin() + 40, want.begin() + 49, 0x1E);
  EXPECT_EQ(got, want);
}

TEST(Rle8, RejectsCorruptStreams) {
  const std::vector<std::vector<std::uint8_t>> corrupt = {
      {},                              // no end-of-bitmap mark
      {2, 7, 0},                       // ends within a pair
      {5, 7, 0, 1},                    // a run past the row's end (width 4)
      {0, 3, 1, 2, 3},                 // absolute run without its pad byte
      {0, 5, 1, 2, 3, 4, 5, 0, 0, 1},  // absolute run past the row's end
      {0, 2, 4, 0, 1, 1, 0, 1},        // moved to the row's end, then a pixel
      {0, 2, 0, 3, 0, 1},              // moved above the top row
      {0, 0, 0, 0, 1, 1, 0, 1},        // a pixel above the top row (height 2)
  };
  for (const auto& bits : corrupt) EXPECT_TRUE(expand(bits, 4, 2).empty()) << bits.size();
  EXPECT_FALSE(expand({4, 7, 0, 0, 4, 7, 0, 0, 0, 1}, 4, 2).empty());
}

}  // namespace
}  // namespace lanchuan
