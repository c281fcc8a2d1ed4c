#pragma once

#include <string>
#include <vector>

namespace mevra::test {

// A listening socket whose backlog is full, so that a further connect to it stays unanswered.
class UnansweredListener {
 public:
  // On `address` at `port`, or at an ephemeral port when it is 0.
  explicit UnansweredListener(const std::string& address = "127.0.0.1", int port = 0);
  ~UnansweredListener();
  UnansweredListener(const UnansweredListener&) = delete;
  UnansweredListener& operator=(const UnansweredListener&) = delete;

  int Port() const { return port_; }

 private:
  int listener_ = -1;
  int port_ = 0;
  std::vector<int> fillers_;
};

}  // namespace mevra::test
