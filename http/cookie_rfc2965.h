#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "http/cookie_rfc2109.h"

namespace mevra::http {

// A cookie from a "Set-Cookie2" header: adds the comment URL, the discard flag and the ports.
class CookieRfc2965 : public CookieRfc2109 {
 public:
  const std::string& CommentURL() const { return comment_url_; }
  bool Discard() const { return discard_; }
  // The ports the cookie is for; 80 when the server named none.
  const std::vector<int32_t>& PortList() const { return ports_; }

  void Assign(const NetscapeCookie& other) override;

 protected:
  void LoadProperties(const Attributes& attributes) override;

 private:
  std::string comment_url_;
  bool discard_ = false;
  std::vector<int32_t> ports_{80};
};

}  // namespace mevra::http
