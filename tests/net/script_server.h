#pragma once

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace mevra::net::testing {

// A loopback server that plays a script on the first connection it accepts: exact bytes (whole
// or in randomly sized pieces), waits for the client's bytes, then closes, resets or holds the
// connection open. It records everything it received.
class ScriptServer {
 public:
  ScriptServer();
  ~ScriptServer();

  ScriptServer& Send(std::string bytes) { return Add(kSend, std::move(bytes)); }
  // Pieces of 1..max_piece bytes with short pauses, so the client's receives end anywhere.
  ScriptServer& SendPieces(std::string bytes, unsigned seed, int max_piece = 97) {
    return Add(kPieces, std::move(bytes), static_cast<int>(seed), max_piece);
  }
  ScriptServer& AwaitText(std::string text) { return Add(kAwait, std::move(text)); }
  ScriptServer& Close() { return Add(kClose); }
  ScriptServer& Reset() { return Add(kReset); }    // an RST instead of a FIN
  ScriptServer& HoldOpen() { return Add(kHold); }  // until the client closes

  void Start() {
    thread_ = std::thread([this] { Run(); });
  }
  void Join() {
    if (thread_.joinable()) thread_.join();
  }
  int Port() const { return port_; }
  std::string Received();

 private:
  enum Kind { kSend, kPieces, kAwait, kClose, kReset, kHold };
  struct Step {
    Kind kind;
    std::string bytes;
    int seed;
    int max_piece;
  };
  ScriptServer& Add(Kind kind, std::string bytes = {}, int seed = 0, int max_piece = 0) {
    steps_.push_back({kind, std::move(bytes), seed, max_piece});
    return *this;
  }
  void Run();
  void ReceiveSome(int descriptor);

  int listener_ = -1;
  int port_ = 0;
  std::vector<Step> steps_;
  std::thread thread_;
  std::mutex lock_;
  std::string received_;
  std::atomic<bool> stop_{false};
};

// A port on 127.0.0.1 where nothing listens.
int ClosedPort();

// A listening socket whose backlog is full, so a further connect to it stays unanswered.
class UnansweredListener {
 public:
  UnansweredListener();
  ~UnansweredListener();
  int Port() const { return port_; }

 private:
  int listener_ = -1;
  int port_ = 0;
  std::vector<int> fillers_;
};

// Threads of this process right now.
int ThreadCount();

}  // namespace mevra::net::testing
