#include "timesync/offset_probe.h"

#include <cmath>
#include <memory>

#include "base/datetime.h"
#include "timesync/date_parse.h"
#include "timesync/peer_voice.h"

namespace lanchuan {
namespace {

constexpr std::size_t kShownHeaderLength = 64;
constexpr std::uint32_t kMaxTickSpanMs = 0x7FFFFFFF;

}  // namespace

std::string printable(const std::string& text) {
  std::string shown;
  for (char c : text.substr(0, kShownHeaderLength)) {
    const unsigned char u = static_cast<unsigned char>(c);
    shown += (u >= 0x20 && u < 0x7F) ? c : '?';
  }
  if (text.size() > kShownHeaderLength) shown += "...";
  return shown;
}

bool server_second_from_date_header(const std::string& header, std::int64_t& seconds) {
  DateTime gmt;
  if (!parse_date_header(header, gmt)) return false;
  // A header that passes the shape checks but names no real day comes back
  // as the smallest date; the window shows that, but as an offset it is noise.
  if (gmt.days <= kMinDateTimeDays) return false;
  seconds = std::llround((gmt.days - kOleDayOfUnixEpoch) * 86400.0);
  return true;
}

void take_date_header(const std::string& header, ProbeAnswer& answer) {
  answer.ok = server_second_from_date_header(header, answer.server_second);
  if (!answer.ok) answer.failure = "unusable Date header \"" + printable(header) + "\"";
}

bool answer_is_fresh(const std::string& age_header, ProbeAnswer& answer) {
  if (age_header.find_first_not_of("0") == std::string::npos) return true;
  answer.ok = false;
  answer.failure = "a cache's answer (Age: " + printable(age_header) + "), not the server's time";
  return false;
}

bool ProbeTimeQuery::query_server_time(const std::string& url, DateTime& server_time) {
  const std::uint32_t before = ticks_.tick_ms();
  const ProbeAnswer answer = prober_.probe(url, clock_.now_utc_us());
  // Unsigned 32-bit difference: a wrap of the counter still gives the small
  // positive span. A probe ends within seconds; a "span" of weeks would be
  // a counter that went back, and counts as none.
  std::uint32_t round_trip_ms = ticks_.tick_ms() - before;
  if (round_trip_ms > kMaxTickSpanMs) round_trip_ms = 0;
  failure_ = answer.ok ? std::string() : answer.failure;
  if (!answer.ok) return false;
  const DateTime gmt{static_cast<double>(kOleDayOfUnixEpoch) +
                     static_cast<double>(answer.server_second) / 86400.0};
  server_time = corrected_server_time(gmt, round_trip_ms);
  return true;
}

ProbeAnswer HttpOffsetProber::probe(const std::string& url, std::int64_t send_at_us) {
  ProbeAnswer answer;
  std::unique_ptr<HeadRequest> request = factory_.create();
  if (!request) {
    answer.failure = "the HTTP request object is not available";
    return answer;
  }
  request->set_timeouts(kResolveTimeoutMs, kConnectTimeoutMs, kSendTimeoutMs, kReceiveTimeoutMs);
  request->set_follow_redirects(false);
  request->open("HEAD", url + kTimeQueryPath);

  clock_.wait_until_utc_us(send_at_us);
  answer.sent_us = clock_.now_utc_us();
  const bool answered = request->send(kTimeQueryDeadlineMs);
  answer.received_us = clock_.now_utc_us();

  answer.voice = proxy_ != nullptr && proxy_->set() ? proxy_voice(*proxy_) : url_voice(url);
  const std::string header = answered ? request->response_header("Date") : std::string();
  // The object says only that no answer came: a wait that ended before the
  // deadline was a failure (refused, unknown host, closed), not a wait.
  const bool waited_out = answer.received_us - answer.sent_us >= kTimeQueryDeadlineMs * 1000LL;
  if (!answered && !waited_out) {
    answer.failure = "no answer (the request failed before its deadline)";
  } else if (!answered) {
    answer.failure =
        "no complete answer within " + std::to_string(kTimeQueryDeadlineMs / 1000) + " s";
  } else if (!answer_is_fresh(request->response_header("Age"), answer)) {
    // (the failure says so)
  } else if (header.empty()) {
    answer.failure = "no answer, or no Date header";
  } else {
    take_date_header(header, answer);
  }
  return answer;
}

}  // namespace lanchuan
