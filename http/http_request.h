#pragma once

#include <string>

#include "http/request_header_info.h"

namespace mevra::net {
class Stream;
}

namespace mevra::http {

enum class HttpMethod { hmHead, hmGet, hmPost, hmOptions, hmTrace, hmPut, hmDelete, hmConnect };

// The method's name on the request line.
const char* MethodName(HttpMethod method);

// What the client sends: the request headers plus the request target, the method and the body
// source (none for a GET).
class HttpRequest : public RequestHeaderInfo {
 public:
  // The URL of the call at first, then the target on the request line (path, document and
  // parameters), then a redirect's location.
  const std::string& URL() const { return url_; }
  void SetURL(std::string url) { url_ = std::move(url); }
  HttpMethod Method() const { return method_; }
  void SetMethod(HttpMethod method) { method_ = method; }
  net::Stream* Source() const { return source_; }
  void SetSource(net::Stream* source) { source_ = source; }

 private:
  std::string url_;
  HttpMethod method_ = HttpMethod::hmGet;
  net::Stream* source_ = nullptr;
};

}  // namespace mevra::http
