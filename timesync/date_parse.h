// Reading the HTTP Date header (RFC 1123 form only) and date-time texts.
#pragma once

#include <string>

#include "base/datetime.h"

namespace lanchuan {

// "Tue, 08 Dec 2026 05:36:14 GMT" -> the header's own GMT wall-clock time.
// False when the text is not in that form; `out` is untouched then.
bool parse_date_header(const std::string& header, DateTime& out);

// "2026-12-08 05:36:14" and its variants; 0100-01-01 00:00:00 when invalid.
DateTime date_time_from_text(const std::string& text);

// Same conversion, reporting whether the text was a valid date and time.
bool try_date_time_from_text(const std::string& text, DateTime& out);

}  // namespace lanchuan
