#include "http/cookie_rfc2965.h"

#include "http/text_util.h"

namespace mevra::http {

void CookieRfc2965::LoadProperties(const Attributes& attributes) {
  CookieRfc2109::LoadProperties(attributes);
  comment_url_.clear();
  ports_.clear();
  if (auto it = attributes.find("COMMENTURL"); it != attributes.end()) comment_url_ = it->second;
  discard_ = attributes.count("DISCARD") != 0;
  if (auto it = attributes.find("PORT"); it != attributes.end()) {
    std::string list = it->second;
    if (!list.empty() && list.front() == '"') list.erase(0, 1);
    if (!list.empty() && list.back() == '"') list.pop_back();
    size_t start = 0;
    while (start < list.size()) {
      const size_t comma = list.find(',', start);
      if (const auto port = ParseInt32(Trim(list.substr(start, comma - start)))) {
        ports_.push_back(*port);
      }
      if (comma == std::string::npos) break;
      start = comma + 1;
    }
  }
  if (ports_.empty()) ports_.push_back(80);
}

void CookieRfc2965::Assign(const NetscapeCookie& other) {
  CookieRfc2109::Assign(other);
  if (const auto* cookie = dynamic_cast<const CookieRfc2965*>(&other)) {
    comment_url_ = cookie->comment_url_;
    discard_ = cookie->discard_;
    ports_ = cookie->ports_;
  }
}

}  // namespace mevra::http
