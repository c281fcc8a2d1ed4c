#pragma once

#include <string>

namespace mevra::test {

// A listening socket on 127.0.0.1 at an ephemeral port; throws std::runtime_error on failure.
int ListenOnLoopback(int backlog, int& port);
// A listening socket on `address` (IPv4 or IPv6, an IPv6 one for IPv6 alone) at `port`, or at an
// ephemeral port when it is 0; `port` gets the port. Throws std::runtime_error on failure.
int ListenOn(const std::string& address, int backlog, int& port);
// Whether a socket can listen on ::1 here; some sandboxes have no IPv6 at all.
bool Ipv6LoopbackWorks();
// "host:port", with the host in brackets when it is an IPv6 address.
std::string HostAndPort(const std::string& host, int port);

// A port on 127.0.0.1 where nothing listens.
int ClosedPort();

// Threads of this process right now.
int ThreadCount();
// Open file descriptors of this process right now.
int DescriptorCount();

}  // namespace mevra::test
