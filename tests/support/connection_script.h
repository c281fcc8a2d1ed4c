#pragma once

#include <string>
#include <vector>

namespace mevra::test {

// What a scripted server does on one connection, step by step. A script that runs out of steps
// keeps the connection open until the client closes it, as a server that keeps connections
// alive does.
class ConnectionScript {
 public:
  enum class Kind {
    kSend,
    kSendPieces,
    kAwaitText,
    kAwaitRequest,
    kPause,
    kClose,
    kReset,
    kCut,
    kHold
  };
  struct Step {
    Kind kind;
    std::string bytes;
    unsigned seed = 0;
    int number = 0;  // the largest piece, or the pause in ms
  };

  // The bytes whole, or in random pieces when the server splits its sends.
  ConnectionScript& Send(std::string bytes);
  // Pieces of 1..max_piece bytes with short pauses between them, so that the client's receives
  // end anywhere.
  ConnectionScript& SendPieces(std::string bytes, unsigned seed, int max_piece = 97);
  // Waits until the client's bytes not yet consumed contain `text`, and consumes them through it.
  ConnectionScript& AwaitText(std::string text);
  // Waits for one request head (through its blank line), records it and consumes it.
  ConnectionScript& AwaitRequest();
  // One exchange: a request head, then `response`.
  ConnectionScript& Respond(std::string response);
  ConnectionScript& Pause(int ms);
  // An orderly close (FIN) at once. Whatever the client still sends is read and dropped, so it
  // never turns the close into a reset.
  ConnectionScript& Close();
  // A reset (RST) instead of a FIN.
  ConnectionScript& Reset();
  // A FIN without the TLS close alert, as a peer that breaks off, or one in between, sends it.
  ConnectionScript& Cut();
  // Keeps the connection open until the client closes it.
  ConnectionScript& Hold();

  const std::vector<Step>& Steps() const { return steps_; }

 private:
  ConnectionScript& Add(Step step);

  std::vector<Step> steps_;
};

}  // namespace mevra::test
