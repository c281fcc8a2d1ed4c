#include "portal/session_store.h"

namespace mevra::portal {

SessionStore::SessionStore() = default;

void SessionStore::AddAccount(const std::string& user, const std::string& password) {
  std::lock_guard guard(lock_);
  passwords_[user] = password;
}

bool SessionStore::CheckPassword(const std::string& user, const std::string& password) const {
  std::lock_guard guard(lock_);
  auto it = passwords_.find(user);
  return it != passwords_.end() && it->second == password;
}

std::string SessionStore::SignIn(const std::string& user) {
  static constexpr char kHex[] = "0123456789abcdef";
  std::lock_guard guard(lock_);
  std::string id;
  for (int i = 0; i < 4; ++i) {
    uint32_t word = random_();
    for (int k = 0; k < 8; ++k, word >>= 4) id.push_back(kHex[word & 0xF]);
  }
  sessions_[id] = user;
  return id;
}

void SessionStore::SignOut(std::string_view session_id) {
  std::lock_guard guard(lock_);
  if (auto it = sessions_.find(session_id); it != sessions_.end()) sessions_.erase(it);
}

std::optional<std::string> SessionStore::UserFor(std::string_view cookie_header) const {
  const std::string id = SessionIdIn(cookie_header);
  if (id.empty()) return std::nullopt;
  std::lock_guard guard(lock_);
  auto it = sessions_.find(id);
  if (it == sessions_.end()) return std::nullopt;
  return it->second;
}

std::string SessionStore::SessionIdIn(std::string_view cookie_header) {
  // "a=1; MEVRASID=abc; b=2": pairs separated by ";", blanks around them ignored.
  size_t pos = 0;
  while (pos <= cookie_header.size()) {
    size_t end = cookie_header.find(';', pos);
    if (end == std::string_view::npos) end = cookie_header.size();
    std::string_view pair = cookie_header.substr(pos, end - pos);
    while (!pair.empty() && pair.front() == ' ') pair.remove_prefix(1);
    while (!pair.empty() && pair.back() == ' ') pair.remove_suffix(1);
    if (pair.size() > kCookieName.size() && pair.starts_with(kCookieName) &&
        pair[kCookieName.size()] == '=') {
      return std::string(pair.substr(kCookieName.size() + 1));
    }
    pos = end + 1;
  }
  return {};
}

}  // namespace mevra::portal
