#pragma once

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

}  // namespace mevra::net
