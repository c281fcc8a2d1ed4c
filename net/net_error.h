#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

namespace mevra::net {

// Base of every transport and HTTP error. Each class carries its fixed message and can say its
// own class name, which some messages and tools print.
class NetError : public std::runtime_error {
 public:
  explicit NetError(const std::string& message) : std::runtime_error(message) {}
  virtual const char* ClassName() const { return "NetError"; }
};

// A stream that cannot be opened, read or written.
class StreamError : public NetError {
 public:
  using NetError::NetError;
  const char* ClassName() const override { return "StreamError"; }
};

// A failed socket call. The message is "Socket Error # <code>\r\n<text>"; the code is kept so
// callers can tell a refused connect from a reset.
class SocketError : public NetError {
 public:
  SocketError(int32_t code, const std::string& message) : NetError(message), code_(code) {}
  const char* ClassName() const override { return "SocketError"; }
  int32_t ErrorCode() const { return code_; }

 private:
  int32_t code_;
};

class InvalidSocketError : public NetError {
 public:
  InvalidSocketError() : NetError("Cannot allocate socket.") {}
  const char* ClassName() const override { return "InvalidSocketError"; }
};

class StackSetSizeExceededError : public NetError {
 public:
  StackSetSizeExceededError() : NetError("Set Size Exceeded.") {}
  const char* ClassName() const override { return "StackSetSizeExceededError"; }
};

class StackInitializationError : public NetError {
 public:
  StackInitializationError() : NetError("Winsock Initialization Error.") {}
  const char* ClassName() const override { return "StackInitializationError"; }
};

// Errors that mark an expected end rather than a fault, such as the peer's orderly close.
class SilentError : public NetError {
 public:
  using NetError::NetError;
  const char* ClassName() const override { return "SilentError"; }
};

class ConnClosedGracefullyError : public SilentError {
 public:
  ConnClosedGracefullyError() : SilentError("Connection Closed Gracefully.") {}
  const char* ClassName() const override { return "ConnClosedGracefullyError"; }
};

class TcpConnectionError : public NetError {
 public:
  using NetError::NetError;
  const char* ClassName() const override { return "TcpConnectionError"; }
};

class NotConnectedError : public TcpConnectionError {
 public:
  NotConnectedError() : TcpConnectionError("Not Connected") {}
  const char* ClassName() const override { return "NotConnectedError"; }
};

class NotEnoughDataInBufferError : public TcpConnectionError {
 public:
  NotEnoughDataInBufferError() : TcpConnectionError("Not enough data in buffer.") {}
  const char* ClassName() const override { return "NotEnoughDataInBufferError"; }
};

class NoDataToReadError : public TcpConnectionError {
 public:
  NoDataToReadError() : TcpConnectionError("No data to read.") {}
  const char* ClassName() const override { return "NoDataToReadError"; }
};

class SocketHandleError : public NetError {
 public:
  using NetError::NetError;
  const char* ClassName() const override { return "SocketHandleError"; }
};

class CouldNotBindSocketError : public SocketHandleError {
 public:
  CouldNotBindSocketError()
      : SocketHandleError("Could not bind socket. Address and port are already in use.") {}
  const char* ClassName() const override { return "CouldNotBindSocketError"; }
};

class AlreadyConnectedError : public NetError {
 public:
  AlreadyConnectedError() : NetError("Already connected.") {}
  const char* ClassName() const override { return "AlreadyConnectedError"; }
};

class ConnectTimeoutError : public NetError {
 public:
  ConnectTimeoutError() : NetError("Connect timed out.") {}
  const char* ClassName() const override { return "ConnectTimeoutError"; }

 protected:
  // For the kinds of connect time-out that say which part of the connect took too long.
  explicit ConnectTimeoutError(const std::string& message) : NetError(message) {}
};

// A threaded connect that failed; the message is the connect thread's own error text.
class ConnectError : public NetError {
 public:
  using NetError::NetError;
  const char* ClassName() const override { return "ConnectError"; }
};

class ReadTimeoutError : public NetError {
 public:
  ReadTimeoutError() : NetError("Read Timeout") {}
  const char* ClassName() const override { return "ReadTimeoutError"; }
};

class MaxLineLengthExceededError : public NetError {
 public:
  MaxLineLengthExceededError() : NetError("Max line length exceeded.") {}
  const char* ClassName() const override { return "MaxLineLengthExceededError"; }
};

class ClosedSocketError : public NetError {
 public:
  ClosedSocketError() : NetError("Disconnected.") {}
  const char* ClassName() const override { return "ClosedSocketError"; }
};

}  // namespace mevra::net
