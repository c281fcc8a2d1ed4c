#include "tests/support/unanswered_listener.h"

#include <stdexcept>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include "tests/support/loopback.h"

namespace mevra::test {

UnansweredListener::UnansweredListener() {
  listener_ = ListenOnLoopback(0, port_);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(static_cast<uint16_t>(port_));
  // Connect until one is left hanging: the accept queue is then full and the kernel drops
  // further connection requests.
  for (int i = 0; i < 16; ++i) {
    fillers_.push_back(::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
    if (::connect(fillers_.back(), reinterpret_cast<const sockaddr*>(&address), sizeof address) ==
        0) {
      continue;
    }
    pollfd entry{fillers_.back(), POLLOUT, 0};
    if (::poll(&entry, 1, 200) == 0) return;
  }
  for (int descriptor : fillers_) ::close(descriptor);
  ::close(listener_);
  throw std::runtime_error("the listener's backlog never filled");
}

UnansweredListener::~UnansweredListener() {
  for (int descriptor : fillers_) ::close(descriptor);
  ::close(listener_);
}

}  // namespace mevra::test
