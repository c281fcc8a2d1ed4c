#pragma once

#include <string>

#include "http/custom_http_client.h"

namespace mevra::http {

// The HTTP client the program uses: GET into a stream or into a string.
class HttpClient : public CustomHttpClient {
 public:
  // Writes the final response body into `stream` from its current position. Returns normally
  // also when the last redirect allowed was not followed (nothing written, Location kept) and
  // when an OnWork handler closed the connection (the stream holds what arrived until then).
  void Get(const std::string& url, net::Stream& stream);
  // The body as bytes, unconverted.
  std::string Get(const std::string& url);
};

}  // namespace mevra::http
