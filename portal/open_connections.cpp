#include "portal/open_connections.h"

#include <sys/socket.h>

#include <cstdlib>
#include <filesystem>
#include <string>

namespace mevra::portal {

void HangUpOpenConnections() {
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd", ec)) {
    const std::string name = entry.path().filename().string();
    char* end = nullptr;
    const long fd = std::strtol(name.c_str(), &end, 10);
    if (end == name.c_str() || *end != '\0') continue;
    int type = 0;
    int listening = 0;
    socklen_t length = sizeof type;
    if (getsockopt(static_cast<int>(fd), SOL_SOCKET, SO_TYPE, &type, &length) != 0) continue;
    length = sizeof listening;
    if (type != SOCK_STREAM ||
        getsockopt(static_cast<int>(fd), SOL_SOCKET, SO_ACCEPTCONN, &listening, &length) != 0 ||
        listening) {
      continue;
    }
    sockaddr_storage address{};
    length = sizeof address;
    if (getsockname(static_cast<int>(fd), reinterpret_cast<sockaddr*>(&address), &length) == 0 &&
        (address.ss_family == AF_INET || address.ss_family == AF_INET6)) {
      shutdown(static_cast<int>(fd), SHUT_RDWR);
    }
  }
}

}  // namespace mevra::portal
