#include "download/part_file_stream.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "download/download_error.h"
#include "download/rate_limiter.h"

namespace mevra::download {
namespace {

// Under a speed limit a block waits for its turn in pieces this long in time, so a slow limit
// gives a steady trickle instead of one long pause per block of the transport.
constexpr int64_t kPacedPiecesPerSecond = 10;
constexpr int64_t kSmallestPacedPiece = 1024;

[[noreturn]] void Fail(const char* what, const std::string& path, int code) {
  const std::string message = std::string(what) + " '" + path + "': " + std::strerror(code);
  // A file-size limit is a disk that is full as far as this file is concerned.
  if (code == ENOSPC || code == EFBIG || code == EDQUOT) throw DiskFullError(message);
  throw net::StreamError(message);
}

}  // namespace

PartFileStream::PartFileStream(std::string path, int64_t keep) : path_(std::move(path)) {
  descriptor_ = ::open(path_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
  if (descriptor_ < 0) Fail("Cannot open file", path_, errno);
  // Locked before anything of it is cut: the bytes may be another program's download.
  if (::flock(descriptor_, LOCK_EX | LOCK_NB) != 0) {
    const int code = errno;
    ::close(descriptor_);
    descriptor_ = -1;
    if (code == EWOULDBLOCK) throw PartLockedError("Another program holds '" + path_ + "' locked.");
    Fail("Cannot lock file", path_, code);
  }
  const int64_t size = Size();
  keep = std::clamp<int64_t>(keep, 0, size);
  if (keep < size && ::ftruncate(descriptor_, keep) != 0) {
    const int code = errno;
    ::close(descriptor_);
    descriptor_ = -1;
    Fail("Cannot resize file", path_, code);
  }
  position_ = keep;
}

PartFileStream::~PartFileStream() {
  if (descriptor_ >= 0) ::close(descriptor_);
}

void PartFileStream::RunFirstWriteCheck() {
  if (checked_) return;
  checked_ = true;
  if (OnFirstWrite) OnFirstWrite();
}

void PartFileStream::SetFirstBytesCheck(size_t count,
                                        std::function<void(std::string_view first_bytes)> check) {
  first_bytes_count_ = count;
  first_bytes_check_ = std::move(check);
}

void PartFileStream::RunFirstBytesCheck() {
  if (!first_bytes_check_) return;
  const auto check = std::move(first_bytes_check_);
  first_bytes_check_ = nullptr;
  std::string bytes(first_bytes_count_, '\0');
  const ssize_t n = ::pread(descriptor_, bytes.data(), bytes.size(), 0);
  if (n < 0) Fail("Cannot read file", path_, errno);
  bytes.resize(static_cast<size_t>(n));
  check(bytes);
}

void PartFileStream::SetRateLimiter(RateLimiter* limiter, const std::atomic<bool>* cancelled) {
  limiter_ = limiter;
  cancelled_ = cancelled;
}

void PartFileStream::StartAgain() {
  if (::ftruncate(descriptor_, 0) != 0) Fail("Cannot resize file", path_, errno);
  base_ = position_;
}

int64_t PartFileStream::Read(void* buffer, int64_t count) {
  if (count <= 0 || position_ < base_) return 0;
  const ssize_t n = ::pread(descriptor_, buffer, static_cast<size_t>(count), position_ - base_);
  if (n < 0) Fail("Cannot read file", path_, errno);
  position_ += n;
  return n;
}

int64_t PartFileStream::Write(const void* buffer, int64_t count) {
  if (count <= 0) return 0;
  RunFirstWriteCheck();
  const char* bytes = static_cast<const char*>(buffer);
  int64_t left = count;
  while (left > 0) {
    int64_t piece = left;
    bool paced = false;
    if (limiter_ && cancelled_) {
      const int64_t rate = limiter_->BytesPerSecond();
      if (rate > 0) {
        piece = std::min(left, std::max(kSmallestPacedPiece, rate / kPacedPiecesPerSecond));
        paced = true;
      }
      if (!limiter_->Acquire(piece, *cancelled_)) {
        throw net::StreamError("The transfer was stopped while it waited for its speed limit.");
      }
    }
    while (piece > 0) {
      if (position_ < base_) throw net::StreamError("Cannot write before the start of the file.");
      const ssize_t n = ::pwrite(descriptor_, bytes, static_cast<size_t>(piece), position_ - base_);
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) Fail("Cannot write file", path_, errno);
      bytes += n;
      position_ += n;
      piece -= n;
      left -= n;
    }
    if (paced && OnPacedPieceWritten) OnPacedPieceWritten();
  }
  if (first_bytes_check_ && FileBytes() >= static_cast<int64_t>(first_bytes_count_)) {
    RunFirstBytesCheck();
  }
  return count;
}

void PartFileStream::Seek(int64_t position) { position_ = std::max<int64_t>(0, position); }

int64_t PartFileStream::Size() const {
  struct stat info {};
  if (::fstat(descriptor_, &info) != 0) return base_;
  return static_cast<int64_t>(info.st_size) + base_;
}

void PartFileStream::SetSize(int64_t size) {
  size = std::max<int64_t>(base_, size);
  if (size < Size() && ::ftruncate(descriptor_, static_cast<off_t>(size - base_)) != 0) {
    Fail("Cannot resize file", path_, errno);
  }
  position_ = std::min(position_, size);
}

void PartFileStream::Sync() {
  if (::fsync(descriptor_) != 0) Fail("Cannot write file", path_, errno);
}

void PartFileStream::Close() {
  if (descriptor_ < 0) return;
  const int result = ::close(descriptor_);
  descriptor_ = -1;
  if (result != 0) Fail("Cannot write file", path_, errno);
}

}  // namespace mevra::download
