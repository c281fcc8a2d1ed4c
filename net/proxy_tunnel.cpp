#include "net/proxy_tunnel.h"

#include <cstdint>

#include <arpa/inet.h>

#include "net/host_name.h"
#include "net/limits.h"
#include "net/net_stack.h"
#include "net/proxy_error.h"

namespace mevra::net {

namespace {

constexpr uint8_t kSocksVersion = 5;
constexpr uint8_t kNoAuthentication = 0;
constexpr uint8_t kUserPassword = 2;
constexpr uint8_t kNoAcceptableMethod = 0xff;
constexpr uint8_t kCommandConnect = 1;
constexpr uint8_t kAddressIpv4 = 1;
constexpr uint8_t kAddressDomain = 3;
constexpr uint8_t kAddressIpv6 = 4;

std::string ReceiveExact(ProxyChannel& channel, size_t count) {
  std::string bytes;
  while (bytes.size() < count) bytes += channel.Receive(count - bytes.size());
  return bytes;
}

std::string Authority(const std::string& host, int32_t port) {
  const std::string shown = IsIpv6Literal(host) ? "[" + host + "]" : host;
  return shown + ":" + std::to_string(port);
}

// The answer's head, one byte at a time: whatever follows it is the server's.
std::string ReadConnectHead(ProxyChannel& channel) {
  std::string head;
  while (head.size() < 4 || head.compare(head.size() - 4, 4, "\r\n\r\n") != 0) {
    if (head.size() >= static_cast<size_t>(kMaxProxyHeadBytes)) {
      throw ProxyProtocolError("the answer to CONNECT has no end of its head");
    }
    head += channel.Receive(1);
    // A proxy that answers in lines ending in LF only is still understood.
    if (head.size() >= 2 && head.compare(head.size() - 2, 2, "\n\n") == 0) break;
  }
  return head;
}

void HttpTunnel(ProxyChannel& channel, const ProxyServer& proxy, const std::string& host,
                int32_t port) {
  const std::string authority = Authority(host, port);
  std::string request = "CONNECT " + authority + " HTTP/1.1\r\nHost: " + authority + "\r\n";
  if (!proxy.username.empty()) {
    request += "Proxy-Authorization: " + BasicCredentials(proxy.username, proxy.password) + "\r\n";
  }
  channel.Send(request + "\r\n");
  const std::string head = ReadConnectHead(channel);
  std::string status_line = head.substr(0, head.find('\n'));
  if (!status_line.empty() && status_line.back() == '\r') status_line.pop_back();
  // "HTTP/1.x NNN reason", the reason optional.
  const auto is_digit = [](char c) { return c >= '0' && c <= '9'; };
  const bool well_formed = status_line.size() >= 12 && status_line.compare(0, 7, "HTTP/1.") == 0 &&
                           is_digit(status_line[7]) && status_line[8] == ' ' &&
                           is_digit(status_line[9]) && is_digit(status_line[10]) &&
                           is_digit(status_line[11]) &&
                           (status_line.size() == 12 || status_line[12] == ' ');
  if (!well_formed) throw ProxyProtocolError("the answer to CONNECT is no HTTP status line");
  const int code = std::stoi(status_line.substr(9, 3));
  // Some proxies answer a wrong password with 401; to CONNECT only the proxy can answer.
  if (code == 407 || code == 401) throw ProxyAuthError();
  if (code / 100 != 2) throw ProxyRefusedError(status_line.substr(0, 128));
}

void SocksTunnel(ProxyChannel& channel, const ProxyServer& proxy, const std::string& host,
                 int32_t port) {
  const bool with_password = !proxy.username.empty();
  std::string greeting{static_cast<char>(kSocksVersion), 1, static_cast<char>(kNoAuthentication)};
  if (with_password) {
    greeting = {static_cast<char>(kSocksVersion), 2, static_cast<char>(kNoAuthentication),
                static_cast<char>(kUserPassword)};
  }
  channel.Send(greeting);
  const std::string choice = ReceiveExact(channel, 2);
  if (static_cast<uint8_t>(choice[0]) != kSocksVersion) {
    throw ProxyProtocolError("the answer is no SOCKS5 method choice");
  }
  const auto method = static_cast<uint8_t>(choice[1]);
  if (method == kNoAcceptableMethod) throw ProxyAuthError();
  if (method == kUserPassword && with_password) {
    if (proxy.username.size() > 255 || proxy.password.size() > 255) {
      throw ProxyUrlError("SOCKS5 credentials are at most 255 bytes each");
    }
    std::string login{1, static_cast<char>(proxy.username.size())};
    login += proxy.username;
    login += static_cast<char>(proxy.password.size());
    login += proxy.password;
    channel.Send(login);
    const std::string verdict = ReceiveExact(channel, 2);
    if (verdict[0] != 1) throw ProxyProtocolError("the answer is no SOCKS5 login verdict");
    if (verdict[1] != 0) throw ProxyAuthError();
  } else if (method != kNoAuthentication) {
    throw ProxyProtocolError("the proxy chose a SOCKS5 method that was not offered");
  }

  std::string request{static_cast<char>(kSocksVersion), static_cast<char>(kCommandConnect), 0};
  std::string address = WithoutTrailingDot(host);
  if (proxy.kind == ProxyKind::kSocks5 && !IsAddressLiteral(address)) {
    address = NetStack::SocketStack()->LookupHost(address);
  }
  if (NetStack::IsDottedQuad(address)) {
    uint8_t bytes[4];
    NetStack::TextToAddress(address, bytes);
    request += static_cast<char>(kAddressIpv4);
    request.append(reinterpret_cast<const char*>(bytes), 4);
  } else if (IsIpv6Literal(address)) {
    uint8_t bytes[16];
    if (inet_pton(AF_INET6, address.c_str(), bytes) != 1) throw ProxyUrlError("bad IPv6 address");
    request += static_cast<char>(kAddressIpv6);
    request.append(reinterpret_cast<const char*>(bytes), 16);
  } else {
    if (address.size() > 255) throw ProxyRefusedError("the host name is longer than SOCKS5 allows");
    request += static_cast<char>(kAddressDomain);
    request += static_cast<char>(address.size());
    request += address;
  }
  request += static_cast<char>((port >> 8) & 0xff);
  request += static_cast<char>(port & 0xff);
  channel.Send(request);

  const std::string reply = ReceiveExact(channel, 4);
  if (static_cast<uint8_t>(reply[0]) != kSocksVersion) {
    throw ProxyProtocolError("the answer is no SOCKS5 reply");
  }
  const auto code = static_cast<uint8_t>(reply[1]);
  if (code != 0) throw ProxyRefusedError(SocksReplyText(code));
  // The address the proxy bound follows; it is read so that it is not taken for the server's.
  size_t bound = 0;
  switch (static_cast<uint8_t>(reply[3])) {
    case kAddressIpv4:
      bound = 4;
      break;
    case kAddressIpv6:
      bound = 16;
      break;
    case kAddressDomain:
      bound = static_cast<uint8_t>(ReceiveExact(channel, 1)[0]);
      break;
    default:
      throw ProxyProtocolError("the SOCKS5 reply has an unknown address type");
  }
  ReceiveExact(channel, bound + 2);
}

}  // namespace

void OpenProxyTunnel(ProxyChannel& channel, const ProxyServer& proxy, const std::string& host,
                     int32_t port) {
  if (proxy.kind == ProxyKind::kHttp) {
    HttpTunnel(channel, proxy, host, port);
  } else if (proxy.kind != ProxyKind::kNone) {
    SocksTunnel(channel, proxy, host, port);
  }
}

std::string SocksReplyText(uint8_t code) {
  switch (code) {
    case 1:
      return "general SOCKS server failure (1)";
    case 2:
      return "connection not allowed by ruleset (2)";
    case 3:
      return "network unreachable (3)";
    case 4:
      return "host unreachable (4)";
    case 5:
      return "connection refused (5)";
    case 6:
      return "TTL expired (6)";
    case 7:
      return "command not supported (7)";
    case 8:
      return "address type not supported (8)";
    default:
      return "unknown SOCKS5 reply code (" + std::to_string(code) + ")";
  }
}

}  // namespace mevra::net
