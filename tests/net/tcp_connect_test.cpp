#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "net/net_error.h"
#include "net/socket_io_handler.h"
#include "tests/net/test_support.h"
#include "tests/support/loopback.h"
#include "tests/support/scripted_server.h"
#include "tests/support/unanswered_listener.h"

namespace mevra::net::testing {
namespace {

using test::ClosedPort;
using test::ScriptedServer;
using test::ThreadCount;
using test::UnansweredListener;
using Script = test::ConnectionScript;

// A socket bound to 127.0.0.1 at an ephemeral port without listening: connects to it are refused,
// and nothing else can listen there while it is open.
int BoundLoopbackSocket(int& port) {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    throw std::runtime_error("cannot bind on 127.0.0.1");
  }
  port = ntohs(address.sin_port);
  return fd;
}

TEST(TcpConnect, RefusedConnectThreadedAndDirect) {
  const int port = ClosedPort();
  for (bool anti_freeze_in_force : {true, false}) {
    SCOPED_TRACE(anti_freeze_in_force ? "threaded" : "direct");
    std::unique_ptr<RecordingAntiFreeze> anti_freeze;
    if (anti_freeze_in_force) anti_freeze = std::make_unique<RecordingAntiFreeze>();
    try {
      ConnectTo(port);
      FAIL() << "no error";
    } catch (const NetError& error) {
      EXPECT_STREQ(error.ClassName(), anti_freeze_in_force ? "ConnectError" : "SocketError");
      EXPECT_STREQ(error.what(), "Socket Error # 10061\r\nConnection refused.");
      const auto* socket_error = dynamic_cast<const SocketError*>(&error);
      EXPECT_EQ(socket_error != nullptr && socket_error->ErrorCode() == 10061,
                !anti_freeze_in_force);
    }
  }
}

TEST(TcpConnect, StatusReportsFollowTheHostForm) {
  struct Case {
    std::string host;
    std::vector<std::string> statuses;
  };
  const std::vector<Case> cases = {
      {"127.0.0.1", {"Connecting to 127.0.0.1.", "Connected."}},
      {"LocalHost", {"Resolving hostname LocalHost.", "Connecting to 127.0.0.1.", "Connected."}},
      {"no-such-host.invalid", {"Resolving hostname no-such-host.invalid."}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.host);
    ScriptedServer server({Script().Hold()});
    TcpClient client;
    std::vector<std::string> statuses;
    client.OnStatus = [&](NetComponent&, NetStatus, const std::string& text) {
      statuses.push_back(text);
    };
    client.SetHost(c.host);
    client.SetPort(server.Port());
    try {
      client.OpenConnection();
      EXPECT_TRUE(client.IsConnected());
    } catch (const SocketError& error) {
      EXPECT_EQ(error.ErrorCode(), 11001);
      EXPECT_STREQ(error.what(), "Socket Error # 11001\r\nHost not found.");
    }
    EXPECT_EQ(statuses, c.statuses);
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
  EXPECT_GE(anti_freeze.pumps, 300 / 40 - 1);  // every slice pumped
  EXPECT_FALSE(handler->HasOpenSocket());
  EXPECT_EQ(client.IOHandler(), handler);
}

TEST(TcpConnect, FailedOpenKeepsItsHandlerAndAnOpenConnectionStaysOpen) {
  TcpClient client;
  client.SetHost("127.0.0.1");
  client.SetPort(ClosedPort());
  EXPECT_THROW(client.OpenConnection(), SocketError);
  const std::shared_ptr<IoHandler> handler = client.IOHandler();
  ASSERT_NE(handler, nullptr);
  EXPECT_TRUE(client.OwnsIOHandler());

  ScriptedServer server({Script().Send("hello\n").Hold()});
  client.SetPort(server.Port());
  client.OpenConnection();
  EXPECT_EQ(client.IOHandler(), handler);
  try {
    client.OpenConnection();
    FAIL() << "no error";
  } catch (const AlreadyConnectedError& error) {
    EXPECT_STREQ(error.what(), "Already connected.");
  }
  EXPECT_EQ(client.ReadLine(), "hello");
  client.CloseConnection();
  EXPECT_EQ(client.IOHandler(), nullptr);
}

// A name's addresses are tried in turn ("localhost" is 127.0.0.1, then ::1), each after the one
// before failed or had its head start; an IPv6 address stands for itself.
TEST(TcpConnect, ReachesTheAddressOfANameThatAnswers) {
  if (!test::Ipv6LoopbackWorks()) GTEST_SKIP() << "no IPv6 here: ::1 cannot be bound";
  struct Case {
    const char* name;
    std::string host;
    bool threaded;
    bool ipv4_unanswered = false;
  };
  const std::vector<Case> cases = {
      {"an IPv6 address", "::1", false},
      {"the first address refuses, direct", "localhost", false},
      {"the first address refuses, threaded", "LocalHost.", true},
      {"the first address never answers, direct", "localhost", false, true},
      {"the first address never answers, threaded", "localhost", true, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    // The test holds 127.0.0.1 at the server's port itself, bound without listening (connects are
    // refused) or listening without answering, so that no other program's server on that port
    // can answer in its place; the ::1 server then takes the same port, another one if it is busy.
    std::unique_ptr<UnansweredListener> ipv4;
    std::unique_ptr<ScriptedServer> listening;
    int refusing = -1;
    for (int attempt = 0; !listening && attempt < 20; ++attempt) {
      int port = 0;
      if (c.ipv4_unanswered) {
        ipv4 = std::make_unique<UnansweredListener>("127.0.0.1", 0);
        port = ipv4->Port();
      } else {
        if (refusing >= 0) ::close(refusing);
        refusing = BoundLoopbackSocket(port);
      }
      try {
        listening =
            std::make_unique<ScriptedServer>(ScriptedServer::Listen{"::1", port}, std::nullopt,
                                             std::vector{Script().Send("hello\n").Hold()});
      } catch (const std::runtime_error&) {
      }
    }
    ASSERT_NE(listening, nullptr) << "no port free on both loopback addresses";
    ScriptedServer& server = *listening;
    std::unique_ptr<RecordingAntiFreeze> anti_freeze;
    if (c.threaded) anti_freeze = std::make_unique<RecordingAntiFreeze>();
    const int descriptors_before = test::DescriptorCount();
    auto handler = std::make_shared<SocketIoHandler>();
    handler->SetConnectTimeLimit(10000);
    TcpClient client;
    client.SetIOHandler(handler);
    client.SetHost(c.host);
    client.SetPort(server.Port());
    client.OpenConnection();
    EXPECT_EQ(client.ReadLine(), "hello");
    EXPECT_EQ(handler->Handle()->RemoteAddress(), "::1");
    // The losing attempts' sockets are closed; the connection stays, at both of its ends.
    EXPECT_EQ(test::DescriptorCount(), descriptors_before + 2);
    if (refusing >= 0) ::close(refusing);
  }
}

// Neither address answers: the connect limit holds for all attempts together, and nothing of
// them stays.
TEST(TcpConnect, ANameWhoseAddressesNeverAnswerTimesOutAndLeavesNothingOpen) {
  if (!test::Ipv6LoopbackWorks()) GTEST_SKIP() << "no IPv6 here: ::1 cannot be bound";
  UnansweredListener ipv6("::1");
  UnansweredListener ipv4("127.0.0.1", ipv6.Port());
  RecordingAntiFreeze anti_freeze;
  const int threads_before = ThreadCount();
  const int descriptors_before = test::DescriptorCount();
  auto handler = std::make_shared<SocketIoHandler>();
  handler->SetConnectTimeLimit(600);
  TcpClient client;
  client.SetIOHandler(handler);
  client.SetHost("localhost");
  client.SetPort(ipv6.Port());
  EXPECT_THROW(client.OpenConnection(), ConnectTimeoutError);
  EXPECT_EQ(ThreadCount(), threads_before);
  EXPECT_EQ(test::DescriptorCount(), descriptors_before);
}

TEST(SocketIoHandler, ClosedHandlerRefusesIo) {
  ScriptedServer server({Script().Hold()});
  SocketIoHandler handler;
  handler.EstablishClient("127.0.0.1", server.Port(), 0, 0, 0, 0, "");
  EXPECT_EQ(handler.Handle()->RemotePort(), server.Port());
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

}  // namespace
}  // namespace mevra::net::testing
