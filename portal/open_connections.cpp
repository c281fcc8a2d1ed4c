#include "portal/open_connections.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <linux/sockios.h>
#include <netinet/in.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "portal/limits.h"

namespace mevra::portal {
namespace {

// Every descriptor number of this process.
template <typename Visit>
void ForEachDescriptor(Visit visit) {
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd", ec)) {
    const std::string name = entry.path().filename().string();
    char* end = nullptr;
    const long fd = std::strtol(name.c_str(), &end, 10);
    if (end == name.c_str() || *end != '\0') continue;
    if (visit(static_cast<int>(fd))) return;
  }
}

}  // namespace

void HangUpOpenConnections() {
  ForEachDescriptor([](int fd) {
    int type = 0;
    int listening = 0;
    socklen_t length = sizeof type;
    if (getsockopt(fd, SOL_SOCKET, SO_TYPE, &type, &length) != 0) return false;
    length = sizeof listening;
    if (type != SOCK_STREAM ||
        getsockopt(fd, SOL_SOCKET, SO_ACCEPTCONN, &listening, &length) != 0 || listening) {
      return false;
    }
    sockaddr_storage address{};
    length = sizeof address;
    if (getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0 &&
        (address.ss_family == AF_INET || address.ss_family == AF_INET6)) {
      shutdown(fd, SHUT_RDWR);
    }
    return false;
  });
}

bool ResetConnection(const std::string& peer_address, int peer_port) {
  bool found = false;
  ForEachDescriptor([&](int fd) {
    sockaddr_in peer{};
    socklen_t length = sizeof peer;
    if (getpeername(fd, reinterpret_cast<sockaddr*>(&peer), &length) != 0 ||
        peer.sin_family != AF_INET || ntohs(peer.sin_port) != peer_port) {
      return false;
    }
    char text[INET_ADDRSTRLEN] = {};
    if (!inet_ntop(AF_INET, &peer.sin_addr, text, sizeof text) || peer_address != text) {
      return false;
    }
    for (int waited = 0; waited < kResetDeliveryWaitMs; waited += 2) {
      int unsent = 0;
      if (ioctl(fd, SIOCOUTQ, &unsent) != 0 || unsent == 0) break;
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    // Closed with a zero linger time, a connection ends with a reset. The descriptor number is
    // taken over by /dev/null in the same step, so the server's own close later closes that.
    const linger abortive{1, 0};
    setsockopt(fd, SOL_SOCKET, SO_LINGER, &abortive, sizeof abortive);
    const int null = open("/dev/null", O_RDWR | O_CLOEXEC);
    if (null >= 0) {
      dup2(null, fd);
      close(null);
    }
    found = true;
    return true;
  });
  return found;
}

}  // namespace mevra::portal
