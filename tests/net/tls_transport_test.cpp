#include <gtest/gtest.h>

#include <openssl/ssl.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "net/limits.h"
#include "net/net_error.h"
#include "net/socket_io_handler.h"
#include "net/stream.h"
#include "net/tls_context.h"
#include "net/tls_error.h"
#include "net/tls_io_handler.h"
#include "tests/net/test_support.h"
#include "tests/support/scripted_server.h"
#include "tests/support/test_pki.h"

namespace mevra::net::testing {
namespace {

using test::ScriptedServer;
using test::ServerTls;
using test::TestPki;
using Script = test::ConnectionScript;

ServerTls GoodTls() {
  return {TestPki::Shared().Server().certificate, TestPki::Shared().Server().key};
}

std::shared_ptr<TlsIoHandler> TrustingHandler() {
  return std::make_shared<TlsIoHandler>(std::make_shared<TlsContext>(TestPki::Shared().CaFile()));
}

// A client over TLS to the loopback server at `port`, trusting the test CA.
std::unique_ptr<TcpClient> TlsConnectTo(int port, std::shared_ptr<TlsIoHandler> handler = nullptr,
                                        int32_t timeout = -1) {
  auto client = std::make_unique<TcpClient>();
  client->SetIOHandler(handler ? handler : TrustingHandler());
  client->SetHost("127.0.0.1");
  client->SetPort(port);
  client->OpenConnection(timeout);
  return client;
}

// The same reads give the same lines, bytes and work events over TLS as over plain TCP,
// however the server's writes (and so its records) are cut.
TEST(TlsTransport, ReadsAndWorkEventsAreThoseOfPlainTcp) {
  const int64_t size = 3 * kRecvBufferSize + 1700;
  const std::string body = Pattern(static_cast<size_t>(size));
  for (const bool tls : {false, true}) {
    for (const unsigned seed : {0u, 5u}) {
      SCOPED_TRACE(std::string(tls ? "TLS" : "plain") + " split " + std::to_string(seed));
      const Script script =
          Script().Send("first line\r\nsecond\n").AwaitText("more\r\n").Send(body).Hold();
      auto server =
          tls ? std::make_unique<ScriptedServer>(GoodTls(), std::vector{script}, seed, 3000)
              : std::make_unique<ScriptedServer>(std::vector{script}, seed, 3000);
      auto client = tls ? TlsConnectTo(server->Port()) : ConnectTo(server->Port());
      EXPECT_EQ(client->ReadLine(), "first line");
      EXPECT_EQ(client->ReadLine(), "second");
      client->WriteLine("more");
      WorkLog log(*client);
      MemoryStream stream;
      client->ReadToStream(stream, size);
      EXPECT_EQ(stream.Data(), body);
      EXPECT_EQ(log.entries,
                (std::vector<std::string>{"begin 0 100004", "work 0 32768", "work 0 65536",
                                          "work 0 98304", "work 0 100004", "end 0"}));
    }
  }
}

struct ReceiveCounts {
  int waits = 0;
  std::vector<int32_t> asked;  // what each receive asked for
};

// A socket handler of either kind that counts its waits and receives.
template <class Handler>
class CountingHandler : public Handler {
 public:
  template <class... Args>
  explicit CountingHandler(ReceiveCounts& counts, Args&&... args)
      : Handler(std::forward<Args>(args)...), counts_(counts) {}
  bool WaitReadable(int32_t ms) override { return ++counts_.waits, Handler::WaitReadable(ms); }
  int32_t ReceiveAvailable(void* buffer, int32_t length) override {
    counts_.asked.push_back(length);
    return Handler::ReceiveAvailable(buffer, length);
  }
  int32_t ReceiveBytes(void* buffer, int32_t length) override {
    counts_.asked.push_back(length);
    return Handler::ReceiveBytes(buffer, length);
  }

 private:
  ReceiveCounts& counts_;
};

// Bytes that have arrived are read without a wait: one receive of RecvBufferSize per block,
// one work event and one pump (as after a wait that found data) for each.
TEST(TlsTransport, ArrivedBlocksCostOneReceiveEachAndNoWait) {
  const std::string body = Pattern(5000);
  for (const bool tls : {false, true}) {
    SCOPED_TRACE(tls ? "TLS" : "plain");
    const Script script = Script().AwaitText("go\r\n").Send(body).Close();
    auto server = tls ? std::make_unique<ScriptedServer>(GoodTls(), std::vector{script})
                      : std::make_unique<ScriptedServer>(std::vector{script});
    ReceiveCounts counts;
    TcpClient client;
    if (tls) {
      client.SetIOHandler(std::make_shared<CountingHandler<TlsIoHandler>>(
          counts, std::make_shared<TlsContext>(TestPki::Shared().CaFile())));
    } else {
      client.SetIOHandler(std::make_shared<CountingHandler<SocketIoHandler>>(counts));
    }
    client.SetHost("127.0.0.1");
    client.SetPort(server->Port());
    client.OpenConnection();
    client.SetRecvBufferSize(1000);
    client.WriteLine("go");
    ASSERT_TRUE(server->Join());  // every byte is on its way before the read starts
    RecordingAntiFreeze anti_freeze;
    anti_freeze.SetOnlyWhenIdle(false);
    counts = ReceiveCounts();
    WorkLog log(client);
    MemoryStream stream;
    client.ReadToStream(stream, static_cast<int64_t>(body.size()));
    EXPECT_EQ(stream.Data(), body);
    EXPECT_EQ(counts.waits, 0);
    EXPECT_EQ(counts.asked, std::vector<int32_t>(5, 1000));
    EXPECT_EQ(anti_freeze.pumps, 5);
    EXPECT_EQ(log.entries,
              (std::vector<std::string>{"begin 0 5000", "work 0 1000", "work 0 2000", "work 0 3000",
                                        "work 0 4000", "work 0 5000", "end 0"}));
  }
}

TEST(TlsTransport, TakesTls12AndNewer) {
  struct Case {
    int max_version;
    const char* protocol;
  };
  for (const Case& c : {Case{TLS1_2_VERSION, "TLSv1.2"}, Case{0, "TLSv1.3"}}) {
    SCOPED_TRACE(c.protocol);
    ServerTls tls = GoodTls();
    tls.max_version = c.max_version;
    ScriptedServer server(tls, {Script().Send("hello\n").Hold()});
    auto handler = TrustingHandler();
    auto client = TlsConnectTo(server.Port(), handler);
    EXPECT_EQ(client->ReadLine(), "hello");
    EXPECT_EQ(handler->ProtocolVersion(), c.protocol);
  }
}

TEST(TlsTransport, BodiesEndByCloseStopOrReset) {
  const std::string body = Pattern(5 * kRecvBufferSize);
  {
    // The peer's close (with its close alert) ends a body read until close.
    ScriptedServer server(GoodTls(), {Script().SendPieces(body, 3, 5000).Close()});
    auto client = TlsConnectTo(server.Port());
    MemoryStream stream;
    client->ReadToStream(stream, -1, true);
    EXPECT_EQ(stream.Data(), body);
  }
  {
    // The stop button: the work handler closes the connection; the read ends after that block.
    ScriptedServer server(GoodTls(), {Script().Send(body).Hold()});
    auto client = TlsConnectTo(server.Port());
    WorkLog log(*client);
    client->OnWork = [&](NetComponent&, WorkMode, int32_t count) {
      log.entries.push_back("work " + std::to_string(count));
      if (count >= 2 * kRecvBufferSize) client->CloseConnection();
    };
    MemoryStream stream;
    EXPECT_NO_THROW(client->ReadToStream(stream, static_cast<int64_t>(body.size())));
    EXPECT_EQ(stream.Data(), body.substr(0, 2 * kRecvBufferSize));
    EXPECT_EQ(log.entries.back(), "end 0");
    EXPECT_FALSE(client->IsConnected());
    EXPECT_NO_THROW(client->CloseConnection());
  }
  {
    // A reset in the middle of a body reads as over plain TCP.
    ScriptedServer server(GoodTls(), {Script().Send(body.substr(0, 40000)).Pause(100).Reset()});
    auto client = TlsConnectTo(server.Port());
    MemoryStream stream;
    try {
      client->ReadToStream(stream, static_cast<int64_t>(body.size()));
      FAIL() << "no error";
    } catch (const SocketError& error) {
      EXPECT_EQ(error.ErrorCode(), 10054);
      EXPECT_STREQ(error.what(), "Socket Error # 10054\r\nConnection reset by peer.");
    }
    EXPECT_EQ(stream.Size(), kRecvBufferSize);
  }
}

TEST(TlsTransport, ReadTimeOutsAndPumpsAreThoseOfPlainTcp) {
  ScriptedServer server(GoodTls(), {Script().Hold()});
  RecordingAntiFreeze anti_freeze;
  anti_freeze.SetIdleTimeOut(40);
  auto client = TlsConnectTo(server.Port());
  client->SetReadTimeout(400);
  anti_freeze.pumps = 0;
  EXPECT_THROW(client->ReadLine(), ReadTimeoutError);
  EXPECT_GE(anti_freeze.pumps, 400 / 40 - 1);  // a pump after every slice
  // A poll for the peer's close neither waits nor raises on a silent peer.
  client->PollForClose(false);
  EXPECT_TRUE(client->IsConnected());
}

// A handler run by a pump closes or destroys the connection while it waits for a record.
TEST(TlsTransport, AClosingPumpEndsAReadWaitSafely) {
  for (const bool destroy : {false, true}) {
    SCOPED_TRACE(destroy ? "destroy" : "close");
    ScriptedServer server(GoodTls(), {Script().Send("par").Hold()});
    RecordingAntiFreeze anti_freeze;
    anti_freeze.SetIdleTimeOut(20);
    std::unique_ptr<TcpClient> client = TlsConnectTo(server.Port());
    anti_freeze.pumps = 0;
    anti_freeze.on_pump = [&] {
      if (anti_freeze.pumps < 3) return;
      anti_freeze.on_pump = nullptr;
      destroy ? client.reset() : client->CloseConnection();
    };
    if (destroy) {
      EXPECT_THROW(client->ReadLine(), NotConnectedError);
    } else {
      EXPECT_THROW(client->ReadLine(), ConnClosedGracefullyError);
      EXPECT_FALSE(client->IsConnected());
    }
  }
}

TEST(TlsTransport, TheHandshakeKeepsTheConnectTimeLimitAndPumps) {
  for (const bool anti_freeze_in_force : {true, false}) {
    SCOPED_TRACE(anti_freeze_in_force ? "anti-freeze" : "none");
    // Accepts the connection and never answers the client's hello.
    ScriptedServer server({Script().Hold()});
    std::unique_ptr<RecordingAntiFreeze> anti_freeze;
    if (anti_freeze_in_force) {
      anti_freeze = std::make_unique<RecordingAntiFreeze>();
      anti_freeze->SetIdleTimeOut(40);
    }
    auto handler = TrustingHandler();
    handler->SetConnectTimeLimit(400);
    try {
      // Time-out 0, as the program's clients pass it: the handler's limit, also for a direct
      // connect.
      TlsConnectTo(server.Port(), handler, 0);
      FAIL() << "no error";
    } catch (const TlsHandshakeTimeoutError& error) {
      EXPECT_STREQ(error.what(), "TLS handshake timed out.");
      EXPECT_NE(dynamic_cast<const ConnectTimeoutError*>(&error), nullptr);
    }
    EXPECT_FALSE(handler->HasOpenSocket());
    if (anti_freeze) {
      EXPECT_GE(anti_freeze->pumps, 400 / 40 - 1);
    }
  }
  {
    // A pumped handler that closes the connection ends the handshake as it ends a connect.
    ScriptedServer server({Script().Hold()});
    RecordingAntiFreeze anti_freeze;
    anti_freeze.SetIdleTimeOut(20);
    TcpClient client;
    client.SetIOHandler(TrustingHandler());
    client.SetHost("127.0.0.1");
    client.SetPort(server.Port());
    anti_freeze.on_pump = [&] {
      if (anti_freeze.pumps >= 3) client.CloseConnection();
    };
    EXPECT_THROW(client.OpenConnection(), ClosedSocketError);
    EXPECT_FALSE(client.IsConnected());
  }
}

}  // namespace
}  // namespace mevra::net::testing
