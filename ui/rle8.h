// The window's pictures as the resources hold them: bottom-up 8-bit DIBs with
// a colour table of their own and BI_RLE8 compression (tools/make_images.py),
// expanded by the program itself (ui/pictures_win32.h says why). The format,
// from "Bitmap Compression"
// (https://learn.microsoft.com/en-us/windows/win32/gdi/bitmap-compression):
// pairs (count, colour index); a count of 0 escapes: 0 ends the line, 1 ends
// the bitmap, 2 moves right and up by the next two bytes, 3 to 255 are that
// many indexes as they are, padded to a 16-bit boundary.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

namespace lanchuan {

// Where the parts of a packed 8-bit RLE DIB lie, as a BITMAP resource holds
// one: a BITMAPINFOHEADER, the colour table, the compressed bits.
struct Rle8Dib {
  int width = 0;
  int height = 0;                         // rows, bottom row first
  const std::uint8_t* colours = nullptr;  // colour_count RGBQUADs
  std::size_t colour_count = 0;
  const std::uint8_t* bits = nullptr;
  std::size_t bits_size = 0;
};

// The largest width and height read_rle8_dib takes.
constexpr int kRle8MaxSide = 4096;

// The parts of `data`, or nothing when it is not a bottom-up 8-bit BI_RLE8
// DIB of at most kRle8MaxSide pixels a side whose colour table lies within it.
std::optional<Rle8Dib> read_rle8_dib(const std::uint8_t* data, std::size_t size);

// Bytes in a row of the expanded picture: the width rounded up to 4, as in
// every uncompressed DIB.
std::size_t rle8_row_bytes(int width);

// Expands the bits into `pixels` (rle8_row_bytes(width) * height bytes, bottom
// row first as in a bottom-up DIB); pixels the stream skips get index 0.
// False when the stream is corrupt: it ends before its end-of-bitmap mark, or
// a run, a line end or a move leaves the picture.
bool expand_rle8(const Rle8Dib& dib, std::uint8_t* pixels);

}  // namespace lanchuan
