#include "ui/rle8.h"

#include <cstring>

namespace lanchuan {

namespace {

constexpr std::size_t kInfoHeaderSize = 40;  // BITMAPINFOHEADER
constexpr std::uint32_t kBiRle8 = 1;

std::uint32_t read_u32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
         static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

std::uint16_t read_u16(const std::uint8_t* p) {
  return static_cast<std::uint16_t>(p[0] | p[1] << 8);
}

}  // namespace

std::optional<Rle8Dib> read_rle8_dib(const std::uint8_t* data, std::size_t size) {
  if (size < kInfoHeaderSize) return std::nullopt;
  // A longer header (BITMAPV4HEADER, BITMAPV5HEADER) begins the same way.
  const std::uint32_t header_size = read_u32(data);
  const auto width = static_cast<std::int32_t>(read_u32(data + 4));
  // Negative: top-down, which "cannot be compressed" (BITMAPINFOHEADER).
  const auto height = static_cast<std::int32_t>(read_u32(data + 8));
  const std::uint32_t used = read_u32(data + 32);
  const std::size_t colour_count = used == 0 ? 256 : used;  // 0: all 2^8
  if (header_size < kInfoHeaderSize || header_size > size || width <= 0 || width > kRle8MaxSide ||
      height <= 0 || height > kRle8MaxSide || read_u16(data + 12) != 1 ||
      read_u16(data + 14) != 8 || read_u32(data + 16) != kBiRle8 || colour_count > 256 ||
      colour_count * 4 > size - header_size) {
    return std::nullopt;
  }
  Rle8Dib dib;
  dib.width = width;
  dib.height = height;
  dib.colours = data + header_size;
  dib.colour_count = colour_count;
  dib.bits = dib.colours + colour_count * 4;
  dib.bits_size = size - header_size - colour_count * 4;
  return dib;
}

std::size_t rle8_row_bytes(int width) { return (static_cast<std::size_t>(width) + 3) / 4 * 4; }

bool expand_rle8(const Rle8Dib& dib, std::uint8_t* pixels) {
  const auto width = static_cast<std::size_t>(dib.width);
  const auto height = static_cast<std::size_t>(dib.height);
  const std::size_t row = rle8_row_bytes(dib.width);
  std::memset(pixels, 0, row * height);
  const std::uint8_t* in = dib.bits;
  const std::uint8_t* const end = dib.bits + dib.bits_size;
  std::size_t x = 0;
  std::size_t y = 0;  // x <= width and y <= height throughout
  while (end - in >= 2) {
    const std::uint8_t count = in[0];
    const std::uint8_t value = in[1];
    in += 2;
    if (count > 0) {  // `count` pixels of index `value`
      if (y == height || count > width - x) return false;
      std::memset(pixels + y * row + x, value, count);
      x += count;
    } else if (value == 0) {  // end of line
      if (y == height) return false;
      x = 0;
      ++y;
    } else if (value == 1) {  // end of bitmap
      return true;
    } else if (value == 2) {  // move right and up
      if (end - in < 2 || in[0] > width - x || in[1] > height - y) return false;
      x += in[0];
      y += in[1];
      in += 2;
    } else {  // `value` indexes as they are, then a pad byte if odd
      const std::size_t padded = value + (value & 1u);
      if (y == height || value > width - x || static_cast<std::size_t>(end - in) < padded) {
        return false;
      }
      std::memcpy(pixels + y * row + x, in, value);
      x += value;
      in += padded;
    }
  }
  return false;
}

}  // namespace lanchuan
