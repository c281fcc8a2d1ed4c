#pragma once

#include <cstdint>
#include <string>

#include "net/net_component.h"

namespace mevra::net {

// What a connection needs from whatever carries its bytes.
class IoHandler : public NetComponent {
 public:
  virtual void CloseBinding() {}
  virtual void EstablishClient(const std::string& host, int32_t port, int32_t timeout,
                               int32_t port_max, int32_t port_min, int32_t bound_port,
                               const std::string& bound_ip);
  virtual bool HasOpenSocket() const = 0;
  virtual void PrepareBinding() {}
  // Waits until data or the peer's close can be read; ms = -2 waits without limit.
  virtual bool WaitReadable(int32_t ms) = 0;
  // One receive or send call; the result unchanged (0 = the peer closed, -1 = failure).
  virtual int32_t ReceiveBytes(void* buffer, int32_t length) = 0;
  // What ReceiveAvailable returns when nothing can be told without waiting.
  static constexpr int32_t kNothingYet = -2;
  // A receive that never waits: what ReceiveBytes would return when bytes, the peer's close or a
  // failure are there to be told, otherwise kNothingYet, and the caller waits with WaitReadable.
  // A handler that cannot look without waiting always says kNothingYet.
  virtual int32_t ReceiveAvailable(void*, int32_t) { return kNothingYet; }
  virtual int32_t SendBytes(const void* buffer, int32_t length) = 0;
  // Whether the bytes travel encrypted and the peer proved who it is (https needs it).
  virtual bool UsesTls() const { return false; }
  // Whether the peer's close came without the close alert TLS owes, so that whoever sits between
  // may have cut the stream short. A plain socket cannot tell and says false.
  virtual bool EndedWithoutCloseAlert() const { return false; }
};

}  // namespace mevra::net
