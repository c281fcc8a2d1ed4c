#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "net/limits.h"
#include "net/managed_buffer.h"
#include "net/net_error.h"

namespace mevra::net {
namespace {

TEST(ManagedBuffer, CompactsOnlyOnceTheThresholdIsConsumed) {
  ManagedBuffer buffer;
  std::vector<int64_t> hooked;
  buffer.ConsumeHook = [&](int64_t n) { hooked.push_back(n); };
  std::string bytes(kCompactThreshold + 100, '\0');
  for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>('0' + i % 10);
  buffer.Append(bytes.data(), static_cast<int64_t>(bytes.size()));

  buffer.Consume(kCompactThreshold - 1);
  EXPECT_EQ(buffer.ConsumedCount(), kCompactThreshold - 1);
  buffer.Consume(1);
  EXPECT_EQ(buffer.ConsumedCount(), 0);
  EXPECT_EQ(buffer.View(), bytes.substr(kCompactThreshold));
  buffer.Append("XY", 2);
  EXPECT_EQ(buffer.TakeText(102), bytes.substr(kCompactThreshold) + "XY");
  buffer.Append("abc", 3);
  buffer.Empty();  // reports nothing
  EXPECT_EQ(buffer.Size(), 0);
  EXPECT_EQ(hooked, (std::vector<int64_t>{kCompactThreshold - 1, 1, 102}));
}

TEST(ManagedBuffer, ConsumingMoreThanIsThereFailsAndKeepsTheBytes) {
  ManagedBuffer buffer;
  int hooks = 0;
  buffer.ConsumeHook = [&](int64_t) { ++hooks; };
  buffer.Append("abcd", 4);
  try {
    buffer.Consume(5);
    FAIL() << "no error";
  } catch (const NotEnoughDataInBufferError& error) {
    EXPECT_STREQ(error.what(), "Not enough data in buffer.");
  }
  EXPECT_THROW(buffer.TakeText(5), NotEnoughDataInBufferError);
  EXPECT_EQ(buffer.View(), "abcd");
  EXPECT_EQ(hooks, 0);
}

// Receives and consumes of random sizes keep the bytes in order, however the storage is
// compacted or grown underneath.
TEST(ManagedBuffer, ReusedStorageKeepsTheBytesInOrder) {
  ManagedBuffer buffer;
  std::string expected;
  std::mt19937 random(7);
  const auto upto = [&random](int64_t n) { return static_cast<int64_t>(random() % (n + 1)); };
  for (int step = 0; step < 2000; ++step) {
    const int64_t asked = 1 + upto(3 * kCompactThreshold);
    const std::string bytes(static_cast<size_t>(upto(asked)), static_cast<char>('a' + step % 26));
    std::memcpy(buffer.PrepareAppend(asked), bytes.data(), bytes.size());
    buffer.CommitAppend(static_cast<int64_t>(bytes.size()));
    expected += bytes;
    const int64_t consumed = upto(buffer.Size());
    buffer.Consume(consumed);
    expected.erase(0, static_cast<size_t>(consumed));
    ASSERT_EQ(buffer.View(), expected) << "step " << step;
  }
}

TEST(ManagedBuffer, ADrainedQueueKeepsItsStorageUpToTheLimit) {
  for (const int64_t size : {kRetainedBufferBytes, kRetainedBufferBytes + 1}) {
    SCOPED_TRACE(size);
    ManagedBuffer buffer;
    buffer.Append(std::string(static_cast<size_t>(size), 'x').data(), size);
    ASSERT_EQ(buffer.Capacity(), size);
    buffer.Consume(size);
    EXPECT_EQ(buffer.Capacity(), size == kRetainedBufferBytes ? size : 0);
    buffer.Append("ab", 2);
    EXPECT_EQ(buffer.View(), "ab");
  }
}

}  // namespace
}  // namespace mevra::net
