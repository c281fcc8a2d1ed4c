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

TEST(NetStack, LivesWhileComponentsDo) {
  const int32_t before = NetStack::StackUsers();
  {
    NetComponent first;
    NetStack* stack = NetStack::SocketStack();
    ASSERT_NE(stack, nullptr);
    { NetComponent second; }
    EXPECT_EQ(NetStack::SocketStack(), stack);
  }
  EXPECT_EQ(NetStack::StackUsers(), before);
  EXPECT_EQ(NetStack::SocketStack() == nullptr, before == 0);
}

TEST(NetStack, DottedQuadsAndLookup) {
  const std::vector<std::pair<const char*, bool>> cases = {
      {"127.0.0.1", true},  {"255.255.255.255", true}, {"256.0.0.1", false}, {"1.2.3", false},
      {"1.2.3.4.5", false}, {"a.b.c.d", false},        {"1..2.3", false},    {"", false}};
  for (const auto& [text, quad] : cases) {
    SCOPED_TRACE(text);
    EXPECT_EQ(NetStack::IsDottedQuad(text), quad);
  }

  NetComponent keep_alive;
  NetStack& stack = *NetStack::SocketStack();
  EXPECT_EQ(stack.LookupHost("LOCALhost"), "127.0.0.1");
  EXPECT_EQ(stack.LookupAddresses("localhost."), (std::vector<std::string>{"127.0.0.1", "::1"}));
  EXPECT_EQ(stack.LookupAddresses("::1"), std::vector<std::string>{"::1"});
  EXPECT_EQ(stack.LookupHost("127.1.2.3"), "127.1.2.3");
  EXPECT_THROW(stack.LookupHost("nothing-here.invalid"), SocketError);
  EXPECT_EQ(stack.LastErrorCode(), 11001);
}

TEST(NetStack, FailureTextsAndToleratedCodes) {
  try {
    NetStack::RaiseSocketFailure(12345);  // not in the table: the first line only
    FAIL() << "no error";
  } catch (const SocketError& error) {
    EXPECT_STREQ(error.what(), "Socket Error # 12345\r\n");
  }
  NetComponent keep_alive;
  NetStack& stack = *NetStack::SocketStack();
  const int descriptor = stack.NewSocket(SOCK_STREAM, 0);
  ::close(descriptor);
  char byte = 0;
  EXPECT_EQ(stack.Receive(descriptor, &byte, 1), NetStack::kSocketError);
  EXPECT_TRUE(stack.CheckSocketResult(NetStack::kSocketError, {10009}));
  EXPECT_EQ(stack.Send(descriptor, &byte, 1), NetStack::kSocketError);
  EXPECT_THROW(stack.CheckSocketResult(NetStack::kSocketError, {10038}), SocketError);
  EXPECT_FALSE(stack.CheckSocketResult(0));
}

TEST(NetStack, ErrnoValuesAndCodesShareOneTable) {
  struct Case {
    const char* name;
    int error;
    int32_t code;
    std::string text;
  };
  const std::vector<Case> cases = {
      {"refused", ECONNREFUSED, 10061, "Connection refused."},
      {"would block", EAGAIN, 10035, "Operation would block. "},
      {"second errno of a code", ESHUTDOWN, 10058,
       "Cannot send or receive after socket is closed."},
      // Errors the table does not name keep the system's text, under a code no row uses, so
      // that nobody takes them for a known error (the connect thread tolerates 10038).
      {"not implemented", ENOSYS, NetStack::kSystemErrorBase + ENOSYS, "Function not implemented"},
      {"no such file", ENOENT, NetStack::kSystemErrorBase + ENOENT, "No such file or directory"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(NetStack::TranslateErrno(c.error), c.code);
    EXPECT_EQ(NetStack::SocketErrorText(c.code), c.text);
  }
  try {
    NetStack::RaiseSocketFailure(NetStack::TranslateErrno(ENOSYS));
    FAIL() << "no error";
  } catch (const SocketError& error) {
    EXPECT_EQ(std::string(error.what()), "Socket Error # " +
                                             std::to_string(NetStack::kSystemErrorBase + ENOSYS) +
                                             "\r\nFunction not implemented");
  }
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
  EXPECT_THROW(stack.Select(&over, nullptr, nullptr, 0), StackSetSizeExceededError);
  SocketSet read_set{pair[0], pair[1]};  // only ready sockets stay
  EXPECT_EQ(stack.Select(&read_set, nullptr, nullptr, 0), 1);
  EXPECT_EQ(read_set, SocketSet{pair[0]});
  ::close(pair[0]);
  ::close(pair[1]);
}

}  // namespace
}  // namespace mevra::net
