#include "tests/download/file_server.h"

#include <algorithm>
#include <chrono>
#include <stdexcept>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace mevra::download::testing {
namespace {

constexpr size_t kPieceBytes = 16 * 1024;
// How often a waiting thread looks at the stop flag.
constexpr int kPollSliceMs = 20;

std::string Hex(size_t value) {
  static const char kDigits[] = "0123456789abcdef";
  std::string text;
  do {
    text.insert(text.begin(), kDigits[value % 16]);
    value /= 16;
  } while (value != 0);
  return text;
}

}  // namespace

FileServer::FileServer() {
  listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  if (::bind(listener_, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
      ::listen(listener_, 64) != 0 ||
      ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    throw std::runtime_error("cannot listen on loopback");
  }
  port_ = ntohs(address.sin_port);
  acceptor_ = std::thread([this] { AcceptLoop(); });
}

FileServer::~FileServer() {
  stopping_ = true;
  {
    std::lock_guard lock(mutex_);
    for (int descriptor : descriptors_) ::shutdown(descriptor, SHUT_RDWR);
  }
  acceptor_.join();
  for (std::thread& thread : threads_) thread.join();
  ::close(listener_);
}

void FileServer::Serve(const std::string& path, ServedFile file) {
  std::lock_guard lock(mutex_);
  files_[path] = std::move(file);
}

std::string FileServer::Url(const std::string& path) const {
  return "http://127.0.0.1:" + std::to_string(port_) + path;
}

int FileServer::Requests(const std::string& path) const {
  std::lock_guard lock(mutex_);
  const auto it = requests_.find(path);
  return it == requests_.end() ? 0 : it->second;
}

void FileServer::AcceptLoop() {
  while (!stopping_) {
    pollfd entry{listener_, POLLIN, 0};
    if (::poll(&entry, 1, kPollSliceMs) <= 0) continue;
    const int descriptor = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
    if (descriptor < 0) continue;
    std::lock_guard lock(mutex_);
    descriptors_.push_back(descriptor);
    ++open_connections_;
    threads_.emplace_back([this, descriptor] { Answer(descriptor); });
  }
}

void FileServer::Answer(int descriptor) {
  std::string head;
  char buffer[4096];
  while (head.find("\r\n\r\n") == std::string::npos && !stopping_) {
    pollfd entry{descriptor, POLLIN, 0};
    if (::poll(&entry, 1, kPollSliceMs) <= 0) continue;
    const ssize_t n = ::recv(descriptor, buffer, sizeof buffer, 0);
    if (n <= 0) break;
    head.append(buffer, static_cast<size_t>(n));
  }
  const size_t first = head.find(' ');
  const size_t second = head.find(' ', first + 1);
  std::string path =
      first == std::string::npos ? std::string() : head.substr(first + 1, second - first - 1);
  path = path.substr(0, path.find('?'));

  ServedFile file;
  bool known = false;
  {
    std::lock_guard lock(mutex_);
    ++requests_[path];
    if (const auto it = files_.find(path); it != files_.end()) {
      file = it->second;
      known = true;
    }
  }
  if (!known) file = ServedFile{"no such file", ServedFile::Framing::kLength, 404};

  std::string response = "HTTP/1.1 " + std::to_string(file.status) +
                         (file.status == 200 ? " OK" : " Not Found") + "\r\nConnection: close\r\n";
  if (file.framing == ServedFile::Framing::kLength) {
    response += "Content-Length: " + std::to_string(file.body.size()) + "\r\n";
  } else if (file.framing == ServedFile::Framing::kChunked) {
    response += "Transfer-Encoding: chunked\r\n";
  }
  response += "\r\n";
  bool going = SendAll(descriptor, response.data(), response.size());

  const size_t limit = std::min({file.body.size(), file.stall_after, file.close_after});
  for (size_t offset = 0; going && offset < limit;) {
    const size_t piece = std::min(kPieceBytes, limit - offset);
    if (file.framing == ServedFile::Framing::kChunked) {
      const std::string size_line = Hex(piece) + "\r\n";
      going = SendAll(descriptor, size_line.data(), size_line.size());
    }
    going = going && SendAll(descriptor, file.body.data() + offset, piece);
    if (file.framing == ServedFile::Framing::kChunked)
      going = going && SendAll(descriptor, "\r\n", 2);
    offset += piece;
    if (file.piece_pause_ms > 0) {
      std::this_thread::sleep_for(std::chrono::milliseconds(file.piece_pause_ms));
    }
  }
  if (going && limit == file.body.size() && file.framing == ServedFile::Framing::kChunked) {
    going = SendAll(descriptor, "0\r\n\r\n", 5);
  }
  if (going && file.stall_after < file.body.size()) HoldUntilClientGoes(descriptor);

  std::lock_guard lock(mutex_);
  descriptors_.erase(std::find(descriptors_.begin(), descriptors_.end(), descriptor));
  ::close(descriptor);
  --open_connections_;
}

bool FileServer::SendAll(int descriptor, const char* bytes, size_t size) {
  while (size > 0 && !stopping_) {
    const ssize_t n = ::send(descriptor, bytes, size, MSG_NOSIGNAL);
    if (n <= 0) return false;
    bytes += n;
    size -= static_cast<size_t>(n);
  }
  return size == 0;
}

void FileServer::HoldUntilClientGoes(int descriptor) {
  char buffer[256];
  while (!stopping_) {
    pollfd entry{descriptor, POLLIN, 0};
    if (::poll(&entry, 1, kPollSliceMs) <= 0) continue;
    if (::recv(descriptor, buffer, sizeof buffer, 0) <= 0) return;
  }
}

}  // namespace mevra::download::testing
