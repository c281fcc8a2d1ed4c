#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "net/net_error.h"
#include "net/socket_io_handler.h"
#include "net/tcp_client.h"
#include "tests/net/script_server.h"
#include "tests/net/test_support.h"

namespace mevra::net::testing {
namespace {

const char kRefusedText[] = "Socket Error # 10061\r\nConnection refused.";

TEST(TcpConnect, RefusedConnectThreadedAndDirect) {
  const int port = ClosedPort();
  {
    RecordingAntiFreeze anti_freeze;
    TcpClient client;
    client.SetHost("127.0.0.1");
    client.SetPort(port);
    try {
      client.OpenConnection(0);
      FAIL() << "no error";
    } catch (const ConnectError& error) {
      EXPECT_STREQ(error.what(), kRefusedText);
      EXPECT_STREQ(error.ClassName(), "ConnectError");
    }
  }
  TcpClient client;
  client.SetHost("127.0.0.1");
  client.SetPort(port);
  try {
    client.OpenConnection(0);
    FAIL() << "no error";
  } catch (const SocketError& error) {
    EXPECT_EQ(error.ErrorCode(), 10061);
    EXPECT_STREQ(error.what(), kRefusedText);
  }
}

TEST(TcpConnect, StatusReportsDependOnTheHostForm) {
  struct Case {
    std::string host;
    bool resolves;
    std::vector<std::string> statuses;
  };
  const std::vector<Case> cases = {
      {"127.0.0.1", true, {"Connecting to 127.0.0.1.", "Connected."}},
      {"LocalHost",
       true,
       {"Resolving hostname LocalHost.", "Connecting to 127.0.0.1.", "Connected."}},
      {"no-such-host.invalid", false, {"Resolving hostname no-such-host.invalid."}},
  };
  for (const Case& c : cases) {
    ScriptServer server;
    server.HoldOpen().Start();
    TcpClient client;
    std::vector<std::string> statuses;
    client.OnStatus = [&](NetComponent&, NetStatus, const std::string& text) {
      statuses.push_back(text);
    };
    client.SetHost(c.host);
    client.SetPort(server.Port());
    if (c.resolves) {
      client.OpenConnection();
      EXPECT_TRUE(client.IsConnected());
    } else {
      try {
        client.OpenConnection();
        FAIL() << "no error";
      } catch (const SocketError& error) {
        EXPECT_EQ(error.ErrorCode(), 11001);
        EXPECT_STREQ(error.what(), "Socket Error # 11001\r\nHost not found.");
      }
    }
    EXPECT_EQ(statuses, c.statuses) << c.host;
  }
}

TEST(TcpConnect, UnansweredConnectTimesOutAndLeavesNoThread) {
  UnansweredListener listener;
  RecordingAntiFreeze anti_freeze;
  anti_freeze.SetIdleTimeOut(40);
  const int threads_before = ThreadCount();
  auto handler = std::make_shared<SocketIoHandler>();
  handler->SetConnectTimeLimit(300);
  TcpClient client;
  client.SetIOHandler(handler);
  client.SetHost("127.0.0.1");
  client.SetPort(listener.Port());
  try {
    client.OpenConnection();
    FAIL() << "no error";
  } catch (const ConnectTimeoutError& error) {
    EXPECT_STREQ(error.what(), "Connect timed out.");
  }
  EXPECT_EQ(ThreadCount(), threads_before);
  // Each slice of the connect pumped.
  EXPECT_GE(anti_freeze.pumps, 300 / 40 - 1);
  EXPECT_FALSE(handler->HasOpenSocket());
  EXPECT_EQ(client.IOHandler(), handler);
}

TEST(TcpConnect, FailedOpenKeepsItsHandlerForTheNextAttempt) {
  TcpClient client;
  client.SetHost("127.0.0.1");
  client.SetPort(ClosedPort());
  EXPECT_THROW(client.OpenConnection(), SocketError);
  const std::shared_ptr<IoHandler> handler = client.IOHandler();
  ASSERT_NE(handler, nullptr);
  EXPECT_TRUE(client.OwnsIOHandler());
  EXPECT_FALSE(client.IsConnected());

  ScriptServer server;
  server.Send("hello\n").HoldOpen().Start();
  client.SetPort(server.Port());
  client.OpenConnection();
  EXPECT_EQ(client.IOHandler(), handler);
  EXPECT_EQ(client.ReadLine(), "hello");

  try {
    client.OpenConnection();
    FAIL() << "no error";
  } catch (const AlreadyConnectedError& error) {
    EXPECT_STREQ(error.what(), "Already connected.");
  }
  EXPECT_TRUE(client.IsConnected());
  client.CloseConnection();
  EXPECT_EQ(client.IOHandler(), nullptr);
}

TEST(TcpConnect, ReconnectDiscardsWhatTheOldConnectionLeftBuffered) {
  ScriptServer first;
  first.Send("left over").Close().Start();
  auto client = ConnectTo(first.Port());
  first.Join();
  // One poll takes the bytes, a later one notices the close.
  for (int i = 0; i < 10 && !client->PeerClosed(); ++i) client->PollForClose(false);
  ASSERT_TRUE(client->PeerClosed());
  ASSERT_GT(client->InputBuffer().Size(), 0);
  ScriptServer second;
  second.Send("fresh\n").HoldOpen().Start();
  client->SetPort(second.Port());
  client->OpenConnection();
  EXPECT_FALSE(client->PeerClosed());
  EXPECT_EQ(client->ReadLine(), "fresh");
}

TEST(SocketIoHandler, ClosedHandlerRefusesIo) {
  ScriptServer server;
  server.HoldOpen().Start();
  SocketIoHandler handler;
  handler.PrepareBinding();
  handler.EstablishClient("127.0.0.1", server.Port(), 0, 0, 0, 0, "");
  EXPECT_TRUE(handler.HasOpenSocket());
  EXPECT_EQ(handler.Handle()->RemotePort(), server.Port());
  EXPECT_EQ(handler.Handle()->IP(), "127.0.0.1");
  handler.CloseBinding();
  char byte = 0;
  try {
    handler.ReceiveBytes(&byte, 1);
    FAIL() << "no error";
  } catch (const ClosedSocketError& error) {
    EXPECT_STREQ(error.what(), "Disconnected.");
  }
  EXPECT_THROW(handler.SendBytes(&byte, 1), ClosedSocketError);
  EXPECT_THROW(handler.WaitReadable(10), ConnClosedGracefullyError);
}

TEST(SocketIoHandler, BindToAnAddressInUseIsReportedAsSuch) {
  ScriptServer server;
  server.HoldOpen().Start();
  TcpClient first;
  first.SetHost("127.0.0.1");
  first.SetPort(server.Port());
  first.OpenConnection();
  auto* handler = static_cast<SocketIoHandler*>(first.IOHandler().get());
  TcpClient second;
  second.SetHost("127.0.0.1");
  second.SetPort(server.Port());
  second.SetBoundIP("127.0.0.1");
  second.SetBoundPort(handler->Handle()->Port());
  EXPECT_THROW(second.OpenConnection(), CouldNotBindSocketError);
}

}  // namespace
}  // namespace mevra::net::testing
