#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include <openssl/ssl.h>

#include "http/http_client.h"
#include "http/http_error.h"
#include "http/program_configuration.h"
#include "net/net_error.h"
#include "net/socket_io_handler.h"
#include "net/stream.h"
#include "net/tls_context.h"
#include "net/tls_error.h"
#include "tests/support/loopback.h"
#include "tests/support/scripted_server.h"
#include "tests/support/test_pki.h"

namespace mevra::http {
namespace {

using mevra::test::ScriptedServer;
using mevra::test::ServerTls;
using mevra::test::TestPki;
using Script = mevra::test::ConnectionScript;

ServerTls TlsWith(const portal::PemCertificate& certificate) {
  return {certificate.certificate, certificate.key};
}
ServerTls GoodTls() { return TlsWith(TestPki::Shared().Server()); }

std::string Response(const std::string& head, const std::string& body = "") {
  return "HTTP/1.1 " + head + "\r\n\r\n" + body;
}

// A client set up as the program's, trusting the test CA, recording its work spans.
struct TlsClient {
  TlsClient() {
    ApplyProgramConfiguration(client);
    client.SetCaFile(TestPki::Shared().CaFile());
    client.OnWorkBegin = [this](net::NetComponent&, net::WorkMode, int32_t max) {
      spans.push_back("begin " + std::to_string(max));
    };
    client.OnWork = [this](net::NetComponent&, net::WorkMode, int32_t count) {
      if (on_work) on_work(count);
    };
    client.OnWorkEnd = [this](net::NetComponent&, net::WorkMode) { spans.push_back("end"); };
  }
  HttpClient client;
  std::vector<std::string> spans;
  std::function<void(int32_t)> on_work;
};

TEST(TlsClientTest, FramesBodiesOverTlsWhicheverWayTheBytesArrive) {
  const std::string body(70000, 'x');
  struct Case {
    const char* name;
    std::string response;
    bool close_after;
    std::vector<std::string> spans;
  };
  const std::vector<Case> cases = {
      {"counted", Response("200 OK\r\nContent-Length: 70000", body), false, {"begin 70000", "end"}},
      {"chunked",
       Response("200 OK\r\nTransfer-Encoding: chunked", "8000\r\n" + body.substr(0, 0x8000) +
                                                            "\r\n" + "9170\r\n" +
                                                            body.substr(0x8000) + "\r\n0\r\n\r\n"),
       false,
       {"begin 32768", "end", "begin 37232", "end"}},
      {"until close", Response("200 OK", body), true, {"begin 0", "end"}},
      // The server ends the kept connection after a whole body: the next Get connects anew.
      {"counted, then closed",
       Response("200 OK\r\nContent-Length: 70000", body),
       true,
       {"begin 70000", "end"}},
  };
  for (const Case& c : cases) {
    for (const unsigned seed : {0u, 3u, 77u}) {
      SCOPED_TRACE(std::string(c.name) + " split " + std::to_string(seed));
      const std::string next = Response("200 OK\r\nContent-Length: 4", "next");
      std::vector<Script> scripts;
      if (c.close_after) {
        scripts = {Script().Respond(c.response).Close(), Script().Respond(next)};
      } else {
        scripts = {Script().Respond(c.response).Respond(next)};
      }
      ScriptedServer server(GoodTls(), scripts, seed, 300);
      TlsClient fetch;
      net::MemoryStream stream;
      fetch.client.Get(server.Url("/song.mp3"), stream);
      EXPECT_EQ(stream.Data(), body);
      EXPECT_EQ(fetch.spans, c.spans);
      if (c.close_after) {
        // The server's close is on its way; the next Get must find it noticed, not race it.
        const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (fetch.client.IsConnected() && std::chrono::steady_clock::now() < limit) {
          fetch.client.PollForClose(false);
        }
      }
      // A kept connection serves the second Get without a second handshake.
      EXPECT_EQ(fetch.client.Get(server.Url("/next")), "next");
      EXPECT_EQ(server.TlsHandshakes(), c.close_after ? 2 : 1);
      EXPECT_EQ(server.ConnectionsAccepted(), c.close_after ? 2 : 1);
    }
  }
}

TEST(TlsClientTest, ABodyUntilCloseNeedsTheCloseAlert) {
  const std::string body(50000, 'c');
  struct Case {
    const char* name;
    Script script;
    const char* error;  // nullptr for success
  };
  const std::vector<Case> cases = {
      {"closed with the alert", Script().Respond(Response("200 OK", body)).Close(), nullptr},
      // Whoever sits between can end the stream with a bare FIN: the body may be cut short.
      {"cut without it", Script().Respond(Response("200 OK", body)).Cut(), "IncompleteBodyError"},
      // A counted body tells by its length; a bare close after it is no fault.
      {"counted, then cut",
       Script().Respond(Response("200 OK\r\nContent-Length: 50000", body)).Cut(), nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ScriptedServer server(GoodTls(), {c.script}, 9, 3000);
    TlsClient fetch;
    net::MemoryStream stream;
    std::string error = "none";
    try {
      fetch.client.Get(server.Url("/a.mp3"), stream);
    } catch (const net::NetError& e) {
      error = e.ClassName();
    }
    EXPECT_EQ(error, c.error ? c.error : "none");
    EXPECT_EQ(stream.Data(), body);
  }
}

TEST(TlsClientTest, AStopOrAResetInTheMiddleOfABodyEndsItAsOverPlainHttp) {
  const std::string body(200000, 'y');
  {
    ScriptedServer server(GoodTls(),
                          {Script().Respond(Response("200 OK\r\nContent-Length: 200000", body))});
    TlsClient fetch;
    fetch.on_work = [&](int32_t count) {
      if (count >= 40000) fetch.client.CloseConnection();
    };
    net::MemoryStream stream;
    EXPECT_NO_THROW(fetch.client.Get(server.Url("/a.mp3"), stream));
    EXPECT_GE(stream.Size(), 40000);
    EXPECT_LT(stream.Size(), 200000);
  }
  {
    ScriptedServer server(
        GoodTls(),
        {Script()
             .Respond(Response("200 OK\r\nContent-Length: 200000", body.substr(0, 50000)))
             .Pause(100)
             .Reset()});
    TlsClient fetch;
    try {
      fetch.client.Get(server.Url("/a.mp3"));
      ADD_FAILURE() << "no exception";
    } catch (const net::SocketError& error) {
      EXPECT_EQ(error.ErrorCode(), 10054);
    }
    EXPECT_EQ(fetch.client.ResponseCode(), 200);
  }
}

TEST(TlsClientTest, RedirectsCrossBetweenHttpAndHttps) {
  for (const bool to_tls : {true, false}) {
    SCOPED_TRACE(to_tls ? "http to https" : "https to http");
    auto target =
        to_tls ? std::make_unique<ScriptedServer>(
                     GoodTls(),
                     std::vector{Script().Respond(Response("200 OK\r\nContent-Length: 4", "song"))})
               : std::make_unique<ScriptedServer>(std::vector{
                     Script().Respond(Response("200 OK\r\nContent-Length: 4", "song"))});
    const Script redirect = Script().Respond(
        Response("302 Found\r\nLocation: " + target->Url("/file.mp3") + "\r\nContent-Length: 0"));
    auto origin = to_tls ? std::make_unique<ScriptedServer>(std::vector{redirect})
                         : std::make_unique<ScriptedServer>(GoodTls(), std::vector{redirect});
    TlsClient fetch;
    EXPECT_EQ(fetch.client.Get(origin->Url("/link")), "song");
    EXPECT_EQ(target->Requests().at(0).target, "/file.mp3");
    EXPECT_EQ(target->TlsHandshakes(), to_tls ? 1 : 0);
    EXPECT_EQ(fetch.client.URL().Protocol(), to_tls ? "https" : "http");
  }
  {
    // The same host and port under the other scheme is another connection: https never goes
    // out in plain text.
    ScriptedServer plain(
        {Script().Respond(Response("200 OK\r\nContent-Length: 1", "a")),
         Script().AwaitText("\x16\x03").Send("HTTP/1.1 400 Bad Request\r\n\r\n").Hold()});
    TlsClient fetch;
    EXPECT_EQ(fetch.client.Get(plain.Url("/")), "a");
    EXPECT_THROW(fetch.client.Get("https://127.0.0.1:" + std::to_string(plain.Port()) + "/"),
                 net::TlsHandshakeError);
    EXPECT_EQ(plain.Requests().size(), 1u);
    EXPECT_EQ(plain.ConnectionsAccepted(), 2);
  }
}

TEST(TlsClientTest, SecureCookiesComeAndGoOverHttpsOnly) {
  ScriptedServer secure(GoodTls(),
                        {Script().Respond(Response("200 OK\r\nSet-Cookie: s=1; Path=/; Secure\r\n"
                                                   "Set-Cookie: p=2; Path=/\r\nContent-Length: 0")),
                         Script().Respond(Response("200 OK\r\nContent-Length: 0"))});
  // A plain-text server cannot plant a cookie for https.
  ScriptedServer plain({Script()
                            .Respond(Response("200 OK\r\nContent-Length: 0"))
                            .Respond(Response("200 OK\r\nSet-Cookie: s=planted; Path=/; Secure\r\n"
                                              "Content-Length: 0"))});
  TlsClient fetch;
  fetch.client.Get(secure.Url("/"));
  fetch.client.Get(plain.Url("/"));
  fetch.client.Get(plain.Url("/again"));
  fetch.client.Get(secure.Url("/again"));
  // Both servers are 127.0.0.1: cookies go by host, not port.
  EXPECT_EQ(plain.Requests().at(0).headers["cookie"], "p=2");
  EXPECT_EQ(secure.Requests().at(1).headers["cookie"], "s=1; p=2");
}

TEST(TlsClientTest, RefusalsSayWhatFailedAndSendNothing) {
  const TestPki& pki = TestPki::Shared();
  ServerTls tls_1_0_only = GoodTls();
  tls_1_0_only.min_version = TLS1_VERSION;
  tls_1_0_only.max_version = TLS1_VERSION;
  struct Case {
    const char* name;
    std::unique_ptr<ScriptedServer> server;
    std::string host = "127.0.0.1";
    std::string ca_file = TestPki::Shared().CaFile();
    const char* error;
    std::string message;
  };
  const auto tls = [](ServerTls with) {
    return std::make_unique<ScriptedServer>(std::move(with), std::vector<Script>{Script().Hold()});
  };
  const auto plain = [](Script script) {
    return std::make_unique<ScriptedServer>(std::vector<Script>{std::move(script)});
  };
  // A TLS record carrying a handshake message starts with these bytes.
  const std::string hello = "\x16\x03";
  std::vector<Case> cases;
  cases.push_back({"self-signed", tls(TlsWith(pki.SelfSigned())), "127.0.0.1", pki.CaFile(),
                   "TlsCertificateUntrustedError",
                   "TLS certificate not trusted: self-signed certificate"});
  cases.push_back({"issuer not trusted", tls(GoodTls()), "127.0.0.1", "",
                   "TlsCertificateUntrustedError",
                   "TLS certificate not trusted: unable to get local issuer certificate"});
  cases.push_back({"another host's address", tls(TlsWith(pki.OtherHost())), "127.0.0.1",
                   pki.CaFile(), "TlsHostMismatchError",
                   "TLS certificate does not match the host name \"127.0.0.1\""});
  cases.push_back({"another host's name", tls(TlsWith(pki.OtherHost())), "localhost", pki.CaFile(),
                   "TlsHostMismatchError",
                   "TLS certificate does not match the host name \"localhost\""});
  cases.push_back({"expired", tls(TlsWith(pki.Expired())), "127.0.0.1", pki.CaFile(),
                   "TlsCertificateExpiredError", "TLS certificate has expired"});
  cases.push_back({"not yet valid", tls(TlsWith(pki.NotYetValid())), "localhost", pki.CaFile(),
                   "TlsCertificateNotYetValidError", "TLS certificate is not yet valid"});
  // Browsers' rules: only subject alternative names count, keys and signatures of 112 bits of
  // security at least, and a CA's name constraints hold.
  cases.push_back({"the name in the common name only", tls(TlsWith(pki.CommonNameOnly())),
                   "localhost", pki.CaFile(), "TlsHostMismatchError",
                   "TLS certificate does not match the host name \"localhost\""});
  cases.push_back({"a 1024-bit RSA key", tls(TlsWith(pki.WeakKey())), "127.0.0.1", pki.CaFile(),
                   "TlsCertificateUntrustedError",
                   "TLS certificate not trusted: EE certificate key too weak"});
  cases.push_back({"signed with SHA-1", tls(TlsWith(pki.Sha1Signed())), "127.0.0.1", pki.CaFile(),
                   "TlsCertificateUntrustedError",
                   "TLS certificate not trusted: CA signature digest algorithm too weak"});
  cases.push_back({"beyond its CA's name constraints", tls(TlsWith(pki.BeyondConstraints())),
                   "localhost", pki.CaFile(), "TlsCertificateUntrustedError",
                   "TLS certificate not trusted: permitted subtree violation"});
  cases.push_back({"TLS 1.0 only", tls(tls_1_0_only), "127.0.0.1", pki.CaFile(),
                   "TlsProtocolVersionError",
                   "TLS protocol version refused: the server offers no TLS 1.2 or later"});
  cases.push_back({"closed during the handshake", plain(Script().AwaitText(hello).Close()),
                   "127.0.0.1", pki.CaFile(), "TlsHandshakeClosedError",
                   "Connection closed during the TLS handshake"});
  cases.push_back({"no answer to the handshake", plain(Script().Hold()), "127.0.0.1", pki.CaFile(),
                   "TlsHandshakeTimeoutError", "TLS handshake timed out."});
  cases.push_back({"garbage instead of a server hello",
                   plain(Script().AwaitText(hello).Send("HTTP/1.1 400 Bad Request\r\n\r\n").Hold()),
                   "127.0.0.1", pki.CaFile(), "TlsHandshakeError", "TLS handshake failed: "});
  cases.push_back({"CA file missing", tls(GoodTls()), "127.0.0.1", "/nonexistent/ca.pem",
                   "TlsCaFileError",
                   "Cannot load the CA file \"/nonexistent/ca.pem\": No such file or directory"});
  for (Case& c : cases) {
    SCOPED_TRACE(c.name);
    TlsClient fetch;
    fetch.client.SetCaFile(c.ca_file);
    fetch.client.SetConnectTimeout(1000);
    try {
      fetch.client.Get("https://" + c.host + ":" + std::to_string(c.server->Port()) + "/song.mp3");
      ADD_FAILURE() << "no exception";
    } catch (const net::NetError& error) {
      EXPECT_STREQ(error.ClassName(), c.error);
      EXPECT_EQ(std::string(error.what()).substr(0, c.message.size()), c.message);
    }
    // Nothing of the request went out, in plain text or otherwise.
    EXPECT_TRUE(c.server->Requests().empty());
    EXPECT_EQ(c.server->Received().find("GET "), std::string::npos);
    EXPECT_EQ(c.server->TlsHandshakes(), 0);
    EXPECT_FALSE(fetch.client.IsConnected());
  }
}

// A host as written in the URL: the Host header keeps it, the server name and the certificate
// check take it without a trailing dot, and an IPv6 address is checked as an address and never
// sent as a name.
TEST(TlsClientTest, ReachesAddressesAndNamesAsWritten) {
  struct Case {
    const char* name;
    std::string listen;
    std::string host;         // as in the URL
    std::string server_name;  // as the client sent it
  };
  const std::vector<Case> cases = {
      {"a name with a trailing dot", "127.0.0.1", "localhost.", "localhost"},
      {"an IPv6 address", "::1", "[::1]", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    if (c.listen == "::1" && !mevra::test::Ipv6LoopbackWorks()) {
      GTEST_SKIP() << "no IPv6 here: ::1 cannot be bound";
    }
    ScriptedServer server(ScriptedServer::Listen{c.listen}, GoodTls(),
                          {Script().Respond(Response("200 OK\r\nContent-Length: 2", "ok"))});
    TlsClient fetch;
    const std::string authority = c.host + ":" + std::to_string(server.Port());
    EXPECT_EQ(fetch.client.Get("https://" + authority + "/song.mp3"), "ok");
    EXPECT_EQ(server.Requests().at(0).headers["host"], authority);
    EXPECT_EQ(server.ServerNames(), std::vector<std::string>{c.server_name});
  }
}

TEST(TlsClientTest, ClientsMayShareOneTlsContext) {
  const auto shared = std::make_shared<net::TlsContext>(TestPki::Shared().CaFile());
  ScriptedServer server(GoodTls(),
                        {Script().Respond(Response("200 OK\r\nContent-Length: 1", "a")),
                         Script().Respond(Response("200 OK\r\nContent-Length: 1", "b"))});
  HttpClient first;
  HttpClient second;
  for (HttpClient* client : {&first, &second}) {
    ApplyProgramConfiguration(*client);
    client->SetTlsContext(shared);
    EXPECT_EQ(client->CaFile(), TestPki::Shared().CaFile());
  }
  EXPECT_EQ(first.Get(server.Url("/")), "a");
  EXPECT_EQ(second.Get(server.Url("/")), "b");
  // A CA file of its own replaces the shared context's for the connections that follow.
  second.CloseConnection();
  second.SetCaFile("");
  EXPECT_THROW(second.Get(server.Url("/")), net::TlsCertificateUntrustedError);
}

// The process keeps one context per CA file, as every download of a batch has a client of its
// own: the system's store is loaded once, not once per song.
TEST(TlsClientTest, ClientsOfOneCaFileShareTheProcesssContext) {
  ScriptedServer server(GoodTls(), {});
  server.Serve("/", "text/plain", "ok");
  std::vector<std::shared_ptr<net::TlsContext>> used;
  for (int i = 0; i < 2; ++i) {
    TlsClient fetch;
    EXPECT_EQ(fetch.client.Get(server.Url("/")), "ok");
    used.push_back(fetch.client.TlsSettings());
  }
  EXPECT_NE(used[0], nullptr);
  EXPECT_EQ(used[0], used[1]);
  EXPECT_NE(net::TlsContext::Shared(""), used[0]);

  // A CA file written anew is read anew; a missing one says so each time.
  const std::string copy = TestPki::Shared().CaFile() + ".copy";
  std::ofstream(copy) << TestPki::Shared().Ca().certificate;
  const auto before = net::TlsContext::Shared(copy);
  EXPECT_EQ(net::TlsContext::Shared(copy), before);
  std::ofstream(copy) << TestPki::Shared().Ca().certificate << TestPki::Shared().Ca().certificate;
  EXPECT_NE(net::TlsContext::Shared(copy), before);
  std::remove(copy.c_str());
  EXPECT_THROW(net::TlsContext::Shared(copy), net::TlsCaFileError);
}

TEST(TlsClientTest, AHandlerGivenFromOutsideMustSpeakTlsForHttps) {
  ScriptedServer server({Script().Respond(Response("200 OK\r\nContent-Length: 5", "wrong"))});
  HttpClient client;
  ApplyProgramConfiguration(client);
  client.SetIOHandler(std::make_shared<net::SocketIoHandler>());
  try {
    client.Get("https://127.0.0.1:" + std::to_string(server.Port()) + "/");
    ADD_FAILURE() << "no exception";
  } catch (const IoHandlerPropInvalidError& error) {
    EXPECT_STREQ(error.what(), "IOHandler value is not valid");
  }
  EXPECT_EQ(server.ConnectionsAccepted(), 0);
}

}  // namespace
}  // namespace mevra::http
