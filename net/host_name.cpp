#include "net/host_name.h"

#include <arpa/inet.h>
#include <netinet/in.h>

namespace mevra::net {

std::string WithoutTrailingDot(std::string_view host) {
  if (host.size() > 1 && host.back() == '.') host.remove_suffix(1);
  return std::string(host);
}

bool IsIpv6Literal(const std::string& host) {
  in6_addr address{};
  return inet_pton(AF_INET6, host.c_str(), &address) == 1;
}

bool IsAddressLiteral(const std::string& host) {
  in_addr address{};
  return inet_pton(AF_INET, host.c_str(), &address) == 1 || IsIpv6Literal(host);
}

}  // namespace mevra::net
