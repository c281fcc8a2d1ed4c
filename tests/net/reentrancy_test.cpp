#include <gtest/gtest.h>

#include <memory>
#include <thread>

#include "net/net_error.h"
#include "net/stream.h"
#include "tests/net/test_support.h"
#include "tests/support/loopback.h"
#include "tests/support/scripted_server.h"
#include "tests/support/unanswered_listener.h"

namespace mevra::net::testing {
namespace {

using test::ScriptedServer;
using test::ThreadCount;
using test::UnansweredListener;
using Script = test::ConnectionScript;

// A handler run by a pump closes or destroys the connection whose call is waiting.
TEST(PumpDuringWait, ClosingOrDestroyingTheConnectionEndsAReadWait) {
  for (bool destroy : {false, true}) {
    SCOPED_TRACE(destroy ? "destroy" : "close");
    ScriptedServer server({Script().Hold()});  // nothing arrives: the read waits slice after slice
    RecordingAntiFreeze anti_freeze;
    anti_freeze.SetIdleTimeOut(20);
    std::unique_ptr<TcpClient> client = ConnectTo(server.Port());
    anti_freeze.pumps = 0;  // the connect's slices pumped too
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
    EXPECT_EQ(anti_freeze.pumps, 3);
  }
}

TEST(PumpDuringWait, CloseEndsABodyReadUntilCloseNormally) {
  ScriptedServer server({Script().Send("partial").Hold()});
  RecordingAntiFreeze anti_freeze;
  anti_freeze.SetIdleTimeOut(20);
  auto client = ConnectTo(server.Port());
  anti_freeze.on_pump = [&] { client->CloseConnection(); };
  MemoryStream stream;
  EXPECT_NO_THROW(client->ReadToStream(stream, -1, true));
  EXPECT_EQ(stream.Data(), "partial");
}

TEST(PumpDuringWait, AnAntiFreezeDestroyedDuringAnEndlessWaitLeavesAPlainWait) {
  ScriptedServer server({Script().AwaitText("go\r\n").Send("late\n").Hold()});
  auto anti_freeze = std::make_unique<RecordingAntiFreeze>();
  anti_freeze->SetIdleTimeOut(20);
  auto client = ConnectTo(server.Port());
  anti_freeze->on_pump = [&] {
    client->WriteLine("go");
    anti_freeze.reset();
  };
  EXPECT_EQ(client->ReadLine(), "late");
}

TEST(PumpDuringWait, DestroyingTheConnectionDuringASendPump) {
  ScriptedServer server({Script().Hold()});
  RecordingAntiFreeze anti_freeze;
  anti_freeze.SetOnlyWhenIdle(false);  // pump after every send
  auto client = ConnectTo(server.Port());
  anti_freeze.on_pump = [&] { client.reset(); };
  EXPECT_THROW(client->WriteLine("request"), NotConnectedError);
}

TEST(PumpDuringWait, ClosingOrDestroyingTheConnectionDuringConnectSlices) {
  for (bool destroy : {false, true}) {
    SCOPED_TRACE(destroy ? "destroy" : "close");
    UnansweredListener listener;
    RecordingAntiFreeze anti_freeze;
    anti_freeze.SetIdleTimeOut(20);
    const int threads_before = ThreadCount();
    auto client = std::make_unique<TcpClient>();
    client->SetHost("127.0.0.1");
    client->SetPort(listener.Port());
    anti_freeze.on_pump = [&] {
      if (anti_freeze.pumps == 2) destroy ? client.reset() : client->CloseConnection();
    };
    try {
      client->OpenConnection();
      FAIL() << "no error";
    } catch (const NetError& error) {
      EXPECT_STREQ(error.ClassName(), destroy ? "NotConnectedError" : "ClosedSocketError");
    }
    EXPECT_EQ(ThreadCount(), threads_before);
  }
}

TEST(WaitSlices, RemainderFirstThenWholeSlicesEachFollowedByAPump) {
  ScriptedServer server({Script().Hold()});
  RecordingAntiFreeze anti_freeze;
  anti_freeze.SetIdleTimeOut(30);
  auto client = ConnectTo(server.Port());
  anti_freeze.pumps = 0;
  client->SetReadTimeout(4 * 30 + 10);
  EXPECT_THROW(client->ReadLine(), ReadTimeoutError);
  EXPECT_EQ(anti_freeze.pumps, 5);
  // Without an anti-freeze in force the same wait is one select and no pump.
  anti_freeze.SetActive(false);
  EXPECT_THROW(client->ReadLine(), ReadTimeoutError);
  EXPECT_EQ(anti_freeze.pumps, 5);
}

TEST(WaitSlices, DataFoundInASlicePumpsOnlyWhenNotIdleOnly) {
  for (bool only_when_idle : {true, false}) {
    SCOPED_TRACE(only_when_idle ? "only when idle" : "at every wait point");
    ScriptedServer server({Script().Send("ready\n").Hold()});
    RecordingAntiFreeze anti_freeze;
    anti_freeze.SetOnlyWhenIdle(only_when_idle);
    anti_freeze.SetIdleTimeOut(5000);  // the data surely arrives within the first slice
    auto client = ConnectTo(server.Port());
    anti_freeze.pumps = 0;
    EXPECT_EQ(client->ReadLine(), "ready");
    EXPECT_EQ(anti_freeze.pumps, only_when_idle ? 0 : 1);
  }
}

TEST(WaitSlices, AWorkerThreadNeverPumps) {
  ScriptedServer server({Script().Hold()});
  RecordingAntiFreeze anti_freeze;
  anti_freeze.SetIdleTimeOut(10);
  std::thread worker([&] {
    auto client = ConnectTo(server.Port());
    client->SetReadTimeout(60);
    EXPECT_THROW(client->ReadLine(), ReadTimeoutError);
  });
  worker.join();
  EXPECT_EQ(anti_freeze.pumps, 0);
}

}  // namespace
}  // namespace mevra::net::testing
