#include "tests/support/connection_script.h"

#include <utility>

namespace mevra::test {

ConnectionScript& ConnectionScript::Add(Step step) {
  steps_.push_back(std::move(step));
  return *this;
}

ConnectionScript& ConnectionScript::Send(std::string bytes) {
  return Add({Kind::kSend, std::move(bytes), 0, 0});
}

ConnectionScript& ConnectionScript::SendPieces(std::string bytes, unsigned seed, int max_piece) {
  return Add({Kind::kSendPieces, std::move(bytes), seed, max_piece < 1 ? 1 : max_piece});
}

ConnectionScript& ConnectionScript::AwaitText(std::string text) {
  return Add({Kind::kAwaitText, std::move(text), 0, 0});
}

ConnectionScript& ConnectionScript::AwaitRequest() { return Add({Kind::kAwaitRequest, {}, 0, 0}); }

ConnectionScript& ConnectionScript::Respond(std::string response) {
  return AwaitRequest().Send(std::move(response));
}

ConnectionScript& ConnectionScript::Pause(int ms) { return Add({Kind::kPause, {}, 0, ms}); }

ConnectionScript& ConnectionScript::Close() { return Add({Kind::kClose, {}, 0, 0}); }

ConnectionScript& ConnectionScript::Reset() { return Add({Kind::kReset, {}, 0, 0}); }

ConnectionScript& ConnectionScript::Cut() { return Add({Kind::kCut, {}, 0, 0}); }

ConnectionScript& ConnectionScript::Hold() { return Add({Kind::kHold, {}, 0, 0}); }

}  // namespace mevra::test
