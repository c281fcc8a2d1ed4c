#pragma once

#include <cstdint>
#include <string>

#include "http/response_header_info.h"

namespace mevra::net {
class Stream;
}

namespace mevra::http {

class CustomHttpClient;

// What the client received: the response headers plus the status line, the code read from it,
// the keep-alive verdict and the stream the body goes to.
class HttpResponse : public ResponseHeaderInfo {
 public:
  explicit HttpResponse(CustomHttpClient& client) : client_(client) {}

  // The status line exactly as read, without its line end. It stays until the next status
  // line arrives, also after a failure.
  const std::string& ResponseText() const { return response_text_; }
  void SetResponseText(std::string text);
  // The number after the first blank of the status line; -1 when there is none.
  int32_t ResponseCode() const;
  // "1.0" or "1.1" from the status line; what it was before when the line says neither.
  const std::string& ResponseVersion() const { return response_version_; }
  // Whether the connection may carry the next request, judged now: it must still be open and
  // the response must not have asked to close it.
  bool KeepAlive();

  net::Stream* ContentStream() const { return content_stream_; }
  void SetContentStream(net::Stream* stream) { content_stream_ = stream; }

 private:
  CustomHttpClient& client_;
  std::string response_text_;
  std::string response_version_;
  net::Stream* content_stream_ = nullptr;
};

}  // namespace mevra::http
