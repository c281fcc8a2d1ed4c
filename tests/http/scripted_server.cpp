#include "tests/http/scripted_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <random>
#include <stdexcept>

namespace mevra::http::test {

ScriptedServer::ScriptedServer(std::vector<Connection> script, uint32_t split_seed)
    : script_(std::move(script)), split_seed_(split_seed) {
  listen_fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
  if (listen_fd_ < 0) throw std::runtime_error("socket failed");
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = 0;
  if (::bind(listen_fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      ::listen(listen_fd_, 8) != 0) {
    throw std::runtime_error("bind or listen failed");
  }
  socklen_t length = sizeof address;
  ::getsockname(listen_fd_, reinterpret_cast<sockaddr*>(&address), &length);
  port_ = ntohs(address.sin_port);
  thread_ = std::thread([this] { Run(); });
}

ScriptedServer::~ScriptedServer() {
  stopping_ = true;
  // Wakes a blocked accept and a blocked read.
  ::shutdown(listen_fd_, SHUT_RDWR);
  const int fd = client_fd_.load();
  if (fd >= 0) ::shutdown(fd, SHUT_RDWR);
  thread_.join();
  ::close(listen_fd_);
}

std::string ScriptedServer::Url(const std::string& path) const {
  return "http://127.0.0.1:" + std::to_string(port_) + path;
}

std::vector<std::string> ScriptedServer::Requests() const {
  std::lock_guard lock(mutex_);
  return requests_;
}

void ScriptedServer::SendPieces(int fd, const std::string& bytes) {
  if (split_seed_ == 0) {
    size_t sent = 0;
    while (sent < bytes.size()) {
      const ssize_t n = ::send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
      if (n <= 0) return;
      sent += static_cast<size_t>(n);
    }
    return;
  }
  std::mt19937 random(split_seed_);
  std::uniform_int_distribution<size_t> piece_size(1, 40);
  size_t sent = 0;
  while (sent < bytes.size()) {
    const size_t n = std::min(piece_size(random), bytes.size() - sent);
    if (::send(fd, bytes.data() + sent, n, MSG_NOSIGNAL) != static_cast<ssize_t>(n)) return;
    sent += n;
    // Gives the client a chance to read each piece on its own.
    std::this_thread::yield();
  }
}

void ScriptedServer::Run() {
  for (const Connection& connection : script_) {
    const int fd = ::accept(listen_fd_, nullptr, nullptr);
    if (fd < 0 || stopping_) {
      if (fd >= 0) ::close(fd);
      return;
    }
    ++accepted_;
    client_fd_ = fd;
    const int one = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);

    std::string pending;
    bool closed = false;
    for (const Exchange& exchange : connection) {
      // One request head: everything up to the blank line.
      size_t end;
      while ((end = pending.find("\r\n\r\n")) == std::string::npos) {
        char buffer[4096];
        const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
        if (n <= 0) break;
        pending.append(buffer, static_cast<size_t>(n));
      }
      if (end == std::string::npos) {
        closed = true;
        break;
      }
      {
        std::lock_guard lock(mutex_);
        requests_.push_back(pending.substr(0, end + 4));
      }
      pending.erase(0, end + 4);
      SendPieces(fd, exchange.response);
      if (exchange.close_after) {
        closed = true;
        break;
      }
    }
    // Without an explicit close the connection stays open until the client closes it (or the
    // next scripted connection is due, which only comes after the client has moved on).
    if (!closed) {
      char buffer[4096];
      while (::recv(fd, buffer, sizeof buffer, 0) > 0) {
      }
    }
    client_fd_ = -1;
    ::close(fd);
  }
}

}  // namespace mevra::http::test
