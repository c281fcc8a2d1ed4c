#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <mutex>
#include <optional>
#include <random>
#include <string>
#include <string_view>

namespace mevra::portal {

// Accounts and signed-in sessions, shared by all four hosts: a browser sends the cookie the
// sign-in host set to every port of the same host name. Sessions live in memory and, once
// KeepIn has named a file, also in that file, so a restarted portal still honours the cookies a
// browser kept.
class SessionStore {
 public:
  static constexpr std::string_view kCookieName = "MEVRASID";

  SessionStore();

  void AddAccount(const std::string& user, const std::string& password);
  bool CheckPassword(const std::string& user, const std::string& password) const;

  // Takes over the sessions an earlier run left in `file` and writes every later change there.
  // A file that cannot be read starts empty; one that cannot be written leaves the sessions in
  // memory only, with one line on standard error.
  void KeepIn(const std::filesystem::path& file);

  // Returns the new session's id (32 hexadecimal digits, unguessable).
  std::string SignIn(const std::string& user);
  void SignOut(std::string_view session_id);
  // The user of the session named in a Cookie request header, if it is signed in to an account
  // that exists.
  std::optional<std::string> UserFor(std::string_view cookie_header) const;

  // The session id a Cookie header carries, empty when none.
  static std::string SessionIdIn(std::string_view cookie_header);

 private:
  struct Session {
    std::string user;
    uint64_t serial;  // sign-in order, oldest first
  };

  void Load();
  void Save();
  void ForgetOldest();

  mutable std::mutex lock_;
  std::map<std::string, std::string> passwords_;
  std::map<std::string, Session, std::less<>> sessions_;  // session id -> session
  uint64_t next_serial_ = 0;
  std::filesystem::path file_;
  bool save_failed_ = false;
  std::random_device random_;
};

}  // namespace mevra::portal
