#pragma once

// Every limit of the window's logic, named once.
namespace mevra::app {

// A song's download page gets this long to show its link; a portal that is slower than that is
// taken to offer none, so one slow page cannot hold up a whole batch.
constexpr double kSongPageWaitMs = 2000;
// The wait for a song's page sleeps in the event loop in slices this long, so a finished page is
// noticed within a few milliseconds without spinning the CPU.
constexpr int kResolveSliceMs = 10;
// A song's page is loaded again at most this often after something else took the browser; a
// page that always lands elsewhere (a redirect) is not chased for the whole wait.
constexpr int kMaxRenavigations = 3;
// PumpDelay sleeps in the event loop for at most this long before it reads the clock again, so a
// clock that jumps (or wraps) is noticed soon.
constexpr int kPumpDelaySliceMs = 50;
// Longest time one pump of the anti-freeze keeps dispatching while handlers keep producing new
// events, so a busy timer cannot hold a transfer up.
constexpr int kDrainBudgetMs = 50;

}  // namespace mevra::app
