#pragma once

#include <map>
#include <mutex>
#include <optional>
#include <random>
#include <string>
#include <string_view>

namespace mevra::portal {

// Accounts and signed-in sessions, in memory and shared by all four hosts: a browser sends the
// cookie the sign-in host set to every port of the same host name.
class SessionStore {
 public:
  static constexpr std::string_view kCookieName = "MEVRASID";

  SessionStore();

  void AddAccount(const std::string& user, const std::string& password);
  bool CheckPassword(const std::string& user, const std::string& password) const;

  // Returns the new session's id (32 hexadecimal digits, unguessable).
  std::string SignIn(const std::string& user);
  void SignOut(std::string_view session_id);
  // The user of the session named in a Cookie request header, if it is signed in.
  std::optional<std::string> UserFor(std::string_view cookie_header) const;

  // The session id a Cookie header carries, empty when none.
  static std::string SessionIdIn(std::string_view cookie_header);

 private:
  mutable std::mutex lock_;
  std::map<std::string, std::string> passwords_;
  std::map<std::string, std::string, std::less<>> sessions_;  // session id -> user
  std::random_device random_;
};

}  // namespace mevra::portal
