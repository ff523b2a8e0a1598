// Who gave an answer: a "voice", the text the step guard counts servers by.
// Several URLs may be one server (spellings of one name, a name and its
// address, two names of one address), and every answer through a proxy is
// the proxy's: names alone would let one machine speak for three. A voice is
// the address actually connected to, in one text per address; where that
// cannot be read (the request object), the host as the URL names it, in one
// spelling per name.
#pragma once

#include <cstdint>
#include <string>

#include "timesync/proxy.h"

namespace lanchuan {

// "192.0.2.1".
std::string ipv4_text(const std::uint8_t bytes[4]);
// The canonical text of an IPv6 address: lower-case hexadecimal without
// leading zeros, the longest run of two or more zero groups (the first of
// equal ones) written "::". An IPv4-mapped address (::ffff:a.b.c.d) is the
// IPv4 address it maps, as ipv4_text writes it: the same peer either way.
std::string ipv6_text(const std::uint8_t bytes[16]);

// Dotted decimal, four numbers 0 to 255 without leading zeros; false else.
bool parse_ipv4(const std::string& text, std::uint8_t bytes[4]);
// Eight groups of up to four hex digits, one "::" for a run of zero groups,
// the last two groups optionally as dotted decimal; false else.
bool parse_ipv6(const std::string& text, std::uint8_t bytes[16]);

// A host as a URL names it (IPv6 without brackets), in one spelling: an IP
// literal in its canonical text, a name in lower case without the closing
// dot of a fully qualified name. "" for "".
std::string host_voice(const std::string& host);

// host_voice of an http:// or https:// URL's host; "" when it names none.
std::string url_voice(const std::string& url);

// Every answer through `proxy` (set) is this one voice: the proxy as given.
// One run has one proxy, and its name may lead to several addresses, one
// connection to this one and the next to that.
std::string proxy_voice(const HttpProxy& proxy);

}  // namespace lanchuan
