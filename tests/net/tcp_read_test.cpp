#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "net/limits.h"
#include "net/net_error.h"
#include "net/stream.h"
#include "net/tcp_client.h"
#include "tests/net/script_server.h"
#include "tests/net/test_support.h"

namespace mevra::net::testing {
namespace {

std::string Repeat(char c, size_t n) { return std::string(n, c); }

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
      {"HTTP/1.1 200 OK\r\nA: 1\r\n\r\n", {"HTTP/1.1 200 OK", "A: 1", ""}},
  };
  for (uint32_t seed = 1; seed <= 3; ++seed) {
    for (const Case& c : cases) {
      ScriptServer server;
      server.SendPieces(c.wire, seed, 3).HoldOpen().Start();
      auto client = ConnectTo(server.Port());
      for (const std::string& expected : c.lines) {
        EXPECT_EQ(client->ReadLine(), expected) << "wire " << c.wire << " seed " << seed;
      }
      EXPECT_EQ(client->InputBuffer().Size(), 0);
      client->CloseConnection();
    }
  }
}

TEST(TcpReadLine, LongestLineIsAcceptedAndOneMoreByteIsNot) {
  {
    ScriptServer server;
    server.SendPieces(Repeat('x', kMaxLineLength) + "\n", 7, 4000).HoldOpen().Start();
    auto client = ConnectTo(server.Port());
    EXPECT_EQ(client->ReadLine(), Repeat('x', kMaxLineLength));
  }
  {
    ScriptServer server;
    server.SendPieces(Repeat('x', kMaxLineLength + 1) + "\n", 7, 4000).HoldOpen().Start();
    auto client = ConnectTo(server.Port());
    EXPECT_THROW(client->ReadLine(), MaxLineLengthExceededError);
  }
}

TEST(TcpReadLine, FloodWithoutTerminatorFailsBeforeTheLineEnds) {
  ScriptServer server;
  // The line never ends while the client reads: the server holds the connection open.
  server.Send(Repeat('y', kMaxLineLength + 10)).HoldOpen().Start();
  auto client = ConnectTo(server.Port());
  try {
    client->ReadLine();
    FAIL() << "no error";
  } catch (const MaxLineLengthExceededError& error) {
    EXPECT_STREQ(error.what(), "Max line length exceeded.");
  }
}

TEST(TcpReadLine, SplitActionCutsTheLineAtTheLimit) {
  ScriptServer server;
  server.Send(Repeat('z', 25) + "\n").HoldOpen().Start();
  auto client = ConnectTo(server.Port());
  client->SetMaxLineAction(MaxLineAction::maSplit);
  EXPECT_EQ(client->ReadLine("\n", 10), Repeat('z', 10));
  EXPECT_EQ(client->ReadLine("\n", 10), Repeat('z', 10));
  EXPECT_EQ(client->ReadLine("\n", 10), Repeat('z', 5));
}

TEST(TcpReadLine, UnterminatedRestBeforeCloseIsEmptyThenClosed) {
  ScriptServer server;
  server.Send("one\ntail").Close().Start();
  auto client = ConnectTo(server.Port());
  EXPECT_EQ(client->ReadLine(), "one");
  EXPECT_EQ(client->ReadLine(), "");
  EXPECT_EQ(client->InputBuffer().View(), "tail");
  EXPECT_THROW(client->ReadLine(), ConnClosedGracefullyError);
}

TEST(TcpReadLine, LongerTerminatorSplitAcrossReceives) {
  ScriptServer server;
  server.Send("key=value\r").Pause(30).Send("\nnext\r\n").HoldOpen().Start();
  auto client = ConnectTo(server.Port());
  EXPECT_EQ(client->ReadLine("\r\n"), "key=value");
  EXPECT_EQ(client->ReadLine("\r\n"), "next");
}

// A counted body after a header line; `buffered` body bytes arrive with the header.
TEST(TcpReadToStream, CountedBodyReportsBufferedPartThenEachBlock) {
  const int64_t body_size = 3 * kRecvBufferSize + 500;
  const size_t buffered = 1000;
  const std::string body = Pattern(static_cast<size_t>(body_size));
  ScriptServer server;
  server.Send("HEAD\n" + body.substr(0, buffered))
      .AwaitText("go\r\n")
      .SendPieces(body.substr(buffered), 11, 20000)
      .HoldOpen()
      .Start();
  auto client = ConnectTo(server.Port());
  EventLog log;
  log.Attach(*client);
  ASSERT_EQ(client->ReadLine(), "HEAD");
  ASSERT_EQ(client->InputBuffer().Size(), static_cast<int64_t>(buffered));
  client->WriteLine("go");

  MemoryStream stream;
  client->ReadToStream(stream, body_size);
  EXPECT_EQ(stream.Data(), body);
  std::vector<std::string> expected = {"begin 0 " + std::to_string(body_size),
                                       "work 0 " + std::to_string(buffered)};
  for (int64_t total = buffered + kRecvBufferSize; total < body_size; total += kRecvBufferSize) {
    expected.push_back("work 0 " + std::to_string(total));
  }
  expected.push_back("work 0 " + std::to_string(body_size));
  expected.push_back("end 0");
  EXPECT_EQ(log.entries, expected);
}

TEST(TcpReadToStream, UntilCloseBeginsAtZeroAndLastPartialBlockHasNoEvent) {
  const std::string body = Pattern(2 * kRecvBufferSize + 1234);
  ScriptServer server;
  server.SendPieces(body, 5, 9000).Close().Start();
  auto client = ConnectTo(server.Port());
  EventLog log;
  log.Attach(*client);
  MemoryStream stream;
  client->ReadToStream(stream, -1, true);
  EXPECT_EQ(stream.Data(), body);
  const std::vector<std::string> expected = {"begin 0 0", "work 0 32768", "work 0 65536", "end 0"};
  EXPECT_EQ(log.entries, expected);
  EXPECT_FALSE(client->IsConnected());
}

TEST(TcpReadToStream, CloseInsideOnWorkLeavesShortStreamWithoutError) {
  const int64_t body_size = 4 * kRecvBufferSize;
  ScriptServer server;
  server.Send(Pattern(static_cast<size_t>(body_size))).HoldOpen().Start();
  auto client = ConnectTo(server.Port());
  int32_t reported = 0;
  bool ended = false;
  client->OnWork = [&](NetComponent&, WorkMode, int32_t count) {
    reported = count;
    client->CloseConnection();
  };
  client->OnWorkEnd = [&](NetComponent&, WorkMode) { ended = true; };
  MemoryStream stream;
  EXPECT_NO_THROW(client->ReadToStream(stream, body_size));
  EXPECT_TRUE(ended);
  EXPECT_EQ(stream.Size(), reported);
  EXPECT_LT(stream.Size(), body_size);
  EXPECT_EQ(stream.Data(), Pattern(static_cast<size_t>(body_size)).substr(0, stream.Size()));
  EXPECT_FALSE(client->IsConnected());
  EXPECT_EQ(client->IOHandler(), nullptr);
  EXPECT_NO_THROW(client->CloseConnection());
  // A later read that buffered bytes cannot serve finds the connection closed.
  const int64_t left = client->InputBuffer().Size();
  EXPECT_THROW(client->ReadExact(static_cast<int32_t>(left) + 1), NotConnectedError);
}

TEST(TcpReadToStream, PeerCloseInsideCountedBodyKeepsCompleteBlocks) {
  const size_t sent = kRecvBufferSize + 5000;
  const std::string bytes = Pattern(sent);
  ScriptServer server;
  server.SendPieces(bytes, 3, 8000).Close().Start();
  auto client = ConnectTo(server.Port());
  EventLog log;
  log.Attach(*client);
  MemoryStream stream;
  try {
    client->ReadToStream(stream, 100000);
    FAIL() << "no error";
  } catch (const ConnClosedGracefullyError& error) {
    EXPECT_STREQ(error.what(), "Connection Closed Gracefully.");
  }
  EXPECT_EQ(stream.Data(), bytes.substr(0, kRecvBufferSize));
  EXPECT_EQ(client->InputBuffer().View(), bytes.substr(kRecvBufferSize));
  const std::vector<std::string> expected = {"begin 0 100000", "work 0 32768", "end 0"};
  EXPECT_EQ(log.entries, expected);
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
  struct Case {
    int64_t declared;
    int64_t presized;
  };
  const std::vector<Case> cases = {
      {kMaxPreallocation, kMaxPreallocation},
      {kMaxPreallocation + 1, kMaxPreallocation},
      {int64_t{1} << 40, kMaxPreallocation},
  };
  for (const Case& c : cases) {
    ScriptServer server;
    server.Send("only a few bytes").Close().Start();
    auto client = ConnectTo(server.Port());
    SizeRecordingStream stream;
    stream.Write("pre", 3);
    EXPECT_THROW(client->ReadToStream(stream, c.declared), ConnClosedGracefullyError);
    ASSERT_FALSE(stream.sizes.empty());
    EXPECT_EQ(stream.sizes.front(), 3 + c.presized) << c.declared;
    // Nothing of a block arrived whole, so the stream is cut back to what was there.
    EXPECT_EQ(stream.Data(), "pre");
    EXPECT_EQ(client->InputBuffer().View(), "only a few bytes");
  }
}

TEST(TcpReadToStream, CountFromTheWireAndExactReads) {
  ScriptServer server;
  server.Send(std::string("\0\0\0\5hello", 9) + "\x01\x02\x03\x04" + "rest").HoldOpen().Start();
  auto client = ConnectTo(server.Port());
  MemoryStream stream;
  client->ReadToStream(stream);
  EXPECT_EQ(stream.Data(), "hello");
  EXPECT_EQ(client->ReadInt32(true), 0x01020304);
  EXPECT_EQ(client->ReadExact(4), "rest");
}

TEST(TcpConnectionState, PeerCloseKeepsBufferedBytesReadable) {
  ScriptServer server;
  server.Send("abc").Close().Start();
  auto client = ConnectTo(server.Port());
  int disconnects = 0;
  client->OnDisconnected = [&](NetComponent&) { ++disconnects; };
  server.Join();
  // The close is noticed once, and the bytes before it stay readable.
  client->PollForClose(false);
  client->PollForClose(false);
  EXPECT_FALSE(client->IsConnected());
  EXPECT_TRUE(client->PeerClosed());
  EXPECT_EQ(disconnects, 1);
  EXPECT_EQ(client->ReadExact(3), "abc");
  EXPECT_THROW(client->ReadExact(1), ConnClosedGracefullyError);
  EXPECT_THROW(client->WriteText("x"), ConnClosedGracefullyError);
}

TEST(TcpConnectionState, ResetWithNothingBufferedIsASocketError) {
  ScriptServer server;
  server.AwaitText("ping\r\n").Reset().Start();
  auto client = ConnectTo(server.Port());
  client->WriteLine("ping");
  try {
    client->ReadLine();
    FAIL() << "no error";
  } catch (const SocketError& error) {
    EXPECT_EQ(error.ErrorCode(), 10054);
    EXPECT_STREQ(error.what(), "Socket Error # 10054\r\nConnection reset by peer.");
  }
}

TEST(TcpConnectionState, NeverOpenedAndClosedConnectionsRefuseIo) {
  TcpClient client;
  EXPECT_FALSE(client.IsConnected());
  EXPECT_THROW(client.FillInputBuffer(), NotConnectedError);
  EXPECT_THROW(client.WriteText("x"), NotConnectedError);
  EXPECT_NO_THROW(client.CloseConnection());
  EXPECT_NO_THROW(client.PollForClose(false));
}

TEST(TcpWrite, BufferedWritesGoOutTogetherAndInOrder) {
  ScriptServer server;
  server.AwaitText("END\r\n").Close().Start();
  auto client = ConnectTo(server.Port());
  EventLog log;
  log.Attach(*client);
  client->StartWriteBuffering();
  client->WriteLine("GET / HTTP/1.1");
  client->WriteLine("Host: 127.0.0.1");
  client->WriteText("");
  EXPECT_TRUE(client->WriteBuffering());
  client->EndWriteBuffering();
  EXPECT_FALSE(client->WriteBuffering());
  client->StartWriteBuffering(8);
  client->WriteText("0123456789");  // over the threshold: the first 8 go out at once
  client->EndWriteBuffering();
  client->WriteLine("END");
  server.Join();
  EXPECT_EQ(server.Received(), "GET / HTTP/1.1\r\nHost: 127.0.0.1\r\n0123456789END\r\n");
  // Outside a write span sends count no work.
  EXPECT_TRUE(log.entries.empty());
}

TEST(TcpWrite, StreamIsSentWithItsCountAndWriteEvents) {
  ScriptServer server;
  const std::string body = Pattern(kSendBufferSize + 10);
  server.AwaitText(body.substr(body.size() - 10)).Close().Start();
  auto client = ConnectTo(server.Port());
  EventLog log;
  log.Attach(*client);
  MemoryStream stream(body);
  client->WriteFromStream(stream, true, -1, true);
  server.Join();
  const uint32_t size = static_cast<uint32_t>(body.size());
  const std::string count = {static_cast<char>(size >> 24), static_cast<char>(size >> 16),
                             static_cast<char>(size >> 8), static_cast<char>(size)};
  EXPECT_EQ(server.Received(), count + body);
  ASSERT_GE(log.entries.size(), 3u);
  EXPECT_EQ(log.entries.front(), "begin 1 " + std::to_string(body.size()));
  EXPECT_EQ(log.entries[log.entries.size() - 2], "work 1 " + std::to_string(body.size()));
  EXPECT_EQ(log.entries.back(), "end 1");
}

}  // namespace
}  // namespace mevra::net::testing
