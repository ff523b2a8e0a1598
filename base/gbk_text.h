// Narrow GBK (code page 936) text helpers shared by the parsers. A byte of 0x80
// or more starts a two-byte character; searches and splits step over such a
// character as a whole, so a match never begins in its second byte.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace lanchuan {

// Splits at every occurrence of `separator`. The text between two separators is
// a piece even when empty; what follows the last separator is a piece only if
// it is not empty. An empty text gives no pieces.
std::vector<std::string> split_gbk(const std::string& text, const std::string& separator);

// Byte index of the first occurrence of `needle` at or after byte `from`,
// stepping character by character, or -1. An empty needle is never found.
long find_gbk(const std::string& text, const std::string& needle, std::size_t from = 0);

// Replaces the full-width GBK forms of ASCII characters (A3A1-A3FE, and the
// full-width blank A1A1) by their ASCII counterparts.
std::string full_width_to_ascii(const std::string& text);

// The decimal integer at the front: leading blanks skipped, optional sign,
// digits up to the first other character (full-width digits count as ASCII).
// No digits reads as 0. Saturates instead of overflowing.
long long text_to_integer(const std::string& text);

// The longest valid leading decimal floating-point number, after full-width to
// ASCII and skipping leading blanks; 0 when there is none.
double text_to_number(const std::string& text);

// "%.13g"
std::string format_g13(double value);

}  // namespace lanchuan
