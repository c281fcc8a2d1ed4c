// Feeds arbitrary bytes as a server's answer through a real loopback connection into the HTTP
// client, set up as the program sets it up.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>

#include "http/bounded_text_stream.h"
#include "http/http_client.h"
#include "http/program_configuration.h"
#include "net/net_error.h"

namespace {

// Answers every connection with the current input, then closes it, so the client never waits
// for bytes that will not come.
class Replier {
 public:
  Replier() {
    listen_fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(listen_fd_, reinterpret_cast<sockaddr*>(&address), sizeof address);
    ::listen(listen_fd_, 16);
    socklen_t length = sizeof address;
    ::getsockname(listen_fd_, reinterpret_cast<sockaddr*>(&address), &length);
    port_ = ntohs(address.sin_port);
    std::thread([this] { Serve(); }).detach();
  }

  void SetAnswer(std::string answer) {
    std::lock_guard lock(mutex_);
    answer_ = std::move(answer);
  }
  int Port() const { return port_; }

 private:
  void Serve() {
    while (true) {
      const int fd = ::accept(listen_fd_, nullptr, nullptr);
      if (fd < 0) continue;
      std::string head;
      char buffer[4096];
      while (head.find("\r\n\r\n") == std::string::npos) {
        const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
        if (n <= 0) break;
        head.append(buffer, static_cast<size_t>(n));
      }
      std::string answer;
      {
        std::lock_guard lock(mutex_);
        answer = answer_;
      }
      size_t sent = 0;
      while (sent < answer.size()) {
        const ssize_t n = ::send(fd, answer.data() + sent, answer.size() - sent, MSG_NOSIGNAL);
        if (n <= 0) break;
        sent += static_cast<size_t>(n);
      }
      ::shutdown(fd, SHUT_WR);
      while (::recv(fd, buffer, sizeof buffer, 0) > 0) {
      }
      ::close(fd);
    }
  }

  int listen_fd_;
  int port_;
  std::mutex mutex_;
  std::string answer_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static Replier replier;
  replier.SetAnswer(std::string(reinterpret_cast<const char*>(data), size));

  mevra::http::HttpClient client;
  mevra::http::ApplyProgramConfiguration(client);
  const std::string base = "http://127.0.0.1:" + std::to_string(replier.Port());
  // Redirects stay on this server: nothing may leave the loopback interface.
  client.OnRedirect = [&](mevra::http::CustomHttpClient&, std::string& location,
                          mevra::http::HttpMethod&, bool&, int32_t) {
    const mevra::http::Uri target(location);
    if (!target.Protocol().empty() || !target.Host().empty()) location = base + "/elsewhere";
  };
  mevra::http::BoundedTextStream body(1 << 20);
  try {
    client.Get(base + "/song.mp3?id=1", body);
    (void)client.ResponseCode();
  } catch (const mevra::net::NetError&) {
  }
  return 0;
}
