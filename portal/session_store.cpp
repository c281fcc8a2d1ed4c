#include "portal/session_store.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <iostream>
#include <vector>

#include "portal/limits.h"

namespace mevra::portal {
namespace {

constexpr char kHex[] = "0123456789abcdef";
// First line of the session file; a file without it is not ours and is ignored.
constexpr std::string_view kFileHeader = "mevra-portal sessions 1";
constexpr size_t kSessionIdLength = 32;

std::string ToHex(std::string_view bytes) {
  std::string out;
  for (char c : bytes) {
    const auto u = static_cast<unsigned char>(c);
    out += kHex[u >> 4];
    out += kHex[u & 0xF];
  }
  return out;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

std::optional<std::string> FromHex(std::string_view hex) {
  if (hex.size() % 2 != 0) return std::nullopt;
  std::string out;
  for (size_t i = 0; i < hex.size(); i += 2) {
    const int high = HexDigit(hex[i]);
    const int low = HexDigit(hex[i + 1]);
    if (high < 0 || low < 0) return std::nullopt;
    out += static_cast<char>(high << 4 | low);
  }
  return out;
}

bool IsSessionId(std::string_view id) {
  return id.size() == kSessionIdLength &&
         std::all_of(id.begin(), id.end(), [](char c) { return HexDigit(c) >= 0; });
}

// Writes `text` to `path` through a private temporary file and a rename, so a reader (or a
// portal started meanwhile) sees the old file or the new one, never a part. Returns 0 or errno.
int WriteAtomically(const std::filesystem::path& path, const std::string& text) {
  static std::atomic<unsigned> counter{0};
  std::error_code ec;
  std::filesystem::create_directories(path.parent_path(), ec);
  std::filesystem::path temp = path;
  temp += ".tmp-" + std::to_string(::getpid()) + "-" + std::to_string(counter++);
  // Session ids are credentials: only the portal's user may read them.
  const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  if (fd < 0) return errno;
  size_t done = 0;
  while (done < text.size()) {
    const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      const int error = n < 0 ? errno : EIO;
      ::close(fd);
      ::unlink(temp.c_str());
      return error;
    }
    done += static_cast<size_t>(n);
  }
  if (::close(fd) != 0 || ::rename(temp.c_str(), path.c_str()) != 0) {
    const int error = errno;
    ::unlink(temp.c_str());
    return error;
  }
  return 0;
}

}  // namespace

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

void SessionStore::KeepIn(const std::filesystem::path& file) {
  std::lock_guard guard(lock_);
  file_ = file;
  save_failed_ = false;
  Load();
}

std::string SessionStore::SignIn(const std::string& user) {
  std::lock_guard guard(lock_);
  std::string id;
  for (int i = 0; i < 4; ++i) {
    uint32_t word = random_();
    for (int k = 0; k < 8; ++k, word >>= 4) id.push_back(kHex[word & 0xF]);
  }
  sessions_[id] = Session{user, next_serial_++};
  while (sessions_.size() > kMaxSessions) ForgetOldest();
  Save();
  return id;
}

void SessionStore::SignOut(std::string_view session_id) {
  std::lock_guard guard(lock_);
  auto it = sessions_.find(session_id);
  if (it == sessions_.end()) return;
  sessions_.erase(it);
  Save();
}

std::optional<std::string> SessionStore::UserFor(std::string_view cookie_header) const {
  const std::string id = SessionIdIn(cookie_header);
  if (id.empty()) return std::nullopt;
  std::lock_guard guard(lock_);
  auto it = sessions_.find(id);
  // A kept session may name an account this run was not given.
  if (it == sessions_.end() || !passwords_.contains(it->second.user)) return std::nullopt;
  return it->second.user;
}

void SessionStore::ForgetOldest() {
  auto oldest = std::min_element(
      sessions_.begin(), sessions_.end(),
      [](const auto& a, const auto& b) { return a.second.serial < b.second.serial; });
  if (oldest != sessions_.end()) sessions_.erase(oldest);
}

void SessionStore::Load() {
  std::ifstream in(file_);
  std::string line;
  if (!in || !std::getline(in, line) || line != kFileHeader) return;
  // Lines run from the oldest sign-in to the newest: "<session id> <user name in hex>".
  while (std::getline(in, line)) {
    const size_t blank = line.find(' ');
    if (blank == std::string::npos) continue;
    const std::string id = line.substr(0, blank);
    const auto user = FromHex(std::string_view(line).substr(blank + 1));
    if (!IsSessionId(id) || !user || user->empty()) continue;
    sessions_[id] = Session{*user, next_serial_++};
  }
  while (sessions_.size() > kMaxSessions) ForgetOldest();
}

void SessionStore::Save() {
  if (file_.empty()) return;
  std::vector<std::pair<uint64_t, const std::string*>> order;
  for (const auto& [id, session] : sessions_) order.emplace_back(session.serial, &id);
  std::sort(order.begin(), order.end());
  std::string text = std::string(kFileHeader) + "\n";
  for (const auto& [serial, id] : order) {
    text += *id + " " + ToHex(sessions_.find(*id)->second.user) + "\n";
  }
  const int error = WriteAtomically(file_, text);
  if (error != 0 && !save_failed_) {
    std::cerr << "mevra-portal: cannot keep sessions in " << file_.string() << ": "
              << std::strerror(error) << "; they last until the portal stops" << std::endl;
  }
  save_failed_ = error != 0;
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
