#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <thread>

#include "net/anti_freeze_base.h"
#include "net/net_error.h"
#include "net/socket_io_handler.h"
#include "net/stream.h"
#include "net/tcp_client.h"
#include "tests/net/script_server.h"
#include "tests/net/test_support.h"

namespace mevra::net::testing {
namespace {

// What a handler run by a pump does to the connection that is waiting.
enum class Intrusion { kClose, kDestroy };

TEST(PumpDuringWait, ClosingOrDestroyingTheWaitingConnectionEndsTheWait) {
  for (Intrusion intrusion : {Intrusion::kClose, Intrusion::kDestroy}) {
    ScriptServer server;
    server.HoldOpen().Start();  // nothing ever arrives: the read waits slice after slice
    RecordingAntiFreeze anti_freeze;
    anti_freeze.SetIdleTimeOut(20);
    std::unique_ptr<TcpClient> client = ConnectTo(server.Port());
    anti_freeze.pumps = 0;  // the connect's own slices pumped too
    anti_freeze.on_pump = [&] {
      if (anti_freeze.pumps < 3) return;
      anti_freeze.on_pump = nullptr;
      if (intrusion == Intrusion::kClose) {
        client->CloseConnection();
      } else {
        client.reset();
      }
    };
    if (intrusion == Intrusion::kClose) {
      EXPECT_THROW(client->ReadLine(), ConnClosedGracefullyError);
      EXPECT_FALSE(client->IsConnected());
    } else {
      EXPECT_THROW(client->ReadLine(), NotConnectedError);
      EXPECT_EQ(client, nullptr);
    }
    EXPECT_EQ(anti_freeze.pumps, 3);
  }
}

TEST(PumpDuringWait, CloseDuringWaitEndsABodyReadUntilClose) {
  ScriptServer server;
  server.Send("partial").HoldOpen().Start();
  RecordingAntiFreeze anti_freeze;
  anti_freeze.SetIdleTimeOut(20);
  auto client = ConnectTo(server.Port());
  anti_freeze.pumps = 0;
  anti_freeze.on_pump = [&] {
    if (anti_freeze.pumps >= 3) client->CloseConnection();
  };
  MemoryStream stream;
  EXPECT_NO_THROW(client->ReadToStream(stream, -1, true));
  EXPECT_EQ(stream.Data(), "partial");
}

TEST(PumpDuringWait, DestroyingTheConnectionDuringASendPump) {
  ScriptServer server;
  server.HoldOpen().Start();
  RecordingAntiFreeze anti_freeze;
  anti_freeze.SetOnlyWhenIdle(false);  // pump after every send
  auto client = ConnectTo(server.Port());
  anti_freeze.pumps = 0;
  anti_freeze.on_pump = [&] { client.reset(); };
  EXPECT_THROW(client->WriteLine("request"), NotConnectedError);
  EXPECT_EQ(client, nullptr);
}

TEST(PumpDuringWait, DestroyingTheConnectionDuringConnectSlices) {
  UnansweredListener listener;
  RecordingAntiFreeze anti_freeze;
  anti_freeze.SetIdleTimeOut(20);
  const int threads_before = ThreadCount();
  auto client = std::make_unique<TcpClient>();
  client->SetHost("127.0.0.1");
  client->SetPort(listener.Port());
  anti_freeze.on_pump = [&] {
    if (anti_freeze.pumps >= 2) client.reset();
  };
  EXPECT_THROW(client->OpenConnection(), NetError);
  EXPECT_EQ(client, nullptr);
  EXPECT_EQ(ThreadCount(), threads_before);
}

TEST(PumpDuringWait, ClosingTheConnectionDuringConnectSlices) {
  UnansweredListener listener;
  RecordingAntiFreeze anti_freeze;
  anti_freeze.SetIdleTimeOut(20);
  const int threads_before = ThreadCount();
  TcpClient client;
  client.SetHost("127.0.0.1");
  client.SetPort(listener.Port());
  anti_freeze.on_pump = [&] {
    if (anti_freeze.pumps >= 2) client.CloseConnection();
  };
  try {
    client.OpenConnection();
    FAIL() << "no error";
  } catch (const ClosedSocketError& error) {
    EXPECT_STREQ(error.what(), "Disconnected.");
  }
  EXPECT_FALSE(client.IsConnected());
  EXPECT_EQ(ThreadCount(), threads_before);
}

TEST(WaitSlices, RemainderFirstThenWholeSlicesEachFollowedByAPump) {
  ScriptServer server;
  server.HoldOpen().Start();
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

TEST(WaitSlices, DataFoundInASliceSkipsTheIdleOnlyPump) {
  for (bool only_when_idle : {true, false}) {
    ScriptServer server;
    server.Send("ready\n").HoldOpen().Start();
    RecordingAntiFreeze anti_freeze;
    anti_freeze.SetOnlyWhenIdle(only_when_idle);
    auto client = ConnectTo(server.Port());
    anti_freeze.pumps = 0;
    EXPECT_EQ(client->ReadLine(), "ready");
    // The data is there before the first slice ends: a pump only when told to pump always.
    EXPECT_EQ(anti_freeze.pumps, only_when_idle ? 0 : 1) << only_when_idle;
  }
}

TEST(WaitSlices, AWorkerThreadNeverPumps) {
  ScriptServer server;
  server.HoldOpen().Start();
  RecordingAntiFreeze anti_freeze;
  anti_freeze.SetIdleTimeOut(10);
  bool timed_out = false;
  std::thread worker([&] {
    EXPECT_FALSE(AntiFreezeBase::AntiFreezeInForce());
    auto client = ConnectTo(server.Port());
    client->SetReadTimeout(60);
    try {
      client->ReadLine();
    } catch (const ReadTimeoutError&) {
      timed_out = true;
    }
  });
  worker.join();
  EXPECT_TRUE(timed_out);
  EXPECT_EQ(anti_freeze.pumps, 0);
}

}  // namespace
}  // namespace mevra::net::testing
