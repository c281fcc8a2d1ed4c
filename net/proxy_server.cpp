#include "net/proxy_server.h"

#include <algorithm>
#include <cctype>

#include "net/host_name.h"
#include "net/proxy_error.h"

namespace mevra::net {

namespace {

// The port other tools take for a proxy variable that names none.
constexpr int32_t kDefaultProxyPort = 1080;

std::string Lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Credentials in a URL are percent-encoded so that ":" and "@" can stand in them.
std::string PercentDecode(const std::string& text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && i + 2 < text.size()) {
      const int high = HexValue(text[i + 1]);
      const int low = HexValue(text[i + 2]);
      if (high >= 0 && low >= 0) {
        out += static_cast<char>(high * 16 + low);
        i += 2;
        continue;
      }
    }
    if (text[i] == '%') throw ProxyUrlError("a credential has a broken percent escape");
    out += text[i];
  }
  return out;
}

bool HasBlankOrControl(const std::string& text) {
  return std::any_of(text.begin(), text.end(),
                     [](unsigned char c) { return c <= ' ' || c == 0x7f; });
}

}  // namespace

std::string ProxyServer::DisplayText() const {
  const char* scheme = kind == ProxyKind::kSocks5    ? "socks5"
                       : kind == ProxyKind::kSocks5h ? "socks5h"
                                                     : "http";
  const std::string shown = host.find(':') != std::string::npos ? "[" + host + "]" : host;
  return std::string(scheme) + "://" + shown + ":" + std::to_string(port);
}

ProxyServer ParseProxyUrl(const std::string& text) {
  ProxyServer proxy;
  std::string rest = text;
  const size_t scheme_end = rest.find("://");
  std::string scheme = "http";
  if (scheme_end != std::string::npos) {
    scheme = Lower(rest.substr(0, scheme_end));
    rest.erase(0, scheme_end + 3);
  }
  if (scheme == "http") {
    proxy.kind = ProxyKind::kHttp;
  } else if (scheme == "socks5") {
    proxy.kind = ProxyKind::kSocks5;
  } else if (scheme == "socks5h") {
    proxy.kind = ProxyKind::kSocks5h;
  } else {
    throw ProxyUrlError("the scheme \"" + scheme.substr(0, 16) +
                        "\" is none of http, socks5 and socks5h");
  }
  // One trailing slash is how URLs are often written; a path means something else was meant.
  if (!rest.empty() && rest.back() == '/') rest.pop_back();
  if (rest.find_first_of("/?#") != std::string::npos) {
    throw ProxyUrlError("a proxy URL has no path");
  }
  const size_t at = rest.rfind('@');
  if (at != std::string::npos) {
    const std::string userinfo = rest.substr(0, at);
    rest.erase(0, at + 1);
    const size_t colon = userinfo.find(':');
    proxy.username = PercentDecode(userinfo.substr(0, colon));
    if (colon != std::string::npos) proxy.password = PercentDecode(userinfo.substr(colon + 1));
    if (proxy.username.empty()) throw ProxyUrlError("the user name is empty");
  }
  std::string port_text;
  if (!rest.empty() && rest.front() == '[') {
    const size_t close = rest.find(']');
    if (close == std::string::npos) throw ProxyUrlError("an IPv6 address lacks its \"]\"");
    proxy.host = rest.substr(1, close - 1);
    if (!IsIpv6Literal(proxy.host)) throw ProxyUrlError("the brackets hold no IPv6 address");
    const std::string after = rest.substr(close + 1);
    if (!after.empty() && after.front() != ':') throw ProxyUrlError("junk after the address");
    if (!after.empty()) port_text = after.substr(1);
    if (!after.empty() && port_text.empty()) throw ProxyUrlError("the port is empty");
  } else {
    const size_t colon = rest.rfind(':');
    proxy.host = rest.substr(0, colon);
    if (colon != std::string::npos) {
      port_text = rest.substr(colon + 1);
      if (port_text.empty()) throw ProxyUrlError("the port is empty");
    }
  }
  if (proxy.host.empty()) throw ProxyUrlError("the host is empty");
  if (HasBlankOrControl(proxy.host) || proxy.host.find_first_of("@:[]") != std::string::npos) {
    if (!IsIpv6Literal(proxy.host)) throw ProxyUrlError("the host is no host name");
  }
  proxy.port = kDefaultProxyPort;
  if (!port_text.empty()) {
    if (port_text.size() > 5 || port_text.find_first_not_of("0123456789") != std::string::npos) {
      throw ProxyUrlError("the port is not a number from 1 to 65535");
    }
    proxy.port = std::stoi(port_text);
    if (proxy.port < 1 || proxy.port > 65535) {
      throw ProxyUrlError("the port is not a number from 1 to 65535");
    }
  }
  return proxy;
}

std::string BasicCredentials(const std::string& username, const std::string& password) {
  static constexpr char kAlphabet[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  const std::string bytes = username + ":" + password;
  std::string out;
  size_t i = 0;
  for (; i + 2 < bytes.size(); i += 3) {
    const uint32_t n = (static_cast<uint8_t>(bytes[i]) << 16) |
                       (static_cast<uint8_t>(bytes[i + 1]) << 8) |
                       static_cast<uint8_t>(bytes[i + 2]);
    out += kAlphabet[(n >> 18) & 63];
    out += kAlphabet[(n >> 12) & 63];
    out += kAlphabet[(n >> 6) & 63];
    out += kAlphabet[n & 63];
  }
  if (i < bytes.size()) {
    uint32_t n = static_cast<uint8_t>(bytes[i]) << 16;
    if (i + 1 < bytes.size()) n |= static_cast<uint8_t>(bytes[i + 1]) << 8;
    out += kAlphabet[(n >> 18) & 63];
    out += kAlphabet[(n >> 12) & 63];
    out += i + 1 < bytes.size() ? kAlphabet[(n >> 6) & 63] : '=';
    out += '=';
  }
  return "Basic " + out;
}

}  // namespace mevra::net
