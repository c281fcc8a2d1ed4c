#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace mevra::net {

class AbortLatch;

// Connects to whichever address of one host answers first, as RFC 8305 asks: the addresses are
// tried in their order, each attempt after the one before has failed or has had its head start,
// and earlier attempts go on meanwhile. The first attempt uses a socket the caller made and
// bound; the race makes the others itself, attached to the abort latch, and closes every one of
// them that does not win.
class ConnectRace {
 public:
  struct Options {
    std::string bound_ip;  // empty: any
    bool no_delay = false;
    std::shared_ptr<AbortLatch> latch;
  };

  // `addresses` holds at least the first one, the address of `first_descriptor`.
  ConnectRace(int first_descriptor, std::vector<std::string> addresses, int32_t port,
              Options options);
  ~ConnectRace();
  ConnectRace(const ConnectRace&) = delete;
  ConnectRace& operator=(const ConnectRace&) = delete;

  // Runs until an attempt connects (true), or `cancel_descriptor` (-1: none) becomes readable
  // (false). When every attempt failed, raises the socket error of the last one. The sockets are
  // back in blocking mode afterwards.
  bool Run(int cancel_descriptor);
  // The connected socket and its address; the race no longer closes it once it was taken.
  int TakeWinner();
  const std::string& WinnerAddress() const { return winner_address_; }

 private:
  struct Attempt {
    int descriptor = -1;
    std::string address;
    bool owned = false;  // made by the race
    bool pending = false;
  };

  // Starts the attempt for the next address; false when it failed at once (its code noted).
  bool StartNext();
  void Finish(Attempt& attempt, int32_t code);
  void CloseLosers(int winner);

  int first_descriptor_;
  int first_flags_ = -1;
  std::vector<std::string> addresses_;
  int32_t port_;
  Options options_;
  std::vector<Attempt> attempts_;
  int32_t last_error_ = 0;
  int winner_ = -1;
  std::string winner_address_;
};

}  // namespace mevra::net
