#include "app/termination_watch.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>
#include <cerrno>

#include <QSocketNotifier>
#include <QWidget>

namespace mevra::app {
namespace {

int g_pipe[2] = {-1, -1};

void OnSignal(int) {
  const int saved_errno = errno;
  const char byte = 1;
  // Only async-signal-safe calls here; a full pipe just means a close is already pending.
  [[maybe_unused]] const ssize_t written = ::write(g_pipe[1], &byte, 1);
  errno = saved_errno;
}

}  // namespace

TerminationWatch::TerminationWatch(QWidget* window)
    : TerminationWatch([window] { window->close(); }) {}

TerminationWatch::TerminationWatch(std::function<void()> stop) : stop_(std::move(stop)) {
  if (g_pipe[0] < 0 && ::pipe2(g_pipe, O_CLOEXEC | O_NONBLOCK) != 0) return;
  notifier_ = new QSocketNotifier(g_pipe[0], QSocketNotifier::Read, this);
  connect(notifier_, &QSocketNotifier::activated, this, &TerminationWatch::SignalArrived);
  struct sigaction action {};
  action.sa_handler = OnSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  ::sigaction(SIGTERM, &action, nullptr);
  ::sigaction(SIGINT, &action, nullptr);
}

TerminationWatch::~TerminationWatch() {
  struct sigaction action {};
  action.sa_handler = SIG_DFL;
  sigemptyset(&action.sa_mask);
  ::sigaction(SIGTERM, &action, nullptr);
  ::sigaction(SIGINT, &action, nullptr);
}

void TerminationWatch::SignalArrived() {
  char bytes[16];
  while (::read(g_pipe[0], bytes, sizeof bytes) > 0) {
  }
  stop_();
}

}  // namespace mevra::app
