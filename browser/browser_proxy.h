#pragma once

#include <QString>

namespace mevra::browser {

// The proxy the browser's pages go through. The engine takes it when it starts, so it is given
// once, before the first page is made; a later call changes nothing until the next start.
struct BrowserProxy {
  enum class Kind {
    kSystem,  // the desktop's or the environment's proxy settings
    kNone,    // straight to every server
    kHttp,
    kSocks5,
  };
  Kind kind = Kind::kSystem;
  QString host;
  int port = 0;
  QString username;
  QString password;

  bool operator==(const BrowserProxy&) const = default;

  // The engine's own proxy switches for this proxy; empty for kSystem. The engine never sends
  // loopback hosts through a proxy unless told to, and the demo portal lives there.
  QString EngineSwitches() const;

  // Takes `proxy` for the pages of this process, unless one was taken already. Says whether it
  // was taken.
  static bool Use(const BrowserProxy& proxy);
  // The proxy the pages use (kSystem until Use).
  static const BrowserProxy& Current();
};

}  // namespace mevra::browser
