// Which typed characters the integer input mode of an edit box lets through.
#pragma once

namespace lanchuan {

// Control characters (below 32: Backspace, Ctrl+C, ...) pass, so do the
// digits and '-'; everything else typed is dropped, each byte of a two-byte
// character included.
constexpr bool accepts_integer_char(unsigned code) {
  return code < 32 || (code >= '0' && code <= '9') || code == '-';
}

}  // namespace lanchuan
