#include "net/connect_race.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <utility>

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>

#include "net/abort_latch.h"
#include "net/limits.h"
#include "net/net_error.h"
#include "net/net_stack.h"

namespace mevra::net {

namespace {

using Clock = std::chrono::steady_clock;

// What a non-blocking connect says while it goes on; an interrupted one goes on as well.
constexpr int32_t kInProgress = 10036;
constexpr int32_t kInterrupted = 10004;
// The code a race reports when it had to stop without any attempt's own failure to tell.
constexpr int32_t kConnectionAborted = 10053;

// The code of a failed socket call, as CheckSocketResult reads it; 0 for a call that succeeded.
int32_t CodeOf(NetStack& stack, int32_t result) {
  if (result != NetStack::kSocketError) return 0;
  try {
    stack.CheckSocketResult(result, {kInProgress});
    return stack.LastErrorCode();
  } catch (const SocketError& error) {
    return error.ErrorCode();
  }
}

}  // namespace

ConnectRace::ConnectRace(int first_descriptor, std::vector<std::string> addresses, int32_t port,
                         Options options)
    : first_descriptor_(first_descriptor),
      addresses_(std::move(addresses)),
      port_(port),
      options_(std::move(options)) {}

ConnectRace::~ConnectRace() { CloseLosers(winner_); }

int ConnectRace::TakeWinner() {
  const int winner = winner_;
  // Once taken, the winner is the caller's; the losers are closed already.
  for (Attempt& attempt : attempts_) {
    if (attempt.descriptor == winner) attempt.owned = false;
  }
  winner_ = -1;
  return winner;
}

void ConnectRace::Finish(Attempt& attempt, int32_t code) {
  last_error_ = code;
  attempt.pending = false;
  if (!attempt.owned || attempt.descriptor < 0) return;
  if (options_.latch) options_.latch->Detach(attempt.descriptor);
  NetStack::SocketStack()->CloseSocket(attempt.descriptor);
  attempt.descriptor = -1;
}

void ConnectRace::CloseLosers(int winner) {
  for (Attempt& attempt : attempts_) {
    if (attempt.descriptor != winner) Finish(attempt, last_error_);
  }
}

bool ConnectRace::StartNext() {
  NetStack& stack = *NetStack::SocketStack();
  Attempt& attempt = attempts_.emplace_back();
  attempt.address = addresses_[attempts_.size() - 1];
  int32_t code = 0;
  if (attempts_.size() == 1) {
    attempt.descriptor = first_descriptor_;
  } else {
    attempt.owned = true;
    try {
      attempt.descriptor =
          stack.NewSocket(SOCK_STREAM, 0, NetStack::FamilyOfAddress(attempt.address));
    } catch (const InvalidSocketError&) {
      Finish(attempt, CodeOf(stack, NetStack::kSocketError));
      return false;
    }
    if (options_.latch && !options_.latch->Attach(attempt.descriptor)) {
      // Stopped from another thread: no further attempt starts.
      stack.CloseSocket(attempt.descriptor);
      attempt.descriptor = -1;
      addresses_.resize(attempts_.size());
      Finish(attempt, last_error_ != 0 ? last_error_ : kConnectionAborted);
      return false;
    }
    if (!options_.bound_ip.empty())
      code = CodeOf(stack, stack.Bind(attempt.descriptor, options_.bound_ip, 0));
    if (code == 0 && options_.no_delay) {
      try {
        stack.SetSocketOption(attempt.descriptor, IPPROTO_TCP, TCP_NODELAY, 1);
      } catch (const SocketError& error) {
        code = error.ErrorCode();
      }
    }
  }
  if (code == 0) code = CodeOf(stack, stack.SetNonBlocking(attempt.descriptor, true));
  if (code == 0)
    code = CodeOf(stack, stack.StartConnect(attempt.descriptor, attempt.address, port_));
  if (code == 0) {
    winner_ = attempt.descriptor;
    winner_address_ = attempt.address;
    return true;
  }
  if (code != kInProgress && code != kInterrupted) {
    Finish(attempt, code);
    return false;
  }
  attempt.pending = true;
  return true;
}

bool ConnectRace::Run(int cancel_descriptor) {
  NetStack& stack = *NetStack::SocketStack();
  // Every socket goes back to blocking mode, whoever won.
  struct Restore {
    ConnectRace& race;
    ~Restore() {
      NetStack& s = *NetStack::SocketStack();
      s.SetNonBlocking(race.first_descriptor_, false);
      if (race.winner_ >= 0) s.SetNonBlocking(race.winner_, false);
    }
  } restore{*this};

  Clock::time_point next_start = Clock::now();
  for (;;) {
    const auto pending = [this] {
      return std::any_of(attempts_.begin(), attempts_.end(),
                         [](const Attempt& a) { return a.pending; });
    };
    // The next address gets its turn once the last attempt has had its head start, or at once
    // when nothing is under way; one that fails at once hands on to the next right away.
    while (winner_ < 0 && attempts_.size() < addresses_.size() &&
           (!pending() || Clock::now() >= next_start)) {
      if (StartNext()) {
        next_start = Clock::now() + std::chrono::milliseconds(kConnectHeadStart);
        break;
      }
    }
    if (winner_ >= 0) break;
    if (!pending()) {
      if (attempts_.size() < addresses_.size()) continue;
      NetStack::RaiseSocketFailure(last_error_ != 0 ? last_error_ : kConnectionAborted);
    }

    std::vector<pollfd> entries;
    for (const Attempt& attempt : attempts_) {
      if (attempt.pending) entries.push_back(pollfd{attempt.descriptor, POLLOUT, 0});
    }
    if (cancel_descriptor >= 0) entries.push_back(pollfd{cancel_descriptor, POLLIN, 0});
    int wait = -1;
    if (attempts_.size() < addresses_.size()) {
      const auto left =
          std::chrono::ceil<std::chrono::milliseconds>(next_start - Clock::now()).count();
      wait = static_cast<int>(std::max<int64_t>(left, 0));
    }
    const int ready = ::poll(entries.data(), entries.size(), wait);
    if (ready < 0 && errno != EINTR)
      stack.CheckSocketResult(NetStack::ReportFailure(NetStack::TranslateErrno(errno)));
    if (ready <= 0) continue;
    if (cancel_descriptor >= 0 && entries.back().revents != 0) {
      CloseLosers(-1);
      return false;
    }
    for (const pollfd& entry : entries) {
      if (entry.revents == 0 || entry.fd == cancel_descriptor) continue;
      for (Attempt& attempt : attempts_) {
        if (!attempt.pending || attempt.descriptor != entry.fd) continue;
        const int32_t code = stack.PendingConnectError(attempt.descriptor);
        if (code != 0) {
          Finish(attempt, code);
        } else if (winner_ < 0) {
          attempt.pending = false;
          winner_ = attempt.descriptor;
          winner_address_ = attempt.address;
        }
      }
    }
    if (winner_ >= 0) break;
  }
  CloseLosers(winner_);
  return true;
}

}  // namespace mevra::net
