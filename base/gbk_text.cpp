#include "base/gbk_text.h"

#include <cfloat>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace lanchuan {
namespace {

bool is_lead_byte(char c) { return (static_cast<unsigned char>(c) & 0x80u) != 0; }

// Length of the character at `pos`: two for a lead byte with a byte after it,
// one otherwise, so a lone lead byte at the end never steps past the text.
std::size_t char_length(const std::string& text, std::size_t pos) {
  return is_lead_byte(text[pos]) && pos + 1 < text.size() ? 2 : 1;
}

bool matches_at(const std::string& text, std::size_t pos, const std::string& needle) {
  return text.compare(pos, needle.size(), needle) == 0;
}

bool is_digit(char c) { return c >= '0' && c <= '9'; }

std::size_t skip_blanks(const std::string& text, std::size_t pos) {
  while (pos < text.size() && text[pos] == ' ') ++pos;
  return pos;
}

std::size_t skip_digits(const std::string& text, std::size_t pos) {
  while (pos < text.size() && is_digit(text[pos])) ++pos;
  return pos;
}

// The span of a decimal floating-point number at `begin`, as far as it is
// valid: sign, digits, '.', digits, then an exponent only when it has digits.
// Returns `begin` when there is no digit in the mantissa.
std::size_t scan_decimal(const std::string& text, std::size_t begin) {
  std::size_t pos = begin;
  if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) ++pos;
  const std::size_t int_begin = pos;
  pos = skip_digits(text, pos);
  bool has_digits = pos > int_begin;
  if (pos < text.size() && text[pos] == '.') {
    const std::size_t frac_begin = pos + 1;
    const std::size_t frac_end = skip_digits(text, frac_begin);
    if (has_digits || frac_end > frac_begin) pos = frac_end;
    has_digits = has_digits || frac_end > frac_begin;
  }
  if (!has_digits) return begin;
  if (pos < text.size() && (text[pos] == 'e' || text[pos] == 'E')) {
    std::size_t exp = pos + 1;
    if (exp < text.size() && (text[exp] == '+' || text[exp] == '-')) ++exp;
    const std::size_t exp_end = skip_digits(text, exp);
    if (exp_end > exp) pos = exp_end;
  }
  return pos;
}

}  // namespace

std::vector<std::string> split_gbk(const std::string& text, const std::string& separator) {
  std::vector<std::string> pieces;
  if (separator.empty()) {
    if (!text.empty()) pieces.push_back(text);
    return pieces;
  }
  std::size_t piece_begin = 0;
  std::size_t pos = 0;
  while (pos < text.size()) {
    if (matches_at(text, pos, separator)) {
      pieces.push_back(text.substr(piece_begin, pos - piece_begin));
      pos += separator.size();
      piece_begin = pos;
    } else {
      pos += char_length(text, pos);
    }
  }
  if (piece_begin < text.size()) pieces.push_back(text.substr(piece_begin));
  return pieces;
}

long find_gbk(const std::string& text, const std::string& needle, std::size_t from) {
  if (needle.empty()) return -1;
  for (std::size_t pos = from; pos < text.size(); pos += char_length(text, pos)) {
    if (matches_at(text, pos, needle)) return static_cast<long>(pos);
  }
  return -1;
}

std::string full_width_to_ascii(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  std::size_t pos = 0;
  while (pos < text.size()) {
    const std::size_t len = char_length(text, pos);
    if (len == 2) {
      const auto lead = static_cast<unsigned char>(text[pos]);
      const auto trail = static_cast<unsigned char>(text[pos + 1]);
      if (lead == 0xA3 && trail >= 0xA1 && trail <= 0xFE) {
        out.push_back(static_cast<char>(trail - 0x80));
      } else if (lead == 0xA1 && trail == 0xA1) {
        out.push_back(' ');
      } else {
        out.append(text, pos, 2);
      }
    } else {
      out.push_back(text[pos]);
    }
    pos += len;
  }
  return out;
}

long long text_to_integer(const std::string& text) {
  const std::string ascii = full_width_to_ascii(text);
  std::size_t pos = skip_blanks(ascii, 0);
  bool negative = false;
  if (pos < ascii.size() && (ascii[pos] == '+' || ascii[pos] == '-')) {
    negative = ascii[pos] == '-';
    ++pos;
  }
  // Accumulated on the negative side, which holds one more value.
  long long value = 0;
  for (; pos < ascii.size() && is_digit(ascii[pos]); ++pos) {
    const int digit = ascii[pos] - '0';
    if (value < (LLONG_MIN + digit) / 10) return negative ? LLONG_MIN : LLONG_MAX;
    value = value * 10 - digit;
  }
  if (negative) return value;
  return value == LLONG_MIN ? LLONG_MAX : -value;
}

double text_to_number(const std::string& text) {
  const std::string ascii = full_width_to_ascii(text);
  const std::size_t begin = skip_blanks(ascii, 0);
  const std::size_t end = scan_decimal(ascii, begin);
  if (end == begin) return 0.0;
  // strtod sees only the decimal form scan_decimal found; the programs never
  // change the C locale, so the decimal point is '.'. (std::from_chars would
  // need no such promise, but it adds 40 KB to the program file.)
  const double value = std::strtod(ascii.substr(begin, end - begin).c_str(), nullptr);
  // Beyond the double range: the nearest value it has, never infinity.
  return std::isinf(value) ? std::copysign(DBL_MAX, value) : value;
}

std::string format_g13(double value) {
  char text[64];
  std::snprintf(text, sizeof text, "%.13g", value);
  return text;
}

}  // namespace lanchuan
