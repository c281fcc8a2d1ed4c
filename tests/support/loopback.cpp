#include "tests/support/loopback.h"

#include <filesystem>
#include <iterator>
#include <stdexcept>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace mevra::test {

int ListenOnLoopback(int backlog, int& port) {
  const int descriptor = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (descriptor < 0) throw std::runtime_error("cannot create a socket");
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  if (::bind(descriptor, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
      ::listen(descriptor, backlog) != 0 ||
      ::getsockname(descriptor, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    ::close(descriptor);
    throw std::runtime_error("cannot listen on loopback");
  }
  port = ntohs(address.sin_port);
  return descriptor;
}

int ClosedPort() {
  int port = 0;
  ::close(ListenOnLoopback(1, port));
  return port;
}

int ThreadCount() {
  const std::filesystem::directory_iterator tasks("/proc/self/task");
  return static_cast<int>(std::distance(begin(tasks), end(tasks)));
}

}  // namespace mevra::test
