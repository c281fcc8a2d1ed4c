// Another thread ends a connection's blocking call through its abort latch: the call ends at
// once with an error, whatever it was waiting for, and the connection opens no socket later.
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <future>
#include <memory>
#include <string>
#include <thread>

#include "net/abort_latch.h"
#include "net/net_error.h"
#include "net/stream.h"
#include "tests/net/test_support.h"
#include "tests/support/scripted_server.h"
#include "tests/support/unanswered_listener.h"

namespace mevra::net::testing {
namespace {

using test::ScriptedServer;
using test::UnansweredListener;
using Script = test::ConnectionScript;

// Generous: the call must end because of the trip, long before this.
constexpr auto kEndsWithin = std::chrono::seconds(20);

TEST(AbortLatch, TrippingFromAnotherThreadEndsEveryKindOfBlockingCall) {
  struct Case {
    const char* name;
    // The server's script; none means a listener whose backlog is full.
    std::unique_ptr<Script> script;
    std::function<void(TcpClient&)> call;
  };
  Case cases[] = {
      {"a wait for a line that never comes", std::make_unique<Script>(Script().Hold()),
       [](TcpClient& client) { client.ReadLine(); }},
      {"a counted read that stalls half way",
       std::make_unique<Script>(Script().Send(Pattern(100000)).Hold()),
       [](TcpClient& client) {
         MemoryStream stream;
         client.ReadToStream(stream, 200000, false);
       }},
      {"a connect nobody answers", nullptr, [](TcpClient& client) { client.OpenConnection(-2); }},
  };
  for (Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::unique_ptr<ScriptedServer> server;
    std::unique_ptr<UnansweredListener> listener;
    TcpClient client;
    client.SetHost("127.0.0.1");
    if (c.script) {
      server = std::make_unique<ScriptedServer>(std::vector<Script>{*c.script});
      client.SetPort(server->Port());
    } else {
      listener = std::make_unique<UnansweredListener>();
      client.SetPort(listener->Port());
    }
    auto latch = std::make_shared<AbortLatch>();
    client.SetAbortLatch(latch);
    if (c.script) client.OpenConnection();

    std::promise<std::string> ended;
    std::thread worker([&] {
      try {
        c.call(client);
        ended.set_value("no error");
      } catch (const NetError& error) {
        ended.set_value(error.ClassName());
      }
    });
    std::future<std::string> outcome = ended.get_future();
    // The call is blocked (or about to block); either way the trip must end it.
    EXPECT_EQ(outcome.wait_for(std::chrono::milliseconds(100)), std::future_status::timeout);
    latch->Trip();
    const bool done = outcome.wait_for(kEndsWithin) == std::future_status::ready;
    if (!done) client.CloseConnection();  // so the test can end
    worker.join();
    ASSERT_TRUE(done);
    EXPECT_NE(outcome.get(), "no error");
  }
}

TEST(AbortLatch, ATrippedLatchRefusesTheNextConnectionBeforeAnythingIsSent) {
  ScriptedServer server({Script().Hold()});
  auto latch = std::make_shared<AbortLatch>();
  latch->Trip();
  TcpClient client;
  client.SetHost("127.0.0.1");
  client.SetPort(server.Port());
  client.SetAbortLatch(latch);
  EXPECT_THROW(client.OpenConnection(), ClosedSocketError);
  EXPECT_FALSE(client.IsConnected());
  EXPECT_EQ(server.ConnectionsAccepted(), 0);
  // A latch set on a connection whose handler exists already reaches its next socket too.
  TcpClient reused;
  reused.SetHost("127.0.0.1");
  reused.SetPort(server.Port());
  reused.OpenConnection();
  reused.CloseConnection();
  reused.SetAbortLatch(latch);
  EXPECT_THROW(reused.OpenConnection(), ClosedSocketError);
}

}  // namespace
}  // namespace mevra::net::testing
