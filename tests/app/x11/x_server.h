#pragma once

#include <sys/types.h>

#include <QString>

namespace mevra::app::testing {

// A private X server (Xvfb) for the tests that need to see what the window system is told.
// It picks a free display itself, so parallel runs never collide.
class XServer {
 public:
  XServer() = default;
  XServer(const XServer&) = delete;
  XServer& operator=(const XServer&) = delete;
  // Stops the server.
  ~XServer();

  // Starts `binary`; returns the display name (":N"), or "" when the server did not come up.
  QString Start(const char* binary);

 private:
  pid_t pid_ = -1;
};

}  // namespace mevra::app::testing
