// mevra-portal: the substitute music portal the program talks to out of the box, and the
// fixture of its end-to-end tests.
#include <pthread.h>
#include <signal.h>

#include <iostream>
#include <stdexcept>
#include <string>
#include <vector>

#include "portal/portal_options.h"
#include "portal/portal_server.h"

int main(int argc, char** argv) {
  using namespace mevra::portal;
  PortalOptions options;
  try {
    options = ParsePortalOptions(std::vector<std::string>(argv + 1, argv + argc));
  } catch (const std::invalid_argument& e) {
    std::cerr << "mevra-portal: " << e.what() << "\n" << PortalUsage();
    return 2;
  }
  if (options.help) {
    std::cout << PortalUsage();
    return 0;
  }
  if (options.version) {
    std::cout << "mevra-portal " MEVRA_VERSION "\n";
    return 0;
  }

  // The stop signals are blocked in every thread and taken by the main thread alone, so
  // shutting down runs as ordinary code rather than inside a signal handler.
  sigset_t stop_signals;
  sigemptyset(&stop_signals);
  sigaddset(&stop_signals, SIGINT);
  sigaddset(&stop_signals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &stop_signals, nullptr);
  // A client that hangs up mid-body must not end the process.
  signal(SIGPIPE, SIG_IGN);

  try {
    PortalServer server(std::move(options));
    server.Bind();
    server.Start();
    if (!server.CaFile().empty()) std::cout << "ca-file " << server.CaFile().string() << "\n";
    std::cout << server.PortsLine() << std::endl;
    int signal_number = 0;
    sigwait(&stop_signals, &signal_number);
    std::cerr << "mevra-portal: stopping (signal " << signal_number << ")" << std::endl;
    server.Stop();
  } catch (const std::exception& e) {
    std::cerr << "mevra-portal: " << e.what() << std::endl;
    return 1;
  }
  return 0;
}
