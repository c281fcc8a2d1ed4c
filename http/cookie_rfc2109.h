#pragma once

#include <cstdint>
#include <string>

#include "http/netscape_cookie.h"

namespace mevra::http {

// A cookie from a "Set-Cookie" header: the Netscape cookie plus max-age, version and comment.
class CookieRfc2109 : public NetscapeCookie {
 public:
  // Seconds the cookie lives; -1 when the server gave none.
  int64_t MaxAge() const { return max_age_; }
  const std::string& Version() const { return version_; }
  const std::string& Comment() const { return comment_; }

  void Assign(const NetscapeCookie& other) override;

 protected:
  void LoadProperties(const Attributes& attributes) override;

 private:
  int64_t max_age_ = -1;
  std::string version_;
  std::string comment_;
};

}  // namespace mevra::http
