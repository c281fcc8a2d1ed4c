#include "net/stream.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <utility>

#include <sys/types.h>
#include <unistd.h>

#include "net/net_error.h"

namespace mevra::net {

int64_t MemoryStream::Read(void* buffer, int64_t count) {
  if (count <= 0 || position_ >= Size()) return 0;
  const int64_t n = std::min(count, Size() - position_);
  std::memcpy(buffer, data_.data() + position_, static_cast<size_t>(n));
  position_ += n;
  return n;
}

int64_t MemoryStream::Write(const void* buffer, int64_t count) {
  if (count <= 0) return 0;
  const int64_t end = position_ + count;
  if (end > Size()) data_.resize(static_cast<size_t>(end));
  std::memcpy(data_.data() + position_, buffer, static_cast<size_t>(count));
  position_ = end;
  return count;
}

void MemoryStream::Seek(int64_t position) { position_ = std::max<int64_t>(0, position); }

void MemoryStream::SetSize(int64_t size) {
  data_.resize(static_cast<size_t>(std::max<int64_t>(0, size)));
  position_ = std::min(position_, Size());
}

std::string MemoryStream::TakeData() {
  position_ = 0;
  return std::exchange(data_, std::string());
}

namespace {
[[noreturn]] void ThrowStreamError(const std::string& what, const std::string& path, int code) {
  throw StreamError(what + " '" + path + "': " + std::strerror(code));
}
}  // namespace

FileStream::FileStream(const std::string& path, Mode mode) : path_(path) {
  file_ = std::fopen(path.c_str(), mode == Mode::kRead ? "rb" : "w+b");
  if (file_ == nullptr) ThrowStreamError("Cannot open file", path, errno);
}

FileStream::~FileStream() {
  if (file_ != nullptr) std::fclose(file_);
}

int64_t FileStream::Read(void* buffer, int64_t count) {
  if (count <= 0) return 0;
  const size_t n = std::fread(buffer, 1, static_cast<size_t>(count), file_);
  if (n == 0 && std::ferror(file_)) ThrowStreamError("Cannot read file", path_, errno);
  return static_cast<int64_t>(n);
}

int64_t FileStream::Write(const void* buffer, int64_t count) {
  if (count <= 0) return 0;
  if (std::fwrite(buffer, 1, static_cast<size_t>(count), file_) != static_cast<size_t>(count)) {
    ThrowStreamError("Cannot write file", path_, errno);
  }
  return count;
}

int64_t FileStream::Position() const { return static_cast<int64_t>(ftello(file_)); }

void FileStream::Seek(int64_t position) {
  fseeko(file_, static_cast<off_t>(std::max<int64_t>(0, position)), SEEK_SET);
}

int64_t FileStream::Size() const {
  const off_t here = ftello(file_);
  fseeko(file_, 0, SEEK_END);
  const off_t end = ftello(file_);
  fseeko(file_, here, SEEK_SET);
  return static_cast<int64_t>(end);
}

void FileStream::SetSize(int64_t size) {
  std::fflush(file_);
  if (ftruncate(fileno(file_), static_cast<off_t>(std::max<int64_t>(0, size))) != 0) {
    ThrowStreamError("Cannot resize file", path_, errno);
  }
  if (Position() > size) Seek(size);
}

void FileStream::Close() {
  if (file_ == nullptr) return;
  const bool flushed = std::fflush(file_) == 0;
  const int code = errno;
  const bool closed = std::fclose(file_) == 0;
  file_ = nullptr;
  if (!flushed || !closed) ThrowStreamError("Cannot write file", path_, flushed ? errno : code);
}

}  // namespace mevra::net
