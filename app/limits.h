#pragma once

// Every limit of the window's logic, named once.
namespace mevra::app {

// A song's download page gets this long to show its link; a portal that is slower than that is
// taken to offer none, so one slow page cannot hold up a whole batch.
constexpr double kSongPageWaitMs = 2000;
// A batch without a window gives the page it harvests this long to load; a portal slower than
// that counts as one that does not answer.
constexpr int kBatchPageLoadMs = 30000;
// A song's page that has loaded without its link is read again this often, and the page wait
// looked at, until the link shows or the wait is over.
constexpr int kResolveSliceMs = 5;
// PumpDelay sleeps in the event loop for at most this long before it reads the clock again, so a
// clock that jumps (or wraps) is noticed soon.
constexpr int kPumpDelaySliceMs = 50;
// Longest time one pump of the anti-freeze keeps dispatching while handlers keep producing new
// events, so a busy timer cannot hold a transfer up.
constexpr int kDrainBudgetMs = 50;
// The history keeps this many of the newest songs that ended; older ones are dropped, so the
// file and the window that lists them stay small however long the program is used.
constexpr int kMaxHistoryEntries = 5000;
// A second start waits this long for the running copy to raise its window. A copy still building
// its window answers well within it; one that stays silent longer is taken to hang.
constexpr int kInstanceAnswerWaitMs = 8000;

// The proxy test of the preferences gives up after this long: a user waits for an answer, and a
// proxy that is there answers within seconds.
constexpr int kProxyTestTimeoutMs = 15000;

}  // namespace mevra::app
