#include "portal/portal_server.h"

#include <sys/socket.h>

#include <chrono>
#include <functional>
#include <iostream>
#include <mutex>
#include <stdexcept>

#include "portal/account_routes.h"
#include "portal/catalog.h"
#include "portal/error_page.h"
#include "portal/music_routes.h"
#include "portal/open_connections.h"
#include "portal/site_routes.h"
#include "portal/song_file_cache.h"
#include "portal/tls_files.h"

namespace mevra::portal {
namespace {

// A browser opens up to six connections per host and keeps them; the stalling song holds one
// worker for minutes. Enough workers that neither starves the pages.
constexpr size_t kWorkersPerHost = 24;
// How long an idle kept-alive connection is held open.
constexpr time_t kKeepAliveSeconds = 5;
// How long to wait for the hosts to come up after their threads were started.
constexpr auto kStartTimeout = std::chrono::seconds(10);

std::mutex log_lock;

void LogRequest(const char* host, const httplib::Request& req, const httplib::Response& res) {
  std::lock_guard guard(log_lock);
  std::cerr << host << " " << req.remote_addr << ":" << req.remote_port << " \"" << req.method
            << " " << req.target << "\" " << res.status << std::endl;
}

std::string ReasonText(int status) {
  switch (status) {
    case 400:
      return "请求无效。";
    case 403:
      return "没有权限。";
    case 404:
      return "页面不存在。";
    case 405:
      return "不支持这种请求方法。";
    case 413:
      return "请求内容太大。";
    case 414:
      return "请求地址太长。";
    default:
      return "请求失败。";
  }
}

}  // namespace

PortalServer::PortalServer(PortalOptions options) : state_(std::make_unique<PortalState>()) {
  state_->options = std::move(options);
  const PortalOptions& o = state_->options;
  state_->data_dir = o.data_dir.empty() ? DefaultDataDir() : o.data_dir;
  // Browsers keep the sign-in cookie across runs; so does the portal keep the sessions.
  state_->sessions.KeepIn(state_->data_dir / "sessions");
  state_->sessions.AddAccount("demo", "demo");
  state_->big_chart_songs = BigChartSongs(o.big_chart);
  for (const auto& [user, password] : o.accounts) state_->sessions.AddAccount(user, password);
  std::function<std::unique_ptr<httplib::Server>()> make_server = [] {
    return std::make_unique<httplib::Server>();
  };
  if (o.tls) {
    const TlsFiles files = EnsureTlsFiles(state_->data_dir / "tls");
    ca_file_ = files.ca_certificate;
    make_server = [files]() -> std::unique_ptr<httplib::Server> {
      auto server =
          std::make_unique<httplib::SSLServer>(files.certificate.c_str(), files.key.c_str());
      if (!server->is_valid()) {
        throw std::runtime_error("cannot serve TLS with " + files.certificate.string());
      }
      return server;
    };
  }
  hosts_ = {Host{"home", o.home_port, make_server()}, Host{"login", o.login_port, make_server()},
            Host{"music", o.music_port, make_server()}, Host{"site", o.site_port, make_server()}};
  for (Host& host : hosts_) SetUpHost(host);
  InstallHomeRoutes(*hosts_[0].server, *state_);
  InstallLoginRoutes(*hosts_[1].server, *state_);
  InstallMusicRoutes(*hosts_[2].server, *state_);
  InstallSiteRoutes(*hosts_[3].server, *state_);
}

PortalServer::~PortalServer() { Stop(); }

void PortalServer::SetUpHost(Host& host) {
  httplib::Server& server = *host.server;
  server.new_task_queue = [] { return new httplib::ThreadPool(kWorkersPerHost); };
  server.set_keep_alive_timeout(kKeepAliveSeconds);
  // A response goes out in more than one write (head, then body). On a kept-alive connection
  // Nagle's rule would hold the body back until the client acknowledges the head, which a
  // client delays by up to 40 ms: every page the browser loads on a reused connection waited
  // that long.
  server.set_tcp_nodelay(true);
  // The library's default also sets SO_REUSEPORT, which would let a second portal share a
  // taken port and split the browser's requests (and sessions) between two processes.
  server.set_socket_options([](socket_t sock) {
    int yes = 1;
    setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
  });
  const char* name = host.name;
  server.set_logger([name](const httplib::Request& req, const httplib::Response& res) {
    LogRequest(name, req, res);
  });
  // Whatever goes wrong, the answer is a page, not an empty body.
  server.set_error_handler(
      httplib::Server::HandlerWithResponse([](const httplib::Request&, httplib::Response& res) {
        if (!res.body.empty()) return httplib::Server::HandlerResponse::Unhandled;
        res.set_content(ErrorPage(res.status, ReasonText(res.status)), "text/html; charset=utf-8");
        return httplib::Server::HandlerResponse::Handled;
      }));
  server.set_exception_handler(
      [name](const httplib::Request& req, httplib::Response& res, std::exception_ptr error) {
        std::string what = "unknown error";
        try {
          std::rethrow_exception(error);
        } catch (const std::exception& e) {
          what = e.what();
        } catch (...) {
        }
        {
          std::lock_guard guard(log_lock);
          std::cerr << name << " error while answering " << req.target << ": " << what << std::endl;
        }
        res.status = 500;
        res.set_content(ErrorPage(500, "服务器内部错误。"), "text/html; charset=utf-8");
      });
}

void PortalServer::Bind() {
  const std::string& address = state_->options.listen;
  for (Host& host : hosts_) {
    if (host.port == 0) {
      host.port = host.server->bind_to_any_port(address);
      if (host.port < 0) {
        throw std::runtime_error(std::string("cannot listen for the ") + host.name + " host");
      }
    } else if (!host.server->bind_to_port(address, host.port)) {
      throw std::runtime_error("cannot listen on " + address + ":" + std::to_string(host.port) +
                               " for the " + host.name + " host");
    }
  }
  state_->urls = PortalUrls::ForPorts(hosts_[0].port, hosts_[1].port, hosts_[2].port,
                                      hosts_[3].port, state_->options.tls, address);
}

void PortalServer::Start() {
  for (Host& host : hosts_) {
    threads_.emplace_back([&server = *host.server] { server.listen_after_bind(); });
  }
  // A stop that came before a host's accept loop started would not reach it.
  const auto deadline = std::chrono::steady_clock::now() + kStartTimeout;
  for (Host& host : hosts_) {
    while (!host.server->is_running()) {
      if (std::chrono::steady_clock::now() > deadline) {
        throw std::runtime_error(std::string("the ") + host.name + " host did not start");
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
  }
}

void PortalServer::Stop() {
  if (stopped_) return;
  stopped_ = true;
  state_->shutdown.Request();
  for (Host& host : hosts_) host.server->stop();
  HangUpOpenConnections();
  for (std::thread& thread : threads_) thread.join();
  threads_.clear();
}

std::string PortalServer::PortsLine() const {
  return "ports home=" + std::to_string(hosts_[0].port) +
         " login=" + std::to_string(hosts_[1].port) + " music=" + std::to_string(hosts_[2].port) +
         " site=" + std::to_string(hosts_[3].port);
}

}  // namespace mevra::portal
