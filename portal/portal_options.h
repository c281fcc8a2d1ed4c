#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

namespace mevra::portal {

// The portal's command line.
struct PortalOptions {
  // 0 asks the system for a free port; the chosen ones are printed once all four listen.
  int home_port = 18080;
  int login_port = 18081;
  int music_port = 18082;
  int site_port = 18083;
  std::filesystem::path data_dir;                             // empty: DefaultDataDir()
  std::string stamp = "201212251550";                         // served exactly as given
  std::vector<std::pair<std::string, std::string>> accounts;  // besides demo/demo
  uint64_t rate_limit = 0;  // file bodies in bytes per second; 0: unlimited
  int stall_seconds = 300;  // how long the stalling song keeps silent
  size_t big_chart = 0;     // songs of the chart "big"; 0: there is none
  bool tls = false;         // serve HTTPS with the portal's own CA
  // The loopback address all four hosts listen on; "::1" serves IPv6.
  std::string listen = "127.0.0.1";
  bool help = false;
  bool version = false;
};

// Throws std::invalid_argument with a message naming the offending argument.
PortalOptions ParsePortalOptions(const std::vector<std::string>& args);

std::string PortalUsage();

}  // namespace mevra::portal
