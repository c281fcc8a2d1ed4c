#pragma once

#include <cstdint>
#include <string>

#include "net/stream.h"

namespace mevra::http {

// A stream that keeps only its first `keep` bytes and counts the rest. Bodies nobody will use
// in full (a redirect's, an error page's) go here, so a server cannot fill our memory with them.
class BoundedTextStream : public net::Stream {
 public:
  explicit BoundedTextStream(int64_t keep) : keep_(keep) {}

  int64_t Read(void* buffer, int64_t count) override;
  int64_t Write(const void* buffer, int64_t count) override;
  int64_t Position() const override { return position_; }
  void Seek(int64_t position) override { position_ = position < 0 ? 0 : position; }
  int64_t Size() const override { return size_; }
  void SetSize(int64_t size) override;

  // The kept bytes, at most `keep` and at most Size().
  const std::string& Text() const { return text_; }

 private:
  int64_t keep_;
  int64_t position_ = 0;
  int64_t size_ = 0;
  std::string text_;
};

}  // namespace mevra::http
