#include "http/bounded_text_stream.h"

#include <algorithm>
#include <cstring>

namespace mevra::http {

int64_t BoundedTextStream::Read(void* buffer, int64_t count) {
  const int64_t available = std::min<int64_t>(static_cast<int64_t>(text_.size()), size_);
  const int64_t n = std::clamp<int64_t>(available - position_, 0, count);
  if (n > 0) std::memcpy(buffer, text_.data() + position_, static_cast<size_t>(n));
  position_ += n;
  return n;
}

int64_t BoundedTextStream::Write(const void* buffer, int64_t count) {
  if (count <= 0) return 0;
  const int64_t kept_end = std::min(position_ + count, keep_);
  if (kept_end > position_) {
    if (static_cast<int64_t>(text_.size()) < kept_end) text_.resize(static_cast<size_t>(kept_end));
    std::memcpy(text_.data() + position_, buffer, static_cast<size_t>(kept_end - position_));
  }
  position_ += count;
  size_ = std::max(size_, position_);
  return count;
}

void BoundedTextStream::SetSize(int64_t size) {
  size_ = std::max<int64_t>(size, 0);
  if (static_cast<int64_t>(text_.size()) > size_) text_.resize(static_cast<size_t>(size_));
  if (position_ > size_) position_ = size_;
}

}  // namespace mevra::http
