#include "http/cookie_rfc2109.h"

#include <algorithm>

#include "http/text_util.h"

namespace mevra::http {

void CookieRfc2109::LoadProperties(const Attributes& attributes) {
  NetscapeCookie::LoadProperties(attributes);
  max_age_ = -1;
  version_.clear();
  comment_.clear();
  if (auto it = attributes.find("MAX-AGE"); it != attributes.end()) {
    max_age_ = ParseInt64(it->second).value_or(-1);
    // A negative age other than "none" means "already gone", as zero does.
    if (max_age_ < -1) max_age_ = 0;
  }
  if (auto it = attributes.find("VERSION"); it != attributes.end()) version_ = it->second;
  if (auto it = attributes.find("COMMENT"); it != attributes.end()) comment_ = it->second;

  // Keep the expiry date and the age in step. An age wins over a date, as servers that send
  // both mean it to (the date is for clients that know no age); a date alone gives the age.
  const DateTime now = Now();
  if (max_age_ >= 0) {
    // Clamped so that no server can make the addition overflow; a century is forever here.
    constexpr int64_t kCentury = int64_t{100} * 366 * 24 * 3600;
    SetExpires(FormatInternetDate(now + std::chrono::seconds{std::min(max_age_, kCentury)}));
  } else if (!Expires().empty()) {
    if (const auto expiry = ParseInternetDate(Expires())) max_age_ = (*expiry - now).count();
  }
}

void CookieRfc2109::Assign(const NetscapeCookie& other) {
  NetscapeCookie::Assign(other);
  if (const auto* cookie = dynamic_cast<const CookieRfc2109*>(&other)) {
    max_age_ = cookie->max_age_;
    version_ = cookie->version_;
    comment_ = cookie->comment_;
  }
}

}  // namespace mevra::http
