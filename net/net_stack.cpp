#include "net/net_stack.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>
#include <mutex>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include "net/host_name.h"
#include "net/limits.h"
#include "net/net_error.h"

namespace mevra::net {

namespace {

std::mutex& StackLock() {
  static std::mutex lock;
  return lock;
}
NetStack* g_socket_stack = nullptr;
int32_t g_stack_users = 0;

// Like the platform's per-thread last error: set by the call that failed, read right after it.
thread_local int32_t t_pending_error = 0;
thread_local int32_t t_last_error_code = 0;

constexpr int32_t kHostNotFound = 11001;

// One row per system error the transport names: the errno value, the socket error code that
// messages and callers use, and the code's text. Both directions read this one table; where two
// errno values share a code, the code's text is that of its first row. A code without an errno
// has kNoErrno.
constexpr int kNoErrno = -1;
struct ErrorEntry {
  int error;
  int32_t code;
  const char* text;
};
constexpr ErrorEntry kErrorTable[] = {
    {EINTR, 10004, "Interrupted system call."},
    {EBADF, 10009, "Bad file number."},
    {EACCES, 10013, "Access denied."},
    {EPERM, 10013, "Access denied."},
    {EFAULT, 10014, "Bad address."},
    {EINVAL, 10022, "Invalid argument."},
    {EMFILE, 10024, "Too many open files."},
    {ENFILE, 10024, "Too many open files."},
    {EWOULDBLOCK, 10035, "Operation would block. "},
    {EINPROGRESS, 10036, "Operation now in progress."},
    {EALREADY, 10037, "Operation already in progress."},
    {ENOTSOCK, 10038, "Socket operation on non-socket."},
    {EDESTADDRREQ, 10039, "Destination address required."},
    {EMSGSIZE, 10040, "Message too long."},
    {EPROTOTYPE, 10041, "Protocol wrong type for socket."},
    {ENOPROTOOPT, 10042, "Bad protocol option."},
    {EPROTONOSUPPORT, 10043, "Protocol not supported."},
    {ESOCKTNOSUPPORT, 10044, "Socket type not supported."},
    {EOPNOTSUPP, 10045, "Operation not supported on socket."},
    {EPFNOSUPPORT, 10046, "Protocol family not supported."},
    {EAFNOSUPPORT, 10047, "Address family not supported by protocol family."},
    {EADDRINUSE, 10048, "Address already in use."},
    {EADDRNOTAVAIL, 10049, "Cannot assign requested address."},
    {ENETDOWN, 10050, "Network is down."},
    {ENETUNREACH, 10051, "Network is unreachable."},
    {ENETRESET, 10052, "Net dropped connection or reset."},
    {ECONNABORTED, 10053, "Software caused connection abort."},
    {ECONNRESET, 10054, "Connection reset by peer."},
    {ENOBUFS, 10055, "No buffer space available."},
    {ENOMEM, 10055, "No buffer space available."},
    {EISCONN, 10056, "Socket is already connected."},
    {ENOTCONN, 10057, "Socket is not connected."},
    {EPIPE, 10058, "Cannot send or receive after socket is closed."},
    {ESHUTDOWN, 10058, "Cannot send or receive after socket is closed."},
    {ETOOMANYREFS, 10059, "Too many references, cannot splice."},
    {ETIMEDOUT, 10060, "Connection timed out."},
    {ECONNREFUSED, 10061, "Connection refused."},
    {ELOOP, 10062, "Too many levels of symbolic links."},
    {ENAMETOOLONG, 10063, "File name too long."},
    {EHOSTDOWN, 10064, "Host is down."},
    {EHOSTUNREACH, 10065, "No route to host."},
    {ENOTEMPTY, 10066, "Directory not empty"},
    {kNoErrno, kHostNotFound, "Host not found."},
};

int32_t Fail(int error) {
  t_pending_error = NetStack::TranslateErrno(error);
  return NetStack::kSocketError;
}

// A socket address of either family. An IPv6 address is told by its colons; an empty one is
// the family's "any" address, of the family `empty_family` says.
struct Address {
  sockaddr_storage storage{};
  socklen_t length = 0;
  const sockaddr* Get() const { return reinterpret_cast<const sockaddr*>(&storage); }
};

Address MakeAddress(const std::string& ip, int32_t port, int empty_family = AF_INET) {
  Address address;
  const bool v6 = ip.empty() ? empty_family == AF_INET6 : ip.find(':') != std::string::npos;
  if (v6) {
    auto& in6 = reinterpret_cast<sockaddr_in6&>(address.storage);
    in6.sin6_family = AF_INET6;
    in6.sin6_port = htons(static_cast<uint16_t>(port));
    // A text that is no address reads as the "any" address, as a bad IPv4 text reads as zeros.
    if (!ip.empty() && inet_pton(AF_INET6, ip.c_str(), &in6.sin6_addr) != 1) {
      in6.sin6_addr = in6addr_any;
    }
    address.length = sizeof in6;
  } else {
    auto& in4 = reinterpret_cast<sockaddr_in&>(address.storage);
    in4.sin_family = AF_INET;
    in4.sin_port = htons(static_cast<uint16_t>(port));
    if (ip.empty()) {
      in4.sin_addr.s_addr = htonl(INADDR_ANY);
    } else {
      uint8_t bytes[4];
      NetStack::TextToAddress(ip, bytes);
      std::memcpy(&in4.sin_addr.s_addr, bytes, 4);
    }
    address.length = sizeof in4;
  }
  return address;
}

SocketAddress FromSockaddr(const sockaddr_storage& storage) {
  if (storage.ss_family == AF_INET6) {
    const auto& in6 = reinterpret_cast<const sockaddr_in6&>(storage);
    char text[INET6_ADDRSTRLEN] = {};
    inet_ntop(AF_INET6, &in6.sin6_addr, text, sizeof text);
    return SocketAddress{AF_INET6, text, ntohs(in6.sin6_port)};
  }
  const auto& in4 = reinterpret_cast<const sockaddr_in&>(storage);
  uint8_t bytes[4];
  std::memcpy(bytes, &in4.sin_addr.s_addr, 4);
  return SocketAddress{in4.sin_family, NetStack::AddressToText(bytes), ntohs(in4.sin_port)};
}

// The family a socket was made for, so that an empty bind address means its own "any".
int FamilyOf(int descriptor) {
  int family = AF_INET;
  socklen_t length = sizeof family;
  if (::getsockopt(descriptor, SOL_SOCKET, SO_DOMAIN, &family, &length) != 0) return AF_INET;
  return family;
}

// Splits at the first three dots; further dots stay in the last part.
void SplitQuad(const std::string& text, std::string (&parts)[4]) {
  std::string rest = text;
  for (int i = 0; i < 3; ++i) {
    const size_t dot = rest.find('.');
    if (dot == std::string::npos) {
      parts[i] = rest;
      rest.clear();
    } else {
      parts[i] = rest.substr(0, dot);
      rest.erase(0, dot + 1);
    }
  }
  parts[3] = rest;
}

// A whole-text decimal integer (an optional sign, digits only), as a strict string-to-integer
// conversion accepts it.
bool ParseInteger(const std::string& text, long& value) {
  if (text.empty() || text.size() > 10) return false;
  size_t i = (text[0] == '-' || text[0] == '+') ? 1 : 0;
  if (i == text.size()) return false;
  for (size_t j = i; j < text.size(); ++j) {
    if (text[j] < '0' || text[j] > '9') return false;
  }
  value = std::strtol(text.c_str(), nullptr, 10);
  return true;
}

}  // namespace

NetStack* NetStack::SocketStack() {
  std::lock_guard guard(StackLock());
  return g_socket_stack;
}

int32_t NetStack::StackUsers() {
  std::lock_guard guard(StackLock());
  return g_stack_users;
}

void NetStack::AddUser() {
  std::lock_guard guard(StackLock());
  if (g_stack_users++ == 0) g_socket_stack = new NetStack();
}

void NetStack::RemoveUser() {
  std::lock_guard guard(StackLock());
  if (g_stack_users == 0) return;
  if (g_stack_users-- == 1) {
    delete g_socket_stack;
    g_socket_stack = nullptr;
  }
}

int NetStack::NewSocket(int type, int protocol, int family) {
  const int descriptor = ::socket(family, type | SOCK_CLOEXEC, protocol);
  if (descriptor < 0) {
    Fail(errno);
    throw InvalidSocketError();
  }
  return descriptor;
}

int32_t NetStack::Bind(int descriptor, const std::string& ip, int32_t port) {
  const Address address = MakeAddress(ip, port, FamilyOf(descriptor));
  if (::bind(descriptor, address.Get(), address.length) != 0) return Fail(errno);
  return 0;
}

int32_t NetStack::Connect(int descriptor, const std::string& ip, int32_t port) {
  const Address address = MakeAddress(ip, port);
  if (::connect(descriptor, address.Get(), address.length) == 0) return 0;
  if (errno != EINTR) return Fail(errno);
  // An interrupted blocking connect goes on in the background; wait for its outcome.
  pollfd entry{descriptor, POLLOUT, 0};
  while (::poll(&entry, 1, -1) < 0) {
    if (errno != EINTR) return Fail(errno);
  }
  int error = 0;
  socklen_t length = sizeof error;
  ::getsockopt(descriptor, SOL_SOCKET, SO_ERROR, &error, &length);
  return error == 0 ? 0 : Fail(error);
}

int32_t NetStack::CancellableConnect(int descriptor, const std::string& ip, int32_t port,
                                     int cancel_descriptor, bool& cancelled) {
  cancelled = false;
  const int flags = ::fcntl(descriptor, F_GETFL);
  if (flags < 0) return Fail(errno);
  ::fcntl(descriptor, F_SETFL, flags | O_NONBLOCK);
  const Address address = MakeAddress(ip, port);
  int32_t result = 0;
  if (::connect(descriptor, address.Get(), address.length) != 0) {
    if (errno != EINPROGRESS && errno != EINTR) {
      result = Fail(errno);
    } else {
      pollfd entries[2] = {{descriptor, POLLOUT, 0}, {cancel_descriptor, POLLIN, 0}};
      int ready;
      while ((ready = ::poll(entries, 2, -1)) < 0 && errno == EINTR) {
      }
      if (ready < 0) {
        result = Fail(errno);
      } else if (entries[1].revents != 0) {
        cancelled = true;
        result = Fail(EINTR);
      } else {
        int error = 0;
        socklen_t length = sizeof error;
        ::getsockopt(descriptor, SOL_SOCKET, SO_ERROR, &error, &length);
        if (error != 0) result = Fail(error);
      }
    }
  }
  ::fcntl(descriptor, F_SETFL, flags);
  return result;
}

int32_t NetStack::Receive(int descriptor, void* buffer, int32_t length) {
  for (;;) {
    const ssize_t n = ::recv(descriptor, buffer, static_cast<size_t>(std::max(length, 0)), 0);
    if (n >= 0) return static_cast<int32_t>(n);
    if (errno != EINTR) return Fail(errno);
  }
}

int32_t NetStack::ReceiveAvailable(int descriptor, void* buffer, int32_t length) {
  for (;;) {
    const ssize_t n =
        ::recv(descriptor, buffer, static_cast<size_t>(std::max(length, 0)), MSG_DONTWAIT);
    if (n >= 0) return static_cast<int32_t>(n);
    if (errno != EINTR) return Fail(errno);
  }
}

int32_t NetStack::Send(int descriptor, const void* buffer, int32_t length) {
  for (;;) {
    const ssize_t n =
        ::send(descriptor, buffer, static_cast<size_t>(std::max(length, 0)), MSG_NOSIGNAL);
    if (n >= 0) return static_cast<int32_t>(n);
    if (errno != EINTR) return Fail(errno);
  }
}

int32_t NetStack::Select(SocketSet* read_set, SocketSet* write_set, SocketSet* error_set,
                         int32_t timeout_ms) {
  SocketSet* sets[3] = {read_set, write_set, error_set};
  for (SocketSet* set : sets) {
    if (set != nullptr && set->size() > static_cast<size_t>(kMaxSocketSetSize)) {
      throw StackSetSizeExceededError();
    }
  }
  // poll instead of select: descriptors above FD_SETSIZE must not overrun an fd_set.
  const short events[3] = {POLLIN, POLLOUT, POLLPRI};
  std::vector<pollfd> entries;
  std::vector<int> owner;
  for (int s = 0; s < 3; ++s) {
    if (sets[s] == nullptr) continue;
    for (int descriptor : *sets[s]) {
      entries.push_back(pollfd{descriptor, events[s], 0});
      owner.push_back(s);
    }
  }
  // A signal ends poll early; the wait goes on for the time that is left, so that a signal is
  // never taken for a time-out.
  const auto deadline =
      std::chrono::steady_clock::now() + std::chrono::milliseconds(std::max(timeout_ms, 0));
  int ready;
  for (;;) {
    int wait = -1;
    if (timeout_ms != kNoTimeLimit) {
      const auto left =
          std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
      wait = static_cast<int>(std::max<int64_t>(left.count(), 0));
    }
    ready = ::poll(entries.data(), entries.size(), wait);
    if (ready >= 0 || errno != EINTR) break;
  }
  if (ready < 0) return Fail(errno);
  for (SocketSet* set : sets) {
    if (set != nullptr) set->clear();
  }
  int32_t count = 0;
  for (size_t i = 0; i < entries.size(); ++i) {
    const short got = entries[i].revents;
    if (got & POLLNVAL) continue;
    // A hang-up or an error makes a socket readable (the read then tells what happened).
    const short wanted = owner[i] == 0   ? POLLIN | POLLHUP | POLLERR
                         : owner[i] == 1 ? POLLOUT | POLLERR
                                         : POLLPRI;
    if (got & wanted) {
      sets[owner[i]]->push_back(entries[i].fd);
      ++count;
    }
  }
  return count;
}

int32_t NetStack::Shutdown(int descriptor, int how) {
  return ::shutdown(descriptor, how) == 0 ? 0 : Fail(errno);
}

int32_t NetStack::SetNonBlocking(int descriptor, bool on) {
  const int flags = ::fcntl(descriptor, F_GETFL);
  if (flags < 0) return Fail(errno);
  const int wanted = on ? flags | O_NONBLOCK : flags & ~O_NONBLOCK;
  if (wanted != flags && ::fcntl(descriptor, F_SETFL, wanted) != 0) return Fail(errno);
  return 0;
}

int32_t NetStack::CloseSocket(int descriptor) { return ::close(descriptor) == 0 ? 0 : Fail(errno); }

void NetStack::SetSocketOption(int descriptor, int level, int name, int32_t value) {
  const int option = value;
  if (::setsockopt(descriptor, level, name, &option, sizeof option) != 0) {
    CheckSocketResult(Fail(errno));
  }
}

SocketAddress NetStack::LocalAddress(int descriptor) {
  sockaddr_storage address{};
  socklen_t length = sizeof address;
  if (::getsockname(descriptor, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    CheckSocketResult(Fail(errno));
  }
  return FromSockaddr(address);
}

SocketAddress NetStack::PeerAddress(int descriptor) {
  sockaddr_storage address{};
  socklen_t length = sizeof address;
  if (::getpeername(descriptor, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    CheckSocketResult(Fail(errno));
  }
  return FromSockaddr(address);
}

std::string NetStack::LookupHost(const std::string& host) { return LookupAddresses(host).front(); }

std::vector<std::string> NetStack::LookupAddresses(const std::string& host) {
  // "host." is the host "host"; the resolver may not know the form with the dot.
  const std::string name = WithoutTrailingDot(host);
  std::string upper = name;
  std::transform(upper.begin(), upper.end(), upper.begin(),
                 [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
  // The loopback name needs no resolver; IPv4 comes first, as every server here listened there
  // before IPv6 was tried at all.
  if (upper == "LOCALHOST") return {"127.0.0.1", "::1"};
  if (IsDottedQuad(name) || IsIpv6Literal(name)) return {name};

  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_flags = AI_ADDRCONFIG;
  addrinfo* found = nullptr;
  const int result = ::getaddrinfo(name.c_str(), nullptr, &hints, &found);
  std::unique_ptr<addrinfo, decltype(&::freeaddrinfo)> owner(found, &::freeaddrinfo);
  // The resolver's order, each address once, families interleaved from the first one's on: a
  // family that does not answer then costs one head start, not one connect per address.
  std::vector<std::string> first_family;
  std::vector<std::string> other_family;
  int family = 0;
  for (const addrinfo* entry = found; result == 0 && entry != nullptr; entry = entry->ai_next) {
    if (entry->ai_family != AF_INET && entry->ai_family != AF_INET6) continue;
    sockaddr_storage storage{};
    std::memcpy(&storage, entry->ai_addr, std::min<size_t>(entry->ai_addrlen, sizeof storage));
    const std::string text = FromSockaddr(storage).ip;
    if (family == 0) family = entry->ai_family;
    auto& list = entry->ai_family == family ? first_family : other_family;
    if (std::find(list.begin(), list.end(), text) == list.end()) list.push_back(text);
  }
  if (first_family.empty()) {
    // Every resolver failure reads as "host not found": the caller cannot act on the finer
    // distinctions, and the message stays the one users know.
    t_pending_error = kHostNotFound;
    CheckSocketResult(kSocketError);
  }
  std::vector<std::string> addresses;
  for (size_t i = 0; i < std::max(first_family.size(), other_family.size()); ++i) {
    if (i < first_family.size()) addresses.push_back(first_family[i]);
    if (i < other_family.size()) addresses.push_back(other_family[i]);
  }
  return addresses;
}

int32_t NetStack::StartConnect(int descriptor, const std::string& ip, int32_t port) {
  const Address address = MakeAddress(ip, port);
  if (::connect(descriptor, address.Get(), address.length) == 0) return 0;
  return Fail(errno);
}

int32_t NetStack::PendingConnectError(int descriptor) {
  int error = 0;
  socklen_t length = sizeof error;
  if (::getsockopt(descriptor, SOL_SOCKET, SO_ERROR, &error, &length) != 0) error = errno;
  return error == 0 ? 0 : TranslateErrno(error);
}

int NetStack::FamilyOfAddress(const std::string& ip) {
  return ip.find(':') != std::string::npos ? AF_INET6 : AF_INET;
}

bool NetStack::CheckSocketResult(int32_t result, std::initializer_list<int32_t> tolerated) {
  if (result != kSocketError) return false;
  t_last_error_code = t_pending_error;
  if (std::find(tolerated.begin(), tolerated.end(), t_last_error_code) != tolerated.end()) {
    return true;
  }
  RaiseSocketFailure(t_last_error_code);
}

int32_t NetStack::LastErrorCode() const { return t_last_error_code; }

void NetStack::RaiseSocketFailure(int32_t code) {
  throw SocketError(code,
                    "Socket Error # " + std::to_string(code) + "\r\n" + SocketErrorText(code));
}

int32_t NetStack::ReportFailure(int32_t code) {
  t_pending_error = code;
  return kSocketError;
}

std::string NetStack::SocketErrorText(int32_t code) {
  for (const ErrorEntry& entry : kErrorTable) {
    if (entry.code == code) return entry.text;
  }
  if (code > kSystemErrorBase && code < kSystemErrorBase + kSystemErrorSpan) {
    char buffer[256];
    return ::strerror_r(code - kSystemErrorBase, buffer, sizeof buffer);
  }
  return std::string();
}

bool NetStack::IsDottedQuad(const std::string& text) {
  std::string parts[4];
  SplitQuad(text, parts);
  for (const std::string& part : parts) {
    long value = 0;
    if (!ParseInteger(part, value) || value < 0 || value > 255) return false;
  }
  return true;
}

std::string NetStack::AddressToText(const uint8_t (&bytes)[4]) {
  return std::to_string(bytes[0]) + "." + std::to_string(bytes[1]) + "." +
         std::to_string(bytes[2]) + "." + std::to_string(bytes[3]);
}

void NetStack::TextToAddress(const std::string& text, uint8_t (&bytes)[4]) {
  std::string parts[4];
  SplitQuad(text, parts);
  for (int i = 0; i < 4; ++i) {
    long value = 0;
    bytes[i] = ParseInteger(parts[i], value) ? static_cast<uint8_t>(value) : 0;
  }
}

int32_t NetStack::TranslateErrno(int error) {
  for (const ErrorEntry& entry : kErrorTable) {
    if (entry.error == error) return entry.code;
  }
  // Outside the table's codes, so an unknown error is never read as a known one.
  return kSystemErrorBase + error;
}

}  // namespace mevra::net
