#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>

#include "http/internet_date.h"

namespace mevra::http {

// A cookie as a server sets it: the text of one Set-Cookie value taken apart into the name, the
// value and the attributes this client uses.
class NetscapeCookie {
 public:
  // Attribute names upper-cased, mapped to their values; flags map to "".
  using Attributes = std::map<std::string, std::string>;

  NetscapeCookie() = default;
  virtual ~NetscapeCookie() = default;

  // Takes the cookie text apart: "name=value" first, then "; "-separated attributes.
  void SetCookieText(const std::string& text);
  const std::string& CookieText() const { return cookie_text_; }

  // Whether a server at `host` may set this cookie: an IPv4 host only for itself, a host name
  // for itself or, with a domain starting with ".", for the domain it lies in. A domain of one
  // label (".com") or an IP address is never taken unless it is the host itself.
  bool IsValidCookie(const std::string& host) const;
  // The moment the cookie stops being valid; nullopt when it has no (readable) expiry.
  std::optional<DateTime> ExpiryTime() const;

  // Takes over text and attributes of `other`, which replaces this cookie.
  virtual void Assign(const NetscapeCookie& other);

  const std::string& CookieName() const { return name_; }
  const std::string& Value() const { return value_; }
  const std::string& Path() const { return path_; }
  void SetPath(std::string path) { path_ = std::move(path); }
  const std::string& Expires() const { return expires_; }
  const std::string& Domain() const { return domain_; }
  void SetDomain(std::string domain) { domain_ = std::move(domain); }
  bool Secure() const { return secure_; }
  // Set without a Domain attribute: it goes to the host that set it and to no sub-domain.
  bool HostOnly() const { return host_only_; }
  void SetHostOnly(bool value) { host_only_ = value; }
  // The order in which the store took the cookie in, so that the oldest can go first.
  uint64_t Sequence() const { return sequence_; }
  void SetSequence(uint64_t sequence) { sequence_ = sequence; }

 protected:
  // Takes the attributes this class knows; subclasses add theirs.
  virtual void LoadProperties(const Attributes& attributes);
  void SetExpires(std::string expires) { expires_ = std::move(expires); }

 private:
  std::string cookie_text_;
  std::string name_;
  std::string value_;
  std::string path_;
  std::string expires_;
  std::string domain_;
  bool secure_ = false;
  bool host_only_ = false;
  uint64_t sequence_ = 0;
};

}  // namespace mevra::http
