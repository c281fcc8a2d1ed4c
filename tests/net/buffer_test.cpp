#include <gtest/gtest.h>

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

}  // namespace
}  // namespace mevra::net
