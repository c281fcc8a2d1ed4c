#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

#include <sys/socket.h>

namespace mevra::net {

// Socket descriptors of one select set.
using SocketSet = std::vector<int>;

// Address and port of one end of a socket.
struct SocketAddress {
  int32_t family = 0;
  std::string ip;  // a dotted quad, or an IPv6 address in its short text form
  int32_t port = 0;
};

// The one place where the transport touches the operating system's sockets. Every failure is
// reported with the socket error codes of the table in SocketErrorText (errno values are
// translated), so messages read the same whatever the system says. One instance lives while at
// least one NetComponent does; AddUser/RemoveUser keep the count under a lock.
class NetStack {
 public:
  static constexpr int32_t kSocketError = -1;
  // Time-out value of Select meaning "no limit".
  static constexpr int32_t kNoTimeLimit = -2;

  // The process-wide instance, or null when no component is alive.
  static NetStack* SocketStack();
  static int32_t StackUsers();
  static void AddUser();
  static void RemoveUser();

  // Creates a socket of `family` (IPv4 unless told otherwise); raises InvalidSocketError on
  // failure.
  int NewSocket(int type, int protocol, int family = AF_INET);
  // The calls below return the raw result (SOCKET_ERROR = -1 with the code kept for
  // CheckSocketResult on this thread). Addresses are IPv4 or IPv6 text; an empty bind address
  // is the socket's family's "any" address.
  int32_t Bind(int descriptor, const std::string& ip, int32_t port);
  int32_t Connect(int descriptor, const std::string& ip, int32_t port);
  // A connect that ends early, silently and with result -1, when `cancel_descriptor` becomes
  // readable; the socket is returned to blocking mode either way. `cancelled` tells which.
  int32_t CancellableConnect(int descriptor, const std::string& ip, int32_t port,
                             int cancel_descriptor, bool& cancelled);
  int32_t Receive(int descriptor, void* buffer, int32_t length);
  // A receive that never waits: nothing there yet fails with 10035 (would block).
  int32_t ReceiveAvailable(int descriptor, void* buffer, int32_t length);
  // Never raises SIGPIPE; a closed peer is an error code instead.
  int32_t Send(int descriptor, const void* buffer, int32_t length);
  // Waits until a socket of the sets is ready; the sets are rewritten to hold only the ready
  // ones. More than kMaxSocketSetSize sockets in a set raise StackSetSizeExceededError.
  int32_t Select(SocketSet* read_set, SocketSet* write_set, SocketSet* error_set,
                 int32_t timeout_ms);
  int32_t Shutdown(int descriptor, int how);
  // Switches a socket between blocking and non-blocking calls; result returned raw.
  int32_t SetNonBlocking(int descriptor, bool on);
  int32_t CloseSocket(int descriptor);
  // These raise SocketError on failure.
  void SetSocketOption(int descriptor, int level, int name, int32_t value);
  SocketAddress LocalAddress(int descriptor);
  SocketAddress PeerAddress(int descriptor);

  // The first address of LookupAddresses.
  std::string LookupHost(const std::string& host);
  // Every address of `host` to try in turn: "localhost" in any case is 127.0.0.1, then ::1; a
  // dotted quad or an IPv6 address stands as it is; anything else is looked up in both
  // families, which then take turns from the resolver's first address on. One trailing dot is
  // dropped first. A name that does not resolve raises SocketError 11001.
  std::vector<std::string> LookupAddresses(const std::string& host);
  // The start of a connect on a non-blocking socket: 0 when it connected at once, otherwise
  // SOCKET_ERROR with the code pending (10036 while it goes on).
  int32_t StartConnect(int descriptor, const std::string& ip, int32_t port);
  // The outcome of a connect that went on in the background: 0, or its socket error code.
  int32_t PendingConnectError(int descriptor);
  // AF_INET6 for an IPv6 address text, AF_INET otherwise.
  static int FamilyOfAddress(const std::string& ip);

  // Returns false when `result` is not SOCKET_ERROR. Otherwise stores the calling thread's last
  // code in LastErrorCode and returns true when it is tolerated, or raises SocketError.
  bool CheckSocketResult(int32_t result, std::initializer_list<int32_t> tolerated = {});
  // The code most recently fetched by CheckSocketResult on the calling thread.
  int32_t LastErrorCode() const;

  [[noreturn]] static void RaiseSocketFailure(int32_t code);
  // Stores `code` as the calling thread's pending error and returns SOCKET_ERROR, so that a
  // handler whose socket calls go through another layer (TLS) fails a call as a socket call does.
  static int32_t ReportFailure(int32_t code);
  static std::string SocketErrorText(int32_t code);
  static bool IsDottedQuad(const std::string& text);
  static std::string AddressToText(const uint8_t (&bytes)[4]);
  static void TextToAddress(const std::string& text, uint8_t (&bytes)[4]);
  // Maps an errno value onto the socket error code table. An errno the table does not name gets
  // kSystemErrorBase + errno, a code outside the table whose text is the system's own.
  static int32_t TranslateErrno(int error);

  static constexpr int32_t kSystemErrorBase = 20000;
  static constexpr int32_t kSystemErrorSpan = 4096;

 private:
  NetStack() = default;
};

}  // namespace mevra::net
