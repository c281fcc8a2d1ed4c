#include "net/net_stack.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
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

int32_t Fail(int error) {
  t_pending_error = NetStack::TranslateErrno(error);
  return NetStack::kSocketError;
}

sockaddr_in MakeAddress(const std::string& ip, int32_t port) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<uint16_t>(port));
  if (ip.empty()) {
    address.sin_addr.s_addr = htonl(INADDR_ANY);
  } else {
    uint8_t bytes[4];
    NetStack::TextToAddress(ip, bytes);
    std::memcpy(&address.sin_addr.s_addr, bytes, 4);
  }
  return address;
}

SocketAddress FromSockaddr(const sockaddr_in& address) {
  uint8_t bytes[4];
  std::memcpy(bytes, &address.sin_addr.s_addr, 4);
  return SocketAddress{address.sin_family, NetStack::AddressToText(bytes), ntohs(address.sin_port)};
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

int NetStack::NewSocket(int type, int protocol) {
  const int descriptor = ::socket(AF_INET, type | SOCK_CLOEXEC, protocol);
  if (descriptor < 0) {
    Fail(errno);
    throw InvalidSocketError();
  }
  return descriptor;
}

int32_t NetStack::Bind(int descriptor, const std::string& ip, int32_t port) {
  const sockaddr_in address = MakeAddress(ip, port);
  if (::bind(descriptor, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
    return Fail(errno);
  }
  return 0;
}

int32_t NetStack::Connect(int descriptor, const std::string& ip, int32_t port) {
  const sockaddr_in address = MakeAddress(ip, port);
  if (::connect(descriptor, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0) {
    return 0;
  }
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
  const sockaddr_in address = MakeAddress(ip, port);
  int32_t result = 0;
  if (::connect(descriptor, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
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
  const int ready = ::poll(entries.data(), entries.size(),
                           timeout_ms == kNoTimeLimit ? -1 : std::max(timeout_ms, 0));
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

int32_t NetStack::CloseSocket(int descriptor) { return ::close(descriptor) == 0 ? 0 : Fail(errno); }

void NetStack::SetSocketOption(int descriptor, int level, int name, int32_t value) {
  const int option = value;
  if (::setsockopt(descriptor, level, name, &option, sizeof option) != 0) {
    CheckSocketResult(Fail(errno));
  }
}

SocketAddress NetStack::LocalAddress(int descriptor) {
  sockaddr_in address{};
  socklen_t length = sizeof address;
  if (::getsockname(descriptor, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    CheckSocketResult(Fail(errno));
  }
  return FromSockaddr(address);
}

SocketAddress NetStack::PeerAddress(int descriptor) {
  sockaddr_in address{};
  socklen_t length = sizeof address;
  if (::getpeername(descriptor, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    CheckSocketResult(Fail(errno));
  }
  return FromSockaddr(address);
}

std::string NetStack::LookupHost(const std::string& host) {
  std::string upper = host;
  std::transform(upper.begin(), upper.end(), upper.begin(),
                 [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
  if (upper == "LOCALHOST") return "127.0.0.1";
  if (IsDottedQuad(host)) return host;

  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  const int result = ::getaddrinfo(host.c_str(), nullptr, &hints, &found);
  std::unique_ptr<addrinfo, decltype(&::freeaddrinfo)> owner(found, &::freeaddrinfo);
  if (result != 0 || found == nullptr) {
    // Every resolver failure reads as "host not found": the caller cannot act on the finer
    // distinctions, and the message stays the one users know.
    t_pending_error = kHostNotFound;
    CheckSocketResult(kSocketError);
  }
  return FromSockaddr(*reinterpret_cast<const sockaddr_in*>(found->ai_addr)).ip;
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

std::string NetStack::SocketErrorText(int32_t code) {
  switch (code) {
    case 10004:
      return "Interrupted system call.";
    case 10009:
      return "Bad file number.";
    case 10013:
      return "Access denied.";
    case 10014:
      return "Bad address.";
    case 10022:
      return "Invalid argument.";
    case 10024:
      return "Too many open files.";
    case 10035:
      return "Operation would block. ";
    case 10036:
      return "Operation now in progress.";
    case 10037:
      return "Operation already in progress.";
    case 10038:
      return "Socket operation on non-socket.";
    case 10039:
      return "Destination address required.";
    case 10040:
      return "Message too long.";
    case 10041:
      return "Protocol wrong type for socket.";
    case 10042:
      return "Bad protocol option.";
    case 10043:
      return "Protocol not supported.";
    case 10044:
      return "Socket type not supported.";
    case 10045:
      return "Operation not supported on socket.";
    case 10046:
      return "Protocol family not supported.";
    case 10047:
      return "Address family not supported by protocol family.";
    case 10048:
      return "Address already in use.";
    case 10049:
      return "Cannot assign requested address.";
    case 10050:
      return "Network is down.";
    case 10051:
      return "Network is unreachable.";
    case 10052:
      return "Net dropped connection or reset.";
    case 10053:
      return "Software caused connection abort.";
    case 10054:
      return "Connection reset by peer.";
    case 10055:
      return "No buffer space available.";
    case 10056:
      return "Socket is already connected.";
    case 10057:
      return "Socket is not connected.";
    case 10058:
      return "Cannot send or receive after socket is closed.";
    case 10059:
      return "Too many references, cannot splice.";
    case 10060:
      return "Connection timed out.";
    case 10061:
      return "Connection refused.";
    case 10062:
      return "Too many levels of symbolic links.";
    case 10063:
      return "File name too long.";
    case 10064:
      return "Host is down.";
    case 10065:
      return "No route to host.";
    case 10066:
      return "Directory not empty";
    case 11001:
      return "Host not found.";
    default:
      return std::string();
  }
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
  switch (error) {
    case EINTR:
      return 10004;
    case EBADF:
      return 10009;
    case EACCES:
    case EPERM:
      return 10013;
    case EFAULT:
      return 10014;
    case EINVAL:
      return 10022;
    case EMFILE:
    case ENFILE:
      return 10024;
    case EWOULDBLOCK:
      return 10035;
    case EINPROGRESS:
      return 10036;
    case EALREADY:
      return 10037;
    case ENOTSOCK:
      return 10038;
    case EDESTADDRREQ:
      return 10039;
    case EMSGSIZE:
      return 10040;
    case EPROTOTYPE:
      return 10041;
    case ENOPROTOOPT:
      return 10042;
    case EPROTONOSUPPORT:
      return 10043;
    case ESOCKTNOSUPPORT:
      return 10044;
    case EOPNOTSUPP:
      return 10045;
    case EPFNOSUPPORT:
      return 10046;
    case EAFNOSUPPORT:
      return 10047;
    case EADDRINUSE:
      return 10048;
    case EADDRNOTAVAIL:
      return 10049;
    case ENETDOWN:
      return 10050;
    case ENETUNREACH:
      return 10051;
    case ENETRESET:
      return 10052;
    case ECONNABORTED:
      return 10053;
    case ECONNRESET:
      return 10054;
    case ENOBUFS:
    case ENOMEM:
      return 10055;
    case EISCONN:
      return 10056;
    case ENOTCONN:
      return 10057;
    case EPIPE:
    case ESHUTDOWN:
      return 10058;
    case ETOOMANYREFS:
      return 10059;
    case ETIMEDOUT:
      return 10060;
    case ECONNREFUSED:
      return 10061;
    case ELOOP:
      return 10062;
    case ENAMETOOLONG:
      return 10063;
    case EHOSTDOWN:
      return 10064;
    case EHOSTUNREACH:
      return 10065;
    case ENOTEMPTY:
      return 10066;
    default:
      return 10000 + error;
  }
}

}  // namespace mevra::net
