#include "timesync/time_query.h"

#include "timesync/date_parse.h"

namespace lanchuan {

bool query_server_time(HeadRequestFactory& factory, TickCounter& ticks, const std::string& url,
                       DateTime& server_time) {
  std::unique_ptr<HeadRequest> request = factory.create();
  if (!request) return false;

  request->set_timeouts(kResolveTimeoutMs, kConnectTimeoutMs, kSendTimeoutMs, kReceiveTimeoutMs);
  request->set_follow_redirects(false);
  // Joined as they are: a URL with a closing slash gives "//123.123".
  request->open("HEAD", url + kTimeQueryPath);

  const std::uint32_t t0 = ticks.tick_ms();
  if (!request->send(kTimeQueryDeadlineMs)) return false;
  const std::string header = request->response_header("Date");
  if (header.empty()) return false;

  DateTime gmt;
  if (!parse_date_header(header, gmt)) return false;

  // Unsigned 32-bit difference: a wrap of the counter still gives the small
  // positive span. The whole round trip counts, truncated to seconds.
  server_time = corrected_server_time(gmt, ticks.tick_ms() - t0);
  return true;
}

DateTime corrected_server_time(const DateTime& gmt, std::uint32_t round_trip_ms) {
  const int correction_s = static_cast<int>(round_trip_ms / 1000u);
  DateTime local = add_to_date_time(gmt, 6, 8);
  return add_to_date_time(local, 8, correction_s);
}

}  // namespace lanchuan
