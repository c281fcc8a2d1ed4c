#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "tests/support/proxy_process.h"
#include "tests/support/scripted_server.h"
#include "tests/support/test_pki.h"
#include "tests/support/unanswered_listener.h"

namespace mevra::http {
namespace {

using mevra::test::ScriptedServer;
using mevra::test::TestPki;
using Script = mevra::test::ConnectionScript;

struct ToolRun {
  int status;
  std::string err;
  std::string out;
};

// Runs the tool with `arguments`, its standard error and output captured in files.
ToolRun Fetch(const std::string& arguments) {
  // CTest runs the cases as parallel processes: each one needs files of its own.
  const std::string dir = ::testing::TempDir() + "/mevra_fetch_" + std::to_string(getpid());
  const std::string err = dir + "_err.txt";
  const std::string out = dir + "_out.bin";
  const std::string command =
      std::string(MEVRA_FETCH_PATH) + " " + arguments + " >" + out + " 2>" + err;
  const int status = std::system(command.c_str());
  const auto slurp = [](const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
  };
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, slurp(err), slurp(out)};
}

TEST(MevraFetchTest, ReportsEventsStatusAndErrorsOnePerLine) {
  ScriptedServer server(
      {Script()
           .Respond("HTTP/1.1 200 OK\r\nContent-Length: 5\r\nSet-Cookie: s=1; path=/\r\n\r\nfirst")
           .Respond("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n3\r\nabc\r\n0\r\n\r\n")
           .Respond("HTTP/1.1 404 Not Found\r\nContent-Length: 4\r\n\r\ngone")});
  const ToolRun run = Fetch("--events " + server.Url("/a/x") + " y " + server.Url("/z") + " " +
                            server.Url("/never"));
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.out, "firstabc");
  EXPECT_EQ(run.err,
            "begin 5\nwork 5\nend\nstatus HTTP/1.1 200 OK\n"
            "begin 3\nwork 3\nend\nstatus HTTP/1.1 200 OK\n"
            "begin 4\nwork 4\nend\n"
            "error HttpProtocolError: HTTP/1.1 404 Not Found\n");
  // One connection; the relative "y" went to /a/y with the cookie of the first response.
  ASSERT_EQ(server.Requests().size(), 3u);
  EXPECT_EQ(server.Requests()[1].target, "/a/y");
  EXPECT_EQ(server.Requests()[1].headers["cookie"], "s=1");
}

TEST(MevraFetchTest, ARedirectThatLeadsNowhereIsAnError) {
  ScriptedServer server({Script().Respond("HTTP/1.1 302 Found\r\nContent-Length: 0\r\n\r\n")});
  const ToolRun run = Fetch(server.Url("/song.mp3"));
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(run.err,
            "error RedirectWithoutLocationError: The redirect HTTP/1.1 302 Found names no "
            "location.\n");
}

TEST(MevraFetchTest, StopsAtTheGivenCountAndWritesTheFile) {
  const std::string body(100000, 'b');
  ScriptedServer server(
      {Script().Respond("HTTP/1.1 200 OK\r\nContent-Length: 100000\r\n\r\n" + body)});
  const std::string file =
      ::testing::TempDir() + "/mevra_fetch_body_" + std::to_string(getpid()) + ".bin";
  const ToolRun run = Fetch("--stop-at 1 -o " + file + " " + server.Url("/song.mp3"));
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.err, "status HTTP/1.1 200 OK\n");
  std::ifstream saved(file, std::ios::binary | std::ios::ate);
  EXPECT_GT(static_cast<int64_t>(saved.tellg()), 0);
  EXPECT_LT(static_cast<int64_t>(saved.tellg()), 100000);

  EXPECT_EQ(Fetch("").status, 2);
  const ToolRun refused = Fetch("http://127.0.0.1:1/");
  EXPECT_EQ(refused.status, 1);
  EXPECT_EQ(refused.err.rfind("error ", 0), 0u);
  EXPECT_NE(refused.err.find("\\r\\n"), std::string::npos);
}

TEST(MevraFetchTest, FetchesOverHttpsAndSaysWhyItRefuses) {
  const TestPki& pki = TestPki::Shared();
  const mevra::test::ServerTls good{pki.Server().certificate, pki.Server().key};
  {
    ScriptedServer server(good,
                          {Script().Respond("HTTP/1.1 200 OK\r\nContent-Length: 6\r\n\r\nsecret")});
    const ToolRun run = Fetch("--cacert " + pki.CaFile() + " " + server.Url("/a.mp3"));
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, "secret");
    EXPECT_EQ(run.err, "status HTTP/1.1 200 OK\n");
  }
  {
    ScriptedServer server(good, {Script().Hold()});
    const ToolRun run = Fetch(server.Url("/a.mp3"));
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(
        run.err,
        "error TlsCertificateUntrustedError: TLS certificate not trusted: unable to get local "
        "issuer certificate\n");
  }
}

TEST(MevraFetchTest, GoesThroughTheProxyItIsGivenOrTheEnvironmentNames) {
  mevra::test::ProxyProcess proxy(mevra::test::ProxyProcess::Kind::kMicrosocks);
  const std::string ok = "HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nok";
  struct Case {
    std::string prefix;  // environment, then the tool
    std::string options;
    std::string err;
  };
  const Case cases[] = {
      {"", "--proxy " + proxy.Url("socks5h"), "status HTTP/1.1 200 OK\n"},
      {"all_proxy=" + proxy.Url("socks5") + " ", "", "status HTTP/1.1 200 OK\n"},
      // The upper-case http variable is not looked at: the request goes straight.
      {"HTTP_PROXY=socks5://127.0.0.1:1 ", "", "status HTTP/1.1 200 OK\n"},
      {"http_proxy=socks5://127.0.0.1:1 ", "",
       "error ProxyConnectError: Cannot reach the proxy server: Socket Error # 10061\\r\\n"
       "Connection refused.\n"},
      {"http_proxy=socks4://h:1 ", "",
       "error ProxyUrlError: Bad proxy URL: http_proxy: the scheme \"socks4\" is none of http, "
       "socks5 and socks5h\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.prefix + c.options);
    ScriptedServer server({Script().Respond(ok)});
    const std::string command = "env " + c.prefix + std::string(MEVRA_FETCH_PATH) + " " +
                                c.options + " " + server.Url("/a") + " 2>&1";
    std::string output;
    if (FILE* pipe = ::popen(command.c_str(), "r")) {
      char buffer[512];
      size_t n;
      while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) output.append(buffer, n);
      ::pclose(pipe);
    }
    EXPECT_EQ(output, (c.err.rfind("status", 0) == 0 ? "ok" : "") + c.err);
  }
}

TEST(MevraFetchTest, RecvBufferSetsTheBlocksOfTheWorkEvents) {
  std::string body(2500, '\0');
  for (size_t i = 0; i < body.size(); ++i) body[i] = static_cast<char>('a' + i % 26);
  // With 1000, the first receive brings the 41 bytes of the head and 959 of the body.
  const std::vector<std::pair<std::string, std::string>> option_and_events = {
      {"--recv-buffer 1000", "work 959\nwork 1959\nwork 2500\n"},
      {"--recv-buffer 67108864", "work 2500\n"}};
  for (const auto& [option, events] : option_and_events) {
    SCOPED_TRACE(option);
    ScriptedServer server(
        {Script().Respond("HTTP/1.1 200 OK\r\nContent-Length: 2500\r\n\r\n" + body)});
    const ToolRun run = Fetch("--events " + option + " " + server.Url("/song.mp3"));
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, body);
    EXPECT_EQ(run.err, "begin 2500\n" + events + "end\nstatus HTTP/1.1 200 OK\n");
  }
}

TEST(MevraFetchTest, NeverWaitsLongerThanItsTimeOuts) {
  struct Case {
    const char* name;
    std::string arguments;
    std::string error;
  };
  // A server that accepts the connection and never answers the handshake; one whose body stalls.
  ScriptedServer silent({Script().Hold()});
  ScriptedServer stalling(
      {Script().Respond("HTTP/1.1 200 OK\r\nContent-Length: 9\r\n\r\npart").Hold()});
  mevra::test::UnansweredListener unanswered;
  const std::string port = std::to_string(silent.Port());
  const std::vector<Case> cases = {
      {"handshake", "--connect-timeout 300 https://127.0.0.1:" + port + "/",
       "error TlsHandshakeTimeoutError: TLS handshake timed out.\n"},
      {"connect",
       "--connect-timeout 300 http://127.0.0.1:" + std::to_string(unanswered.Port()) + "/",
       "error ConnectTimeoutError: Connect timed out.\n"},
      {"read", "--read-timeout 300 " + stalling.Url("/"), "error ReadTimeoutError: Read Timeout\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const ToolRun run = Fetch(c.arguments);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, c.error);
  }
  for (const char* bad : {"--connect-timeout 0 http://h/", "--read-timeout -5 http://h/",
                          "--connect-timeout x http://h/", "--cacert", "--recv-buffer 0 http://h/",
                          "--recv-buffer 67108865 http://h/"}) {
    SCOPED_TRACE(bad);
    EXPECT_EQ(Fetch(bad).status, 2);
  }
}

}  // namespace
}  // namespace mevra::http
