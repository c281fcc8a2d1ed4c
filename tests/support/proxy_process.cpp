#include "tests/support/proxy_process.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>
#include <vector>

#include "tests/support/loopback.h"

extern char** environ;

namespace mevra::test {

namespace {

// A port that was free a moment ago: neither proxy can be told to take an ephemeral one.
int FreePort() {
  int port = 0;
  const int listener = ListenOnLoopback(1, port);
  ::close(listener);
  return port;
}

bool Accepts(int port) {
  const int descriptor = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<uint16_t>(port));
  inet_pton(AF_INET, "127.0.0.1", &address.sin_addr);
  const bool connected =
      ::connect(descriptor, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
  ::close(descriptor);
  return connected;
}

}  // namespace

ProxyProcess::ProxyProcess(Kind kind, std::string username, std::string password)
    : kind_(kind), username_(std::move(username)), password_(std::move(password)) {
  char folder[] = "/tmp/mevra-proxy-test-XXXXXX";
  if (::mkdtemp(folder) == nullptr) throw std::runtime_error("cannot create a temporary folder");
  folder_ = folder;
  const std::string log = folder_ + "/proxy.log";
  for (int attempt = 0; attempt < 5; ++attempt) {
    port_ = FreePort();
    std::vector<std::string> args;
    if (kind_ == Kind::kTinyproxy) {
      const std::string config = folder_ + "/tinyproxy.conf";
      std::ofstream file(config);
      file << "Port " << port_ << "\nListen 127.0.0.1\nTimeout 30\nLogLevel Info\n"
           << "MaxClients 32\nAllow 127.0.0.1\n";
      if (!username_.empty()) file << "BasicAuth " << username_ << " " << password_ << "\n";
      file.close();
      args = {"tinyproxy", "-d", "-c", config};
    } else {
      args = {"microsocks", "-i", "127.0.0.1", "-p", std::to_string(port_)};
      if (!username_.empty()) args.insert(args.end(), {"-u", username_, "-P", password_});
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    std::vector<char*> argv;
    for (std::string& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    const int failed = posix_spawnp(&pid_, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (failed != 0) {
      std::filesystem::remove_all(folder_);
      throw std::runtime_error(args[0] + " cannot be started; scripts/setup-debian.sh installs it");
    }
    const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (std::chrono::steady_clock::now() < give_up) {
      if (Accepts(port_)) return;
      int status = 0;
      if (::waitpid(pid_, &status, WNOHANG) == pid_) break;  // the port was taken meanwhile
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    Stop();
  }
  std::filesystem::remove_all(folder_);
  throw std::runtime_error("the proxy never listened");
}

ProxyProcess::~ProxyProcess() {
  Stop();
  std::filesystem::remove_all(folder_);
}

void ProxyProcess::Stop() {
  if (pid_ <= 0) return;
  ::kill(pid_, SIGTERM);
  int status = 0;
  ::waitpid(pid_, &status, 0);
  pid_ = -1;
}

std::string ProxyProcess::Url(const std::string& scheme) const {
  return UrlWith(scheme, username_, password_);
}

std::string ProxyProcess::UrlWith(const std::string& scheme, const std::string& username,
                                  const std::string& password) const {
  std::string shown = scheme;
  if (shown.empty()) shown = kind_ == Kind::kTinyproxy ? "http" : "socks5";
  const std::string credentials = username.empty() ? "" : username + ":" + password + "@";
  return shown + "://" + credentials + "127.0.0.1:" + std::to_string(port_);
}

std::string ProxyProcess::Log() const {
  std::ifstream file(folder_ + "/proxy.log");
  std::stringstream text;
  text << file.rdbuf();
  return text.str();
}

}  // namespace mevra::test
