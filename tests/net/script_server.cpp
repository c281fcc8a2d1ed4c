#include "tests/net/script_server.h"

#include <dirent.h>
#include <chrono>
#include <cstring>
#include <random>
#include <stdexcept>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace mevra::net::testing {

namespace {

int ListenOnLoopback(int backlog, int& port) {
  const int descriptor = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (descriptor < 0) throw std::runtime_error("socket");
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (::bind(descriptor, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      ::listen(descriptor, backlog) != 0) {
    ::close(descriptor);
    throw std::runtime_error("bind/listen");
  }
  socklen_t length = sizeof address;
  ::getsockname(descriptor, reinterpret_cast<sockaddr*>(&address), &length);
  port = ntohs(address.sin_port);
  return descriptor;
}

void SendAll(int descriptor, const char* bytes, size_t size) {
  while (size > 0) {
    const ssize_t n = ::send(descriptor, bytes, size, MSG_NOSIGNAL);
    if (n <= 0) return;
    bytes += n;
    size -= static_cast<size_t>(n);
  }
}

}  // namespace

ScriptServer::ScriptServer() { listener_ = ListenOnLoopback(4, port_); }

ScriptServer::~ScriptServer() {
  stop_ = true;
  Join();
  if (listener_ >= 0) ::close(listener_);
}

ScriptServer& ScriptServer::Send(std::string bytes) {
  steps_.push_back({Step::kSend, std::move(bytes)});
  return *this;
}

ScriptServer& ScriptServer::SendPieces(std::string bytes, uint32_t seed, size_t max_piece) {
  steps_.push_back({Step::kPieces, std::move(bytes), static_cast<int>(seed), max_piece});
  return *this;
}

ScriptServer& ScriptServer::Pause(int ms) {
  steps_.push_back({Step::kPause, {}, ms});
  return *this;
}

ScriptServer& ScriptServer::AwaitText(std::string text) {
  steps_.push_back({Step::kAwait, std::move(text)});
  return *this;
}

ScriptServer& ScriptServer::Close() {
  steps_.push_back({Step::kClose, {}});
  return *this;
}

ScriptServer& ScriptServer::Reset() {
  steps_.push_back({Step::kReset, {}});
  return *this;
}

ScriptServer& ScriptServer::HoldOpen() {
  steps_.push_back({Step::kHold, {}});
  return *this;
}

void ScriptServer::Start() {
  thread_ = std::thread([this] { Run(); });
}

void ScriptServer::Join() {
  if (thread_.joinable()) thread_.join();
}

std::string ScriptServer::Received() {
  std::lock_guard guard(lock_);
  return received_;
}

void ScriptServer::ReceiveSome(int descriptor, int timeout_ms) {
  pollfd entry{descriptor, POLLIN, 0};
  if (::poll(&entry, 1, timeout_ms) <= 0) return;
  char buffer[65536];
  const ssize_t n = ::recv(descriptor, buffer, sizeof buffer, MSG_DONTWAIT);
  if (n > 0) {
    std::lock_guard guard(lock_);
    received_.append(buffer, static_cast<size_t>(n));
  } else if (n == 0) {
    stop_ = true;  // the client closed
  }
}

void ScriptServer::Run() {
  pollfd entry{listener_, POLLIN, 0};
  while (!stop_ && ::poll(&entry, 1, 50) == 0) {
  }
  if (stop_) return;
  const int connection = ::accept(listener_, nullptr, nullptr);
  if (connection < 0) return;
  bool closed = false;
  for (const Step& step : steps_) {
    if (stop_ && step.kind != Step::kClose && step.kind != Step::kReset) break;
    switch (step.kind) {
      case Step::kSend:
        SendAll(connection, step.bytes.data(), step.bytes.size());
        break;
      case Step::kPieces: {
        std::mt19937 random(static_cast<uint32_t>(step.number));
        std::uniform_int_distribution<size_t> piece(1, step.max_piece);
        for (size_t at = 0; at < step.bytes.size() && !stop_;) {
          const size_t n = std::min(piece(random), step.bytes.size() - at);
          SendAll(connection, step.bytes.data() + at, n);
          at += n;
          std::this_thread::sleep_for(std::chrono::microseconds(random() % 300));
        }
        break;
      }
      case Step::kPause:
        std::this_thread::sleep_for(std::chrono::milliseconds(step.number));
        break;
      case Step::kAwait:
        while (!stop_ && Received().find(step.bytes) == std::string::npos) {
          ReceiveSome(connection, 20);
        }
        break;
      case Step::kClose:
        ::close(connection);
        closed = true;
        break;
      case Step::kReset: {
        linger option{1, 0};
        ::setsockopt(connection, SOL_SOCKET, SO_LINGER, &option, sizeof option);
        ::close(connection);
        closed = true;
        break;
      }
      case Step::kHold:
        while (!stop_) ReceiveSome(connection, 20);
        break;
    }
    if (closed) break;
  }
  if (!closed) {
    // Take what is left before closing, so the client's last writes are recorded.
    for (int i = 0; i < 5 && !stop_; ++i) ReceiveSome(connection, 10);
    ::close(connection);
  }
}

int ClosedPort() {
  int port = 0;
  const int descriptor = ListenOnLoopback(1, port);
  ::close(descriptor);
  return port;
}

UnansweredListener::UnansweredListener() {
  listener_ = ListenOnLoopback(0, port_);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(static_cast<uint16_t>(port_));
  // Connect until one is left hanging: from then on the accept queue is full and the kernel
  // drops further connection requests.
  for (int i = 0; i < 16; ++i) {
    const int descriptor = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    fillers_.push_back(descriptor);
    if (::connect(descriptor, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) {
      continue;
    }
    pollfd entry{descriptor, POLLOUT, 0};
    if (::poll(&entry, 1, 200) == 0) return;
  }
  throw std::runtime_error("the listener's backlog never filled");
}

UnansweredListener::~UnansweredListener() {
  for (int descriptor : fillers_) ::close(descriptor);
  ::close(listener_);
}

int ThreadCount() {
  int count = 0;
  if (DIR* tasks = ::opendir("/proc/self/task")) {
    while (const dirent* entry = ::readdir(tasks)) {
      if (entry->d_name[0] != '.') ++count;
    }
    ::closedir(tasks);
  }
  return count;
}

}  // namespace mevra::net::testing
