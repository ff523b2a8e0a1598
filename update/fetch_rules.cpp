#include "update/fetch_rules.h"

#include "base/gbk_text.h"

namespace lanchuan {

std::string url_without_fragment(const std::string& url) { return url.substr(0, url.find('#')); }

std::size_t read_chunk_size(bool header_read, const std::string& content_length) {
  if (!header_read) return kDefaultReadChunk;
  const long long length = text_to_integer(content_length);
  if (length <= 0) return kDefaultReadChunk;
  if (length >= static_cast<long long>(kMaxReadChunk)) return kMaxReadChunk;
  return static_cast<std::size_t>(length) + 1;
}

bool BodyCollector::append(const char* data, std::size_t size) {
  if (over_limit_) return false;
  if (size > limit_ - body_.size()) {
    over_limit_ = true;
    body_.clear();
    body_.shrink_to_fit();
    return false;
  }
  body_.append(data, size);
  return true;
}

std::string BodyCollector::take() {
  std::string body;
  body.swap(body_);
  return body;
}

}  // namespace lanchuan
