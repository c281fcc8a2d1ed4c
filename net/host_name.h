#pragma once

#include <string>
#include <string_view>

namespace mevra::net {

// A host name as it is looked up and checked against a certificate: one trailing dot (the
// fully qualified form, "host.example.") removed, since it names the same host.
std::string WithoutTrailingDot(std::string_view host);

// Whether `host` is an IPv4 or IPv6 address in text form (an IPv6 one without brackets).
bool IsAddressLiteral(const std::string& host);
bool IsIpv6Literal(const std::string& host);

}  // namespace mevra::net
