#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace mevra::net {

// A byte queue: appended at the end, consumed from the front. Consuming moves the rest to the
// front at once; ManagedBuffer defers that. A queue consumed to its end keeps its storage (up to
// kRetainedBufferBytes) for the next append, and room made for a receive is not cleared first:
// a transfer reads every block into the same memory.
class SimpleBuffer {
 public:
  SimpleBuffer() = default;
  virtual ~SimpleBuffer() = default;
  SimpleBuffer(const SimpleBuffer&) = delete;
  SimpleBuffer& operator=(const SimpleBuffer&) = delete;

  // Called at the end of every Consume with the count consumed (not by Empty).
  std::function<void(int64_t count)> ConsumeHook;

  // Unread bytes.
  int64_t Size() const { return end_ - consumed_; }
  const char* Data() const { return storage_ ? storage_.get() + consumed_ : ""; }
  std::string_view View() const { return std::string_view(Data(), static_cast<size_t>(Size())); }
  // Bytes the storage holds, read and unread and free.
  int64_t Capacity() const { return capacity_; }

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
  // Moves the unread bytes to the front of the storage.
  void Compact();
  // After the last unread byte was consumed.
  void Drained();

  std::unique_ptr<char[]> storage_;
  int64_t capacity_ = 0;
  // The unread bytes are those from consumed_ up to end_.
  int64_t consumed_ = 0;
  int64_t end_ = 0;
  int64_t prepared_count_ = -1;
};

}  // namespace mevra::net
