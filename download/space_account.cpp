#include "download/space_account.h"

#include <algorithm>

namespace mevra::download {

SpaceAccount::Ticket SpaceAccount::Claim(uint64_t device, int64_t bytes, int64_t free_bytes,
                                         int64_t margin, int64_t* others) {
  std::lock_guard lock(mutex_);
  int64_t claimed = 0;
  for (const auto& [ticket, entry] : claims_) {
    if (entry.device == device) claimed += entry.bytes_left;
  }
  if (others) *others = claimed;
  if (free_bytes < claimed + bytes + margin) return 0;
  claims_[++last_] = {device, std::max<int64_t>(bytes, 0)};
  return last_;
}

void SpaceAccount::Update(Ticket ticket, int64_t bytes_left) {
  std::lock_guard lock(mutex_);
  const auto it = claims_.find(ticket);
  if (it != claims_.end()) it->second.bytes_left = std::max<int64_t>(bytes_left, 0);
}

void SpaceAccount::Release(Ticket ticket) {
  std::lock_guard lock(mutex_);
  claims_.erase(ticket);
}

}  // namespace mevra::download
