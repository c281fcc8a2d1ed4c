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
  port = 0;
  return ListenOn("127.0.0.1", backlog, port);
}

int ListenOn(const std::string& ip, int backlog, int& port) {
  sockaddr_storage address{};
  socklen_t length;
  const bool v6 = ip.find(':') != std::string::npos;
  if (v6) {
    auto& in6 = reinterpret_cast<sockaddr_in6&>(address);
    in6.sin6_family = AF_INET6;
    in6.sin6_port = htons(static_cast<uint16_t>(port));
    if (inet_pton(AF_INET6, ip.c_str(), &in6.sin6_addr) != 1) {
      throw std::runtime_error("no IPv6 address: " + ip);
    }
    length = sizeof in6;
  } else {
    auto& in4 = reinterpret_cast<sockaddr_in&>(address);
    in4.sin_family = AF_INET;
    in4.sin_port = htons(static_cast<uint16_t>(port));
    if (inet_pton(AF_INET, ip.c_str(), &in4.sin_addr) != 1) {
      throw std::runtime_error("no IPv4 address: " + ip);
    }
    length = sizeof in4;
  }
  const int descriptor = ::socket(address.ss_family, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (descriptor < 0) throw std::runtime_error("cannot create a socket");
  const int one = 1;
  if (v6) ::setsockopt(descriptor, IPPROTO_IPV6, IPV6_V6ONLY, &one, sizeof one);
  if (::bind(descriptor, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
      ::listen(descriptor, backlog) != 0 ||
      ::getsockname(descriptor, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    ::close(descriptor);
    throw std::runtime_error("cannot listen on " + ip);
  }
  port = ntohs(v6 ? reinterpret_cast<sockaddr_in6&>(address).sin6_port
                  : reinterpret_cast<sockaddr_in&>(address).sin_port);
  return descriptor;
}

bool Ipv6LoopbackWorks() {
  try {
    int port = 0;
    ::close(ListenOn("::1", 1, port));
    return true;
  } catch (const std::runtime_error&) {
    return false;
  }
}

std::string HostAndPort(const std::string& host, int port) {
  const bool v6 = host.find(':') != std::string::npos;
  return (v6 ? "[" + host + "]" : host) + ":" + std::to_string(port);
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

int DescriptorCount() {
  const std::filesystem::directory_iterator descriptors("/proc/self/fd");
  return static_cast<int>(std::distance(begin(descriptors), end(descriptors)));
}

}  // namespace mevra::test
