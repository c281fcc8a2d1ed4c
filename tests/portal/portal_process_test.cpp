// The portal as a process: its ports line, its exits, and stopping while a body is stalled.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <thread>

#include "portal/catalog.h"
#include "tests/portal/portal_process.h"
#include "tests/portal/portal_test_support.h"

namespace mevra::portal {
namespace {

using testing::PortalProcess;

TEST(PortalProcessTest, StopsCleanlyOnSigtermWhileAStalledBodyIsBeingServed) {
  PortalProcess portal;
  const std::string cookie = testing::SignIn(portal.login_port());
  httplib::Client music("127.0.0.1", portal.music_port());
  auto page = music.Get(("/song/" + std::string(kStallingSongId) + "/download").c_str(),
                        httplib::Headers{{"Cookie", cookie}});
  ASSERT_TRUE(page);
  const std::string link = testing::LinkForRate(page->body, 128);
  ASSERT_FALSE(link.empty());

  // Read the head and the first part of the body, so the stall is under way before the signal.
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<uint16_t>(portal.music_port()));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ASSERT_EQ(connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  const std::string request = "GET " + link + " HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n";
  send(fd, request.data(), request.size(), MSG_NOSIGNAL);
  std::string received;
  char buffer[65536];
  while (received.find("\r\n\r\n") == std::string::npos ||
         received.size() < received.find("\r\n\r\n") + 4 + 1000) {
    pollfd p{fd, POLLIN, 0};
    ASSERT_GT(poll(&p, 1, 20000), 0) << "no body arrived";
    const ssize_t n = recv(fd, buffer, sizeof buffer, 0);
    ASSERT_GT(n, 0);
    received.append(buffer, static_cast<size_t>(n));
  }
  EXPECT_TRUE(received.starts_with("HTTP/1.1 200"));

  const int status = portal.Terminate(std::chrono::seconds(20));
  ASSERT_NE(status, -1) << "the portal had to be killed";
  EXPECT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  // The stalled response ends with the process rather than being left open.
  pollfd p{fd, POLLIN, 0};
  while (poll(&p, 1, 5000) > 0 && recv(fd, buffer, sizeof buffer, 0) > 0) {
  }
  close(fd);
}

// A browser keeps the sign-in cookie across runs of the portal; the restarted portal still
// knows the session, while a session signed out before the restart stays out.
TEST(PortalProcessTest, SessionsOutliveARestartOnTheSameDataFolder) {
  char dir_template[] = "/tmp/mevra-portal-restart-XXXXXX";
  ASSERT_NE(mkdtemp(dir_template), nullptr);
  const std::string data_dir = dir_template;
  const PortalProcess::Options options{{}, data_dir, std::chrono::milliseconds(20000)};
  std::string kept, signed_out;
  {
    PortalProcess portal(options);
    kept = testing::SignIn(portal.login_port());
    signed_out = testing::SignIn(portal.login_port());
    ASSERT_FALSE(kept.empty());
    httplib::Client login("127.0.0.1", portal.login_port());
    ASSERT_TRUE(login.Get("/v2/?logout", httplib::Headers{{"Cookie", signed_out}}));
  }
  PortalProcess restarted(options);
  auto home = [&](const std::string& cookie) {
    httplib::Client client("127.0.0.1", restarted.home_port());
    auto res = client.Get("/", httplib::Headers{{"Cookie", cookie}});
    return res ? res->body : std::string();
  };
  EXPECT_NE(home(kept).find("window.logInfo"), std::string::npos);
  EXPECT_EQ(home(signed_out).find("window.logInfo"), std::string::npos);
  httplib::Client music("127.0.0.1", restarted.music_port());
  auto page = music.Get(("/song/" + std::string(kShortSongId) + "/download").c_str(),
                        httplib::Headers{{"Cookie", kept}});
  ASSERT_TRUE(page);
  EXPECT_FALSE(testing::LinkForRate(page->body, 128).empty());
  std::filesystem::remove_all(data_dir);
}

// With --listen ::1 the hosts serve IPv6, the sign-in leads back to [::1], and nothing listens
// on IPv4.
TEST(PortalProcessTest, ListensOnTheIpv6LoopbackWhenAsked) {
  {
    const int probe = socket(AF_INET6, SOCK_STREAM, 0);
    sockaddr_in6 any{};
    any.sin6_family = AF_INET6;
    any.sin6_addr = in6addr_loopback;
    const bool bound =
        probe >= 0 && bind(probe, reinterpret_cast<sockaddr*>(&any), sizeof any) == 0;
    if (probe >= 0) close(probe);
    if (!bound) GTEST_SKIP() << "no IPv6 here: ::1 cannot be bound";
  }
  PortalProcess portal({"--listen", "::1"});
  EXPECT_EQ(portal.LoginBaseUrl().rfind("http://[::1]:", 0), 0u);
  const std::string back = portal.MusicBaseUrl() + "/top/new/";
  httplib::Client login("::1", portal.login_port());
  auto signed_in =
      login.Post("/v2/?login&tpl=mn",
                 httplib::Params{{"username", "demo"}, {"password", "demo"}, {"u", back}});
  ASSERT_TRUE(signed_in);
  EXPECT_EQ(signed_in->status, 302);
  EXPECT_EQ(signed_in->get_header_value("Location"), back);
  EXPECT_FALSE(httplib::Client("127.0.0.1", portal.home_port()).Get("/"));
}

// Runs the portal binary with `args`; returns its exit status and what it printed.
std::pair<int, std::string> RunPortal(const std::string& args) {
  const std::string command = std::string(MEVRA_PORTAL_BINARY) + " " + args + " 2>/dev/null";
  FILE* pipe = popen(command.c_str(), "r");
  std::string out;
  char buffer[256];
  while (size_t n = fread(buffer, 1, sizeof buffer, pipe)) out.append(buffer, n);
  const int status = pclose(pipe);
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, out};
}

TEST(PortalProcessTest, BadCommandLinesAndTakenPortsEndWithoutAPortsLine) {
  PortalProcess running;
  const std::pair<std::string, int> cases[] = {
      {"--home-port abc", 2},
      {"--account nopass", 2},
      {"--frobnicate", 2},
      {"--home-port 0 --login-port 0 --music-port " + std::to_string(running.music_port()) +
           " --site-port 0 --data-dir " + running.data_dir(),
       1},
  };
  for (const auto& [args, expected] : cases) {
    SCOPED_TRACE(args);
    const auto [status, out] = RunPortal(args);
    EXPECT_EQ(status, expected);
    EXPECT_EQ(out.find("ports "), std::string::npos);
  }
  // The running portal printed exactly one well-formed line (the helper parsed it).
  EXPECT_GT(running.home_port(), 0);
  EXPECT_NE(running.home_port(), running.music_port());
}

}  // namespace
}  // namespace mevra::portal
