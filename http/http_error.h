#pragma once

#include <cstdint>
#include <string>

#include "net/net_error.h"

namespace mevra::http {

// The error classes of the HTTP client. They are small and always travel together, so they share
// one header, as the transport's do.

// A URI that cannot be composed because a required field is empty, or that cannot be requested
// because its host or port cannot go on the wire.
class UriError : public net::NetError {
 public:
  using NetError::NetError;
  const char* ClassName() const override { return "UriError"; }
};

// A URL without a port whose protocol has no known default port.
class UnknownProtocolError : public net::NetError {
 public:
  UnknownProtocolError() : NetError("Unknown Protocol") {}
  const char* ClassName() const override { return "UnknownProtocolError"; }
};

// An "https" URL on a client whose I/O handler, given to it from outside, speaks no TLS.
class IoHandlerPropInvalidError : public net::NetError {
 public:
  IoHandlerPropInvalidError() : NetError("IOHandler value is not valid") {}
  const char* ClassName() const override { return "IoHandlerPropInvalidError"; }
};

// A header value that must be a number and is not.
class ConversionError : public net::NetError {
 public:
  explicit ConversionError(const std::string& text)
      : NetError("'" + text + "' is not a valid integer value") {}
  const char* ClassName() const override { return "ConversionError"; }
};

// A reply from the peer that says the request failed.
class ProtocolReplyError : public net::NetError {
 public:
  using NetError::NetError;
  const char* ClassName() const override { return "ProtocolReplyError"; }
};

// A status outside the success class. The message is the status line as the server wrote it;
// the body the server sent with it is kept as text.
class HttpProtocolError : public ProtocolReplyError {
 public:
  HttpProtocolError(int32_t code, const std::string& status_line, std::string body)
      : ProtocolReplyError(status_line), code_(code), body_(std::move(body)) {}
  const char* ClassName() const override { return "HttpProtocolError"; }
  int32_t ErrorCode() const { return code_; }
  const std::string& Body() const { return body_; }

 private:
  int32_t code_;
  std::string body_;
};

// A response head beyond the limits in limits.h.
class HeaderBlockTooLargeError : public net::NetError {
 public:
  using NetError::NetError;
  const char* ClassName() const override { return "HeaderBlockTooLargeError"; }
};

// A chunked body whose size line is not a hexadecimal number.
class ChunkSizeError : public net::NetError {
 public:
  using NetError::NetError;
  const char* ClassName() const override { return "ChunkSizeError"; }
};

// A counted body that ended before the announced length because the peer closed.
class IncompleteBodyError : public net::NetError {
 public:
  using NetError::NetError;
  const char* ClassName() const override { return "IncompleteBodyError"; }
};

// A redirect that names no location to go to.
class RedirectWithoutLocationError : public net::NetError {
 public:
  explicit RedirectWithoutLocationError(const std::string& status_line)
      : NetError("The redirect " + status_line + " names no location.") {}
  const char* ClassName() const override { return "RedirectWithoutLocationError"; }
};

// Redirects went on until the limit without a final response.
class RedirectLimitError : public net::NetError {
 public:
  explicit RedirectLimitError(int32_t requests)
      : NetError("Too many redirects: " + std::to_string(requests) +
                 " requests without a final response.") {}
  const char* ClassName() const override { return "RedirectLimitError"; }
};

// A response whose body cannot be framed: a transfer coding this client cannot decode, or two
// different lengths.
class FramingError : public net::NetError {
 public:
  using NetError::NetError;
  const char* ClassName() const override { return "FramingError"; }
};

// A response that has no status line where one must be.
class StatusLineError : public net::NetError {
 public:
  using NetError::NetError;
  const char* ClassName() const override { return "StatusLineError"; }
};

// A Get started on a client that is already inside one (from a handler run during its wait).
class GetInProgressError : public net::NetError {
 public:
  GetInProgressError() : NetError("A Get of this HTTP client is already running.") {}
  const char* ClassName() const override { return "GetInProgressError"; }
};

}  // namespace mevra::http
