#include "http/netscape_cookie.h"

#include "http/text_util.h"

namespace mevra::http {

namespace {

bool IsIpv4Address(const std::string& host) {
  int parts = 0;
  size_t start = 0;
  while (true) {
    const size_t dot = host.find('.', start);
    const std::string part = host.substr(start, dot - start);
    if (part.empty() || part.size() > 3) return false;
    for (char c : part) {
      if (c < '0' || c > '9') return false;
    }
    if (std::stoi(part) > 255) return false;
    ++parts;
    if (dot == std::string::npos) break;
    start = dot + 1;
  }
  return parts == 4;
}

}  // namespace

void NetscapeCookie::SetCookieText(const std::string& text) {
  cookie_text_ = text;
  name_.clear();
  value_.clear();
  path_.clear();
  expires_.clear();
  domain_.clear();
  secure_ = false;
  host_only_ = false;

  Attributes attributes;
  size_t start = 0;
  bool first = true;
  while (start <= text.size()) {
    const size_t semicolon = text.find(';', start);
    const std::string item = Trim(text.substr(start, semicolon - start));
    const size_t equals = item.find('=');
    if (first) {
      name_ = item.substr(0, equals);
      if (equals != std::string::npos) value_ = item.substr(equals + 1);
      first = false;
    } else if (equals != std::string::npos) {
      attributes[ToUpper(Trim(item.substr(0, equals)))] = Trim(item.substr(equals + 1));
    } else if (!item.empty()) {
      attributes[ToUpper(item)] = "";
    }
    if (semicolon == std::string::npos) break;
    start = semicolon + 1;
  }
  LoadProperties(attributes);
}

void NetscapeCookie::LoadProperties(const Attributes& attributes) {
  if (auto it = attributes.find("PATH"); it != attributes.end()) {
    std::string path = it->second;
    if (!path.empty() && path.front() == '"') path.erase(0, 1);
    if (!path.empty() && path.back() == '"') path.pop_back();
    path_ = path;
  }
  if (auto it = attributes.find("EXPIRES"); it != attributes.end()) expires_ = it->second;
  if (auto it = attributes.find("DOMAIN"); it != attributes.end()) domain_ = it->second;
  secure_ = attributes.count("SECURE") != 0;
}

bool NetscapeCookie::IsValidCookie(const std::string& host) const {
  if (IsIpv4Address(host)) return domain_ == host;
  if (!host.empty() && host[0] == '.') return false;
  if (domain_.empty() || domain_[0] != '.') return domain_ == host;
  // A top-level label or an address would hand the cookie to every host under it.
  const std::string bare = domain_.substr(1);
  if (bare.find('.') == std::string::npos || IsIpv4Address(bare)) return false;
  const size_t dot = host.find('.');
  return dot != std::string::npos && EqualsNoCase(domain_, host.substr(dot));
}

std::optional<DateTime> NetscapeCookie::ExpiryTime() const {
  if (expires_.empty()) return std::nullopt;
  return ParseInternetDate(expires_);
}

void NetscapeCookie::Assign(const NetscapeCookie& other) {
  cookie_text_ = other.cookie_text_;
  name_ = other.name_;
  value_ = other.value_;
  path_ = other.path_;
  expires_ = other.expires_;
  domain_ = other.domain_;
  secure_ = other.secure_;
  host_only_ = other.host_only_;
}

}  // namespace mevra::http
