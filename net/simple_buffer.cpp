#include "net/simple_buffer.h"

#include <cstring>

#include "net/net_error.h"

namespace mevra::net {

void SimpleBuffer::Append(const void* bytes, int64_t count) {
  if (count <= 0) return;
  storage_.append(static_cast<const char*>(bytes), static_cast<size_t>(count));
}

char* SimpleBuffer::PrepareAppend(int64_t count) {
  const size_t end = storage_.size();
  prepared_end_ = static_cast<int64_t>(end);
  storage_.resize(end + static_cast<size_t>(count > 0 ? count : 0));
  return storage_.data() + end;
}

void SimpleBuffer::CommitAppend(int64_t used) {
  if (prepared_end_ < 0) return;
  const int64_t room = static_cast<int64_t>(storage_.size()) - prepared_end_;
  const int64_t keep = used < 0 ? 0 : (used > room ? room : used);
  storage_.resize(static_cast<size_t>(prepared_end_ + keep));
  prepared_end_ = -1;
}

void SimpleBuffer::CheckAvailable(int64_t count) const {
  if (count < 0 || count > Size()) throw NotEnoughDataInBufferError();
}

void SimpleBuffer::FireConsumeHook(int64_t count) {
  if (ConsumeHook) ConsumeHook(count);
}

void SimpleBuffer::Consume(int64_t count) {
  CheckAvailable(count);
  if (count == Size()) {
    Empty();
  } else {
    storage_.erase(0, static_cast<size_t>(consumed_ + count));
    consumed_ = 0;
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
  std::string().swap(storage_);
  consumed_ = 0;
  prepared_end_ = -1;
}

}  // namespace mevra::net
