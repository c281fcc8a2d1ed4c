#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "net/stream.h"

namespace mevra::download {

class RateLimiter;

// The partial file a body streams into: opened without losing the bytes an earlier try left,
// held under an exclusive lock (flock) while it is open so that no other program writes into it
// at the same time, written straight to the file descriptor so that a full disk shows at the
// write that hit it, and paced by a shared speed limit.
class PartFileStream : public net::Stream {
 public:
  // Opens the file, creating it when missing, locks it, keeps its first `keep` bytes (cutting
  // anything after them) and stands at their end. Throws PartLockedError when another open file
  // holds the lock (the file is then left as it is), otherwise net::StreamError with the
  // system's text.
  PartFileStream(std::string path, int64_t keep);
  ~PartFileStream() override;
  PartFileStream(const PartFileStream&) = delete;
  PartFileStream& operator=(const PartFileStream&) = delete;

  // Runs once, before the first byte is written; it may cut the file or throw to refuse the
  // body. Called by the owner too when a body ended without a byte.
  std::function<void()> OnFirstWrite;
  void RunFirstWriteCheck();
  // Runs once with the file's first `count` bytes, as soon as the file holds that many, or with
  // fewer when the owner calls RunFirstBytesCheck at the end of a shorter body; it may throw to
  // refuse the body.
  void SetFirstBytesCheck(size_t count, std::function<void(std::string_view first_bytes)> check);
  void RunFirstBytesCheck();
  // Each write waits for its turn at `limiter` (none when null); a wait ends with an error as
  // soon as `cancelled` is set and the limiter woken.
  void SetRateLimiter(RateLimiter* limiter, const std::atomic<bool>* cancelled);
  // Runs after each piece a speed limit let through, so progress shows while one large block
  // trickles in at a low limit rather than only when the whole block is written.
  std::function<void()> OnPacedPieceWritten;
  // The body that comes is the whole file, not the rest of it: the bytes the file held go, and
  // the body's bytes go to the start of the file. Positions still count on from where the body
  // began, as the HTTP client that writes the body expects.
  void StartAgain();
  // Bytes in the file up to the position.
  int64_t FileBytes() const { return position_ - base_; }

  int64_t Read(void* buffer, int64_t count) override;
  // Throws DiskFullError when the disk is full or a file-size limit is reached, otherwise
  // net::StreamError.
  int64_t Write(const void* buffer, int64_t count) override;
  int64_t Position() const override { return position_; }
  void Seek(int64_t position) override;
  int64_t Size() const override;
  // Cuts the file. A larger size is not given to the file ahead of the bytes: a file grown in
  // advance would hold zeros where no byte came, and a later try would continue after them.
  void SetSize(int64_t size) override;
  // Puts the file's bytes on the disk for good; throws net::StreamError when the system cannot.
  void Sync();
  // Closes the file, which gives its lock up; throws net::StreamError when the system reports a
  // failure.
  void Close();

 private:
  int descriptor_ = -1;
  std::string path_;
  int64_t position_ = 0;
  // Where the file's first byte stands in the positions the writer sees.
  int64_t base_ = 0;
  bool checked_ = false;
  size_t first_bytes_count_ = 0;
  std::function<void(std::string_view)> first_bytes_check_;
  RateLimiter* limiter_ = nullptr;
  const std::atomic<bool>* cancelled_ = nullptr;
};

}  // namespace mevra::download
