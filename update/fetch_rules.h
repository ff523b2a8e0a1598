// The parts of the update fetch that do not need the network: what is sent,
// how much is read at a time and how much at most.
#pragma once

#include <cstddef>
#include <string>

namespace lanchuan {

constexpr const char* kFetchAgent = "Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.0)";
constexpr const char* kFetchAcceptType = "Accept: */* \r\n";
constexpr const char* kFetchHeaders = "Accept: */*\r\n\r\n";
constexpr std::size_t kDefaultReadChunk = 10240;
constexpr std::size_t kMaxReadChunk = 102400;
constexpr std::size_t kContentLengthBuffer = 32;

// The URL up to its first "#".
std::string url_without_fragment(const std::string& url);

// Content-Length + 1, at most kMaxReadChunk; kDefaultReadChunk when the header
// could not be read or does not hold a positive number.
std::size_t read_chunk_size(bool header_read, const std::string& content_length);

// Collects the body up to `limit` bytes. Past the limit the body is no longer
// kept: the fetch stops and reports nothing, since an oversized answer cannot
// be a file of ours.
class BodyCollector {
 public:
  explicit BodyCollector(std::size_t limit) : limit_(limit) {}
  // False once the body has gone past the limit; the caller stops reading.
  bool append(const char* data, std::size_t size);
  bool over_limit() const { return over_limit_; }
  // The bytes read, or nothing after going past the limit.
  std::string take();

 private:
  std::size_t limit_;
  bool over_limit_ = false;
  std::string body_;
};

}  // namespace lanchuan
