#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "net/limits.h"
#include "net/net_error.h"
#include "net/stream.h"
#include "tests/net/test_support.h"
#include "tests/support/scripted_server.h"

namespace mevra::net::testing {
namespace {

using test::ScriptedServer;
using Script = test::ConnectionScript;

TEST(TcpReadLine, LineEndingsSurviveArbitraryPieces) {
  struct Case {
    std::string wire;
    std::vector<std::string> lines;
  };
  const std::vector<Case> cases = {
      {"abc\r\n", {"abc"}},
      {"abc\n", {"abc"}},
      {"a\rb\n", {"a\rb"}},
      {"\n", {""}},
      {"HTTP/1.1 200 OK\r\nA: 1\r\n\r\n", {"HTTP/1.1 200 OK", "A: 1", ""}}};
  for (unsigned seed = 1; seed <= 3; ++seed) {
    for (const Case& c : cases) {
      SCOPED_TRACE(::testing::PrintToString(c.wire) + " split " + std::to_string(seed));
      ScriptedServer server({Script().SendPieces(c.wire, seed, 3).Hold()});
      auto client = ConnectTo(server.Port());
      for (const std::string& line : c.lines) EXPECT_EQ(client->ReadLine(), line);
      EXPECT_EQ(client->InputBuffer().Size(), 0);
    }
  }
}

TEST(TcpReadLine, LengthLimit) {
  struct Case {
    const char* name;
    std::string wire;
    MaxLineAction action;
    bool fails;
    std::string line;
  };
  const std::string longest(kMaxLineLength, 'x');
  const std::vector<Case> cases = {
      {"at the limit", longest + "\n", MaxLineAction::maException, false, longest},
      {"one beyond", longest + "x\n", MaxLineAction::maException, true, ""},
      // More than the limit buffered without a terminator fails before the line ends.
      {"beyond, unterminated", longest + "xxxxxxxx", MaxLineAction::maException, true, ""},
      {"split", longest + "xyz\n", MaxLineAction::maSplit, false, longest},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ScriptedServer server({Script().SendPieces(c.wire, 7, 4000).Hold()});
    auto client = ConnectTo(server.Port());
    client->SetMaxLineAction(c.action);
    if (c.fails) {
      EXPECT_THROW(client->ReadLine(), MaxLineLengthExceededError);
    } else {
      EXPECT_EQ(client->ReadLine(), c.line);
    }
  }
}

TEST(TcpReadLine, UnterminatedRestBeforeCloseIsEmptyThenClosed) {
  ScriptedServer server({Script().Send("one\ntail").Close()});
  auto client = ConnectTo(server.Port());
  EXPECT_EQ(client->ReadLine(), "one");
  EXPECT_EQ(client->ReadLine(), "");
  EXPECT_EQ(client->InputBuffer().View(), "tail");
  EXPECT_THROW(client->ReadLine(), ConnClosedGracefullyError);
}

TEST(TcpReadToStream, CountedBodyReportsBufferedPartThenEachBlock) {
  const int64_t size = 3 * kRecvBufferSize + 500;
  const size_t buffered = 1000;
  const std::string body = Pattern(size);
  ScriptedServer server({Script()
                             .Send("HEAD\n" + body.substr(0, buffered))
                             .AwaitText("go\r\n")
                             .SendPieces(body.substr(buffered), 11, 20000)
                             .Hold()});
  auto client = ConnectTo(server.Port());
  WorkLog log(*client);
  ASSERT_EQ(client->ReadLine(), "HEAD");
  ASSERT_EQ(client->InputBuffer().Size(), static_cast<int64_t>(buffered));
  client->WriteLine("go");
  MemoryStream stream;
  client->ReadToStream(stream, size);
  EXPECT_EQ(stream.Data(), body);
  std::vector<std::string> expected = {"begin 0 " + std::to_string(size)};
  for (int64_t total = buffered; total < size; total += kRecvBufferSize) {
    expected.push_back("work 0 " + std::to_string(total));
  }
  expected.insert(expected.end(), {"work 0 " + std::to_string(size), "end 0"});
  EXPECT_EQ(log.entries, expected);
}

TEST(TcpReadToStream, UntilCloseBeginsAtZeroAndLastPartialBlockHasNoEvent) {
  const std::string body = Pattern(2 * kRecvBufferSize + 1234);
  ScriptedServer server({Script().SendPieces(body, 5, 9000).Close()});
  auto client = ConnectTo(server.Port());
  WorkLog log(*client);
  MemoryStream stream;
  client->ReadToStream(stream, -1, true);
  EXPECT_EQ(stream.Data(), body);
  EXPECT_EQ(log.entries,
            (std::vector<std::string>{"begin 0 0", "work 0 32768", "work 0 65536", "end 0"}));
}

TEST(TcpReadToStream, CloseInsideOnWorkLeavesShortStreamWithoutError) {
  const std::string body = Pattern(4 * kRecvBufferSize);
  ScriptedServer server({Script().Send(body).Hold()});
  auto client = ConnectTo(server.Port());
  WorkLog log(*client);
  client->OnWork = [&](NetComponent&, WorkMode, int32_t) { client->CloseConnection(); };
  MemoryStream stream;
  EXPECT_NO_THROW(client->ReadToStream(stream, static_cast<int64_t>(body.size())));
  EXPECT_EQ(log.entries, (std::vector<std::string>{"begin 0 131072", "end 0"}));
  EXPECT_EQ(stream.Data(), body.substr(0, kRecvBufferSize));
  EXPECT_FALSE(client->IsConnected());
  EXPECT_NO_THROW(client->CloseConnection());
  // A read that the buffered rest cannot serve finds the connection closed.
  EXPECT_THROW(client->ReadExact(static_cast<int32_t>(client->InputBuffer().Size()) + 1),
               NotConnectedError);
}

TEST(TcpReadToStream, PeerCloseInsideCountedBodyKeepsCompleteBlocks) {
  const std::string bytes = Pattern(kRecvBufferSize + 5000);
  ScriptedServer server({Script().SendPieces(bytes, 3, 8000).Close()});
  auto client = ConnectTo(server.Port());
  WorkLog log(*client);
  MemoryStream stream;
  EXPECT_THROW(client->ReadToStream(stream, 100000), ConnClosedGracefullyError);
  EXPECT_EQ(stream.Data(), bytes.substr(0, kRecvBufferSize));
  EXPECT_EQ(client->InputBuffer().View(), bytes.substr(kRecvBufferSize));
  EXPECT_EQ(log.entries, (std::vector<std::string>{"begin 0 100000", "work 0 32768", "end 0"}));
}

// Records how the reader sizes its target, to see what a declared length makes it allocate.
class SizeRecordingStream : public MemoryStream {
 public:
  void SetSize(int64_t size) override {
    sizes.push_back(size);
    MemoryStream::SetSize(size);
  }
  std::vector<int64_t> sizes;
};

TEST(TcpReadToStream, DeclaredLengthIsPreallocatedOnlyUpToTheCap) {
  const std::vector<std::pair<int64_t, int64_t>> declared_and_presized = {
      {kMaxPreallocation, kMaxPreallocation},
      {kMaxPreallocation + 1, kMaxPreallocation},
      {int64_t{1} << 40, kMaxPreallocation}};
  for (const auto& [declared, presized] : declared_and_presized) {
    SCOPED_TRACE("declared " + std::to_string(declared));
    ScriptedServer server({Script().Send("only a few bytes").Close()});
    auto client = ConnectTo(server.Port());
    SizeRecordingStream stream;
    stream.Write("pre", 3);
    EXPECT_THROW(client->ReadToStream(stream, declared), ConnClosedGracefullyError);
    ASSERT_FALSE(stream.sizes.empty());
    EXPECT_EQ(stream.sizes.front(), 3 + presized);
    EXPECT_EQ(stream.Data(), "pre");  // cut back: no block arrived whole
  }
}

TEST(TcpConnectionState, PeerCloseIsNoticedOnceAndBufferedBytesStayReadable) {
  ScriptedServer server({Script().Send("abc").Close()});
  auto client = ConnectTo(server.Port());
  int disconnects = 0;
  client->OnDisconnected = [&](NetComponent&) { ++disconnects; };
  ASSERT_TRUE(server.Join());
  for (int i = 0; i < 3; ++i) client->PollForClose(false);
  EXPECT_FALSE(client->IsConnected());
  EXPECT_EQ(disconnects, 1);
  EXPECT_EQ(client->ReadExact(3), "abc");
  EXPECT_THROW(client->ReadExact(1), ConnClosedGracefullyError);
  EXPECT_THROW(client->WriteText("x"), ConnClosedGracefullyError);
}

TEST(TcpConnectionState, ResetIsASocketError) {
  ScriptedServer server({Script().AwaitText("ping\r\n").Reset()});
  auto client = ConnectTo(server.Port());
  client->WriteLine("ping");
  try {
    client->ReadLine();
    FAIL() << "no error";
  } catch (const SocketError& error) {
    EXPECT_STREQ(error.what(), "Socket Error # 10054\r\nConnection reset by peer.");
  }
}

TEST(TcpConnectionState, NeverOpenedConnectionRefusesIo) {
  TcpClient client;
  EXPECT_FALSE(client.IsConnected());
  EXPECT_THROW(client.ReadLine(), NotConnectedError);
  EXPECT_THROW(client.WriteText("x"), NotConnectedError);
  EXPECT_NO_THROW(client.CloseConnection());
}

TEST(TcpWrite, CollectedWritesGoOutInOrderWithoutWorkEvents) {
  ScriptedServer server({Script().AwaitText("END\r\n").Close()});
  auto client = ConnectTo(server.Port());
  WorkLog log(*client);
  client->StartWriteBuffering();
  client->WriteLine("GET / HTTP/1.1");
  client->WriteLine("Host: 127.0.0.1");
  client->EndWriteBuffering();
  client->StartWriteBuffering(8);
  client->WriteText("0123456789");  // over the threshold: the first 8 bytes go at once
  client->EndWriteBuffering();
  client->WriteLine("END");
  ASSERT_TRUE(server.Join());
  EXPECT_EQ(server.Received(), "GET / HTTP/1.1\r\nHost: 127.0.0.1\r\n0123456789END\r\n");
  EXPECT_TRUE(log.entries.empty());
}

}  // namespace
}  // namespace mevra::net::testing
