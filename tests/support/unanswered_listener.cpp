#include "tests/support/unanswered_listener.h"

#include <stdexcept>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include "tests/support/loopback.h"

namespace mevra::test {

UnansweredListener::UnansweredListener(const std::string& ip, int port) : port_(port) {
  listener_ = ListenOn(ip, 0, port_);
  sockaddr_storage address{};
  socklen_t length;
  if (ip.find(':') != std::string::npos) {
    auto& in6 = reinterpret_cast<sockaddr_in6&>(address);
    in6.sin6_family = AF_INET6;
    inet_pton(AF_INET6, ip.c_str(), &in6.sin6_addr);
    in6.sin6_port = htons(static_cast<uint16_t>(port_));
    length = sizeof in6;
  } else {
    auto& in4 = reinterpret_cast<sockaddr_in&>(address);
    in4.sin_family = AF_INET;
    inet_pton(AF_INET, ip.c_str(), &in4.sin_addr);
    in4.sin_port = htons(static_cast<uint16_t>(port_));
    length = sizeof in4;
  }
  // Connect until one is left hanging: the accept queue is then full and the kernel drops
  // further connection requests.
  for (int i = 0; i < 16; ++i) {
    fillers_.push_back(::socket(address.ss_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
    if (::connect(fillers_.back(), reinterpret_cast<const sockaddr*>(&address), length) == 0) {
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
