// The pictures' RLE8 expansion. The whole input is read as a packed DIB; then
// its first two bytes give a picture of at most 64 x 64 pixels and the rest is
// expanded into it as a stream. ASan holds every write inside the picture;
// the checks hold the row padding at 0 and the end-of-bitmap mark final.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz/fuzz_check.h"
#include "ui/rle8.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace lanchuan;
  if (const auto dib = read_rle8_dib(data, size)) {
    FUZZ_CHECK(dib->colour_count <= 256 && dib->colours > data &&
                   dib->bits == dib->colours + 4 * dib->colour_count &&
                   dib->bits + dib->bits_size == data + size,
               "parts outside the input");
  }
  if (size < 2) return 0;
  const Rle8Dib dib{data[0] % 64 + 1, data[1] % 64 + 1, nullptr, 0, data + 2, size - 2};
  const std::size_t row = rle8_row_bytes(dib.width);
  std::vector<std::uint8_t> pixels(row * static_cast<std::size_t>(dib.height), 0xEE);
  if (!expand_rle8(dib, pixels.data())) return 0;
  for (std::size_t at = 0; at < pixels.size(); ++at) {
    FUZZ_CHECK(at % row < static_cast<std::size_t>(dib.width) || pixels[at] == 0,
               "row padding written at " + std::to_string(at));
  }
  // Bytes after the end of the bitmap change nothing.
  std::vector<std::uint8_t> longer(data + 2, data + size);
  longer.insert(longer.end(), data, data + size);
  Rle8Dib more = dib;
  more.bits = longer.data();
  more.bits_size = longer.size();
  std::vector<std::uint8_t> again(pixels.size(), 0x55);
  FUZZ_CHECK(expand_rle8(more, again.data()) && again == pixels, "trailing bytes mattered");
  return 0;
}
