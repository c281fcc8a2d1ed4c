#include "net/simple_buffer.h"

#include <algorithm>
#include <cstring>

#include "net/limits.h"
#include "net/net_error.h"

namespace mevra::net {

void SimpleBuffer::Append(const void* bytes, int64_t count) {
  if (count <= 0) return;
  std::memcpy(PrepareAppend(count), bytes, static_cast<size_t>(count));
  CommitAppend(count);
}

char* SimpleBuffer::PrepareAppend(int64_t count) {
  count = std::max<int64_t>(count, 0);
  if (capacity_ - end_ < count) {
    const int64_t size = Size();
    if (capacity_ - size >= count) {
      Compact();
    } else {
      // Doubling keeps a long run of appends linear in the bytes appended.
      const int64_t capacity = std::max(size + count, 2 * capacity_);
      auto grown = std::make_unique_for_overwrite<char[]>(static_cast<size_t>(capacity));
      if (size > 0) std::memcpy(grown.get(), Data(), static_cast<size_t>(size));
      storage_ = std::move(grown);
      capacity_ = capacity;
      consumed_ = 0;
      end_ = size;
    }
  }
  prepared_count_ = count;
  return storage_ ? storage_.get() + end_ : nullptr;
}

void SimpleBuffer::CommitAppend(int64_t used) {
  if (prepared_count_ < 0) return;
  end_ += std::clamp<int64_t>(used, 0, prepared_count_);
  prepared_count_ = -1;
}

void SimpleBuffer::CheckAvailable(int64_t count) const {
  if (count < 0 || count > Size()) throw NotEnoughDataInBufferError();
}

void SimpleBuffer::FireConsumeHook(int64_t count) {
  if (ConsumeHook) ConsumeHook(count);
}

void SimpleBuffer::Compact() {
  const int64_t size = Size();
  if (consumed_ > 0 && size > 0) {
    std::memmove(storage_.get(), storage_.get() + consumed_, static_cast<size_t>(size));
  }
  consumed_ = 0;
  end_ = size;
}

void SimpleBuffer::Drained() {
  if (capacity_ > kRetainedBufferBytes) {
    Empty();
  } else {
    consumed_ = 0;
    end_ = 0;
  }
}

void SimpleBuffer::Consume(int64_t count) {
  CheckAvailable(count);
  if (count == Size()) {
    Drained();
  } else {
    consumed_ += count;
    Compact();
  }
  FireConsumeHook(count);
}

std::string SimpleBuffer::TakeText(int64_t count) {
  CheckAvailable(count);
  std::string text(Data(), static_cast<size_t>(count));
  Consume(count);
  return text;
}

void SimpleBuffer::Empty() {
  storage_.reset();
  capacity_ = 0;
  consumed_ = 0;
  end_ = 0;
  prepared_count_ = -1;
}

}  // namespace mevra::net
