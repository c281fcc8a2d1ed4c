#pragma once

#include <httplib.h>

#include <array>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "portal/portal_options.h"
#include "portal/portal_state.h"

namespace mevra::portal {

// The four hosts of the portal, each an HTTP/1.1 server on the loopback address of the options
// (127.0.0.1 unless told otherwise) with its own worker threads, sharing one PortalState.
class PortalServer {
 public:
  explicit PortalServer(PortalOptions options);
  ~PortalServer();
  PortalServer(const PortalServer&) = delete;
  PortalServer& operator=(const PortalServer&) = delete;

  // Binds and listens on all four ports; throws std::runtime_error naming a port that could
  // not be bound.
  void Bind();
  // Serves in background threads; returns once every host accepts connections.
  void Start();
  // Ends every wait inside a request, stops the hosts and joins their threads. Idempotent.
  void Stop();

  const PortalState& state() const { return *state_; }
  // "ports home=N login=N music=N site=N"
  std::string PortsLine() const;
  // The CA certificate clients are to trust; empty without TLS.
  const std::filesystem::path& CaFile() const { return ca_file_; }

 private:
  struct Host {
    const char* name;
    int port;
    std::unique_ptr<httplib::Server> server;
  };

  void SetUpHost(Host& host);

  std::unique_ptr<PortalState> state_;
  std::array<Host, 4> hosts_;
  std::vector<std::thread> threads_;
  std::filesystem::path ca_file_;
  bool stopped_ = false;
};

}  // namespace mevra::portal
