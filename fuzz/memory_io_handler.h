#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "net/io_handler.h"

namespace mevra::fuzz {

// An I/O handler over bytes in memory, so that a fuzz target drives the whole response path of
// the HTTP client at parser speed: what the peer sends is one fixed input, received in pieces
// of a set size, and its end reads as the peer's close; what the client sends is kept. Each
// connection reads on where the one before stopped, so a redirect's next connection gets the
// next response. Nothing reaches the network, whatever host a redirect names.
class MemoryIoHandler : public net::IoHandler {
 public:
  MemoryIoHandler(std::string input, size_t piece);

  void CloseBinding() override { open_ = false; }
  void EstablishClient(const std::string& host, int32_t port, int32_t timeout, int32_t port_max,
                       int32_t port_min, int32_t bound_port, const std::string& bound_ip) override;
  bool HasOpenSocket() const override { return open_; }
  // Always ready: the input is there or has ended.
  bool WaitReadable(int32_t ms) override;
  int32_t ReceiveBytes(void* buffer, int32_t length) override;
  int32_t SendBytes(const void* buffer, int32_t length) override;

  const std::string& Sent() const { return sent_; }

 private:
  std::string input_;
  size_t piece_;
  size_t position_ = 0;
  bool open_ = false;
  std::string sent_;
};

}  // namespace mevra::fuzz
