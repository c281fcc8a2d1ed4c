#include <gtest/gtest.h>

#include <atomic>
#include <csignal>
#include <memory>
#include <thread>

#include <pthread.h>

#include "net/net_error.h"
#include "net/socket_io_handler.h"
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

// The same when the pump runs after a receive that found the bytes there without a wait.
TEST(PumpDuringWait, ClosingOrDestroyingTheConnectionInThePumpAfterAReceive) {
  for (bool destroy : {false, true}) {
    SCOPED_TRACE(destroy ? "destroy" : "close");
    ScriptedServer server({Script().Send("no line end").Close()});
    std::unique_ptr<TcpClient> client = ConnectTo(server.Port());
    ASSERT_TRUE(server.Join());
    RecordingAntiFreeze anti_freeze;
    anti_freeze.SetOnlyWhenIdle(false);  // a pump after every receive
    anti_freeze.on_pump = [&] { destroy ? client.reset() : client->CloseConnection(); };
    if (destroy) {
      EXPECT_THROW(client->ReadLine(), NotConnectedError);
    } else {
      EXPECT_THROW(client->ReadLine(), ConnClosedGracefullyError);
      EXPECT_FALSE(client->IsConnected());
    }
    EXPECT_EQ(anti_freeze.pumps, 1);
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

TEST(WaitSlices, LongTimeOutsAndSlicesOfZeroOrLessNeitherRecurseNorSpin) {
  struct Case {
    const char* name;
    int32_t idle_time_out;
    int32_t read_timeout;
    bool data_comes;
    int max_pumps;
  };
  const std::vector<Case> cases = {
      {"time-out of 10^8 ms", 20, 100000000, true, 1000},
      {"time-out of 2*10^9 ms", 20, 2000000000, true, 1000},
      {"no limit, slices of 0 ms", 0, 0, true, 50},
      {"no limit, slices of -1 ms", -1, 0, true, 50},
      {"100 ms, slices of 0 ms", 0, 100, false, 5},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ScriptedServer server(
        {c.data_comes ? Script().Pause(300).Send("late\n").Hold() : Script().Hold()});
    RecordingAntiFreeze anti_freeze;
    auto client = ConnectTo(server.Port());
    anti_freeze.SetIdleTimeOut(c.idle_time_out);
    anti_freeze.pumps = 0;
    client->SetReadTimeout(c.read_timeout);
    if (c.data_comes) {
      EXPECT_EQ(client->ReadLine(), "late");
    } else {
      EXPECT_THROW(client->ReadLine(), ReadTimeoutError);
    }
    EXPECT_LE(anti_freeze.pumps, c.max_pumps);
  }
}

TEST(WaitSlices, ConnectSlicesOfZeroOrLessDoNotSpin) {
  for (int32_t idle_time_out : {0, -1}) {
    SCOPED_TRACE(idle_time_out);
    UnansweredListener listener;
    RecordingAntiFreeze anti_freeze;
    anti_freeze.SetIdleTimeOut(idle_time_out);
    auto handler = std::make_shared<SocketIoHandler>();
    handler->SetConnectTimeLimit(300);
    TcpClient client;
    client.SetIOHandler(handler);
    client.SetHost("127.0.0.1");
    client.SetPort(listener.Port());
    EXPECT_THROW(client.OpenConnection(), ConnectTimeoutError);
    EXPECT_LE(anti_freeze.pumps, 20);
  }
}

TEST(WaitSlices, ASignalDuringAWaitIsNoTimeOut) {
  struct sigaction ignore {};
  ignore.sa_handler = [](int) {};
  sigemptyset(&ignore.sa_mask);
  struct sigaction saved {};
  ASSERT_EQ(::sigaction(SIGUSR1, &ignore, &saved), 0);
  for (bool anti_freeze_in_force : {false, true}) {
    SCOPED_TRACE(anti_freeze_in_force ? "in slices" : "one wait");
    ScriptedServer server({Script().Pause(300).Send("late\n").Hold()});
    std::unique_ptr<RecordingAntiFreeze> anti_freeze;
    if (anti_freeze_in_force) {
      anti_freeze = std::make_unique<RecordingAntiFreeze>();
      anti_freeze->SetIdleTimeOut(5000);
    }
    auto client = ConnectTo(server.Port());
    client->SetReadTimeout(20000);
    struct Signaller {
      std::atomic<bool> done{false};
      std::thread thread;
      explicit Signaller(pthread_t reader) {
        thread = std::thread([this, reader] {
          while (!done) {
            ::pthread_kill(reader, SIGUSR1);
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
          }
        });
      }
      ~Signaller() {
        done = true;
        thread.join();
      }
    } signaller(::pthread_self());
    EXPECT_EQ(client->ReadLine(), "late");
  }
  ::sigaction(SIGUSR1, &saved, nullptr);
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
