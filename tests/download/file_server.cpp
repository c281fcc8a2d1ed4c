#include "tests/download/file_server.h"

#include <algorithm>
#include <chrono>
#include <stdexcept>

#include <arpa/inet.h>
#include <linux/sockios.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/ioctl.h>
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

// A reset waits at most this long for the client to have every byte sent before it.
constexpr int kDeliveryWaitMs = 5000;

std::string HeaderValue(const std::string& head, const std::string& name) {
  for (size_t line = head.find("\r\n"); line != std::string::npos;
       line = head.find("\r\n", line + 2)) {
    const size_t start = line + 2;
    if (head.compare(start, name.size(), name) == 0 && head[start + name.size()] == ':') {
      size_t value = start + name.size() + 1;
      while (value < head.size() && head[value] == ' ') ++value;
      return head.substr(value, head.find("\r\n", value) - value);
    }
  }
  return {};
}

std::string ReasonPhrase(int status) {
  switch (status) {
    case 200:
      return "OK";
    case 206:
      return "Partial Content";
    case 404:
      return "Not Found";
    case 416:
      return "Range Not Satisfiable";
    case 503:
      return "Service Unavailable";
    default:
      return "Error";
  }
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
  return static_cast<int>(Ranges(path).size());
}

std::vector<std::string> FileServer::Ranges(const std::string& path) const {
  std::lock_guard lock(mutex_);
  const auto it = ranges_.find(path);
  return it == ranges_.end() ? std::vector<std::string>{} : it->second;
}

std::vector<std::string> FileServer::IfRanges(const std::string& path) const {
  std::lock_guard lock(mutex_);
  const auto it = if_ranges_.find(path);
  return it == if_ranges_.end() ? std::vector<std::string>{} : it->second;
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

  const std::string range = HeaderValue(head, "Range");
  const std::string if_range = HeaderValue(head, "If-Range");
  ServedFile file;
  bool known = false;
  int index = 0;
  int range_index = 0;
  {
    std::lock_guard lock(mutex_);
    std::vector<std::string>& asked = ranges_[path];
    index = static_cast<int>(asked.size());
    range_index = static_cast<int>(
        std::count_if(asked.begin(), asked.end(), [](const std::string& r) { return !r.empty(); }));
    asked.push_back(range);
    if_ranges_[path].push_back(if_range);
    if (const auto it = files_.find(path); it != files_.end()) {
      file = it->second;
      known = true;
    }
  }
  if (!known) file = ServedFile{"no such file", ServedFile::Framing::kLength, 404};
  const bool failing = index < file.fail_first;
  if (failing && file.fail_status != 0) {
    ServedFile refusal;
    refusal.body = "try again later";
    refusal.status = file.fail_status;
    refusal.fail_headers = file.fail_headers;
    file = refusal;
  }

  // The part of the body this answer carries.
  size_t start = 0;
  std::string extra = file.fail_headers;
  if (!failing) extra.clear();
  int status = file.status;
  size_t end = file.body.size();
  const bool same_file = if_range.empty() || if_range == file.etag;
  if (file.status == 200 && file.honour_range && range.rfind("bytes=", 0) == 0 && same_file) {
    start = static_cast<size_t>(std::stoull(range.substr(6)));
    if (start >= file.body.size()) {
      status = 416;
      extra += "Content-Range: bytes */" + std::to_string(file.body.size()) + "\r\n";
      file.body = "range not satisfiable";
      start = 0;
    } else {
      status = 206;
      if (file.short_range_once && range_index == 0) end = start + (end - start) / 2;
      extra += "Content-Range: " +
               (file.wrong_content_range.empty()
                    ? "bytes " + std::to_string(start) + "-" + std::to_string(end - 1) + "/" +
                          std::to_string(file.body.size())
                    : file.wrong_content_range) +
               "\r\n";
    }
  }
  if (status == 200 || status == 206) {
    if (!file.etag.empty()) extra += "ETag: " + file.etag + "\r\n";
    if (!file.content_type.empty()) extra += "Content-Type: " + file.content_type + "\r\n";
  }
  std::string response = "HTTP/1.1 " + std::to_string(status) + " " + ReasonPhrase(status) +
                         "\r\nConnection: close\r\n" + extra;
  if (file.framing == ServedFile::Framing::kLength) {
    const long long length =
        file.announced_length >= 0 ? file.announced_length : static_cast<long long>(end - start);
    response += "Content-Length: " + std::to_string(length) + "\r\n";
  } else if (file.framing == ServedFile::Framing::kChunked) {
    response += "Transfer-Encoding: chunked\r\n";
  }
  response += "\r\n";
  bool going = SendAll(descriptor, response.data(), response.size());

  size_t limit = std::min({end, file.stall_after, file.close_after});
  const bool reset = failing && file.fail_status == 0 && !file.fail_by_stall;
  const bool stall = file.stall_after < file.body.size() ||
                     (failing && file.fail_status == 0 && file.fail_by_stall);
  if (failing && file.fail_status == 0) limit = std::min(limit, start + file.fail_after);
  for (size_t offset = start; going && offset < limit;) {
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
  if (going && limit == end && file.framing == ServedFile::Framing::kChunked) {
    going = SendAll(descriptor, "0\r\n\r\n", 5);
  }
  if (going && stall) HoldUntilClientGoes(descriptor);
  if (going && reset) ResetWhenDelivered(descriptor);

  std::lock_guard lock(mutex_);
  descriptors_.erase(std::find(descriptors_.begin(), descriptors_.end(), descriptor));
  ::close(descriptor);
  --open_connections_;
}

void FileServer::ResetWhenDelivered(int descriptor) {
  // Everything sent is in the client's hands (acknowledged) before the reset, so the client
  // reads those bytes first and the reset after them.
  for (int waited = 0; waited < kDeliveryWaitMs && !stopping_; waited += 2) {
    int unsent = 0;
    if (::ioctl(descriptor, SIOCOUTQ, &unsent) != 0 || unsent == 0) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  const linger abortive{1, 0};
  ::setsockopt(descriptor, SOL_SOCKET, SO_LINGER, &abortive, sizeof abortive);
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
