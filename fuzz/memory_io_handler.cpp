#include "fuzz/memory_io_handler.h"

#include <algorithm>
#include <cstring>

#include "net/net_error.h"

namespace mevra::fuzz {

MemoryIoHandler::MemoryIoHandler(std::string input, size_t piece)
    : input_(std::move(input)), piece_(std::max<size_t>(piece, 1)) {}

void MemoryIoHandler::EstablishClient(const std::string&, int32_t, int32_t, int32_t, int32_t,
                                      int32_t, const std::string&) {
  open_ = true;
}

bool MemoryIoHandler::WaitReadable(int32_t) {
  if (!open_) throw net::ConnClosedGracefullyError();
  return true;
}

int32_t MemoryIoHandler::ReceiveBytes(void* buffer, int32_t length) {
  if (!open_) throw net::ClosedSocketError();
  const size_t n =
      std::min({static_cast<size_t>(std::max(length, 0)), piece_, input_.size() - position_});
  std::memcpy(buffer, input_.data() + position_, n);
  position_ += n;
  return static_cast<int32_t>(n);
}

int32_t MemoryIoHandler::SendBytes(const void* buffer, int32_t length) {
  if (!open_) throw net::ClosedSocketError();
  sent_.append(static_cast<const char*>(buffer), static_cast<size_t>(std::max(length, 0)));
  return length;
}

}  // namespace mevra::fuzz
