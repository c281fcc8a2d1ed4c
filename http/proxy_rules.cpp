#include "http/proxy_rules.h"

#include <cstdlib>

#include "http/text_util.h"
#include "net/host_name.h"
#include "net/net_stack.h"
#include "net/proxy_error.h"

namespace mevra::http {

namespace {

// The first of `names` that is set to something.
std::optional<std::pair<std::string, std::string>> FirstSet(
    const ProxyRules::Lookup& lookup, std::initializer_list<const char*> names) {
  for (const char* name : names) {
    const std::optional<std::string> value = lookup(name);
    if (value && !Trim(*value).empty()) return std::make_pair(std::string(name), Trim(*value));
  }
  return std::nullopt;
}

std::optional<net::ProxyServer> ParseVariable(
    const std::optional<std::pair<std::string, std::string>>& variable) {
  if (!variable) return std::nullopt;
  try {
    return net::ParseProxyUrl(variable->second);
  } catch (const net::ProxyUrlError& error) {
    throw net::ProxyUrlError(variable->first + ": " +
                             std::string(error.what()).substr(sizeof("Bad proxy URL: ") - 1));
  }
}

std::string Normalized(std::string_view text) {
  std::string name = ToUpper(net::WithoutTrailingDot(text));
  if (name.size() > 2 && name.front() == '[' && name.back() == ']') {
    name = name.substr(1, name.size() - 2);
  }
  return name;
}

}  // namespace

ProxyRules ProxyRules::Fixed(net::ProxyServer proxy, std::string no_proxy) {
  ProxyRules rules;
  if (proxy.kind != net::ProxyKind::kNone) {
    rules.http_ = proxy;
    rules.https_ = std::move(proxy);
  }
  rules.no_proxy_ = std::move(no_proxy);
  return rules;
}

ProxyRules ProxyRules::FromEnvironment(const Lookup& lookup) {
  ProxyRules rules;
  const auto all = ParseVariable(FirstSet(lookup, {"all_proxy", "ALL_PROXY"}));
  rules.http_ = ParseVariable(FirstSet(lookup, {"http_proxy"}));
  rules.https_ = ParseVariable(FirstSet(lookup, {"https_proxy", "HTTPS_PROXY"}));
  if (!rules.http_) rules.http_ = all;
  if (!rules.https_) rules.https_ = all;
  rules.no_proxy_ = NoProxyFromEnvironment(lookup);
  return rules;
}

ProxyRules ProxyRules::FromProcessEnvironment() {
  return FromEnvironment([](const char* name) -> std::optional<std::string> {
    const char* value = std::getenv(name);
    if (value == nullptr) return std::nullopt;
    return std::string(value);
  });
}

std::string ProxyRules::NoProxyFromEnvironment(const Lookup& lookup) {
  const auto no_proxy = FirstSet(lookup, {"no_proxy", "NO_PROXY"});
  return no_proxy ? no_proxy->second : std::string();
}

net::ProxyServer ProxyRules::For(const std::string& scheme, const std::string& host) const {
  const std::optional<net::ProxyServer>& proxy = EqualsNoCase(scheme, "https") ? https_ : http_;
  if (!proxy || NoProxyMatches(no_proxy_, host)) return {};
  return *proxy;
}

bool NoProxyMatches(const std::string& no_proxy, const std::string& host) {
  const std::string name = Normalized(host);
  const bool address = net::IsAddressLiteral(name);
  size_t start = 0;
  while (start < no_proxy.size()) {
    size_t end = no_proxy.find_first_of(", \t", start);
    if (end == std::string::npos) end = no_proxy.size();
    std::string entry = Normalized(no_proxy.substr(start, end - start));
    start = end + 1;
    if (entry.empty()) continue;
    if (entry == "*") return true;
    if (address || net::IsAddressLiteral(entry)) {
      if (entry == name) return true;
      continue;
    }
    if (entry.front() == '.') entry.erase(0, 1);
    if (entry.empty()) continue;
    if (name == entry) return true;
    if (name.size() > entry.size() && name.ends_with(entry) &&
        name[name.size() - entry.size() - 1] == '.') {
      return true;
    }
  }
  return false;
}

}  // namespace mevra::http
