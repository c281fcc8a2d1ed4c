#pragma once

// Starts the built mevra-portal on ephemeral loopback ports for a test, and stops it again.
// Header-only and free of Qt, so any test folder can use it; the including target defines
// MEVRA_PORTAL_BINARY as the path of the portal executable, e.g. with
//   target_compile_definitions(t PRIVATE MEVRA_PORTAL_BINARY="$<TARGET_FILE:mevra-portal>")

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#ifndef MEVRA_PORTAL_BINARY
#error "MEVRA_PORTAL_BINARY must name the built mevra-portal executable"
#endif

extern char** environ;

namespace mevra::portal::testing {

class PortalProcess {
 public:
  struct Options {
    std::vector<std::string> arguments;  // appended to the port and data folder arguments
    std::string data_dir;                // empty: a fresh folder, removed with the process
    std::chrono::milliseconds start_timeout{20000};
  };

  PortalProcess() : PortalProcess(Options{}) {}
  explicit PortalProcess(std::vector<std::string> arguments)
      : PortalProcess(Options{std::move(arguments), {}, std::chrono::milliseconds(20000)}) {}

  explicit PortalProcess(Options options) {
    char work_template[] = "/tmp/mevra-portal-test-XXXXXX";
    if (!mkdtemp(work_template)) throw std::runtime_error("cannot create a temporary folder");
    work_dir_ = work_template;
    data_dir_ = options.data_dir.empty() ? work_dir_ + "/data" : options.data_dir;
    log_path_ = work_dir_ + "/portal.log";

    std::vector<std::string> args = {
        MEVRA_PORTAL_BINARY, "--home-port", "0",          "--login-port", "0", "--music-port", "0",
        "--site-port",       "0",           "--data-dir", data_dir_};
    args.insert(args.end(), options.arguments.begin(), options.arguments.end());
    for (size_t i = 0; i < options.arguments.size(); ++i) {
      tls_ = tls_ || options.arguments[i] == "--tls";
      if (options.arguments[i] == "--listen" && i + 1 < options.arguments.size()) {
        const std::string& address = options.arguments[i + 1];
        host_ = address.find(':') != std::string::npos ? "[" + address + "]" : address;
      }
    }
    Spawn(args);
    try {
      ReadPortsLine(options.start_timeout);
    } catch (...) {
      Terminate(std::chrono::milliseconds(2000));
      Cleanup();
      throw;
    }
  }

  ~PortalProcess() {
    Terminate(std::chrono::milliseconds(5000));
    Cleanup();
  }

  PortalProcess(const PortalProcess&) = delete;
  PortalProcess& operator=(const PortalProcess&) = delete;

  int home_port() const { return home_port_; }
  int login_port() const { return login_port_; }
  int music_port() const { return music_port_; }
  int site_port() const { return site_port_; }

  // Base addresses without a trailing slash, e.g. "http://127.0.0.1:40123" (https with --tls).
  std::string HomeBaseUrl() const { return Base(home_port_); }
  std::string LoginBaseUrl() const { return Base(login_port_); }
  std::string MusicBaseUrl() const { return Base(music_port_); }
  std::string SiteBaseUrl() const { return Base(site_port_); }
  std::string HomeUrl() const { return HomeBaseUrl() + "/"; }

  const std::string& data_dir() const { return data_dir_; }
  // The CA certificate a portal started with --tls named on its "ca-file" line; else empty.
  const std::string& ca_file() const { return ca_file_; }
  const std::string& log_path() const { return log_path_; }
  pid_t pid() const { return pid_; }

  // What the portal wrote on standard error so far (one line per request).
  std::string Log() const {
    std::ifstream in(log_path_);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
  }

  // Sends SIGTERM and waits up to `timeout` for the exit. Returns the wait status of a process
  // that exited by itself, or -1 if it had to be killed (or was already gone).
  int Terminate(std::chrono::milliseconds timeout) {
    if (pid_ <= 0) return -1;
    kill(pid_, SIGTERM);
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    int status = 0;
    while (std::chrono::steady_clock::now() < deadline) {
      const pid_t done = waitpid(pid_, &status, WNOHANG);
      if (done != 0) {
        pid_ = -1;
        return done > 0 ? status : -1;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    kill(pid_, SIGKILL);
    waitpid(pid_, &status, 0);
    pid_ = -1;
    return -1;
  }

 private:
  std::string Base(int port) const {
    return (tls_ ? "https://" : "http://") + host_ + ":" + std::to_string(port);
  }

  void Spawn(const std::vector<std::string>& args) {
    int out[2];
    if (pipe2(out, O_CLOEXEC) != 0) throw std::runtime_error("cannot create a pipe");
    stdout_fd_ = out[0];
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_addopen(&actions, 2, log_path_.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC | O_APPEND, 0644);
    // The test process may block or ignore signals; the portal starts with the defaults.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t none, defaults;
    sigemptyset(&none);
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGINT);
    sigaddset(&defaults, SIGTERM);
    sigaddset(&defaults, SIGPIPE);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    std::vector<char*> argv;
    for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    const int error =
        posix_spawn(&pid_, args[0].c_str(), &actions, &attributes, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    close(out[1]);
    if (error != 0) {
      pid_ = -1;
      throw std::runtime_error("cannot start " + args[0]);
    }
  }

  // Reads the lines the portal prints at start up to its ports line: a "ca-file" line before it
  // names the CA of a TLS portal.
  void ReadPortsLine(std::chrono::milliseconds timeout) {
    std::string line;
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (line.find("ports ") == std::string::npos ||
           line.find('\n', line.find("ports ")) == std::string::npos) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
          deadline - std::chrono::steady_clock::now());
      pollfd p{stdout_fd_, POLLIN, 0};
      if (left.count() <= 0 || poll(&p, 1, static_cast<int>(left.count())) <= 0) {
        throw std::runtime_error("the portal printed no ports line in time; its log:\n" + Log());
      }
      char buffer[256];
      const ssize_t n = read(stdout_fd_, buffer, sizeof buffer);
      if (n <= 0) throw std::runtime_error("the portal ended before listening; its log:\n" + Log());
      line.append(buffer, static_cast<size_t>(n));
    }
    const std::string ca_mark = "ca-file ";
    if (line.starts_with(ca_mark)) {
      const size_t end = line.find('\n');
      ca_file_ = line.substr(ca_mark.size(), end - ca_mark.size());
      line.erase(0, end + 1);
    }
    if (std::sscanf(line.c_str(), "ports home=%d login=%d music=%d site=%d", &home_port_,
                    &login_port_, &music_port_, &site_port_) != 4) {
      throw std::runtime_error("unexpected ports line: " + line);
    }
  }

  void Cleanup() {
    if (stdout_fd_ >= 0) close(stdout_fd_);
    stdout_fd_ = -1;
    std::error_code ec;
    std::filesystem::remove_all(work_dir_, ec);
  }

  pid_t pid_ = -1;
  int stdout_fd_ = -1;
  std::string work_dir_;
  std::string data_dir_;
  std::string log_path_;
  std::string ca_file_;
  bool tls_ = false;
  std::string host_ = "127.0.0.1";  // as the base addresses write it
  int home_port_ = 0;
  int login_port_ = 0;
  int music_port_ = 0;
  int site_port_ = 0;
};

}  // namespace mevra::portal::testing
