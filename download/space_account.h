#pragma once

#include <cstdint>
#include <map>
#include <mutex>

namespace mevra::download {

// The room the running transfers have claimed on their disks: each claims the known rest of
// its file before its first byte is written, and a claim passes only when the disk's free space
// covers it, the margin and what every other claim on that disk still has to write. So several
// songs at once cannot each pass a check that only one of them fits. Thread-safe.
class SpaceAccount {
 public:
  using Ticket = uint64_t;

  // Claims `bytes` on `device` when `free_bytes` (free on it now) is at least `bytes`, `margin`
  // and the rest of the other claims on it; 0 (nothing claimed) otherwise, with that rest in
  // `others` when given.
  Ticket Claim(uint64_t device, int64_t bytes, int64_t free_bytes, int64_t margin,
               int64_t* others = nullptr);
  // What the claim still has to write, as its bytes reach the disk.
  void Update(Ticket ticket, int64_t bytes_left);
  void Release(Ticket ticket);

 private:
  struct Entry {
    uint64_t device;
    int64_t bytes_left;
  };
  std::mutex mutex_;
  std::map<Ticket, Entry> claims_;
  Ticket last_ = 0;
};

}  // namespace mevra::download
