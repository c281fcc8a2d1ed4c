#include <gtest/gtest.h>

#include <cerrno>
#include <string>
#include <vector>

#include <sys/socket.h>
#include <unistd.h>

#include "net/limits.h"
#include "net/net_component.h"
#include "net/net_error.h"
#include "net/net_stack.h"

namespace mevra::net {
namespace {

TEST(NetStack, LivesExactlyWhileComponentsDo) {
  const int32_t before = NetStack::StackUsers();
  {
    NetComponent first;
    NetStack* stack = NetStack::SocketStack();
    ASSERT_NE(stack, nullptr);
    {
      NetComponent second;
      EXPECT_EQ(NetStack::StackUsers(), before + 2);
      EXPECT_EQ(NetStack::SocketStack(), stack);
    }
    EXPECT_EQ(NetStack::SocketStack(), stack);
  }
  EXPECT_EQ(NetStack::StackUsers(), before);
  if (before == 0) {
    EXPECT_EQ(NetStack::SocketStack(), nullptr);
  }
}

TEST(NetStack, DottedQuads) {
  struct Case {
    const char* text;
    bool quad;
  };
  const std::vector<Case> cases = {
      {"127.0.0.1", true}, {"0.0.0.0", true},    {"255.255.255.255", true}, {"256.0.0.1", false},
      {"1.2.3", false},    {"1.2.3.4.5", false}, {"a.b.c.d", false},        {"1..2.3", false},
      {"", false},         {"1.2.3.-4", false},  {"example.com", false},    {"1.2.3.4 ", false},
  };
  for (const Case& c : cases) EXPECT_EQ(NetStack::IsDottedQuad(c.text), c.quad) << c.text;

  const uint8_t bytes[4] = {10, 0, 200, 7};
  uint8_t back[4] = {};
  NetStack::TextToAddress(NetStack::AddressToText(bytes), back);
  EXPECT_EQ(NetStack::AddressToText(back), "10.0.200.7");
}

TEST(NetStack, LookupShortcutsAndFailure) {
  NetComponent keep_alive;
  NetStack& stack = *NetStack::SocketStack();
  EXPECT_EQ(stack.LookupHost("localhost"), "127.0.0.1");
  EXPECT_EQ(stack.LookupHost("LOCALHOST"), "127.0.0.1");
  EXPECT_EQ(stack.LookupHost("127.1.2.3"), "127.1.2.3");
  try {
    stack.LookupHost("nothing-here.invalid");
    FAIL() << "no error";
  } catch (const SocketError& error) {
    EXPECT_EQ(error.ErrorCode(), 11001);
    EXPECT_STREQ(error.what(), "Socket Error # 11001\r\nHost not found.");
    EXPECT_EQ(stack.LastErrorCode(), 11001);
  }
}

TEST(NetStack, ErrorTextsAndTranslation) {
  EXPECT_EQ(NetStack::SocketErrorText(10035), "Operation would block. ");
  EXPECT_EQ(NetStack::SocketErrorText(10066), "Directory not empty");
  struct Case {
    int error;
    int32_t code;
  };
  const std::vector<Case> cases = {
      {ECONNREFUSED, 10061}, {ETIMEDOUT, 10060},    {ECONNRESET, 10054},  {ECONNABORTED, 10053},
      {EADDRINUSE, 10048},   {EBADF, 10009},        {ENOTSOCK, 10038},    {EPIPE, 10058},
      {ENETUNREACH, 10051},  {EHOSTUNREACH, 10065}, {EINPROGRESS, 10036}, {EWOULDBLOCK, 10035},
  };
  for (const Case& c : cases) EXPECT_EQ(NetStack::TranslateErrno(c.error), c.code) << c.error;
  try {
    NetStack::RaiseSocketFailure(12345);
    FAIL() << "no error";
  } catch (const SocketError& error) {
    EXPECT_STREQ(error.what(), "Socket Error # 12345\r\n");
    EXPECT_STREQ(error.ClassName(), "SocketError");
  }
}

TEST(NetStack, ToleratedCodesAndRawResults) {
  NetComponent keep_alive;
  NetStack& stack = *NetStack::SocketStack();
  const int descriptor = stack.NewSocket(SOCK_STREAM, 0);
  ::close(descriptor);
  char byte = 0;
  // A closed descriptor: the raw result is SOCKET_ERROR, the code "bad file number".
  EXPECT_EQ(stack.Receive(descriptor, &byte, 1), NetStack::kSocketError);
  EXPECT_TRUE(stack.CheckSocketResult(NetStack::kSocketError, {10009}));
  EXPECT_EQ(stack.LastErrorCode(), 10009);
  EXPECT_FALSE(stack.CheckSocketResult(0));
  EXPECT_EQ(stack.Send(descriptor, &byte, 1), NetStack::kSocketError);
  EXPECT_THROW(stack.CheckSocketResult(NetStack::kSocketError, {10038}), SocketError);
}

TEST(NetStack, SelectSetSizeLimit) {
  NetComponent keep_alive;
  NetStack& stack = *NetStack::SocketStack();
  int pair[2];
  ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM, 0, pair), 0);
  ASSERT_EQ(::write(pair[1], "x", 1), 1);
  SocketSet full(kMaxSocketSetSize, pair[0]);
  EXPECT_EQ(stack.Select(&full, nullptr, nullptr, 0), kMaxSocketSetSize);
  SocketSet over(kMaxSocketSetSize + 1, pair[0]);
  try {
    stack.Select(&over, nullptr, nullptr, 0);
    FAIL() << "no error";
  } catch (const StackSetSizeExceededError& error) {
    EXPECT_STREQ(error.what(), "Set Size Exceeded.");
  }
  // Only ready sockets stay in the sets.
  SocketSet read_set{pair[0], pair[1]};
  SocketSet write_set{pair[0]};
  EXPECT_EQ(stack.Select(&read_set, &write_set, nullptr, 0), 2);
  EXPECT_EQ(read_set, SocketSet{pair[0]});
  EXPECT_EQ(write_set, SocketSet{pair[0]});
  ::close(pair[0]);
  ::close(pair[1]);
}

}  // namespace
}  // namespace mevra::net
