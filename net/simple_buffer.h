#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace mevra::net {

// A byte queue: appended at the end, consumed from the front. Consuming moves the rest to the
// front at once; ManagedBuffer defers that.
class SimpleBuffer {
 public:
  SimpleBuffer() = default;
  virtual ~SimpleBuffer() = default;
  SimpleBuffer(const SimpleBuffer&) = delete;
  SimpleBuffer& operator=(const SimpleBuffer&) = delete;

  // Called at the end of every Consume with the count consumed (not by Empty).
  std::function<void(int64_t count)> ConsumeHook;

  // Unread bytes.
  int64_t Size() const { return static_cast<int64_t>(storage_.size()) - consumed_; }
  const char* Data() const { return storage_.data() + consumed_; }
  std::string_view View() const { return std::string_view(Data(), static_cast<size_t>(Size())); }

  void Append(const void* bytes, int64_t count);
  // Makes room for `count` bytes at the end and returns where they go; CommitAppend then keeps
  // the first `used` of them. Lets a receive write straight into the queue.
  char* PrepareAppend(int64_t count);
  void CommitAppend(int64_t used);

  // Drops the first `count` bytes; more than Size raises NotEnoughDataInBufferError.
  virtual void Consume(int64_t count);
  // The first `count` bytes as a string, then consumed.
  std::string TakeText(int64_t count);
  // Releases everything without calling ConsumeHook.
  void Empty();

 protected:
  void CheckAvailable(int64_t count) const;
  void FireConsumeHook(int64_t count);

  std::string storage_;
  int64_t consumed_ = 0;
  int64_t prepared_end_ = -1;
};

}  // namespace mevra::net
