#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "net/limits.h"
#include "net/managed_buffer.h"
#include "net/net_error.h"
#include "net/simple_buffer.h"

namespace mevra::net {
namespace {

std::string Numbers(size_t size) {
  std::string bytes(size, '\0');
  for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>('0' + i % 10);
  return bytes;
}

TEST(ManagedBuffer, CompactsOnlyOnceTheThresholdIsConsumed) {
  ManagedBuffer buffer;
  std::vector<int64_t> hooked;
  buffer.ConsumeHook = [&](int64_t n) { hooked.push_back(n); };
  const std::string bytes = Numbers(kCompactThreshold + 100);
  buffer.Append(bytes.data(), static_cast<int64_t>(bytes.size()));

  buffer.Consume(kCompactThreshold - 1);
  EXPECT_EQ(buffer.ConsumedCount(), kCompactThreshold - 1);
  EXPECT_EQ(buffer.View(), bytes.substr(kCompactThreshold - 1));
  buffer.Consume(1);
  EXPECT_EQ(buffer.ConsumedCount(), 0);
  EXPECT_EQ(buffer.View(), bytes.substr(kCompactThreshold));

  // Appending after consumption lands at the logical end.
  buffer.Append("XY", 2);
  EXPECT_EQ(buffer.TakeText(100), bytes.substr(kCompactThreshold));
  EXPECT_EQ(buffer.TakeText(2), "XY");
  EXPECT_EQ(buffer.Size(), 0);
  EXPECT_EQ(hooked, (std::vector<int64_t>{kCompactThreshold - 1, 1, 100, 2}));

  buffer.Append("abc", 3);
  buffer.Empty();
  EXPECT_EQ(buffer.Size(), 0);
  EXPECT_EQ(hooked.size(), 4u);  // Empty reports nothing
}

TEST(Buffers, ConsumingMoreThanIsThereFails) {
  ManagedBuffer managed;
  SimpleBuffer simple;
  for (SimpleBuffer* buffer : {static_cast<SimpleBuffer*>(&managed), &simple}) {
    int hooks = 0;
    buffer->ConsumeHook = [&](int64_t) { ++hooks; };
    buffer->Append("abcd", 4);
    try {
      buffer->Consume(5);
      FAIL() << "no error";
    } catch (const NotEnoughDataInBufferError& error) {
      EXPECT_STREQ(error.what(), "Not enough data in buffer.");
    }
    EXPECT_THROW(buffer->TakeText(5), NotEnoughDataInBufferError);
    EXPECT_THROW(buffer->Consume(-1), NotEnoughDataInBufferError);
    EXPECT_EQ(buffer->View(), "abcd");
    EXPECT_EQ(hooks, 0);
    buffer->Consume(1);
    EXPECT_EQ(buffer->View(), "bcd");
    EXPECT_EQ(hooks, 1);
  }
}

TEST(Buffers, PreparedAppendKeepsOnlyWhatWasUsed) {
  ManagedBuffer buffer;
  buffer.Append("ab", 2);
  buffer.Consume(1);
  char* room = buffer.PrepareAppend(10);
  room[0] = 'c';
  room[1] = 'd';
  buffer.CommitAppend(2);
  EXPECT_EQ(buffer.View(), "bcd");
  buffer.PrepareAppend(10);
  buffer.CommitAppend(0);
  EXPECT_EQ(buffer.View(), "bcd");
}

}  // namespace
}  // namespace mevra::net
