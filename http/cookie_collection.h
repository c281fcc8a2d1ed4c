#pragma once

#include <cstdint>
#include <memory>
#include <shared_mutex>
#include <string>
#include <utility>
#include <vector>

#include "http/cookie_list.h"

namespace mevra::http {

// Every cookie of a store, indexed by domain (compared without regard to case). Lookups for
// sending take the lock for reading; adding, replacing and expiring take it for writing.
class CookieCollection {
 public:
  // Adds the cookie under its domain, or lets it replace the domain's cookie of the same name.
  // A new cookie beyond kMaxCookiesPerDomain or kMaxCookies pushes out the oldest one of its
  // domain or of the store. One that did not come over a secure connection is dropped (false)
  // when a Secure cookie of its name is stored for its domain, or for one that lies in it or
  // that it lies in: it would replace that cookie, or be sent beside it and shadow it.
  bool AddCookie(std::unique_ptr<NetscapeCookie> cookie, bool secure_connection = true);
  // Removes the cookie named `name` stored under `domain` (compared without regard to case);
  // false when there is none.
  bool RemoveCookie(const std::string& domain, const std::string& name);
  // Removes every cookie that has expired by `now`.
  void RemoveExpired(DateTime now);

  // Calls `visit(domain, list)` for each domain under the read lock.
  template <typename Visit>
  void ForEachDomain(Visit&& visit) const {
    std::shared_lock lock(mutex_);
    for (const auto& [domain, list] : domains_) visit(domain, *list);
  }

  size_t Count() const;
  void Clear();

 private:
  // Drops the oldest cookie of the store, and a domain left without cookies.
  void EvictOldest();
  void DropEmptyDomains();

  mutable std::shared_mutex mutex_;
  std::vector<std::pair<std::string, std::unique_ptr<CookieList>>> domains_;
  size_t count_ = 0;
  uint64_t next_sequence_ = 0;
};

}  // namespace mevra::http
