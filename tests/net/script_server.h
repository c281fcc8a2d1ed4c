#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace mevra::net::testing {

// A loopback server that plays a script on the first connection it accepts: it sends exact
// bytes (whole or in randomly sized pieces), pauses, waits for the client's bytes, closes early
// or resets, and records everything it received.
class ScriptServer {
 public:
  ScriptServer();
  ~ScriptServer();

  ScriptServer& Send(std::string bytes);
  // Sends in pieces of 1..max_piece bytes with a short pause between them, so the client's
  // receives end at arbitrary points.
  ScriptServer& SendPieces(std::string bytes, uint32_t seed, size_t max_piece = 97);
  ScriptServer& Pause(int ms);
  // Waits until the client sent `text` (counting everything received so far).
  ScriptServer& AwaitText(std::string text);
  ScriptServer& Close();
  // Closes with an RST instead of a FIN.
  ScriptServer& Reset();
  // Keeps the connection open until the client closes it (the default end is a close).
  ScriptServer& HoldOpen();

  void Start();
  int Port() const { return port_; }
  std::string Received();
  // Waits for the script to end.
  void Join();

 private:
  struct Step {
    enum Kind { kSend, kPieces, kPause, kAwait, kClose, kReset, kHold } kind;
    std::string bytes;
    int number = 0;
    size_t max_piece = 0;
  };
  void Run();
  void ReceiveSome(int descriptor, int timeout_ms);

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
