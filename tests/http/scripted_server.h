#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace mevra::http::test {

// A loopback HTTP server that plays a script: for each connection it accepts, in order, a list
// of exchanges, each one reading a request head and answering with exact bytes. It records
// every request head it receives. Responses can be cut into randomly sized pieces that are sent
// one by one, which is how line and block readers break.
class ScriptedServer {
 public:
  struct Exchange {
    std::string response;
    // Close the connection right after this response (the rest of the connection's script is
    // dropped).
    bool close_after = false;
  };
  using Connection = std::vector<Exchange>;

  // Starts listening on 127.0.0.1 at an ephemeral port and plays `script` on a thread.
  explicit ScriptedServer(std::vector<Connection> script, uint32_t split_seed = 0);
  ~ScriptedServer();
  ScriptedServer(const ScriptedServer&) = delete;
  ScriptedServer& operator=(const ScriptedServer&) = delete;

  int Port() const { return port_; }
  std::string Url(const std::string& path) const;
  // Request heads received so far, in order, each with its blank line.
  std::vector<std::string> Requests() const;
  int32_t ConnectionsAccepted() const { return accepted_; }

 private:
  void Run();
  void SendPieces(int fd, const std::string& bytes);

  std::vector<Connection> script_;
  uint32_t split_seed_;
  int listen_fd_ = -1;
  int port_ = 0;
  std::atomic<int> client_fd_{-1};
  std::atomic<int32_t> accepted_{0};
  std::atomic<bool> stopping_{false};
  mutable std::mutex mutex_;
  std::vector<std::string> requests_;
  std::thread thread_;
};

}  // namespace mevra::http::test
