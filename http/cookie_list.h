#pragma once

#include <memory>
#include <string>
#include <vector>

#include "http/netscape_cookie.h"

namespace mevra::http {

// The cookies of one domain in the order they were added, keyed by name without regard to case.
class CookieList {
 public:
  // The cookie named `name`, or nullptr.
  NetscapeCookie* Find(const std::string& name) const;
  void Add(std::unique_ptr<NetscapeCookie> cookie) { cookies_.push_back(std::move(cookie)); }
  // Removes every cookie whose expiry is not later than `now`; says how many went.
  size_t RemoveExpired(DateTime now);
  // Removes the cookie named `name`; false when there is none.
  bool Remove(const std::string& name);
  // Removes the cookie added first.
  void RemoveOldest() { cookies_.erase(cookies_.begin()); }

  size_t Count() const { return cookies_.size(); }
  bool Empty() const { return cookies_.empty(); }
  NetscapeCookie& operator[](size_t index) const { return *cookies_[index]; }

 private:
  std::vector<std::unique_ptr<NetscapeCookie>> cookies_;
};

}  // namespace mevra::http
