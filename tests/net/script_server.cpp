#include "tests/net/script_server.h"

#include <chrono>
#include <filesystem>
#include <random>
#include <stdexcept>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace mevra::net::testing {

namespace {

sockaddr_in Loopback(int port) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(static_cast<uint16_t>(port));
  return address;
}

int ListenOnLoopback(int backlog, int& port) {
  const int descriptor = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address = Loopback(0);
  socklen_t length = sizeof address;
  if (::bind(descriptor, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
      ::listen(descriptor, backlog) != 0 ||
      ::getsockname(descriptor, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    throw std::runtime_error("cannot listen on loopback");
  }
  port = ntohs(address.sin_port);
  return descriptor;
}

void SendAll(int descriptor, const char* bytes, size_t size) {
  for (ssize_t n; size > 0 && (n = ::send(descriptor, bytes, size, MSG_NOSIGNAL)) > 0;) {
    bytes += n;
    size -= static_cast<size_t>(n);
  }
}

}  // namespace

ScriptServer::ScriptServer() { listener_ = ListenOnLoopback(4, port_); }

ScriptServer::~ScriptServer() {
  stop_ = true;
  Join();
  ::close(listener_);
}

std::string ScriptServer::Received() {
  std::lock_guard guard(lock_);
  return received_;
}

void ScriptServer::ReceiveSome(int descriptor) {
  pollfd entry{descriptor, POLLIN, 0};
  if (::poll(&entry, 1, 20) <= 0) return;
  char buffer[65536];
  const ssize_t n = ::recv(descriptor, buffer, sizeof buffer, 0);
  if (n <= 0) stop_ = true;  // the client closed
  std::lock_guard guard(lock_);
  if (n > 0) received_.append(buffer, static_cast<size_t>(n));
}

void ScriptServer::Run() {
  pollfd entry{listener_, POLLIN, 0};
  while (!stop_ && ::poll(&entry, 1, 20) == 0) {
  }
  const int connection = stop_ ? -1 : ::accept(listener_, nullptr, nullptr);
  if (connection < 0) return;
  for (const Step& step : steps_) {
    if (step.kind == kReset) {
      const linger option{1, 0};
      ::setsockopt(connection, SOL_SOCKET, SO_LINGER, &option, sizeof option);
    }
    if (step.kind == kClose || step.kind == kReset) break;
    if (step.kind == kSend) SendAll(connection, step.bytes.data(), step.bytes.size());
    while (step.kind == kAwait && !stop_ && Received().find(step.bytes) == std::string::npos) {
      ReceiveSome(connection);
    }
    while (step.kind == kHold && !stop_) ReceiveSome(connection);
    if (step.kind == kPieces) {
      std::mt19937 random(static_cast<unsigned>(step.seed));
      for (size_t at = 0, n; at < step.bytes.size() && !stop_; at += n) {
        n = std::min<size_t>(1 + random() % step.max_piece, step.bytes.size() - at);
        SendAll(connection, step.bytes.data() + at, n);
        std::this_thread::sleep_for(std::chrono::microseconds(random() % 300));
      }
    }
  }
  ::close(connection);
}

int ClosedPort() {
  int port = 0;
  ::close(ListenOnLoopback(1, port));
  return port;
}

UnansweredListener::UnansweredListener() {
  listener_ = ListenOnLoopback(0, port_);
  const sockaddr_in address = Loopback(port_);
  // Connect until one is left hanging: the accept queue is then full and the kernel drops
  // further connection requests.
  for (int i = 0; i < 16; ++i) {
    fillers_.push_back(::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
    if (::connect(fillers_.back(), reinterpret_cast<const sockaddr*>(&address), sizeof address) ==
        0) {
      continue;
    }
    pollfd entry{fillers_.back(), POLLOUT, 0};
    if (::poll(&entry, 1, 200) == 0) return;
  }
  throw std::runtime_error("the listener's backlog never filled");
}

UnansweredListener::~UnansweredListener() {
  for (int descriptor : fillers_) ::close(descriptor);
  ::close(listener_);
}

int ThreadCount() {
  const std::filesystem::directory_iterator tasks("/proc/self/task");
  return static_cast<int>(std::distance(begin(tasks), end(tasks)));
}

}  // namespace mevra::net::testing
