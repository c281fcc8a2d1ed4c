#pragma once

#include <cstdint>

#include "net/simple_buffer.h"

namespace mevra::net {

// The input queue of a connection. Consumed bytes stay at the front of the storage until
// kCompactThreshold of them pile up, the queue is drained or an append needs their room, so
// reading many small lines from one received block costs no memory moves.
class ManagedBuffer : public SimpleBuffer {
 public:
  int64_t ConsumedCount() const { return consumed_; }
  void Consume(int64_t count) override;
};

}  // namespace mevra::net
